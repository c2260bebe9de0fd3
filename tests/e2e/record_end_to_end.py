#!/usr/bin/env python3
"""Uses framelark.exe as a person would, on the test display under Wine.

save:   start key, drag a region, let a window animate inside it, stop key, type a name into the
        Save dialog; the movie must be Video 1 at the dragged size, as long as the recording, decode
        cleanly, and its frames must match screenshots taken while recording.
cancel: the same ended with the cancel key; no Save dialog, no file, no temporary files.
hasty:  the stop key and at once Escape, as a person dismisses whatever is up: the Save dialog still
        comes and stays; Escape in it asks first, and the default answer brings it back to save.
relaunch: a plain `wine framelark.exe` without glibc's heap setting; the program must run once, in a
        process that has the setting, while the first process waits for it and then ends with it.
"""
import argparse
import glob
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, press, xdotool  # noqa: E402


def check_relaunch(build, scratch):
    program = e2e.start_program(build, scratch, fast_heap=False)
    time.sleep(2.0)  # a second program would have shown its window by now
    windows = xdotool("search", "--onlyvisible", "--name", "^Framelark$").split()
    if len(windows) != 1:
        fail(f"{len(windows)} main windows after one start")
    pid = xdotool("getwindowpid", windows[0]).strip()
    with open(f"/proc/{pid}/environ", "rb") as f:
        environment = dict(e.split(b"=", 1) for e in f.read().split(b"\0") if b"=" in e)
    for name, value in e2e.FAST_HEAP.items():
        if environment.get(name.encode()) != value.encode():
            fail(f"the running program has {name}={environment.get(name.encode())}, not {value}")
    if b"FRAMELARK_RELAUNCHED_BY" not in environment:
        fail("the window belongs to the first process, not the relaunched one")
    if program.poll() is not None:
        fail("the first process ended while the program still runs")
    print(f"relaunched: window of process {pid} with the heap setting; the first process waits")
    e2e.close_program(program)
    if program.returncode != 0:
        fail(f"the first process ended with {program.returncode} after the program closed")


def check_hasty_escape(save):
    """The Escape typed with the stop key must not have cancelled the Save dialog; an Escape in it
    asks, and the question's default keeps the recording. Returns the Save dialog, up again."""
    time.sleep(2.0)
    if not save or not find_window("^Save to...$", 0.1) or find_window("^Note$", 0.1):
        e2e.screenshot(os.path.join(os.environ.get("FRAMELARK_SHOT_DIR", "/tmp"), "hasty.png"))
        fail("the Escape typed right after the stop key reached the Save dialog")
    g = e2e.geometry(save)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", "Escape")
    question = find_window("^Note$", 10)
    if not question:
        fail("cancelling the Save dialog threw the recording away without asking")
    g = e2e.geometry(question)
    xdotool("mousemove", g["X"] + 8, g["Y"] + g["HEIGHT"] - 8)
    time.sleep(0.3)
    xdotool("key", "Return")
    save = find_window("^Save to...$", 10)
    if not save:
        fail("the question's default did not bring the Save dialog back")
    print("hasty: the Escape after the stop key was dropped; Cancel asked, and No kept the recording")
    return save


def run(build, mode, scratch):
    if mode == "relaunch":
        check_relaunch(build, scratch)
        return
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_program(build, scratch)
    before = e2e.temp_movies(prefix)
    e2e.start_animator(build, 40)
    pressed = time.time()
    running = e2e.record_region(prefix, before)
    e2e.take_shots(scratch, 6)
    stopped = press({"save": "F8", "cancel": "F9", "hasty": "F8 Escape"}[mode])
    save = find_window("^Save to...$", 3 if mode == "cancel" else 10)
    if mode == "hasty":
        save = check_hasty_escape(save)
    if mode == "cancel":
        if save:
            fail("the cancel key brought up the Save dialog")
        e2e.check_temp_cleaned(prefix, "after cancel", before)
        if glob.glob(os.path.join(scratch, "*.avi")):
            fail("a movie was saved after cancel")
        print("cancel: no dialog, no movie, no temporary files")
    else:
        if not save:
            fail("no Save dialog after the stop key")
        elapsed = time.time() - pressed
        movie = e2e.save_as(save, scratch, "movie")
        e2e.check_movie(movie, stopped - running, elapsed, scratch, 6)
        e2e.check_temp_cleaned(prefix, "after saving", before)
        print("save: movie checked")
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=["save", "cancel", "hasty", "relaunch"])
    args = parser.parse_args()
    with e2e.clean_run("e2e") as scratch:
        run(args.build, args.mode, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
