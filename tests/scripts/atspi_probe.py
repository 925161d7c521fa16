#!/usr/bin/python3
"""Reads and acts on QuizDesk's question screen through AT-SPI, as a screen
reader does (Debian's python3-pyatspi).

  atspi_probe.py tree            the question text, then one line per option:
                                 ROLE|NAME|DESCRIPTION|STATES (checked,
                                 selected, focused)
  atspi_probe.py strip           the texts of the status strip's labels
  atspi_probe.py press N [ACT]   runs action ACT (default the first) of
                                 option N (1-based)

Exit 1 with a message when QuizDesk or its question screen is not on the
accessibility bus within 20 seconds.
"""
import sys
import time

import pyatspi


def find(node, test, depth=0):
    if depth > 12:
        return None
    try:
        if test(node):
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), test, depth + 1)
            if hit is not None:
                return hit
    except Exception:  # a node that went away while it was read
        return None
    return None


def question_screen():
    deadline = time.time() + 20
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None or app.name != "quizdesk":
                continue
            pane = find(app, lambda n: n.name == "Питання" and n.childCount > 0)
            if pane is not None:
                return app, pane
        time.sleep(0.2)
    sys.exit("atspi_probe: no question screen of quizdesk on the accessibility bus")


def states(node):
    s = node.getState()
    names = []
    for state, name in ((pyatspi.STATE_CHECKED, "checked"),
                        (pyatspi.STATE_SELECTED, "selected"),
                        (pyatspi.STATE_FOCUSED, "focused")):
        if s.contains(state):
            names.append(name)
    return ",".join(names)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    app, pane = question_screen()
    command = sys.argv[1]
    if command == "tree":
        print("text " + pane.getChildAtIndex(0).name.replace("\n", " "))
        for i in range(1, pane.childCount):
            option = pane.getChildAtIndex(i)
            print("|".join([option.getRoleName(), option.name, option.description,
                            states(option)]))
    elif command == "strip":
        strip = find(app, lambda n: n.getRoleName() == "label"
                     and n.name == "Номер поточного питання:")
        if strip is None:
            sys.exit("atspi_probe: no status strip")
        parent = strip.parent
        for n in [parent.getChildAtIndex(i) for i in range(parent.childCount)]:
            print(n.getRoleName() + "|" + n.name)
            for k in range(n.childCount):
                c = n.getChildAtIndex(k)
                print("  " + c.getRoleName() + "|" + c.name)
    elif command == "press":
        option = pane.getChildAtIndex(int(sys.argv[2]))
        action = option.queryAction()
        wanted = sys.argv[3] if len(sys.argv) > 3 else None
        for k in range(action.nActions):
            if wanted is None or action.getName(k) == wanted:
                action.doAction(k)
                return
        sys.exit("atspi_probe: option %s has no action %s" % (sys.argv[2], wanted))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
