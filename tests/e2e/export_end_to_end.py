#!/usr/bin/env python3
"""Saves a recording as MP4, WebM or GIF as a person would, with the real ffmpeg.exe beside
framelark.exe (the one scripts/setup installs).

Start key, a dragged region over the animated window (with sound for MP4 and WebM: "Record Audio"
ticked and a tone playing), stop key, "movie.<type>" typed into the Save dialog. The file appears,
the AVI kept while it was made is gone, and ffprobe reads the codecs the type promises at the
region's size (MP4 padded to even sizes), as long as the recording within 0.1 s, with no more
pictures than the recording grabbed; a GIF loops and has no sound. No temporary file is left.
The file then plays to its end in Chromium (headless, from a page on localhost): the element's time
reaches the end, as long as the recording within 0.1 s, at the region's size. Where Chromium is not
installed that part alone is skipped, and says so.
"""
import argparse
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_playback  # noqa: E402
from e2e_support import (REGION, TONE, close_program, fail, find_window, geometry, press,  # noqa: E402
                         record_region, start_animator, start_program, temp_movies, tick_record_audio,
                         video_packets, xdotool)

SECONDS = 5
EXPECTED = {  # video stream, audio stream
    "mp4": ("h264,yuv420p", "aac"),
    "webm": ("vp9,yuv420p", "opus"),
    "gif": ("gif,bgra", ""),
}
FFMPEG = os.path.join("ffmpeg-win", "node_modules", "@ffmpeg-installer", "win32-x64", "ffmpeg.exe")


def ffprobe(path, *entries):
    return subprocess.run(["ffprobe", "-v", "error", *entries, "-of", "csv=p=0", path],
                          capture_output=True, text=True).stdout.strip()


def type_name(save, path):
    g = geometry(save)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", "End", "shift+Home")
    xdotool("type", "Z:" + path.replace("/", "\\"))
    xdotool("key", "Return")


def wait_for_conversion(output, avi, seconds=240):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(output) and not os.path.exists(avi) and not find_window("^Making the", 0.1):
            return
        time.sleep(0.5)
    fail(f"no {os.path.basename(output)} in {seconds} s, or the AVI stayed: {os.listdir(os.path.dirname(output))}")


def check(output, kind, recorded):
    width, height = REGION[2] - REGION[0] + 1, REGION[3] - REGION[1] + 1
    if kind == "mp4":
        width, height = width + width % 2, height + height % 2
    video, audio = EXPECTED[kind]
    found = ffprobe(output, "-select_streams", "v", "-show_entries", "stream=codec_name,pix_fmt,width,height")
    print(f"{kind}: video {found}, audio {ffprobe(output, '-select_streams', 'a', '-show_entries', 'stream=codec_name')}")
    codec, w, h, pixels = found.split(",")
    if f"{codec},{pixels}" != video or (int(w), int(h)) != (width, height):
        fail(f"expected {video} at {width} x {height}, found {found}")
    if ffprobe(output, "-select_streams", "a", "-show_entries", "stream=codec_name") != audio:
        fail(f"expected sound {audio or 'none'}")
    duration = float(ffprobe(output, "-show_entries", "format=duration"))
    expected = float(ffprobe(recorded, "-select_streams", "v", "-show_entries", "stream=duration"))
    print(f"duration {duration:.3f} s, the recording {expected:.3f} s")
    if abs(duration - expected) > 0.1:
        fail(f"the {kind} lasts {duration:.3f} s, the recording {expected:.3f} s")
    frames = int(ffprobe(output, "-select_streams", "v", "-count_frames", "-show_entries", "stream=nb_read_frames"))
    grabbed = len(video_packets(recorded))
    print(f"{frames} pictures, {grabbed} grabbed")
    if not 0 < frames <= grabbed:
        fail(f"{frames} pictures in the {kind}, {grabbed} grabbed")
    if kind == "gif":
        with open(output, "rb") as f:
            if b"NETSCAPE2.0" not in f.read():
                fail("the GIF does not loop")
    check_in_browser(output, kind, expected, (width, height))


def check_in_browser(output, kind, recorded, size):
    if not browser_playback.available():
        print(f"SKIP browser playback: {browser_playback.CHROMIUM} is not installed (scripts/setup installs it)")
        return
    seen = browser_playback.play(output)
    print(f"in Chromium: {seen}")
    if "error" in seen:
        fail(f"Chromium did not play the {kind}: {seen['error']}")
    if (seen["width"], seen["height"]) != size or (seen["shownWidth"], seen["shownHeight"]) != size:
        fail(f"Chromium shows the {kind} at {seen['width']} x {seen['height']}, expected {size[0]} x {size[1]}")
    if abs(seen["time"] - seen["duration"]) > 0.05 or abs(seen["time"] - recorded) > 0.1:
        fail(f"Chromium's time reached {seen['time']:.3f} s of {seen['duration']:.3f} s, the recording {recorded:.3f} s")
    if kind == "gif" and seen["loops"] != "Infinity":
        fail(f"Chromium repeats the GIF {seen['loops']} times, not for ever")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("kind", choices=sorted(EXPECTED))
    args = parser.parse_args()
    ffmpeg = os.path.join(os.path.dirname(os.path.abspath(args.build)), FFMPEG)
    if not os.path.exists(ffmpeg):
        fail(f"{ffmpeg} is missing: run scripts/setup")
    prefix = os.environ["WINEPREFIX"]
    # Whatever happens, the program, the animation, the tone and the scratch folder go, in reverse.
    with contextlib.ExitStack() as cleanup:
        scratch = tempfile.mkdtemp(prefix="framelark_export_")
        cleanup.callback(shutil.rmtree, scratch, ignore_errors=True)
        os.symlink(ffmpeg, os.path.join(scratch, "ffmpeg.exe"))
        cleanup.callback(close_program, start_program(args.build, scratch))
        cleanup.callback(start_animator(args.build, 120).kill)
        if EXPECTED[args.kind][1]:
            tick_record_audio()
            tone = os.path.join(scratch, "tone.wav")
            subprocess.run(["sox", "-n", tone, "synth", str(SECONDS + 20), "sine", str(TONE)], check=True)
            cleanup.callback(subprocess.Popen(["paplay", "-d", "rec", tone], stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL).kill)
        before = temp_movies(prefix)
        record_region(prefix, before)
        time.sleep(SECONDS)
        recorded = [p for p in temp_movies(prefix) if p not in before and p.endswith(".avi")]
        press("F8")
        save = find_window("^Save to...$", 15)
        if not save:
            fail("no Save dialog after the stop key")
        copy = os.path.join(scratch, "recorded.avi")
        shutil.copy(recorded[0], copy)
        output = os.path.join(scratch, "movie." + args.kind)
        type_name(save, output)
        wait_for_conversion(output, os.path.join(scratch, "movie.avi"))
        left = [p for p in temp_movies(prefix) if p not in before or p.endswith("tempaudiovideomerge.avi")]
        left += [n for n in os.listdir(scratch) if n.endswith(".partial")]
        if left:
            fail(f"temporary files left: {left}")
        check(output, args.kind, copy)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
