#!/usr/bin/env python3
"""Uses framelark.exe as a person would, on the test display under Wine.

save:   start key, drag a region, let a window animate inside it, stop key, type a name into the
        Save dialog; the movie must be Video 1 at the dragged size, as long as the recording, decode
        cleanly, and its frames must match screenshots taken while recording.
cancel: the same ended with the cancel key; no Save dialog, no file, no temporary files.
relaunch: a plain `wine framelark.exe` without glibc's heap setting; the program must run once, in a
        process that has the setting, while the first process waits for it and then ends with it.
"""
import argparse
import glob
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops, ImageStat

# Clear of the main window at (200, 200), so that only the animation is recorded.
REGION = (600, 400, 919, 639)  # left, top, right, bottom (inclusive) dragged with the mouse
ANIMATOR = (560, 360, 420, 330)  # x, y, width, height: larger than the region
OUTSIDE_REGION = (950, 670)    # over the animator, outside the region: keys reach Wine here
# glibc's heap kept from shrinking, as a Linux user's launcher starts the program.
FAST_HEAP = {"MALLOC_TRIM_THRESHOLD_": "1073741824", "MALLOC_MMAP_MAX_": "0", "MALLOC_ARENA_MAX": "1"}


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def find_window(name, timeout):
    end = time.time() + timeout
    while time.time() < end:
        ids = xdotool("search", "--onlyvisible", "--name", name).split()
        if ids:
            return ids[0]
        time.sleep(0.2)
    return None


def geometry(window):
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values


def press(key):
    xdotool("mousemove", *OUTSIDE_REGION)
    time.sleep(0.2)
    xdotool("key", key)


def temp_movies(prefix):
    temp = os.path.join(prefix, "drive_c", "windows", "temp")
    return sorted(glob.glob(os.path.join(temp, "~temp*.avi")) + glob.glob(os.path.join(temp, "~temp*.wav")) +
                  glob.glob(os.path.join(temp, "tempaudiovideomerge.avi")))


def psnr(a, b):
    diff = ImageChops.difference(a, b)
    stat = ImageStat.Stat(diff)
    pixels = a.size[0] * a.size[1]
    mse = sum(stat.sum2) / (3 * pixels)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def clear_left_recordings(prefix):
    """A test that failed mid-recording leaves files that the next start would offer to recover."""
    temp = os.path.join(prefix, "drive_c", "windows", "temp")
    for path in temp_movies(prefix) + glob.glob(os.path.join(temp, "~temp*.avi.journal")):
        os.remove(path)


def start_program(build, scratch, fast_heap=True, clear_left=True, hooks=None):
    """hooks: a folder whose hook libraries replace the build's (for benchmarks)."""
    if clear_left:
        clear_left_recordings(os.environ["WINEPREFIX"])
    exe = os.path.join(build, "src", "app", "framelark.exe")
    shutil.copy(exe, scratch)
    for dll in ("hook.dll", "hookkey.dll"):
        found = glob.glob(os.path.join(hooks or build, "**", dll), recursive=True)
        if not found:
            fail(f"{dll} was not built")
        shutil.copy(found[0], scratch)
    env = {k: v for k, v in os.environ.items() if k not in FAST_HEAP and k != "GLIBC_TUNABLES"}
    if fast_heap:
        env.update(FAST_HEAP)
    program = subprocess.Popen(["wine", os.path.join(scratch, "framelark.exe")], cwd=scratch, env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not find_window("^Framelark$", 30):
        program.kill()
        fail("the main window did not appear")
    time.sleep(1.0)  # the window is restored about 200 ms after it first shows
    return program


def start_animator(build, seconds, place=ANIMATOR, *mode):
    animator = subprocess.Popen(["wine", os.path.join(build, "tests", "e2e", "animator.exe"),
                                 *map(str, place), str(seconds), *mode],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not find_window("^Animator$", 20):
        animator.kill()
        fail("the animated test window did not appear")
    return animator


def drag_region():
    left, top, right, bottom = REGION
    if not find_window("^Title$", 10):
        fail("the region selection window did not appear after the start key")
    time.sleep(0.5)
    xdotool("mousemove", left, top)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    for step in range(1, 6):
        xdotool("mousemove", left + (right - left) * step // 5, top + (bottom - top) * step // 5)
        time.sleep(0.05)
    xdotool("mouseup", 1)
    xdotool("mousemove", *OUTSIDE_REGION)


def wait_for_recording(prefix, before):
    """Returns when the temporary movie appears: the recording has started."""
    selected = time.time()
    end = selected + 15
    while time.time() < end:
        if [p for p in temp_movies(prefix) if p not in before]:
            print(f"recording started {time.time() - selected:.2f} s after the selection")
            return time.time()
        time.sleep(0.05)
    fail("no recording started after the selection")


def record_region(prefix, before):
    """Starts a recording with the start key and a dragged region; returns when it began."""
    press("F7")
    drag_region()
    return wait_for_recording(prefix, before)


def record(scratch, shots):
    """Takes screenshots of the region while the recording runs."""
    left, top, right, bottom = REGION
    crop = f"{right - left + 1}x{bottom - top + 1}+{left}+{top}"
    time.sleep(0.8)
    for i in range(shots):
        path = os.path.join(scratch, f"shot{i}.png")
        subprocess.run(["import", "-window", "root", "-crop", crop, "+repage", path], check=True)
        time.sleep(0.5)


def close_program(program):
    window = find_window("^Framelark$", 5)
    if window:
        xdotool("windowactivate", window)
        g = geometry(window)
        xdotool("mousemove", g["X"] + 40, g["Y"] + 40)
        xdotool("key", "alt+F4")
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()


def save_as(save, scratch, name, wait=30):
    """Types scratch/name into the Save dialog; returns the movie's path once it is written."""
    g = geometry(save)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", "End", "shift+Home")
    xdotool("type", "Z:" + scratch.replace("/", "\\") + "\\" + name)
    xdotool("key", "Return")
    movie = os.path.join(scratch, name + ".avi")
    end = time.time() + wait
    while time.time() < end and not (os.path.exists(movie) and os.path.getsize(movie) > 0):
        time.sleep(0.3)
    if not os.path.exists(movie):
        fail("no movie was saved")
    time.sleep(1.5)
    return movie


def check_movie(movie, seconds, scratch, shots):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                            "stream=codec_name,width,height,nb_frames,nb_read_frames,r_frame_rate",
                            "-of", "default=noprint_wrappers=1", movie], capture_output=True, text=True)
    info = dict(line.split("=", 1) for line in probe.stdout.split())
    print("ffprobe:", info)
    if info.get("codec_name") != "msvideo1":
        fail(f"video stream is {info.get('codec_name')}, not Video 1")
    width, height = int(info["width"]), int(info["height"])
    left, top, right, bottom = REGION
    if (width, height) != (right - left + 1, bottom - top + 1):
        fail(f"movie is {width}x{height}, the region {right - left + 1}x{bottom - top + 1}")
    rate = eval(info["r_frame_rate"])  # "200/1"
    length = int(info["nb_frames"]) / rate
    print(f"time line {info['nb_frames']} frames at {rate:g}/s = {length:.2f} s; recorded {seconds:.2f} s")
    if not 0.6 * seconds <= length <= 1.15 * seconds + 0.5:
        fail("the movie's time line does not match the recording's length")

    decoded = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-f", "null", "-"], capture_output=True, text=True)
    if decoded.returncode != 0 or decoded.stderr.strip():
        fail("ffmpeg reports decode errors: " + decoded.stderr[:500])

    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-vsync", "0", "-f", "rawvideo", "-pix_fmt", "rgb24",
                          "-"], capture_output=True, check=True).stdout
    size = width * height * 3
    frames = {raw[i:i + size] for i in range(0, len(raw) - size + 1, size)}
    images = [Image.frombytes("RGB", (width, height), f) for f in frames]
    print(f"{len(raw) // size} frames decoded, {len(images)} distinct")
    worst = 99.0
    for i in range(shots):
        shot = Image.open(os.path.join(scratch, f"shot{i}.png")).convert("RGB")
        best = max(psnr(shot, image) for image in images)
        print(f"screenshot {i}: best matching frame {best:.1f} dB")
        worst = min(worst, best)
    if worst <= 30.0:
        fail(f"a screenshot matches no frame above 30 dB (worst {worst:.1f} dB)")


def check_relaunch(build):
    scratch = tempfile.mkdtemp(prefix="framelark_e2e_")
    program = start_program(build, scratch, fast_heap=False)
    try:
        time.sleep(2.0)  # a second program would have shown its window by now
        windows = xdotool("search", "--onlyvisible", "--name", "^Framelark$").split()
        if len(windows) != 1:
            fail(f"{len(windows)} main windows after one start")
        pid = xdotool("getwindowpid", windows[0]).strip()
        with open(f"/proc/{pid}/environ", "rb") as f:
            environment = dict(e.split(b"=", 1) for e in f.read().split(b"\0") if b"=" in e)
        for name, value in FAST_HEAP.items():
            if environment.get(name.encode()) != value.encode():
                fail(f"the running program has {name}={environment.get(name.encode())}, not {value}")
        if b"FRAMELARK_RELAUNCHED_BY" not in environment:
            fail("the window belongs to the first process, not the relaunched one")
        if program.poll() is not None:
            fail("the first process ended while the program still runs")
        print(f"relaunched: window of process {pid} with the heap setting; the first process waits")
    finally:
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)
    if program.returncode != 0:
        fail(f"the first process ended with {program.returncode} after the program closed")


def run(build, mode):
    if mode == "relaunch":
        check_relaunch(build)
        return
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_e2e_")
    program = start_program(build, scratch)
    before = temp_movies(prefix)
    animator = start_animator(build, 40)
    try:
        started = record_region(prefix, before)
        record(scratch, 6)
        press("F8" if mode == "save" else "F9")
        seconds = time.time() - started
        save = find_window("^Save to...$", 10 if mode == "save" else 3)
        if mode == "cancel":
            if save:
                fail("the cancel key brought up the Save dialog")
            time.sleep(1)
            if glob.glob(os.path.join(scratch, "*.avi")):
                fail("a movie was saved after cancel")
            left = [p for p in temp_movies(prefix) if p not in before]
            if left:
                fail(f"temporary files left after cancel: {left}")
            print("cancel: no dialog, no movie, no temporary files")
            return
        if not save:
            fail("no Save dialog after the stop key")
        movie = save_as(save, scratch, "movie")
        check_movie(movie, seconds, scratch, 6)
        left = [p for p in temp_movies(prefix) if p not in before]
        if left:
            fail(f"temporary files left after saving: {left}")
        print("save: movie checked")
    finally:
        animator.kill()
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=["save", "cancel", "relaunch"])
    args = parser.parse_args()
    run(args.build, args.mode)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
