#!/usr/bin/env python3
"""Records losslessly as a person would: the ZMBV compressor chosen in Video Options with the mouse
and the keys, a region recorded that is half still desktop and half a moving window, the movie
saved. ffprobe must name the stream zmbv, ffmpeg must decode it without a word, and the still half
of a frame must equal a screenshot of it pixel for pixel.
"""
import argparse
import os
import subprocess
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import REGION, fail  # noqa: E402

STILL_WIDTH = 150                      # the region's left part, clear of the animator
ANIMATOR = (REGION[0] + STILL_WIDTH + 10, 360, 330, 330)


def record_lossless(build, scratch):
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_program(build, scratch)
    e2e.start_animator(build, 60, ANIMATOR)
    e2e.choose_zmbv(scratch)
    e2e.record_region(prefix, e2e.temp_movies(prefix))
    time.sleep(1.5)
    left, top, _, bottom = REGION
    shot = os.path.join(scratch, "still.png")
    e2e.screenshot(shot, (left, top, left + STILL_WIDTH - 1, bottom))
    time.sleep(1.5)
    e2e.press("F8")
    movie = e2e.save_movie(scratch, "lossless")

    codec = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=codec_name,width,height", "-of", "csv=p=0", movie],
                           capture_output=True, text=True).stdout.strip()
    print("ffprobe:", codec)
    name, width, height = codec.split(",")
    if name != "zmbv":
        fail(f"the video stream is {name}, not zmbv")
    said = e2e.ffmpeg_says(movie, "warning")
    if said:
        fail("ffmpeg says: " + " ".join(said)[:500])
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
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with e2e.clean_run("lossless") as scratch:
        record_lossless(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
