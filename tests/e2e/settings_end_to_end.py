#!/usr/bin/env python3
"""The settings files as a person meets them, with framelark.exe under Wine on the test display.

1. A first start finds no settings; closing with the Close button leaves CS.ini and Cdata.ini beside
   the program.
2. CS.ini edited by hand (full-screen mode, F6 as the start key) changes what the next start does:
   F7 no longer records, F6 records the whole screen at once, and the edit survives the exit.
3. With NoSave.ini ("Save Settings on Exit" off) closing leaves no CS.ini or Cdata.ini.
4. A disk that fills up while the settings are saved: the user is told, and the previous CS.ini and
   Cdata.ini stay as they were, whole.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import (click_close, fail, find_window, geometry, main_window, read_file as read,  # noqa: E402
                         set_line, start_program, wait_for_exit, write_file as write, xdotool)

HEADER = b"[Framelark Settings ver1.50 -- Please do not edit ] \r\n\r\n"


def press_over(window, key):
    g = geometry(window)
    e2e.press(key, (g["X"] + 200, g["Y"] + 120))


def temp_movie_appears(prefix, seconds):
    return e2e.wait_until(lambda: any(p.endswith(".avi") for p in e2e.temp_movies(prefix)), seconds, 0.1)


def first_start(build, scratch):
    program = start_program(build, scratch)
    click_close(main_window())
    wait_for_exit(program)
    text = read(scratch, "CS.ini")
    if not text or not text.startswith(HEADER) or text.count(b"\r\n") != 2 + 59:
        fail(f"CS.ini after the first exit: {text[:80] if text else text}")
    if read(scratch, "Cdata.ini") is None:
        fail("no Cdata.ini after the first exit")
    left = sorted(n for n in os.listdir(scratch) if n.endswith((".new", "NoSave.ini")))
    if left:
        fail(f"files left beside the settings: {left}")
    print("first start: CS.ini and Cdata.ini written at exit")


def hand_edited(build, scratch, prefix):
    text = read(scratch, "CS.ini")
    text = set_line(set_line(text, "MouseCaptureMode", 2), "keyRecordStart", 117)
    write(scratch, "CS.ini", set_line(text, "launchPlayer", 0))
    program = start_program(build, scratch)
    window = main_window()
    press_over(window, "F7")
    if find_window("^Title$", 2) or temp_movie_appears(prefix, 1):
        fail("F7 still starts a recording after CS.ini made F6 the start key")
    press_over(window, "F6")
    if not temp_movie_appears(prefix, 15):
        fail("F6 did not start a recording")
    if find_window("^Title$", 1):
        fail("a region was asked for although CS.ini chose the full screen")
    time.sleep(2)
    press_over(window, "F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    movie = e2e.save_as(save, scratch, "full")
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height",
                            "-of", "csv=p=0", movie], capture_output=True, text=True).stdout.strip()
    if probe != "%d,%d" % e2e.screen_size():
        fail(f"the movie is {probe}, not the full screen {e2e.screen_size()}")
    click_close(main_window())
    wait_for_exit(program)
    saved = read(scratch, "CS.ini")
    if b"MouseCaptureMode= 2 \r\n" not in saved or b"keyRecordStart= 117 \r\n" not in saved:
        fail("the hand-edited settings were not saved again at exit")
    print(f"hand-edited CS.ini: F6 recorded the full screen ({probe}), F7 did nothing")


def save_turned_off(build, scratch):
    write(scratch, "NoSave.ini", b"savesettings = 0 \r\n")
    program = start_program(build, scratch)
    click_close(main_window())
    wait_for_exit(program)
    for name in ("CS.ini", "Cdata.ini"):
        if read(scratch, name) is not None:
            fail(f"{name} is still there with Save Settings on Exit off")
    if read(scratch, "NoSave.ini") != b"savesettings = 0 \r\n":
        fail("NoSave.ini is gone or changed")
    os.remove(os.path.join(scratch, "NoSave.ini"))
    print("NoSave.ini: no CS.ini and no Cdata.ini after exit")


def disk_full(build, scratch):
    program = start_program(build, scratch)
    click_close(main_window())
    wait_for_exit(program)
    # Values the next start replaces, so that a save that went through would show.
    old_text = set_line(read(scratch, "CS.ini"), "compfccHandler", 0)
    old_text = set_line(old_text, "savedir", 3)
    old_data = b"Q:\\" + read(scratch, "Cdata.ini")[len(scratch) + 2:]
    write(scratch, "CS.ini", old_text)
    write(scratch, "Cdata.ini", old_data)
    # The disk fills up at CS.ini's new bytes, after Cdata.ini's.
    full = os.path.join(scratch, "CS.ini.new")
    os.symlink("/dev/full", full)

    program = start_program(build, scratch)
    window = main_window()
    click_close(window)
    end = time.time() + 10
    box = None
    while time.time() < end and not box:
        ids = xdotool("search", "--onlyvisible", "--name", "^Framelark$").split()
        box = next((i for i in ids if i != window), None)
        time.sleep(0.2)
    if not box:
        program.kill()
        fail("no message when the disk was full")
    shot = os.path.join(scratch, "disk_full.png")
    e2e.screenshot(shot)
    shutil.copy(shot, os.path.join(os.environ.get("FRAMELARK_SHOTS", tempfile.gettempdir()), "settings_disk_full.png"))
    g = geometry(box)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.2)
    xdotool("key", "Return")
    wait_for_exit(program)
    if read(scratch, "CS.ini") != old_text or read(scratch, "Cdata.ini") != old_data:
        fail("the previous CS.ini and Cdata.ini did not survive the full disk")
    os.remove(full)
    left = sorted(n for n in os.listdir(scratch) if n.endswith(".new"))
    if left:
        fail(f"pending files left after the failed save: {left}")
    print("full disk: the user was told and the previous CS.ini and Cdata.ini stayed whole")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    with e2e.clean_run("settings") as scratch:
        first_start(args.build, scratch)
        hand_edited(args.build, scratch, prefix)
        save_turned_off(args.build, scratch)
        disk_full(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    sys.exit(main())
