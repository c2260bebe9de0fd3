#!/usr/bin/env python3
"""Sets Framelark's options as a person would, with the mouse and the keyboard only, and checks
that the next recordings follow them.

1. The Video button opens "Video Options": Auto Adjust off, the quality slider moved, a capture
   interval of 200 ms at 5 frames/s, OK. The movie of a few seconds then has five frames a second
   of recording, each a new capture.
2. The Option button's menu (whose first entry no tooltip covers) opens "Hotkeys": F6 becomes the
   record key. F7 then starts nothing, F6 starts a recording.
3. The menu opens "General Options": Full Screen, OK. The record key then records the whole
   screen without a drag.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from record_end_to_end import (REGION, close_program, drag_region, fail, find_window, geometry,  # noqa: E402
                               press, record_region, save_as, start_animator, start_program, temp_movies,
                               wait_for_recording, xdotool)

MAIN = (200, 200)          # where the main window stands
VIDEO_BUTTON = (262, 79)   # centres of the buttons, within the window
OPTION_BUTTON = (232, 79)
OPTION_BUTTON_LEFT_BOTTOM = (217, 97)


def click(x, y):
    xdotool("mousemove", x, y)
    time.sleep(0.3)
    xdotool("click", 1)


def open_dialog(title, how):
    how()
    dialog = find_window(f"^{title}$", 10)
    if not dialog:
        fail(f'"{title}" did not open')
    g = geometry(dialog)
    # Keys go to the window under the pointer: rest it on the dialog's caption.
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + 8)
    time.sleep(0.5)
    return dialog


def keys(*names):
    for name in names:
        xdotool("key", name)
        time.sleep(0.15)


def closed(title):
    end = time.time() + 5
    while time.time() < end:
        if not find_window(f"^{title}$", 0.2):
            return
    fail(f'"{title}" stayed open after OK')


def option_menu_entry(letter):
    """Opens the Option button's menu, checks that no tooltip covers it, and picks an entry."""
    click(MAIN[0] + OPTION_BUTTON[0], MAIN[1] + OPTION_BUTTON[1])
    time.sleep(1.5)  # the pointer rests on the button, long enough for a tooltip to show
    check_menu_uncovered()
    keys(letter)


def check_menu_uncovered():
    # Menus and tooltips are the program's unnamed pop-up windows.
    popups = []
    for window in xdotool("search", "--onlyvisible", "--class", "framelark").split():
        if not xdotool("getwindowname", window).strip():
            popups.append(geometry(window))
    left, top = MAIN[0] + OPTION_BUTTON_LEFT_BOTTOM[0], MAIN[1] + OPTION_BUTTON_LEFT_BOTTOM[1]
    menus = [g for g in popups if (g["X"], g["Y"]) == (left, top)]
    if not menus:
        fail(f"no menu at the Option button's lower-left corner; pop-ups: {popups}")
    menu = menus[0]
    for g in popups:
        if g is not menu and g["X"] < left + menu["WIDTH"] and g["X"] + g["WIDTH"] > left and \
                g["Y"] < top + 20 and g["Y"] + g["HEIGHT"] > top:
            fail(f"a pop-up at {g['X']},{g['Y']} ({g['WIDTH']}x{g['HEIGHT']}) covers the menu's first entry")


def save_movie(scratch, name):
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    return save_as(save, scratch, name)


def probe(movie):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                          "stream=width,height,nb_frames,nb_read_frames,r_frame_rate",
                          "-of", "default=noprint_wrappers=1", movie], capture_output=True, text=True).stdout
    info = dict(line.split("=", 1) for line in out.split())
    print("ffprobe:", info)
    return info


def video_options_then_record(prefix, scratch):
    open_dialog("Video Options", lambda: click(MAIN[0] + VIDEO_BUTTON[0], MAIN[1] + VIDEO_BUTTON[1]))
    keys("alt+d")                       # Auto Adjust off: the numbers can be typed
    keys("alt+q", "End", "Prior", "Prior")  # quality slider to the end, then two pages back
    keys("alt+k")
    xdotool("type", "5")
    keys("alt+e")
    xdotool("type", "200")
    keys("alt+p")
    xdotool("type", "5")
    keys("Return")
    closed("Video Options")

    before = temp_movies(prefix)
    started = record_region(prefix, before)
    time.sleep(4)
    press("F8")
    seconds = time.time() - started
    info = probe(save_movie(scratch, "interval"))
    left, top, right, bottom = REGION
    if (int(info["width"]), int(info["height"])) != (right - left + 1, bottom - top + 1):
        fail("the movie does not have the dragged size")
    if info["r_frame_rate"] != "5/1":
        fail(f"the playback rate is {info['r_frame_rate']}, not 5/1")
    frames = int(info["nb_frames"])
    print(f"{frames} frames in {seconds:.2f} s at one capture every 200 ms")
    if not 0.6 * seconds * 5 <= frames <= 1.15 * seconds * 5 + 2:
        fail("the frame count does not follow the 200 ms capture interval")


def hotkeys_then_record(prefix):
    option_menu_entry("h")
    open_dialog("Hotkeys", lambda: None)
    keys("alt+r", "Home", "Down", "Down", "Down", "Down", "Down")  # F1, then down to F6
    keys("Return")
    closed("Hotkeys")

    before = temp_movies(prefix)
    press("F7")
    if find_window("^Title$", 2):
        fail("F7 still starts a recording")
    press("F6")
    drag_region()
    wait_for_recording(prefix, before)
    time.sleep(1)
    press("F9")  # the cancel key: nothing to save
    time.sleep(2)


def full_screen_then_record(prefix, scratch):
    option_menu_entry("g")
    open_dialog("General Options", lambda: None)
    keys("alt+u", "Return")
    closed("General Options")

    before = temp_movies(prefix)
    press("F6")
    if find_window("^Title$", 1.5):
        fail("Full Screen still asks for a region")
    wait_for_recording(prefix, before)
    time.sleep(2)
    press("F8")
    info = probe(save_movie(scratch, "full"))
    screen = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
    size = next(line.split()[1] for line in screen.splitlines() if "dimensions:" in line)
    if f"{info['width']}x{info['height']}" != size:
        fail(f"the movie is {info['width']}x{info['height']}, the screen {size}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_options_")
    program = start_program(args.build, scratch)
    animator = start_animator(args.build, 90)
    try:
        video_options_then_record(prefix, scratch)
        hotkeys_then_record(prefix)
        full_screen_then_record(prefix, scratch)
    finally:
        animator.kill()
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
