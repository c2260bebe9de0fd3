#!/usr/bin/env python3
"""Sets the sound and the cursor options as a person would and checks the next recordings.

1. The Audio button opens "Audio Options": "Record Audio" ticked, OK. The menu opens "Cursor
   Options": the built-in "Arrow 2" and the highlight, OK. A recording of a still white area, with a
   440 Hz tone playing into the sound server and the pointer resting at a known place: its sound
   file holds the tone, and the saved frames show the highlight's colour around that place and the
   red arrow there.
2. "Hide Cursor", OK: the next recording's frames show neither.
"""
import argparse
import os
import shutil
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import closed, fail, find_window, keys, open_dialog, press, xdotool  # noqa: E402

STILL = (40, 420, 359, 659)     # a white window, clear of the main window and the animation
POINTER = (200, 540)            # where the pointer rests while recording
HIGHLIGHT = (255, 255, 125)     # the default highlight colour


def record_still(prefix, scratch, name, sound_copy=None):
    """Records the white area with the pointer at rest; returns the middle frame of the movie."""
    before = e2e.temp_movies(prefix)
    e2e.record_region(prefix, before, STILL)
    xdotool("mousemove", *POINTER)
    time.sleep(3)
    new = [p for p in e2e.temp_movies(prefix) if p not in before]
    press("F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    if sound_copy:
        # Whole once the Save dialog asks for a name: the sound is merged only after it.
        sounds = [p for p in new if p.endswith(".wav")]
        if not sounds:
            fail("no temporary sound file while recording with sound")
        shutil.copy(sounds[0], sound_copy)
    movie = e2e.save_as(save, scratch, name)
    width, height = STILL[2] - STILL[0] + 1, STILL[3] - STILL[1] + 1
    frames = e2e.decoded_frames(movie, width, height)
    if not frames:
        fail(f"{name}: no frames decoded")
    return Image.frombytes("RGB", (width, height), frames[len(frames) // 2])


def near(a, b, tolerance=40):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def sound_and_cursor(build, scratch):
    prefix = os.environ["WINEPREFIX"]
    white = os.path.join(scratch, "white.png")
    Image.new("RGB", (STILL[2] - STILL[0] + 41, STILL[3] - STILL[1] + 41), (255, 255, 255)).save(white)
    e2e.start(["display", "-geometry", f"+{STILL[0] - 20}+{STILL[1] - 20}", "-title", "still", white],
              fast_heap=False)
    program = e2e.start_program(build, scratch)
    e2e.start_animator(build, 120)
    e2e.tick_record_audio()
    e2e.option_menu_entry("c")
    open_dialog("Cursor Options", lambda: None)
    keys("alt+u", "Tab", "End", "alt+c", "Return")
    closed("Cursor Options")

    e2e.play_tone(scratch, 30)
    sound = os.path.join(scratch, "sound.wav")
    frame = record_still(prefix, scratch, "shown", sound)
    e2e.check_tone(sound)
    x, y = POINTER[0] - STILL[0], POINTER[1] - STILL[1]
    ring = [frame.getpixel((x + dx, y + dy)) for dx, dy in ((-20, 0), (0, -20), (-14, 14))]
    print("around the pointer:", ring, "at it:", frame.getpixel((x + 3, y + 8)))
    if not all(near(p, HIGHLIGHT) for p in ring):
        fail(f"no highlight around the pointer: {ring}")
    arrow = [frame.getpixel((x + dx, y + dy)) for dx in range(0, 8) for dy in range(0, 14)]
    if not any(near(p, (255, 0, 0), 60) for p in arrow):
        fail("the red arrow is not at the pointer")

    e2e.option_menu_entry("c")
    open_dialog("Cursor Options", lambda: None)
    keys("alt+h", "alt+c", "Return")
    closed("Cursor Options")
    frame = record_still(prefix, scratch, "hidden")
    colours = {frame.getpixel((x + dx, y + dy)) for dx in range(-40, 41, 4) for dy in range(-40, 41, 4)}
    if not all(near(c, (255, 255, 255), 12) for c in colours):
        fail(f"the hidden cursor or the highlight was recorded: {sorted(colours)[:5]}")
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with e2e.clean_run("sound_cursor") as scratch:
        sound_and_cursor(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
