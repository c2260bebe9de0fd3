#!/usr/bin/env python3
"""Key latency through the system while Framelark's main thread is busy during a recording.

Starts framelark.exe, records a dragged region, and starts key_latency.exe, another program whose
window takes key presses. A few seconds in, key_latency suspends Framelark's main thread for the
stall's length, as a long synchronous save holds it. Keys are pressed over key_latency's window every
200 ms before, during and after the stall; each one's delivery time is printed. Then F8 must still
stop the recording (the Save dialog appears).

  bench/hooks/run.sh [--hooks DIR] [--stall MS]   (DIR: hook.dll and hookkey.dll to use instead)
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import e2e_support as e2e  # noqa: E402

RECEIVER_MIDDLE = (850, 150)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--hooks", help="folder with the hook libraries to measure instead of the build's")
    parser.add_argument("--stall", type=int, default=3000)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_keys_")
    program = None
    animator = None
    receiver = None
    try:
        e2e.clear_temp_folder(prefix)  # a recording left there would be offered at the start
        before = e2e.temp_movies(prefix)
        program = e2e.start_program(args.build, scratch, hooks=args.hooks)
        animator = e2e.start_animator(args.build, 60)
        e2e.record_region(prefix, before)
        report = os.path.join(scratch, "keys.txt")
        stall_after = 2500
        receiver = subprocess.Popen(["wine", os.path.join(args.build, "bench", "hooks", "key_latency.exe"),
                                     "Z:" + report.replace("/", "\\"), str(stall_after), str(args.stall)],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not e2e.find_window("^KeyLatency$", 20):
            e2e.fail("key_latency's window did not appear")
        e2e.xdotool("mousemove", *RECEIVER_MIDDLE)
        end = time.time() + (stall_after + args.stall + 2500) / 1000
        while time.time() < end:
            e2e.xdotool("key", "a")
            time.sleep(0.2)
        time.sleep(1.0)
        e2e.xdotool("key", "F8")
        save = e2e.find_window("^Save to...$", 15)
        stopped = "yes" if save else "NO"
        if save:
            e2e.save_as(save, scratch, "movie")
        with open(report) as f:
            lines = f.read().splitlines()
        stall = [int(m.group(1)) for line in lines for m in [re.match(r"stall (?:from|to) (\d+)", line)] if m]
        if len(stall) != 2:
            e2e.fail("the stall did not happen: " + " / ".join(lines[:3]))
        keys = [(int(m.group(1)), int(m.group(2))) for line in lines
                for m in [re.match(r"key down 65 at (\d+) latency (\d+)", line)] if m]
        # A key counts for the stall when it was pressed during it (arrival minus its latency).
        during = [latency for at, latency in keys if stall[0] <= at - latency < stall[1]]
        outside = [latency for at, latency in keys if not stall[0] <= at - latency < stall[1]]
        print(f"stall {stall[1] - stall[0]} ms; keys pressed {len(keys)}, load {open('/proc/loadavg').read().split()[0]}")
        for name, values in (("during the stall", during), ("outside it", outside)):
            if values:
                print(f"  {name}: {len(values)} keys, latency median {statistics.median(values):.0f} ms, "
                      f"worst {max(values)} ms")
        print(f"  F8 afterwards stopped the recording: {stopped}")
    finally:
        for helper in (receiver, animator):
            if helper:
                helper.kill()
        if program:
            e2e.close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
