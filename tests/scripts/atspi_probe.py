#!/usr/bin/python3
"""Reads and acts on QuizDesk's question screen through AT-SPI, as a screen
reader does (Debian's python3-pyatspi).

  atspi_probe.py tree            the question text, then one line per option:
                                 ROLE|NAME|DESCRIPTION|STATES (checked,
                                 selected, focused)
  atspi_probe.py strip           the texts of the status strip's labels
  atspi_probe.py press N [ACT]   runs action ACT (default the first) of
                                 option N (1-based)
  atspi_probe.py run             answers through AT-SPI alone, step by step
                                 as stdin says, one step a line ('#' starts a
                                 comment):
      expect LINE     the tree (as "tree" prints it) has the line LINE
      press N [ACT]   as the command above
      type TEXT       the answer box's text set to TEXT; it reads it back
      next            "Наст. питання" pressed: the question screen must say
                      its children changed, and show another question
      last            "Наст. питання" pressed on the last question

Exit 1 with a message when QuizDesk or its question screen is not on the
accessibility bus within 20 seconds.
"""
import sys
import time

import pyatspi
from gi.repository import GLib


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


def pump(seconds, done=lambda: False):
    """Runs the event loop that delivers AT-SPI events, until done() or
    for at most `seconds`."""
    context = GLib.MainContext.default()
    deadline = time.time() + seconds
    while time.time() < deadline and not done():
        if not context.iteration(False):
            time.sleep(0.02)
    return done()


def tree_lines(pane):
    lines = ["text " + pane.getChildAtIndex(0).name.replace("\n", " ")]
    for i in range(1, pane.childCount):
        option = pane.getChildAtIndex(i)
        lines.append("|".join([option.getRoleName(), option.name, option.description,
                               states(option)]))
    return lines


def press(pane, number, wanted):
    option = pane.getChildAtIndex(number)
    action = option.queryAction()
    for k in range(action.nActions):
        if wanted is None or action.getName(k) == wanted:
            action.doAction(k)
            return True
    return False


def shown(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def run(app, pane):
    heard = []

    def listener(event):
        source = event.source
        if source is not None and source.name == "Питання":
            heard.append(event.type)

    pyatspi.Registry.registerEventListener(listener, "object:children-changed")
    # The program learns of the listener from the registry: give it time.
    pump(1.0)
    for number, raw in enumerate(sys.stdin, 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        verb, _, rest = line.partition(" ")

        def fail(what):
            sys.exit("atspi_probe: step %d (%s): %s" % (number, line, what))

        if verb == "expect":
            lines = tree_lines(pane)
            if rest not in lines:
                fail("the tree is\n" + "\n".join(lines))
        elif verb == "press":
            args = rest.split(" ")
            if not press(pane, int(args[0]), args[1] if len(args) > 1 else None):
                fail("no such action")
        elif verb == "type":
            box = find(app, lambda n: n.getRoleName() == "text" and shown(n)
                       and n.getState().contains(pyatspi.STATE_EDITABLE)
                       and n.name == "Введіть відповідь:")
            if box is None:
                fail("no answer box on the screen")
            box.queryEditableText().setTextContents(rest)
            text = box.queryText()
            got = text.getText(0, text.characterCount)
            if got != rest:
                fail("the box holds " + repr(got))
        elif verb in ("next", "last"):
            button = find(app, lambda n: n.getRoleName() == "push button"
                          and n.name == "Наст. питання" and shown(n))
            if button is None:
                fail("no button Наст. питання")
            before = pane.getChildAtIndex(0).name
            del heard[:]
            action = button.queryAction()
            action.doAction(0)
            if verb == "last":
                continue
            if not pump(10, lambda: len(heard) > 0):
                fail("the question screen did not say that its children changed")
            if not pump(10, lambda: pane.getChildAtIndex(0).name != before):
                fail("still the question " + before)
        else:
            fail("unknown step")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    app, pane = question_screen()
    command = sys.argv[1]
    if command == "tree":
        print("\n".join(tree_lines(pane)))
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
        wanted = sys.argv[3] if len(sys.argv) > 3 else None
        if not press(pane, int(sys.argv[2]), wanted):
            sys.exit("atspi_probe: option %s has no action %s" % (sys.argv[2], wanted))
    elif command == "run":
        run(app, pane)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
