#!/usr/bin/env python3
"""The tray icon used as a person would, on the test display under Wine.

Without a tray manager Wine shows notification icons in its "Wine System Tray" window. The icon must
appear there; a left click on it restores the minimised main window; a right click opens the menu,
and clicking "&Record Now!" starts a recording (a region dragged, the temporary movie appears; the
cancel key then ends it without a trace).
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time

from record_end_to_end import (close_program, drag_region, fail, find_window, geometry, press, start_program,
                               temp_movies, wait_for_recording, xdotool)

MAIN = (200, 200, 390, 146)  # where the main window stands
MIN_BUTTON = (322 + 8, 11 + 8)


def viewable(window):
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return "IsViewable" in info


def wait_until(condition, timeout):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.2)
    return False


def main_window_shown():
    window = find_window("^Framelark$", 0.5)
    if not window or not viewable(window):
        return False
    g = geometry(window)
    return (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) == MAIN


def run(build, shots):
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_tray_")
    program = start_program(build, scratch)
    before = temp_movies(prefix)
    try:
        tray = find_window("^Wine System Tray$", 10)
        if not tray:
            fail("no tray icon: the Wine System Tray window did not appear")
        t = geometry(tray)
        # The first icon stands at the left of the client area, below the caption Wine draws.
        icon = (t["X"] + 13, t["Y"] + t["HEIGHT"] - 13)
        print(f"tray window at {t['X']},{t['Y']} {t['WIDTH']}x{t['HEIGHT']}")
        if shots:
            subprocess.run(["import", "-window", "root", os.path.join(shots, "tray_icon.png")], check=True)

        # Minimise with the window's own button, then bring it back from the icon.
        xdotool("mousemove", MAIN[0] + MIN_BUTTON[0], MAIN[1] + MIN_BUTTON[1])
        time.sleep(0.3)
        xdotool("click", 1)
        if not wait_until(lambda: not main_window_shown(), 5):
            fail("the Min button did not minimise the main window")
        xdotool("mousemove", *icon)
        time.sleep(0.3)
        xdotool("click", 1)
        if not wait_until(main_window_shown, 5):
            fail("a left click on the tray icon did not restore the main window")
        print("left click on the icon restored the minimised window")

        # The menu opens at the pointer; its first entry is "&Record Now!".
        xdotool("mousemove", *icon)
        time.sleep(0.3)
        xdotool("click", 3)
        time.sleep(1.0)
        if shots:
            subprocess.run(["import", "-window", "root", os.path.join(shots, "tray_menu.png")], check=True)
        xdotool("mousemove", icon[0] + 30, icon[1] + 10)
        time.sleep(0.3)
        xdotool("click", 1)
        drag_region()
        wait_for_recording(prefix, before)
        print("Record Now! from the tray menu started a recording")
        time.sleep(1.0)
        press("F9")
        if not wait_until(lambda: not [p for p in temp_movies(prefix) if p not in before], 10):
            fail("temporary files left after the cancel key")
    finally:
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--shots", help="folder for screenshots of the icon and its menu")
    args = parser.parse_args()
    run(args.build, args.shots)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
