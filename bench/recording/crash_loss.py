#!/usr/bin/env python3
"""What a crash costs a recording: frames recovered after kill -9 against a stopped recording.

A 460 x 360 region over the animated window is recorded for SECONDS, then either stopped with the
stop key and saved, or the program is killed and the recording recovered at the next start. For
each run: the pictures in the saved movie, and the time between the moment the recording ended (the
key or the kill) and its last picture's slot on the time line. The difference between the two gaps
is what the crash lost at the end. Run under scripts/env.sh's services, as run.sh does.
"""
import argparse
import os
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from e2e_support import (clear_temp_folder, close_program, find_window, geometry, press, save_as,  # noqa: E402
                         start_animator, start_program, temp_movies, video_packets, wait_for_recording, xdotool)

SECONDS = 5
SLOT_MS = 5  # the default time-lapse: one time-line slot every 5 ms
REGION = (540, 340, 999, 699)


def start_recording(prefix):
    before = temp_movies(prefix)
    press("F7")
    if not find_window("^Title$", 10):
        sys.exit("no region selection")
    time.sleep(0.5)
    xdotool("mousemove", REGION[0], REGION[1])
    xdotool("mousedown", 1)
    xdotool("mousemove", REGION[2], REGION[3])
    xdotool("mouseup", 1)
    return wait_for_recording(prefix, before)


def answer_yes():
    question = find_window("^Note$", 20)
    if not question:
        sys.exit("the killed recording was not offered")
    g = geometry(question)
    xdotool("mousemove", g["X"] + 8, g["Y"] + g["HEIGHT"] - 8)
    xdotool("click", 1)
    xdotool("key", "y")


def one(build, prefix, scratch, mode, number):
    clear_temp_folder(prefix)  # a recording left there would be offered at the start
    program = start_program(build, scratch)
    started = start_recording(prefix)
    time.sleep(SECONDS)
    if mode == "stop":
        press("F8")
        ended = time.time()
    else:
        pid = int(xdotool("getwindowpid", find_window("^Framelark$", 5)).strip())
        ended = time.time()
        os.kill(pid, signal.SIGKILL)
        program.wait(10)
        program = start_program(build, scratch)
        answer_yes()
    save = find_window("^Save to...$", 30)
    if not save:
        sys.exit("no Save dialog")
    movie = save_as(save, scratch, f"{mode}{number}")
    close_program(program)
    slots = [int(p[0]) for p in video_packets(movie)]
    gap = (ended - started) * 1000 - max(slots) * SLOT_MS
    print(f"{mode:5s} run {number}: {len(slots)} pictures in {(ended - started):.2f} s, last slot {max(slots)}, "
          f"{gap:.0f} ms between the end and the last picture", flush=True)
    return gap


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=2)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_crash_")
    animator = start_animator(args.build, 3600, (560, 360, 420, 330))
    try:
        gaps = {mode: [one(args.build, prefix, scratch, mode, n) for n in range(args.runs)] for mode in ("stop", "kill")}
    finally:
        animator.kill()
    lost = sum(gaps["kill"]) / len(gaps["kill"]) - sum(gaps["stop"]) / len(gaps["stop"])
    print(f"a crash loses {lost:.0f} ms at the end of the recording (mean over {args.runs} runs each)")


if __name__ == "__main__":
    main()
