#!/usr/bin/python3
"""Reads the windows of the application "ORVELL" as a screen reader does, through AT-SPI.

  atspi_read.py tree [WINDOW]     every window (or those WINDOW selects) and what it
                                  holds, one object a line: ROLE 'NAME' [= 'TEXT']
  atspi_read.py text WINDOW NAME  the text of the object NAME in a shown window that
                                  WINDOW selects, one line of the text a line
  atspi_read.py press WINDOW NAME presses the button NAME in a shown window WINDOW selects
  atspi_read.py shown WINDOW      succeeds when a window WINDOW selects is shown
WINDOW is a regular expression that the window's title matches, or "with:NAME": the
windows that hold an object named NAME.

The program runs with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on a session bus where
at-spi-bus-launcher runs. The exit status is 1 when the application, the window or the
object is not there. Debian's python3-pyatspi lives in /usr/bin/python3's path.
"""
import re
import sys

import pyatspi

APPLICATION = "ORVELL"


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == APPLICATION:
            return app
    return None


def windows(selector=None, shown_only=False):
    app = application()
    if app is None:
        return []
    found = []
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is None:
            continue
        if selector is None:
            pass
        elif selector.startswith("with:"):
            if find(window, selector[5:]) is None:
                continue
        elif not re.search(selector, window.name):
            continue
        if shown_only and not window.getState().contains(pyatspi.STATE_SHOWING):
            continue
        found.append(window)
    return found


def text_of(acc):
    try:
        text = acc.queryText()
    except NotImplementedError:
        return None
    # A paragraph ends in U+2029 in Qt's text documents: one line each.
    return text.getText(0, -1).replace("\u2029", "\n")


def walk(acc, depth=0):
    yield depth, acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def find(window, name, role=None):
    for _, acc in walk(window):
        if acc.name == name and (role is None or acc.getRole() == role):
            return acc
    return None


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command, args = argv[1], argv[2:]
    if command == "tree":
        found = windows(args[0] if args else None)
        for window in found:
            for depth, acc in walk(window):
                line = "  " * depth + "%s %r" % (acc.getRoleName(), acc.name)
                if depth == 0:
                    line += " showing" if acc.getState().contains(pyatspi.STATE_SHOWING) else ""
                elif (text := text_of(acc)) is not None:
                    line += " = %r" % text
                print(line)
        return 0 if found else 1
    if command == "shown":
        return 0 if windows(args[0], shown_only=True) else 1
    if command in ("text", "press") and len(args) == 2:
        for window in windows(args[0], shown_only=True):
            if command == "press":
                button = find(window, args[1], pyatspi.ROLE_PUSH_BUTTON)
                if button is not None:
                    button.queryAction().doAction(0)
                    return 0
                continue
            for _, acc in walk(window):
                if acc.name == args[1] and (text := text_of(acc)) is not None:
                    print(text)
                    return 0
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
