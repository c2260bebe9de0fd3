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
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import REGION, closed, fail, find_window, keys, open_dialog, press, xdotool  # noqa: E402


def video_options_then_record(prefix, scratch):
    open_dialog("Video Options", lambda: e2e.click_button("video"))
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

    pressed = time.time()
    running = e2e.record_region(prefix, e2e.temp_movies(prefix))
    time.sleep(4)
    stopped = press("F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    elapsed = time.time() - pressed
    info = e2e.probe(e2e.save_as(save, scratch, "interval"))
    left, top, right, bottom = REGION
    if (int(info["width"]), int(info["height"])) != (right - left + 1, bottom - top + 1):
        fail("the movie does not have the dragged size")
    if info["r_frame_rate"] != "5/1":
        fail(f"the playback rate is {info['r_frame_rate']}, not 5/1")
    # One slot every 200 ms of the recording's clock.
    e2e.check_time_line(int(info["nb_frames"]), 5, stopped - running, elapsed)


def hotkeys_then_record(prefix):
    e2e.option_menu_entry("h")
    open_dialog("Hotkeys", lambda: None)
    keys("alt+r", "Home", "Down", "Down", "Down", "Down", "Down")  # F1, then down to F6
    keys("Return")
    closed("Hotkeys")

    before = e2e.temp_movies(prefix)
    press("F7")
    if find_window("^Title$", 2):
        fail("F7 still starts a recording")
    e2e.record_region(prefix, before, key="F6")
    time.sleep(1)
    press("F9")  # the cancel key: nothing to save
    e2e.check_temp_cleaned(prefix, "after the cancel key", before)


def full_screen_then_record(prefix, scratch):
    e2e.option_menu_entry("g")
    open_dialog("General Options", lambda: None)
    keys("alt+u", "Return")
    closed("General Options")

    before = e2e.temp_movies(prefix)
    press("F6")
    if find_window("^Title$", 1.5):
        fail("Full Screen still asks for a region")
    e2e.wait_for_recording(prefix, before)
    time.sleep(2)
    press("F8")
    info = e2e.probe(e2e.save_movie(scratch, "full"))
    size = e2e.screen_size()
    if (int(info["width"]), int(info["height"])) != size:
        fail(f"the movie is {info['width']}x{info['height']}, the screen {size[0]}x{size[1]}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    with e2e.clean_run("options") as scratch:
        program = e2e.start_program(args.build, scratch)
        e2e.start_animator(args.build, 90)
        video_options_then_record(prefix, scratch)
        hotkeys_then_record(prefix)
        full_screen_then_record(prefix, scratch)
        e2e.close_program(program)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
