#!/usr/bin/env python3
# A screen reader's view of the running calculator over AT-SPI: it finds the keys as
# push buttons by name, presses them through their action and reads the displays.
# Usage: atspi_keys.py PROGRAM   (inside a session bus, with DISPLAY set)
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TIMEOUT = 30.0


def wait_for(what, condition, timeout=TIMEOUT):
    """Polls `condition` while letting AT-SPI events in; its first true value wins."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            found = condition()
        except GLib.GError:  # the tree changed under us; ask again
            found = None
        if found:
            return found
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def push_buttons(app):
    return pyatspi.findAllDescendants(app, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON)


def named(app, name, role):
    return pyatspi.findAllDescendants(app, lambda a: a.name == name and a.getRole() == role)


def shown(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def press(node):
    action = node.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    assert "press" in names, "%s offers no press action: %s" % (node.name, names)
    assert action.doAction(names.index("press")), "the press action of %s failed" % node.name


def main():
    # A copy in a folder of its own: the tape it keys, and the journal the end by a signal
    # keeps of it, stay there and never reach the next start of the build's program.
    folder = tempfile.mkdtemp()
    program = shutil.copy(sys.argv[1], folder)
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    text_changes = []

    def on_text_changed(event):
        if event.type.startswith("object:text-changed:insert"):
            text_changes.append((event.source.name, event.any_data))

    pyatspi.Registry.registerEventListener(on_text_changed, "object:text-changed")
    proc = subprocess.Popen([program], env=env)
    try:
        app = wait_for("the program on the accessibility bus", lambda: application(proc.pid))
        keys = wait_for("35 keys as push buttons",
                        lambda: (lambda b: b if len(b) == 35 else None)(push_buttons(app)))
        names = [k.name for k in keys]
        assert len(set(names)) == 35 and all(names), "key names: %s" % names
        for key in keys:
            actions = key.queryAction()
            assert any(actions.getName(i).lower() == "press" for i in range(actions.nActions)), key.name

        def key(name):
            found = named(app, name, pyatspi.ROLE_PUSH_BUTTON)
            assert len(found) == 1, "key %s: %d found" % (name, len(found))
            return found[0]

        def display(name):
            found = named(app, name, pyatspi.ROLE_LABEL)
            assert len(found) == 1, "display %s: %d found" % (name, len(found))
            return found[0]

        result, operator = display("结果"), display("运算符")
        line = [n for n in named(app, "序号", pyatspi.ROLE_LABEL)
                if "Text" in pyatspi.listInterfaces(n)]
        assert len(line) == 1, "one line-number display named 序号"

        # 5 乘 3 加: only a calculator that ran every press shows 15 under 加 on line 2.
        for name in ("5", "乘", "3", "加"):
            press(key(name))
        wait_for("结果 = 15", lambda: shown(result) == "15", 10)
        assert shown(operator) == "加", shown(operator)
        assert shown(line[0]) == "2", shown(line[0])
        wait_for("a text-changed event of 结果 with 15",
                 lambda: ("结果", "15") in text_changes, 10)

        # The indicator is a display that can be pressed: it cycles the operator.
        press(operator)
        wait_for("运算符 = 减", lambda: shown(operator) == "减", 10)
        assert shown(result) == "15", shown(result)
        print("PASS: %d keys pressable by name; 5 乘 3 加 shows 15 under 加 on line 2; "
              "运算符 cycles to 减" % len(keys))
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
