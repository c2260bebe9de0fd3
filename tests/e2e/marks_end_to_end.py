#!/usr/bin/env python3
"""Clicks, keys and the countdown as the saved movie shows them. The region is a white window whose
top left shows the wall clock in black and white cells (animator.exe clock), so that each decoded
frame tells when it was grabbed; the cursor is not recorded.

shortcuts: clicks and keys shown, "shortcuts only", the lossless compressor. A left and a right
        click at known points: rings of the left and the right colour around those points, and
        nowhere else, in frames grabbed after the click, growing frame by frame. Then Ctrl+S,
        Alt+Tab and "hello" typed, a few seconds apart, the start key twice (pause, resume) and the
        stop key: the caption strip of some frame equals, pixel for pixel, what caption_render.exe
        (the program's own marks code) draws for Ctrl+S, and for Alt+Tab; from the typing on, no
        frame shows a caption at all, so neither "hello" nor the hotkeys.
all_keys: the same with all keys: a frame shows "hello" exactly as drawn; from the start key on
        (pause, resume, stop) no frame shows a caption.
countdown: a countdown of 3 s. First the cancel key during it: the countdown goes, no recording
        starts, no movie, no temporary file. Then the start key brings the region selection up
        again, and a countdown runs out: it shows on the screen, yet no frame of the movie has its
        dark box in the middle; the first frame's clock is at least 2.8 s after the region was
        chosen (the delay is printed: timing is for the benchmarks to judge).
"""
import argparse
import math
import os
import sys
import time

from PIL import Image, ImageChops, ImageStat

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import ANIMATOR, OUTSIDE_REGION, REGION, fail, find_window, xdotool  # noqa: E402

WIDTH, HEIGHT = REGION[2] - REGION[0] + 1, REGION[3] - REGION[1] + 1
# The animator's clock cells, in the region: 28 cells of 8 pixels from (8, 8), Gray code.
CLOCK_LEFT, CLOCK_TOP, CLOCK_CELL, CLOCK_BITS = ANIMATOR[0] + 48 - REGION[0], ANIMATOR[1] + 48 - REGION[1], 8, 28
# Clicks in the region, clear of the clock and of the caption strip.
LEFT_CLICK, RIGHT_CLICK = (80, 90), (240, 90)
LEFT_COLOUR = (255, 200, 0)     # the default click colour
RIGHT_COLOUR = (0, 255, 200)    # the same turned round
CAPTION_TOP = HEIGHT - 90       # the caption box stands near the bottom
# Virtual-key codes, pressed and released, as caption_render.exe takes them.
KEYS = {"Ctrl+S": "11 53 -53 -11", "Alt+Tab": "12 09 -09 -12", "hello": "48 -48 45 -45 4C -4C 4C -4C 4F -4F"}
APART = 3.0                     # seconds between groups of keys: each caption has faded before the next


def frame_time(image):
    """The wall clock the frame shows, in seconds: the last time up to now whose low bits it shows."""
    gray = 0
    for i in range(CLOCK_BITS):
        pixel = image.getpixel((CLOCK_LEFT + i * CLOCK_CELL + CLOCK_CELL // 2, CLOCK_TOP + CLOCK_CELL // 2))
        gray |= (sum(pixel) < 3 * 128) << i
    hundredths, shift = gray, gray >> 1
    while shift:
        hundredths ^= shift
        shift >>= 1
    now = int(time.time() * 100)
    return (now - ((now - hundredths) % (1 << CLOCK_BITS))) / 100


def colour_mask(image, colour):
    """255 where the pixel is within 40 of the colour in every channel."""
    diff = ImageChops.difference(image, Image.new("RGB", image.size, colour)).split()
    return ImageChops.lighter(ImageChops.lighter(diff[0], diff[1]), diff[2]).point(lambda v: 255 if v < 40 else 0)


def ring_around(mask, point):
    """(pixels, centre, mean distance from point) of the mask, or None when it is empty."""
    count = ImageStat.Stat(mask).sum[0] / 255
    if not count:
        return None
    box = mask.getbbox()
    xs = ys = distance = 0.0
    for y in range(box[1], box[3]):
        for x in range(box[0], box[2]):
            if mask.getpixel((x, y)):
                xs, ys = xs + x, ys + y
                distance += math.hypot(x - point[0], y - point[1])
    return count, (xs / count, ys / count), distance / count


def check_rings(frames, clicked):
    """frames: (time, image) in order; clicked: the moments the left and the right click were sent."""
    for name, point, colour, other, sent in (("left", LEFT_CLICK, LEFT_COLOUR, RIGHT_CLICK, clicked[0]),
                                             ("right", RIGHT_CLICK, RIGHT_COLOUR, LEFT_CLICK, clicked[1])):
        radii = []
        for at, image in frames:
            ring = ring_around(colour_mask(image, colour), point)
            if not ring:
                continue
            count, centre, radius = ring
            if count < 40:  # a ring fading out, only a few pixels still near its colour
                continue
            if math.dist(centre, point) > 3 or not 5 <= radius <= 36:
                fail(f"{name} click: {count:.0f} pixels of its colour centred at {centre[0]:.1f},{centre[1]:.1f}, "
                     f"{radius:.1f} from the click at {point}; the other click is at {other}")
            # The animator's clock is at most a repaint behind the grab.
            if at < sent - 0.1:
                fail(f"{name} click: a ring in a frame of {at - sent:.2f} s before the click")
            radii.append(radius)
        if not radii:
            fail(f"no frame shows the {name} click's ring")
        if any(later < earlier - 1 for earlier, later in zip(radii, radii[1:])):
            fail(f"the {name} click's ring shrinks from frame to frame: {[round(r, 1) for r in radii]}")
        print(f"{name} click: a ring of its colour around {point} in {len(radii)} frames, "
              f"{radii[0]:.1f} to {radii[-1]:.1f} pixels out")


def rendered_captions(build, scratch):
    """The caption strip for each key group as the program's own code draws it over white."""
    strips = {}
    for text, codes in KEYS.items():
        path = os.path.join(scratch, f"caption{len(strips)}.ppm")
        tool = e2e.start(["wine", os.path.join(build, "tests", "e2e", "caption_render.exe"), *map(str, REGION[:2]),
                          str(WIDTH), str(HEIGHT), "0", path, *codes.split()])
        if tool.wait(60) != 0:
            fail(f"caption_render.exe could not draw {text}")
        strips[text] = Image.open(path).convert("RGB").crop((0, CAPTION_TOP, WIDTH, HEIGHT)).tobytes()
    blank = Image.new("RGB", (WIDTH, HEIGHT - CAPTION_TOP), (255, 255, 255)).tobytes()
    if len(set(strips.values()) | {blank}) != len(strips) + 1:
        fail("caption_render.exe drew the same strip for different keys")
    return strips, blank


def check_captions(frames, strips, blank, shown, quiet_from):
    """Some frame's strip equals each of the captions shown; no frame from quiet_from on shows any."""
    seen = {text: 0 for text in strips}
    for at, image in frames:
        strip = image.crop((0, CAPTION_TOP, WIDTH, HEIGHT)).tobytes()
        for text, expected in strips.items():
            seen[text] += strip == expected
        if at >= quiet_from and strip != blank:
            name = next((text for text, expected in strips.items() if strip == expected), "a caption")
            fail(f"{name} shows in a frame {at - quiet_from:.2f} s after the keys that must not show began")
    print("frames showing each caption exactly:", seen)
    for text in strips:
        if (seen[text] > 0) != (text in shown):
            fail(f'"{text}" {"never shows" if text in shown else "shows"}')


def record_marks(build, scratch, shortcuts_only):
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_with_settings(scratch, build, g_showclicks=1, g_showkeys=1,
                                      g_shortcutsonly=int(shortcuts_only))
    e2e.start_animator(build, 120, ANIMATOR, "clock")
    strips, blank = rendered_captions(build, scratch)
    e2e.choose_zmbv(scratch)
    e2e.record_region(prefix, e2e.temp_movies(prefix))
    time.sleep(0.5)
    clicked = []
    for (x, y), button in ((LEFT_CLICK, 1), (RIGHT_CLICK, 3)):
        xdotool("mousemove", REGION[0] + x, REGION[1] + y)
        time.sleep(0.3)
        clicked.append(time.time())
        xdotool("click", button)
        time.sleep(1.0)
    # Keys reach Wine where the pointer rests over one of its windows.
    xdotool("mousemove", *OUTSIDE_REGION)
    time.sleep(0.5)
    xdotool("key", "ctrl+s")
    time.sleep(APART)
    xdotool("key", "alt+Tab")
    time.sleep(APART)
    typed = time.time()
    xdotool("type", "--delay", "100", "hello")
    time.sleep(APART)
    hotkeys = time.time()
    xdotool("key", "F7")  # pause
    time.sleep(1.0)
    xdotool("key", "F7")  # and on
    time.sleep(2.0)
    xdotool("key", "F8")
    movie = e2e.save_movie(scratch, "marks")
    frames = [(frame_time(image), image) for image in
              (Image.frombytes("RGB", (WIDTH, HEIGHT), f) for f in e2e.each_frame(movie, WIDTH, HEIGHT))]
    print(f"{len(frames)} frames over {frames[-1][0] - frames[0][0]:.1f} s of the clock")
    check_rings(frames, clicked)
    if shortcuts_only:
        check_captions(frames, strips, blank, ("Ctrl+S", "Alt+Tab"), typed)
    else:
        check_captions(frames, strips, blank, ("Ctrl+S", "Alt+Tab", "hello"), hotkeys)
    e2e.close_program(program)


def dark_middle(image):
    """Whether the middle of the region, where the countdown stands, holds anything dark."""
    middle = image.crop((WIDTH // 2 - 50, HEIGHT // 2 - 50, WIDTH // 2 + 50, HEIGHT // 2 + 50)).convert("L")
    return middle.getextrema()[0] < 128


def countdown(build, scratch):
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_with_settings(scratch, build, countdownSeconds=3)
    e2e.start_animator(build, 120, ANIMATOR, "clock")
    before = e2e.temp_movies(prefix)

    # Cancelled: the movie made ready during the countdown goes with it.
    e2e.press("F7")
    chosen = e2e.drag_region()
    if not find_window("^Countdown$", 2):
        fail("no countdown after the region was chosen")
    e2e.press("F9")
    if not e2e.wait_until(lambda: not find_window("^Countdown$", 0.1), 5):
        fail("the countdown stayed after the cancel key")
    # Past the moment the countdown would have ended and a recording started.
    time.sleep(max(0.0, chosen + 5 - time.time()))
    if find_window("^Save to...$", 0.5):
        fail("a recording started after the countdown was cancelled")
    e2e.check_temp_cleaned(prefix, "after the countdown was cancelled", before)

    # Run out: shown on the screen, never in the movie.
    e2e.press("F7")
    if not find_window("^Title$", 10):
        fail("the start key does nothing after a cancelled countdown")
    chosen = e2e.drag_region()
    time.sleep(1.0)
    shot = os.path.join(scratch, "countdown.png")
    e2e.screenshot(shot, REGION)
    if not dark_middle(Image.open(shot).convert("RGB")):
        fail("no countdown in the middle of the region a second after it was chosen")
    e2e.wait_for_recording(prefix, before)
    time.sleep(2.0)
    e2e.press("F8")
    movie = e2e.save_movie(scratch, "countdown")
    first = None
    count = 0
    for frame in e2e.each_frame(movie, WIDTH, HEIGHT):
        image = Image.frombytes("RGB", (WIDTH, HEIGHT), frame)
        first = first or frame_time(image)
        count += 1
        if dark_middle(image):
            fail(f"frame {count} shows the countdown")
    if not count:
        fail("the movie holds no frame")
    delay = first - chosen
    print(f"{count} frames, none with the countdown; the first grabbed {delay:.2f} s after the region was chosen")
    if delay < 2.8:
        fail(f"the recording began {delay:.2f} s after the region was chosen, before its 3 s countdown ended")
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=["shortcuts", "all_keys", "countdown"])
    args = parser.parse_args()
    with e2e.clean_run("marks") as scratch:
        if args.mode in ("shortcuts", "all_keys"):
            record_marks(args.build, scratch, args.mode == "shortcuts")
        else:
            countdown(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
