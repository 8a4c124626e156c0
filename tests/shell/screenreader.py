#!/usr/bin/python3
"""Finds the console's main window, its computer tree and a computer's
status over the AT-SPI bus, by role and name, as a screen reader does.

    screenreader.py PROGRAM

PROGRAM is screenreader_console. Exits 0 when all three are found, 1 when
one is missing, 77 (a skip) when the accessibility bus does not answer."""

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

TITLE = "Varno-Osk - Profile Migration System"
STATUS = "HQ-01, Migration successful"
NEXT_STATUS = "HQ-01, Migration complete with warnings"
# How long the program may take to appear on the bus, at most.
REGISTRATION_SECONDS = 60


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(77)


def find_frame(program_name):
    desktop = pyatspi.Registry.getDesktop(0)
    for application in desktop:
        if application is None or application.name != program_name:
            continue
        for window in application:
            if window is not None and window.getRole() == pyatspi.ROLE_FRAME and window.name.startswith(TITLE):
                return window
    return None


def main():
    program = sys.argv[1]
    console = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        if console.stdout.readline().strip() != "ready":
            print("FAIL: %s did not start" % program)
            return 1
        name = program.rsplit("/", 1)[-1]
        deadline = time.monotonic() + REGISTRATION_SECONDS
        frame = None
        while frame is None and time.monotonic() < deadline:
            try:
                frame = find_frame(name)
            except Exception as error:  # the bus itself is missing
                skip("the AT-SPI bus does not answer: %s" % error)
            if frame is None:
                time.sleep(0.5)
        if frame is None:
            print("FAIL: no frame \"%s...\" of %s on the bus within %d s" % (TITLE, name, REGISTRATION_SECONDS))
            return 1
        print("found the main window: %s" % frame.name)

        trees = pyatspi.findAllDescendants(
            frame, lambda node: node.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE) and node.name == "Computers")
        if len(trees) != 1:
            print("FAIL: %d trees named \"Computers\"" % len(trees))
            return 1
        print("found the tree: %s (%s)" % (trees[0].name, trees[0].getRoleName()))

        computer = pyatspi.findDescendant(trees[0], lambda node: node.name == STATUS)
        if computer is None:
            names = [child.name for child in trees[0] if child is not None]
            print("FAIL: no node \"%s\" in the tree; it has %s" % (STATUS, names))
            return 1
        print("found the computer: %s (%s)" % (computer.name, computer.getRoleName()))

        # The selected computer's next status is announced: its name changes.
        heard = []

        def on_name(event):
            heard.append(event.source.name)
            if event.source.name == NEXT_STATUS:
                pyatspi.Registry.stop()

        pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
        console.stdin.write("XW\n")
        console.stdin.flush()
        GLib.timeout_add_seconds(20, pyatspi.Registry.stop)
        pyatspi.Registry.start()
        if NEXT_STATUS not in heard:
            print("FAIL: \"%s\" was not announced within 20 s; heard %s" % (NEXT_STATUS, heard))
            return 1
        print("heard: %s" % NEXT_STATUS)
    finally:
        # The end of its input ends the program.
        console.stdin.close()
        try:
            console.wait(timeout=20)
        except subprocess.TimeoutExpired:
            console.kill()
            console.wait()
    if console.returncode != 0:
        print("FAIL: %s ended with %d" % (program, console.returncode))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
