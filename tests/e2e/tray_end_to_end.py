#!/usr/bin/env python3
"""The tray icon used as a person would, on the test display under Wine.

Without a tray manager Wine shows notification icons in its "Wine System Tray" window. The icon must
appear there; a left click on it restores the minimised main window; a right click opens the menu,
and clicking "&Record Now!" starts a recording (a region dragged, the temporary movie appears; the
cancel key then ends it without a trace).
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, geometry, wait_until, xdotool  # noqa: E402


def viewable(window):
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    return "IsViewable" in info


def main_window_shown():
    window = find_window("^Framelark$", 0.5)
    if not window or not viewable(window):
        return False
    g = geometry(window)
    return (g["X"], g["Y"], g["WIDTH"], g["HEIGHT"]) == (*e2e.MAIN, *e2e.MAIN_SIZE)


def run(build, shots, scratch):
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_program(build, scratch)
    before = e2e.temp_movies(prefix)
    tray = find_window("^Wine System Tray$", 10)
    if not tray:
        fail("no tray icon: the Wine System Tray window did not appear")
    t = geometry(tray)
    # The first icon stands at the left of the client area, below the caption Wine draws.
    icon = (t["X"] + 13, t["Y"] + t["HEIGHT"] - 13)
    print(f"tray window at {t['X']},{t['Y']} {t['WIDTH']}x{t['HEIGHT']}")
    if shots:
        e2e.screenshot(os.path.join(shots, "tray_icon.png"))

    # Minimise with the window's own button, then bring it back from the icon.
    e2e.click_button("min")
    if not wait_until(lambda: not main_window_shown(), 5):
        fail("the Min button did not minimise the main window")
    e2e.click(*icon)
    if not wait_until(main_window_shown, 5):
        fail("a left click on the tray icon did not restore the main window")
    print("left click on the icon restored the minimised window")

    # The menu opens at the pointer; its first entry is "&Record Now!".
    xdotool("mousemove", *icon)
    time.sleep(0.3)
    xdotool("click", 3)
    time.sleep(1.0)
    if shots:
        e2e.screenshot(os.path.join(shots, "tray_menu.png"))
    e2e.click(icon[0] + 30, icon[1] + 10)
    e2e.drag_region()
    e2e.wait_for_recording(prefix, before)
    print("Record Now! from the tray menu started a recording")
    time.sleep(1.0)
    e2e.press("F9")
    e2e.check_temp_cleaned(prefix, "after the cancel key", before)
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--shots", help="folder for screenshots of the icon and its menu")
    args = parser.parse_args()
    with e2e.clean_run("tray") as scratch:
        run(args.build, args.shots, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
