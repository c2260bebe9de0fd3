#!/usr/bin/env python3
"""The region mode "Window": one window followed wherever it goes, on the two-monitor test display.

The mode is chosen in the Option button's Region menu; the start key shows the selection, a click
on the animated window picks it, and the recording follows it as the window, told by commands on
its input, moves across the primary monitor, onto the second one, is minimised a while, and is
resized. Its closing ends the recording: a note says why, the Save dialog comes, and after the save
a note says how long the window was not shown. The saved movie keeps the window's first size; every
frame shows the window (1:1 before the resize, fitted between black bars after it), and screenshots
of the window taken at each place match a frame.
"""
import os
import subprocess
import sys
import time

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import click_close, fail, find_window, keys, psnr, set_line, wait_for_exit  # noqa: E402
from monitors_end_to_end import run_on_two_monitors  # noqa: E402

WIDTH, HEIGHT = 320, 240
# Clear of the main window, which stays on top, at (200, 200) to (589, 345).
START = (620, 400)
# Across the primary monitor (1024 x 768), then onto the second one, right of it.
PLACES = [(50, 400), (350, 450), (650, 500), (1100, 100), (1250, 300)]
REST = (1000, 20)  # the pointer, off the window's path
RESIZED = (480, 160)  # wider than the first size: fitted as 320 x 107 between bars
# The animated window's colours: five backgrounds and its white bars and counter.
PALETTE = [(30, 60, 160), (200, 60, 40), (40, 150, 70), (220, 200, 40), (120, 40, 140), (250, 250, 250)]


def command(animator, line):
    animator.stdin.write((line + "\n").encode())
    animator.stdin.flush()
    time.sleep(0.8)  # moved and painted, and a few frames grabbed there


def shot_of_window(scratch, name, place, size=(WIDTH, HEIGHT)):
    x, y = place
    path = os.path.join(scratch, f"{name}.png")
    e2e.screenshot(path, (x, y, x + size[0] - 1, y + size[1] - 1))
    return path


def dismiss_note(after):
    note = find_window("^Note$", 20)
    if not note:
        fail(f"no note {after}")
    g = e2e.geometry(note)
    e2e.xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    e2e.xdotool("key", "Return")


def share_of_window_colours(image, box, palette=PALETTE):
    """The share of the box's pixels that are one of the animated window's colours."""
    colours = image.crop(box).getcolors(box_area(box))
    near = sum(count for count, c in colours if any(max(abs(a - b) for a, b in zip(c, p)) <= 48 for p in palette))
    return near / box_area(box)


def box_area(box):
    return (box[2] - box[0]) * (box[3] - box[1])


def kind_of_frame(image, fitted):
    """"1:1" or "fitted" where the frame shows the window whole, "unpainted" where parts of it are
    still black, None where it shows anything else."""
    x, y, w, h = fitted
    if share_of_window_colours(image, (0, 0, WIDTH, HEIGHT)) >= 0.9:
        return "1:1"
    bars = [image.crop(box).convert("L").getextrema()[1] for box in ((0, 0, WIDTH, y), (0, y + h, WIDTH, HEIGHT))]
    if max(bars) <= 24 and share_of_window_colours(image, (x, y, x + w, y + h)) >= 0.9:
        return "fitted"
    if share_of_window_colours(image, (0, 0, WIDTH, HEIGHT), PALETTE + [(0, 0, 0)]) >= 0.9:
        return "unpainted"
    return None


def check_frames(movie, fitted, changes):
    """Each frame shows the window whole: at first 1:1, then fitted between black bars. Without a
    compositor, X shows a window that was just moved, restored or resized black until Wine paints
    it: a frame may catch that, but no more than a few in a row after each change. Returns the
    fitted frames."""
    frames = e2e.decoded_frames(movie, WIDTH, HEIGHT)
    images = {raw: Image.frombytes("RGB", (WIDTH, HEIGHT), raw) for raw in set(frames)}
    kinds = {raw: kind_of_frame(image, fitted) for raw, image in images.items()}
    for i, raw in enumerate(frames):
        if not kinds[raw]:
            images[raw].save(os.path.join(os.environ.get("FRAMELARK_SHOTS", "/tmp"), "window_follow_frame.png"))
            fail(f"frame {i} of {len(frames)} does not show the window "
                 f"({share_of_window_colours(images[raw], (0, 0, WIDTH, HEIGHT)):.2f} of it in the window's colours)")
    order = [kinds[raw] for raw in frames]
    runs = "".join("u" if kind == "unpainted" else "." for kind in order).split(".")
    unpainted = [len(run) for run in runs if run]
    print(f"unpainted frames: {sum(unpainted)} in {len(unpainted)} runs of at most {max(unpainted, default=0)}")
    if len(unpainted) > changes or max(unpainted, default=0) > 3:
        fail(f"more black frames than the window's {changes} changes of place and size account for: {unpainted}")
    order = [kind for kind in order if kind != "unpainted"]
    first_fitted = order.index("fitted") if "fitted" in order else len(order)
    if first_fitted == len(order) or "1:1" in order[first_fitted:]:
        fail(f"the resized window is not fitted from its resize on: {order.count('fitted')} fitted frames")
    print(f"{len(order)} painted frames: {first_fitted} show the window 1:1, then {len(order) - first_fitted} fitted")
    return [image for raw, image in images.items() if kinds[raw] == "fitted"]


def run(build, scratch):
    program = e2e.start_program(build, scratch)
    click_close(e2e.main_window())
    wait_for_exit(program)
    e2e.write_file(scratch, "CS.ini", set_line(e2e.read_file(scratch, "CS.ini"), "launchPlayer", 0))
    program = e2e.start_program(build, scratch)
    e2e.option_menu_entry("e")  # Region
    keys("w")                   # Window (followed wherever it goes)

    animator = e2e.start(["wine", os.path.join(build, "tests", "e2e", "animator.exe"), *map(str, START),
                          str(WIDTH), str(HEIGHT), "120", "commands"], stdin=subprocess.PIPE)
    if not find_window("^Animator$", 20):
        fail("the animated test window did not appear")
    prefix = os.environ["WINEPREFIX"]
    before = e2e.temp_movies(prefix)
    pressed = e2e.press("F7", (START[0] + 200, START[1] + 150))
    if not find_window("^Title$", 10):
        fail("the selection did not come up after the start key")
    time.sleep(0.5)
    e2e.xdotool("mousemove", START[0] + 160, START[1] + 120)
    time.sleep(0.3)
    e2e.xdotool("click", 1)
    e2e.xdotool("mousemove", *REST)
    running = e2e.wait_for_recording(prefix, before)

    time.sleep(0.5)
    shots = [shot_of_window(scratch, "shot0", START)]
    for i, place in enumerate(PLACES, 1):
        command(animator, f"move {place[0]} {place[1]}")
        shots.append(shot_of_window(scratch, f"shot{i}", place))
    command(animator, "minimise")
    time.sleep(1.5)
    command(animator, "restore")
    command(animator, f"size {RESIZED[0]} {RESIZED[1]}")
    resized = shot_of_window(scratch, "resized", PLACES[-1], RESIZED)
    time.sleep(0.5)
    closed = time.time()
    command(animator, "close")

    dismiss_note("of why the recording ended after the window closed")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the window closed")
    movie = e2e.save_as(save, scratch, "window")
    dismiss_note("of how long the window was minimised, after the save")
    e2e.check_movie(movie, closed - running, time.time() - pressed, scratch, len(shots),
                    (0, 0, WIDTH - 1, HEIGHT - 1))

    # Resized to 480 x 160: 320 x 107 in the frame, 66 pixels of bar above it.
    fitted = (0, 66, 320, 107)
    fitted_frames = check_frames(movie, fitted, len(PLACES) + 2)
    with Image.open(resized) as shot:
        expected = shot.convert("RGB").resize((fitted[2], fitted[3]), Image.LANCZOS)
    box = (fitted[0], fitted[1], fitted[0] + fitted[2], fitted[1] + fitted[3])
    best = max(psnr(expected, frame.crop(box)) for frame in fitted_frames)
    print(f"the resized window, scaled: best matching fitted frame {best:.1f} dB")
    if best <= 22.0:
        fail(f"no fitted frame matches the resized window above 22 dB (best {best:.1f} dB)")

    click_close(e2e.main_window())
    wait_for_exit(program)
    text = e2e.read_file(scratch, "CS.ini")
    if b"MouseCaptureMode= 1 \r\n" not in text or b"\r\nwindowCapture=1 \r\n" not in text:
        fail("CS.ini does not keep the window mode beside a region drawn with the mouse")


if __name__ == "__main__":
    run_on_two_monitors("window_follow", run)
