#!/usr/bin/env python3
"""Records losslessly as a person would: the ZMBV compressor chosen in Video Options with the mouse
and the keys, a region recorded that is half still desktop and half a moving window, the movie
saved. ffprobe must name the stream zmbv, ffmpeg must decode it without a word, and the still half
of a frame must equal a screenshot of it pixel for pixel.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from options_end_to_end import MAIN, VIDEO_BUTTON, click, closed, keys, open_dialog, save_movie  # noqa: E402
from record_end_to_end import (REGION, close_program, fail, find_window, press, record_region,  # noqa: E402
                               start_animator, start_program, temp_movies)

STILL_WIDTH = 150                      # the region's left part, clear of the animator
ANIMATOR = (REGION[0] + STILL_WIDTH + 10, 360, 330, 330)


def choose_zmbv(scratch):
    open_dialog("Video Options", lambda: click(MAIN[0] + VIDEO_BUTTON[0], MAIN[1] + VIDEO_BUTTON[1]))
    keys("alt+m", "Home")
    # Down through the list until the About box names the lossless compressor.
    for _ in range(12):
        keys("alt+a")
        if find_window("^About ZMBV lossless screen$", 3):
            subprocess.run(["import", "-window", "root", os.path.join(scratch, "about.png")], check=True)
            keys("Return")
            closed("About ZMBV lossless screen")
            break
        if find_window("^About", 0.5):  # another compressor's own box
            keys("Escape")
        open_dialog("Video Options", lambda: None)
        keys("alt+m", "Down")
    else:
        fail("no compressor in the list is the ZMBV lossless one")
    keys("Return")
    closed("Video Options")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_lossless_")
    program = start_program(args.build, scratch)
    animator = start_animator(args.build, 60, ANIMATOR)
    try:
        choose_zmbv(scratch)
        before = temp_movies(prefix)
        record_region(prefix, before)
        time.sleep(1.5)
        left, top, _, bottom = REGION
        shot = os.path.join(scratch, "still.png")
        crop = f"{STILL_WIDTH}x{bottom - top + 1}+{left}+{top}"
        subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", shot], check=True)
        time.sleep(1.5)
        press("F8")
        movie = save_movie(scratch, "lossless")

        codec = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                "stream=codec_name,width,height", "-of", "csv=p=0", movie],
                               capture_output=True, text=True).stdout.strip()
        print("ffprobe:", codec)
        name, width, height = codec.split(",")
        if name != "zmbv":
            fail(f"the video stream is {name}, not zmbv")
        decoded = subprocess.run(["ffmpeg", "-v", "warning", "-i", movie, "-f", "null", "-"], capture_output=True,
                                 text=True)
        if decoded.returncode != 0 or decoded.stderr.strip():
            fail("ffmpeg says: " + decoded.stderr[:500])
        frame = os.path.join(scratch, "frame.png")
        subprocess.run(["ffmpeg", "-v", "error", "-sseof", "-0.5", "-i", movie, "-frames:v", "1", "-update", "1",
                        frame], check=True)
        still = Image.open(frame).convert("RGB").crop((0, 0, STILL_WIDTH, int(height)))
        differing = ImageChops.difference(still, Image.open(shot).convert("RGB")).getbbox()
        if differing:
            fail(f"the still part of the last frame differs from the screenshot within {differing}")
        moving = Image.open(frame).convert("RGB").crop((STILL_WIDTH + 10, 0, int(width), int(height)))
        print(f"{width}x{height} zmbv movie, {os.path.getsize(movie)} bytes; the still part equals the "
              f"screenshot, the moving part has {len(moving.getcolors(1 << 20) or [])} colours")
    finally:
        animator.kill()
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
