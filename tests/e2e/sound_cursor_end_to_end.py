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
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from record_end_to_end import (fail, find_window, press, start_animator, start_program, temp_movies,  # noqa: E402
                               close_program, wait_for_recording, xdotool)
from options_end_to_end import MAIN, click, closed, keys, open_dialog, option_menu_entry, save_movie  # noqa: E402
from PIL import Image  # noqa: E402

AUDIO_BUTTON = (290, 79)
STILL = (40, 420, 359, 659)     # a white window, clear of the main window and the animation
POINTER = (200, 540)            # where the pointer rests while recording
HIGHLIGHT = (255, 255, 125)     # the default highlight colour
TONE = 440



def tick_record_audio():
    """Ticks "Record Audio" in the Audio Options dialog, as a person would."""
    open_dialog("Audio Options", lambda: click(MAIN[0] + AUDIO_BUTTON[0], MAIN[1] + AUDIO_BUTTON[1]))
    keys("alt+r", "Return")
    closed("Audio Options")

def drag(region):
    left, top, right, bottom = region
    if not find_window("^Title$", 10):
        fail("the region selection window did not appear after the start key")
    time.sleep(0.5)
    xdotool("mousemove", left, top)
    xdotool("mousedown", 1)
    for step in range(1, 6):
        xdotool("mousemove", left + (right - left) * step // 5, top + (bottom - top) * step // 5)
        time.sleep(0.05)
    xdotool("mouseup", 1)


def record_still(prefix, scratch, name, sound_copy=None):
    """Records the white area with the pointer at rest; returns the middle frame of the movie."""
    before = temp_movies(prefix)
    press("F7")
    drag(STILL)
    wait_for_recording(prefix, before)
    xdotool("mousemove", *POINTER)
    time.sleep(3)
    new = [p for p in temp_movies(prefix) if p not in before]
    press("F8")
    if sound_copy:
        sounds = [p for p in new if p.endswith(".wav")]
        if not sounds:
            fail("no temporary sound file while recording with sound")
        time.sleep(1)
        shutil.copy(sounds[0], sound_copy)
    movie = save_movie(scratch, name)
    width, height = STILL[2] - STILL[0] + 1, STILL[3] - STILL[1] + 1
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-vsync", "0", "-f", "rawvideo", "-pix_fmt",
                          "rgb24", "-"], capture_output=True, check=True).stdout
    size = width * height * 3
    count = len(raw) // size
    if count == 0:
        fail(f"{name}: no frames decoded")
    middle = count // 2
    return Image.frombytes("RGB", (width, height), raw[middle * size:(middle + 1) * size])


def near(a, b, tolerance=40):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def check_tone(path):
    with wave.open(path) as sound:
        rate, channels, width = sound.getframerate(), sound.getnchannels(), sound.getsampwidth()
        data = sound.readframes(sound.getnframes())
    if width != 2:
        fail(f"sound of {width * 8} bits, expected 16")
    samples = [int.from_bytes(data[i:i + 2], "little", signed=True) for i in range(0, len(data), 2 * channels)]
    loud = [s for s in samples if abs(s) > 1000]
    if len(loud) < rate // 4:
        fail(f"the sound file holds no tone ({len(samples)} frames, {len(loud)} loud)")
    crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0) and abs(a - b) > 500)
    frequency = crossings / 2 / (len(loud) / rate)
    print(f"sound: {len(samples) / rate:.2f} s, about {frequency:.0f} Hz")
    if not 0.8 * TONE <= frequency <= 1.2 * TONE:
        fail(f"the sound is about {frequency:.0f} Hz, not {TONE} Hz")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_sound_cursor_")
    white = os.path.join(scratch, "white.png")
    Image.new("RGB", (STILL[2] - STILL[0] + 41, STILL[3] - STILL[1] + 41), (255, 255, 255)).save(white)
    still = subprocess.Popen(["display", "-geometry", f"+{STILL[0] - 20}+{STILL[1] - 20}", "-title", "still", white],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tone = os.path.join(scratch, "tone.wav")
    subprocess.run(["sox", "-n", tone, "synth", "30", "sine", str(TONE)], check=True)
    program = start_program(args.build, scratch)
    animator = start_animator(args.build, 120)
    player = None
    try:
        tick_record_audio()
        option_menu_entry("c")
        open_dialog("Cursor Options", lambda: None)
        keys("alt+u", "Tab", "End", "alt+c", "Return")
        closed("Cursor Options")

        player = subprocess.Popen(["paplay", "-d", "rec", tone], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        sound = os.path.join(scratch, "sound.wav")
        frame = record_still(prefix, scratch, "shown", sound)
        check_tone(sound)
        x, y = POINTER[0] - STILL[0], POINTER[1] - STILL[1]
        ring = [frame.getpixel((x + dx, y + dy)) for dx, dy in ((-20, 0), (0, -20), (-14, 14))]
        print("around the pointer:", ring, "at it:", frame.getpixel((x + 3, y + 8)))
        if not all(near(p, HIGHLIGHT) for p in ring):
            fail(f"no highlight around the pointer: {ring}")
        arrow = [frame.getpixel((x + dx, y + dy)) for dx in range(0, 8) for dy in range(0, 14)]
        if not any(near(p, (255, 0, 0), 60) for p in arrow):
            fail("the red arrow is not at the pointer")

        option_menu_entry("c")
        open_dialog("Cursor Options", lambda: None)
        keys("alt+h", "alt+c", "Return")
        closed("Cursor Options")
        frame = record_still(prefix, scratch, "hidden")
        colours = {frame.getpixel((x + dx, y + dy)) for dx in range(-40, 41, 4) for dy in range(-40, 41, 4)}
        if not all(near(c, (255, 255, 255), 12) for c in colours):
            fail(f"the hidden cursor or the highlight was recorded: {sorted(colours)[:5]}")
    finally:
        if player:
            player.kill()
        animator.kill()
        still.kill()
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
