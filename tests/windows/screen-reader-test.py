#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Tavimo as a screen reader meets it, over the real AT-SPI bus: the tree of the main
window and of the overlay, an event a screen reader speaks for every new capsule text and
for a refused lock, and a lock and unlock through the buttons' Press actions.

Run on an X server of its own with a private session bus:
    with-bus.sh --session with-xvfb.sh screen-reader-test.py path/to/tavimo
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

R = Atspi.Role

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def pump(seconds):
    """Runs the main loop so that events arrive, for about this long."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(probe, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        pump(0.1)
    return probe()


# Roles by value: their names change between versions of AT-SPI ("push button" is
# "button" from 2.56 on).
def role(node):
    return node.get_role()


def walk(node, depth=0):
    yield node, depth
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child, depth + 1)


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def summary(node):
    return [(role(c), c.get_name()) for c in children(node)]


def described(pairs):
    return repr([(r.value_nick, name) for r, name in pairs])


def frames(app):
    return [c for c in children(app) if c is not None and role(c) == R.FRAME]


def find(app, wanted_role, name):
    for node, _ in walk(app):
        if role(node) == wanted_role and node.get_name() == name:
            return node
    return None


def press(node):
    for i in range(node.get_n_actions()):
        if node.get_action_name(i) == "Press":
            return node.do_action(i)
    return False


def main():
    tavimo = sys.argv[1]
    runtime = tempfile.mkdtemp()
    os.environ["XDG_RUNTIME_DIR"] = runtime
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
    processes = [launcher]
    try:
        time.sleep(0.5)
        Atspi.init()
        spoken = []

        def heard(event):
            source = event.source
            kind = event.type
            if kind.startswith("object:announcement"):
                spoken.append(str(event.any_data))
            elif kind.startswith("object:state-changed:showing") and event.detail1:
                if role(source) in (R.NOTIFICATION, R.ALERT):
                    spoken.append(source.get_name())

        listener = Atspi.EventListener.new(heard)
        listener.register("object:state-changed:showing")
        listener.register("object:announcement")

        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", TAVIMO_SKIP_MOVE_PROMPT="1",
                   QT_QPA_PLATFORM="xcb")
        app_process = subprocess.Popen([tavimo], env=env)
        processes.insert(0, app_process)

        desktop = Atspi.get_desktop(0)

        def application():
            for app in children(desktop):
                if app is not None and app.get_process_id() == app_process.pid and frames(app):
                    return app
            return None

        app = wait_for(application, 20)
        if not check(app is not None, "Tavimo joins the accessibility bus with a frame"):
            return
        main = frames(app)[0]
        check(main.get_name() == "Tavimo", "the main window is a frame named Tavimo")
        capsule_ready = "Accessibility access is ready"
        wait_for(lambda: ((R.LABEL, capsule_ready) in summary(main)), 5)
        check(summary(main) == [(R.HEADING, "Tavimo"),
                                (R.LABEL, "Lock your keyboard while you wipe it down.\n"
                                          "Unlock with one click when you\u2019re done."),
                                (R.LABEL, capsule_ready),
                                (R.PUSH_BUTTON, "Lock keyboard"),
                                (R.LINK, "dev tavimo.app")],
              "the frame holds the heading, texts, capsule, button and link right inside it: "
              + described(summary(main)))
        in_the_way = [(n.get_role_name(), d) for n, d in walk(main)
                      if role(n) in (R.FILLER, R.PANEL, R.IMAGE) or not n.get_name()]
        check(not in_the_way, "no unnamed container nor the icon in the tree: %r" % in_the_way)
        check(all(c.get_parent() == main and c.get_index_in_parent() == i
                  for i, c in enumerate(children(main))),
              "each of them has the frame for its parent and knows its place in it")

        # Without a mouse the capsule says so, and a press on Lock is refused aloud.
        spoken.clear()
        subprocess.run(["xinput", "disable", "Xvfb mouse"], check=True)
        no_mouse = "Connect a mouse to lock the keyboard"
        check(wait_for(lambda: no_mouse in spoken, 5), "a lost mouse is spoken: %r" % spoken)
        spoken.clear()
        press(find(main, R.PUSH_BUTTON, "Lock keyboard"))
        check(wait_for(lambda: spoken == [no_mouse], 3) and (pump(0.5) or spoken == [no_mouse]),
              "a refused lock is spoken once: %r" % spoken)
        spoken.clear()
        subprocess.run(["xinput", "enable", "Xvfb mouse"], check=True)
        check(wait_for(lambda: capsule_ready in spoken, 5), "the mouse back is spoken: %r" % spoken)

        # Locked, the overlay says what to do; its button unlocks.
        press(find(main, R.PUSH_BUTTON, "Lock keyboard"))
        overlay = wait_for(lambda: next((f for f in frames(app) if f.get_name() == "Keyboard locked"
                                         and f.get_state_set().contains(Atspi.StateType.SHOWING)),
                                        None), 10)
        if check(overlay is not None, "a lock shows a frame named Keyboard locked"):
            description = overlay.get_description()
            check("keyboard is locked" in description and "Unlock keyboard" in description
                  and "mouse or touchpad" in description,
                  "the overlay tells how to end the lock: %r" % description)
            check([r for r, _ in summary(overlay)] == [R.HEADING, R.LABEL, R.PUSH_BUTTON, R.LABEL],
                  "the overlay holds heading, message, button and hint: "
                  + described(summary(overlay)))
            # Pressed at once: only a pointer's click so soon after the lock is held back.
            press(find(overlay, R.PUSH_BUTTON, "Unlock keyboard"))
            check(wait_for(lambda: not overlay.get_state_set().contains(Atspi.StateType.SHOWING), 5),
                  "its Unlock keyboard button unlocks")
        listener.deregister("object:state-changed:showing")
        listener.deregister("object:announcement")
    finally:
        for process in processes:
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    main()
    sys.exit(1 if failures else 0)
