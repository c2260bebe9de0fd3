#!/usr/bin/env python3
"""framelark.exe on a display with two monitors of different sizes, changed while it runs.

On the Xorg test display (dummy driver, laid out with xrandr) and a Wine prefix of its own:
1. a region dragged on the second monitor (right of the primary) records that monitor's pixels, and
   so does one dragged on it after it moved left of the primary while the program ran;
2. Full Screen with the pointer on the second monitor records that monitor, at its size;
3. the display changes while the program runs (the second monitor goes left of the primary, at
   negative coordinates, and the primary changes its mode): Full Screen on the left monitor records
   it, and the next one on the primary has the primary's new size; the pixels match screenshots.
"""
import argparse
import contextlib
import os
import shutil
import subprocess
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import (click_close, fail, find_window, set_line, start_animator, start_program,  # noqa: E402
                         wait_for_exit)

SKIP = 77


def xrandr(*args):
    result = subprocess.run(["xrandr", *args], capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"xrandr {' '.join(args)}: {result.stderr.strip()}")
    # A plain query makes the server probe its outputs again; Wine sees the new layout after it.
    subprocess.run(["xrandr"], capture_output=True)


def own_prefix(build):
    """A Wine prefix of this test, so that its Wine server and desktop belong to this display."""
    # Outside the build tree, whose files the helpers search (the prefix links to the root).
    prefix = os.path.join(os.path.dirname(os.path.abspath(build)), "monitor-prefix")
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        shutil.rmtree(prefix, ignore_errors=True)
        # Linked, not copied (700 MB); the registry, which the server rewrites, copied.
        subprocess.run(["cp", "-al", os.environ["WINEPREFIX"], prefix], check=True)
        for name in ("system.reg", "user.reg", "userdef.reg"):
            os.remove(os.path.join(prefix, name))
            shutil.copy(os.path.join(os.environ["WINEPREFIX"], name), prefix)
    e2e.use_prefix(prefix)
    subprocess.run(["wineserver", "-p"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return prefix


@contextlib.contextmanager
def two_monitor_run(name, build):
    """The Xorg test display with the 1024 x 768 primary monitor and an 800 x 600 one right of it,
    and a clean run in the test's own Wine prefix there; without that display the test is skipped."""
    display = os.environ.get("FRAMELARK_MONITOR_DISPLAY")
    if not display:
        print("no monitor test display (scripts/test starts one)")
        sys.exit(SKIP)
    os.environ["DISPLAY"] = display
    xrandr("--output", "DUMMY1", "--off", "--output", "DUMMY0", "--mode", "1024x768", "--pos", "0x0", "--primary")
    subprocess.run(["xrandr", "--addmode", "DUMMY1", "800x600"], capture_output=True)
    xrandr("--output", "DUMMY1", "--mode", "800x600", "--right-of", "DUMMY0")
    with e2e.clean_run(name) as scratch:
        own_prefix(build)
        try:
            yield scratch
        finally:
            e2e.end_started_programs()
            subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def record_and_check(scratch, prefix, name, region, key_point, drag):
    """Starts a recording with F7 over key_point, dragging the region (X coordinates) when drag is
    set, takes screenshots of the region, stops it with F8 and checks the saved movie against them."""
    before = e2e.temp_movies(prefix)
    pressed = e2e.press("F7", key_point)
    if drag:
        e2e.drag_region(region, key_point)
    running = e2e.wait_for_recording(prefix, before)
    e2e.take_shots(scratch, 3, region)
    for i in range(3):
        with Image.open(os.path.join(scratch, f"shot{i}.png")) as shot:
            if all(low == high for low, high in shot.convert("RGB").getextrema()):
                fail(f"{name}: the screenshot is one colour; the animated window is not in the region")
    stopped = e2e.press("F8", key_point)
    save = find_window("^Save to...$", 15)
    if not save:
        fail(f"{name}: no Save dialog after the stop key")
    elapsed = time.time() - pressed
    movie = e2e.save_as(save, scratch, name)
    e2e.check_movie(movie, stopped - running, elapsed, scratch, 3, region)
    print(f"{name}: {region[2] - region[0] + 1}x{region[3] - region[1] + 1} movie matches the screen")


def full_screen(scratch, prefix, name, monitor, animator_place, build, x_offset=0):
    """Full Screen with the pointer over an animated window on the monitor (X coordinates). The
    window is placed in Windows coordinates, which start x_offset pixels right of X's."""
    x, y, w, h = animator_place
    animator = start_animator(build, 30, animator_place)
    record_and_check(scratch, prefix, name, monitor, (x + x_offset + w - 10, y + h - 10), False)
    animator.kill()


def run(build, scratch):
    # 1. A region dragged on the second monitor.
    prefix = os.environ["WINEPREFIX"]
    program = start_program(build, scratch)
    animator = start_animator(build, 30, (1104, 80, 400, 300))
    record_and_check(scratch, prefix, "region", (1124, 100, 1443, 339), (1490, 370), True)
    animator.kill()
    # The region window follows a display change: the second monitor moves left of the primary
    # (X puts it at 0, Windows at -800) and a region is dragged on it.
    xrandr("--output", "DUMMY1", "--mode", "800x600", "--left-of", "DUMMY0")
    time.sleep(2)
    animator = start_animator(build, 30, (-700, 80, 400, 300))
    record_and_check(scratch, prefix, "moved", (120, 100, 439, 339), (490, 370), True)
    animator.kill()
    click_close(find_window("^Framelark$", 5))
    wait_for_exit(program)

    # 2. Full Screen, pointer on the second monitor.
    xrandr("--output", "DUMMY1", "--mode", "800x600", "--right-of", "DUMMY0")
    text = set_line(e2e.read_file(scratch, "CS.ini"), "MouseCaptureMode", 2)
    e2e.write_file(scratch, "CS.ini", set_line(text, "launchPlayer", 0))
    program = start_program(build, scratch)
    full_screen(scratch, prefix, "second", (1024, 0, 1823, 599), (1104, 80, 400, 300), build)

    # 3. The display changes under the running program: the second monitor moves left of the
    # primary (Windows puts it at -800), then the primary changes its mode.
    xrandr("--output", "DUMMY1", "--mode", "800x600", "--left-of", "DUMMY0")
    time.sleep(2)
    full_screen(scratch, prefix, "left", (0, 0, 799, 599), (-700, 100, 400, 300), build, 800)
    xrandr("--output", "DUMMY1", "--off", "--output", "DUMMY0", "--mode", "640x480", "--pos", "0x0")
    time.sleep(2)
    full_screen(scratch, prefix, "changed", (0, 0, 639, 479), (20, 20, 600, 160), build)
    click_close(find_window("^Framelark$", 5))
    wait_for_exit(program)


def run_on_two_monitors(name, run_test):
    """The test's main: run_test(build, scratch) inside two_monitor_run()."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with two_monitor_run(name, args.build) as scratch:
        run_test(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    run_on_two_monitors("monitors", run)
