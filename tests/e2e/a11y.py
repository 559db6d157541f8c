#!/usr/bin/python3
"""Reads the updater's windows through the accessibility bus (AT-SPI), the
way a screen reader does: what a window shows, read from the window itself.

  a11y.py boxes            one line per open message box titled "Virdo":
                           its text, a tab, its buttons joined by "|", a
                           tab, and each button's middle on the screen as
                           NAME=X,Y joined by blanks
  a11y.py form             the main window's controls: name, shown, enabled
  a11y.py button NAME      screen x y of the middle of the open box's button
"""
import sys

import pyatspi

TITLE = "Virdo"


def walk(node, depth=0):
    yield node
    if depth > 12:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None:
            continue
        for j in range(app.childCount):
            win = app.getChildAtIndex(j)
            if win is not None:
                yield win


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def boxes():
    for win in windows():
        if win.name != TITLE or not showing(win):
            continue
        texts, buttons, places = [], [], []
        for node in walk(win):
            role = node.getRole()
            if role == pyatspi.ROLE_LABEL and node.name and showing(node):
                texts.append(node.name)
            elif role == pyatspi.ROLE_PUSH_BUTTON and showing(node):
                buttons.append(node.name)
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                places.append(f"{node.name}={box.x + box.width // 2},{box.y + box.height // 2}")
        # Escape line ends so that one box is one line; blanks stay as they are.
        text = "\\n".join(texts).replace("\n", "\\n")
        print(f"{text}\t{'|'.join(buttons)}\t{' '.join(places)}")


def form():
    for win in windows():
        if not win.name.startswith("VIRDO updater"):
            continue
        print(f"caption\t{win.name}")
        for node in walk(win):
            if node is win:
                continue
            role = node.getRole()
            if role in (pyatspi.ROLE_LABEL, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_PROGRESS_BAR):
                state = node.getState()
                shown = "shown" if state.contains(pyatspi.STATE_SHOWING) else "hidden"
                enabled = "enabled" if state.contains(pyatspi.STATE_ENABLED) else "disabled"
                name = node.name or pyatspi.Role(role).__str__()
                print(f"{name}\t{shown}\t{enabled}")


def button(name):
    for win in windows():
        if win.name != TITLE or not showing(win):
            continue
        for node in walk(win):
            if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == name:
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                print(box.x + box.width // 2, box.y + box.height // 2)
                return
    sys.exit(1)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "button":
        button(sys.argv[2])
    else:
        {"boxes": boxes, "form": form}[command]()
