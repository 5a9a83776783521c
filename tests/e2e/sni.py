#!/usr/bin/python3
"""A StatusNotifierItem tray for tests, on the session bus of $DBUS_SESSION_BUS_ADDRESS.
# Debian's own interpreter: python3-dbus and python3-gi are installed for it.

sni.py watcher ITEMS_FILE   runs a watcher with a registered host (what a tray such as
                            KDE's offers); each item that registers is appended to
                            ITEMS_FILE as "SERVICE PATH"
sni.py item                 prints "SERVICE PATH" of the first item the watcher on the
                            bus knows (exit 1: none yet)
sni.py get SERVICE PATH PROPERTY      prints one property of an item
sni.py menu SERVICE PATH    prints the item's exported menu, "ID LABEL" a line
sni.py click SERVICE PATH LABEL       sends a "clicked" event to the entry so labelled
sni.py call SERVICE PATH METHOD       Activate, SecondaryActivate or ContextMenu at 10,10
sni.py icon SERVICE PATH    prints a digest of the item's IconPixmap, then the sizes of
                            its pictures ("DIGEST 16x16 22x22 ...")
sni.py tooltip SERVICE PATH prints the title of the item's ToolTip (a tray shows it when
                            the pointer rests on the icon)
"""
import hashlib
import sys

import dbus

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"

# Clients read the watcher's properties through an interface they validate by
# introspection, so they must be listed here.
WATCHER_XML = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
</node>"""


def run_watcher(items_file):
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()

    class Watcher(dbus.service.Object):
        def __init__(self):
            super().__init__(bus, "/StatusNotifierWatcher")
            self.items = []

        @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
        def RegisterStatusNotifierItem(self, service, sender=None):
            # An item names its bus name or its object path.
            path = "/StatusNotifierItem"
            if service.startswith("/"):
                service, path = sender, service
            entry = "%s%s" % (service, path)
            if entry not in self.items:
                self.items.append(entry)
                with open(items_file, "a") as out:
                    out.write("%s %s\n" % (service, path))
                self.StatusNotifierItemRegistered(entry)

        @dbus.service.method(WATCHER, in_signature="s")
        def RegisterStatusNotifierHost(self, service):
            pass

        @dbus.service.signal(WATCHER, signature="s")
        def StatusNotifierItemRegistered(self, entry):
            pass

        @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss",
                             out_signature="v")
        def Get(self, interface, name):
            return self.GetAll(interface)[name]

        @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="s",
                             out_signature="a{sv}")
        def GetAll(self, interface):
            return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                    "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                    "ProtocolVersion": dbus.Int32(0)}

        @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
        def Introspect(self):
            return WATCHER_XML

    watcher = Watcher()
    # The name is taken last: a client that sees it finds everything in place.
    name = dbus.service.BusName(WATCHER, bus)
    GLib.MainLoop().run()
    del watcher, name


def item_object(service, path):
    return dbus.SessionBus().get_object(service, path)


def first_item():
    watcher = dbus.SessionBus().get_object(WATCHER, "/StatusNotifierWatcher")
    items = watcher.Get(WATCHER, "RegisteredStatusNotifierItems",
                        dbus_interface="org.freedesktop.DBus.Properties")
    if not items:
        sys.exit(1)
    entry = str(items[0])
    slash = entry.find("/")
    service, path = (entry, "/StatusNotifierItem") if slash < 0 else (entry[:slash], entry[slash:])
    print(service, path)


def menu_entries(service, path):
    item = item_object(service, path)
    menu_path = item.Get(ITEM, "Menu", dbus_interface="org.freedesktop.DBus.Properties")
    menu = item_object(service, menu_path)
    _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"), dbus_interface=MENU)
    entries = []
    for child in layout[2]:
        ident, props = int(child[0]), child[1]
        if str(props.get("type", "")) == "separator" or not props.get("visible", True):
            continue
        entries.append((ident, str(props.get("label", "")).replace("&", "")))
    return menu, entries


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "watcher":
        run_watcher(args[0])
    elif command == "item":
        first_item()
    elif command == "get":
        value = item_object(args[0], args[1]).Get(
            ITEM, args[2], dbus_interface="org.freedesktop.DBus.Properties")
        print(value)
    elif command == "menu":
        for ident, label in menu_entries(args[0], args[1])[1]:
            print(ident, label)
    elif command == "click":
        menu, entries = menu_entries(args[0], args[1])
        ident = next(i for i, label in entries if label == args[2])
        menu.Event(ident, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                   dbus_interface=MENU)
    elif command == "call":
        getattr(item_object(args[0], args[1]), args[2])(10, 10, dbus_interface=ITEM)
    elif command == "icon":
        pixmaps = item_object(args[0], args[1]).Get(
            ITEM, "IconPixmap", dbus_interface="org.freedesktop.DBus.Properties")
        digest = hashlib.md5()
        for width, height, data in pixmaps:
            digest.update(b"%dx%d" % (width, height))
            digest.update(bytes(data))
        print(digest.hexdigest(), *("%dx%d" % (width, height) for width, height, _ in pixmaps))
    elif command == "tooltip":
        # ToolTip is (icon name, icon pixmaps, title, description).
        tooltip = item_object(args[0], args[1]).Get(
            ITEM, "ToolTip", dbus_interface="org.freedesktop.DBus.Properties")
        print(str(tooltip[2]))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
