#!/usr/bin/python3
"""org.freedesktop.Notifications as a test scripts it, on $DBUS_SESSION_BUS_ADDRESS.
# Debian's own interpreter: python3-dbus and python3-gi are installed for it.

notify_server.py LOG    serves; each Notify call is appended to LOG as
                        "NOTIFY ID SUMMARY", each CloseNotification as "CLOSE ID"
notify_server.py click ID KEY [TOKEN]
                        what a server sends when the user clicks the notification or
                        one of its actions: ActivationToken (ID, TOKEN) first where a
                        TOKEN is given, then ActionInvoked (ID, KEY)
"""
import sys

import dbus
import dbus.service

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
CONTROL = "org.orvell.TestNotificationServer"


def serve(log):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()

    class Server(dbus.service.Object):
        last_id = 0

        def record(self, line):
            with open(log, "a") as out:
                out.write(line + "\n")

        @dbus.service.method(NAME, out_signature="as")
        def GetCapabilities(self):
            return ["actions", "body", "body-markup"]

        @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
        def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
            notification = replaces or Server.last_id + 1
            Server.last_id = max(Server.last_id, notification)
            self.record("NOTIFY %d %s" % (notification, summary))
            return notification

        @dbus.service.method(NAME, in_signature="u")
        def CloseNotification(self, notification):
            self.record("CLOSE %d" % notification)

        @dbus.service.method(NAME, out_signature="ssss")
        def GetServerInformation(self):
            return ("test", "orvell", "1", "1.2")

        @dbus.service.signal(NAME, signature="us")
        def ActivationToken(self, notification, token):
            pass

        @dbus.service.signal(NAME, signature="us")
        def ActionInvoked(self, notification, key):
            pass

        @dbus.service.method(CONTROL, in_signature="uss")
        def Click(self, notification, key, token):
            if token:
                self.ActivationToken(notification, token)
            self.ActionInvoked(notification, key)

    name = dbus.service.BusName(NAME, bus)
    server = Server(bus, PATH)
    GLib.MainLoop().run()
    del name, server


def click(notification, key, token=""):
    bus = dbus.SessionBus()
    control = dbus.Interface(bus.get_object(NAME, PATH), CONTROL)
    control.Click(dbus.UInt32(int(notification)), key, token)


if sys.argv[1] == "click":
    click(*sys.argv[2:])
else:
    serve(sys.argv[1])
