#!/usr/bin/env python3
"""A recording whose program is killed (kill -9 of the Wine process) is offered back at the next start.

recover: a recording is killed after a few seconds; the next start asks once, Yes brings the Save
         dialog; the saved movie decodes in ffmpeg without a word and holds at least 90 % of the
         frames written before the kill, each on its time-line slot.
recover_sound: the same with sound: the sound file is completed and merged, and holds the tone.
decline: a recording with sound, answered No: no Save dialog, and no temporary file is left.
second_instance: a second program started while the first records with sound asks nothing, takes
         none of its files and ends at once (one keyboard hook, one recording per key press); the
         first then saves its movie as usual.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, geometry, save_as, xdotool  # noqa: E402

SECONDS = 4
QUESTION = "^Note$"


def left_files(prefix, before):
    return [p for p in e2e.temp_movies(prefix) + e2e.journals(prefix) if p not in before]


def journal_positions(path):
    """The time-line slots of the frames the journal records, read as the program reads it."""
    data = open(path, "rb").read()
    positions, at = [], 0
    while at + 12 <= len(data):
        tag, length = data[at:at + 4], struct.unpack_from("<I", data, at + 4)[0]
        if at + 12 + length > len(data):
            break
        check = 2166136261
        for byte in data[at:at + 8 + length]:
            check = ((check ^ byte) * 16777619) & 0xFFFFFFFF
        if check != struct.unpack_from("<I", data, at + 8 + length)[0]:
            break
        if tag == b"FLJF":
            position, size = struct.unpack_from("<II", data, at + 8)
            if size:
                positions.append(position)
        at += 12 + length
    return positions


def record_and_kill(build, prefix, scratch, with_sound):
    """Records for a while, then kills the program; returns the slots its journal had then."""
    program = e2e.start_program(build, scratch)
    if with_sound:
        e2e.tick_record_audio()
    before = e2e.temp_movies(prefix) + e2e.journals(prefix)
    e2e.record_region(prefix, before)
    time.sleep(SECONDS)
    e2e.kill_program(program)
    left = left_files(prefix, before)
    print("left after the kill:", [os.path.basename(p) for p in left])
    kinds = {os.path.splitext(p)[1] for p in left}
    if ".journal" not in kinds or ".avi" not in kinds or (with_sound and ".wav" not in kinds):
        fail(f"the kill did not leave the recording's files: {left}")
    positions = journal_positions([p for p in left if p.endswith(".journal")][0])
    print(f"{len(positions)} frames written before the kill, last slot {positions[-1]}")
    return before, positions


def answer_question(key):
    question = find_window(QUESTION, 15)
    if not question:
        fail("no question about the interrupted recording at the next start")
    g = geometry(question)
    e2e.screenshot(os.path.join(tempfile.gettempdir(), "framelark_recovery_question.png"))
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", key)


def decodes_silently(movie):
    # ffmpeg says this of every sound stream in an AVI file: the format has no channel mask.
    said = e2e.ffmpeg_says(movie, "warning", ["Guessed Channel Layout"])
    if said:
        fail(f"ffmpeg did not decode {os.path.basename(movie)} silently: {' '.join(said)[:500]}")


def check_pictures(movie, positions):
    decodes_silently(movie)
    slots = {int(p[0]) for p in e2e.video_packets(movie)}
    on_time = len(slots & set(positions))
    print(f"{os.path.basename(movie)}: {len(slots)} pictures, {on_time} of the {len(positions)} written on their slots")
    if slots - set(positions):
        fail(f"pictures on slots no frame was written to: {sorted(slots - set(positions))[:10]}")
    if on_time < 0.9 * len(positions):
        fail(f"only {on_time} of {len(positions)} frames were recovered")


def check_recovered(movie, rebuilt, positions, sound, scratch):
    """rebuilt and sound: the temporary files as the recovery made them, before the save."""
    check_pictures(rebuilt, positions)
    if sound:
        e2e.check_tone(sound)
    decodes_silently(movie)
    streams = e2e.streams(movie)
    if streams != (["video", "audio"] if sound else ["video"]):
        fail(f"the saved movie has the streams {streams}")
    if e2e.video_packets(movie) != e2e.video_packets(rebuilt):
        fail("the saved movie's pictures differ from the recovered ones")
    if sound:
        e2e.check_tone(e2e.decoded_sound(movie, os.path.join(scratch, "decoded.wav")))


def check_second_instance(build, prefix, scratch):
    first = e2e.start_program(build, scratch)
    e2e.tick_record_audio()
    before = e2e.temp_movies(prefix) + e2e.journals(prefix)
    e2e.record_region(prefix, before)
    time.sleep(1)
    recording = left_files(prefix, before)
    other = os.path.join(scratch, "second")
    os.mkdir(other)
    second = e2e.start_program(build, other)
    try:
        second.wait(20)
    except subprocess.TimeoutExpired:
        fail("the second program did not end while the first runs")
    if second.returncode != 0 or find_window(QUESTION, 2):
        fail(f"the second program asked or failed (exit code {second.returncode})")
    if len(xdotool("search", "--onlyvisible", "--name", "^Framelark$").split()) != 1:
        fail("more than one main window")
    if left_files(prefix, before) != recording:
        fail(f"the running recording's files changed: {recording} became {left_files(prefix, before)}")
    e2e.press("F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog for the first program's recording")
    movie = save_as(save, scratch, "first")
    streams = e2e.streams(movie)
    if streams != ["video", "audio"]:
        fail(f"the first program's movie has the streams {streams}")
    e2e.check_temp_cleaned(prefix, "after saving", before)
    print("second instance: asked nothing, took nothing; the first saved its movie")
    e2e.close_program(first)


def run(build, mode, scratch):
    prefix = os.environ["WINEPREFIX"]
    e2e.play_tone(scratch, SECONDS + 30)
    e2e.start_animator(build, 60)
    if mode == "second_instance":
        check_second_instance(build, prefix, scratch)
        return
    with_sound = mode != "recover"
    before, positions = record_and_kill(build, prefix, scratch, with_sound)
    program = e2e.start_program(build, scratch)
    answer_question("y" if mode != "decline" else "n")
    save = find_window("^Save to...$", 3 if mode == "decline" else 15)
    if mode == "decline":
        if save:
            fail("declining brought up the Save dialog")
        e2e.check_temp_cleaned(prefix, "after declining", before)
        print("decline: no dialog, no temporary file")
    else:
        if not save:
            fail("no Save dialog after recovering")
        recovered = [p for p in e2e.temp_movies(prefix) if p not in before]
        rebuilt = os.path.join(scratch, "rebuilt.avi")
        shutil.copy([p for p in recovered if p.endswith(".avi")][0], rebuilt)
        sound = None
        if with_sound:
            sound = os.path.join(scratch, "completed.wav")
            shutil.copy([p for p in recovered if p.endswith(".wav")][0], sound)
        movie = save_as(save, scratch, "recovered")
        check_recovered(movie, rebuilt, positions, sound, scratch)
        e2e.check_temp_cleaned(prefix, "after saving", before)
        print("recover: movie checked")
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=["recover", "recover_sound", "decline", "second_instance"])
    args = parser.parse_args()
    with e2e.clean_run("recovery") as scratch:
        run(args.build, args.mode, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
