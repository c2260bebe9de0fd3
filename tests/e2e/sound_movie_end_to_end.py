#!/usr/bin/env python3
"""Records a movie with sound as a person would and checks the one file it saves.

"Record Audio" is ticked in "Audio Options" and a 440 Hz tone plays into the sound server. Start key,
a dragged region, stop key, a name typed into the Save dialog: the saved movie has Video 1 then
MS ADPCM, decodes without an error, its sound lasts as long as its pictures and holds the tone;
"Convert progress" showed while saving and went away; no temporary file is left.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from record_end_to_end import (close_program, fail, find_window, press, record_region, save_as,  # noqa: E402
                               start_animator, start_program, temp_movies, xdotool)
from options_end_to_end import probe  # noqa: E402
from sound_cursor_end_to_end import TONE, check_tone, tick_record_audio  # noqa: E402

PROGRESS = "^Convert progress$"
SECONDS = 5


class WindowWatch:
    """Notes whether a window was mapped at any moment while it ran, however briefly: xev reports
    each top-level window the X server maps, and the window keeps its X id once hidden."""

    def __init__(self, title):
        self.title = title
        self.xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        time.sleep(0.5)  # xev listens from here on

    def finish(self):
        self.xev.terminate()
        events = self.xev.communicate()[0]
        mapped = {int(w, 16) for w in re.findall(r"MapNotify event[^\n]*\n\s*event 0x[0-9a-f]+, window (0x[0-9a-f]+)",
                                                 events)}
        return any(int(w) in mapped for w in xdotool("search", "--name", self.title).split())


def video_packets(movie):
    """Time, size and checksum of each picture; ffmpeg keeps or drops empty chunks as it sees fit."""
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-map", "0:v", "-c", "copy", "-f", "framemd5", "-"],
                         capture_output=True, text=True).stdout.splitlines()
    packets = [line.split(",") for line in out if not line.startswith("#")]
    return [(p[1].strip(), p[4].strip(), p[5].strip()) for p in packets if p[4].strip() != "0"]


def check_streams(movie):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=index,codec_type,codec_name",
                          "-of", "csv=p=0", movie], capture_output=True, text=True).stdout.split()
    print("streams:", out)
    if out != ["0,msvideo1,video", "1,adpcm_ms,audio"]:
        fail(f"expected Video 1 then MS ADPCM, found {out}")
    errors = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-f", "null", "-"],
                            capture_output=True, text=True)
    if errors.returncode != 0 or errors.stderr.strip():
        fail(f"ffmpeg could not decode the movie cleanly: {errors.stderr.strip()[:500]}")


def check_sound(movie, scratch):
    """The decoded sound lasts as long as the pictures and holds the tone."""
    info = probe(movie)
    numerator, denominator = map(int, info["r_frame_rate"].split("/"))
    video = int(info["nb_frames"]) * denominator / numerator
    sound = os.path.join(scratch, "decoded.wav")
    subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-map", "0:a:0", "-c:a", "pcm_s16le", sound], check=True)
    audio = float(subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                                  sound], capture_output=True, text=True).stdout)
    print(f"video {video:.2f} s, audio {audio:.2f} s")
    if abs(video - audio) > 0.3:
        fail(f"the sound lasts {audio:.2f} s but the pictures {video:.2f} s")
    check_tone(sound)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]
    scratch = tempfile.mkdtemp(prefix="framelark_sound_movie_")
    tone = os.path.join(scratch, "tone.wav")
    subprocess.run(["sox", "-n", tone, "synth", str(SECONDS + 20), "sine", str(TONE)], check=True)
    program = start_program(args.build, scratch)
    animator = start_animator(args.build, 120)
    player = None
    try:
        tick_record_audio()

        player = subprocess.Popen(["paplay", "-d", "rec", tone], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        before = temp_movies(prefix)
        record_region(prefix, before)
        time.sleep(SECONDS)
        recorded = [p for p in temp_movies(prefix) if p not in before]
        if not any(p.endswith(".wav") for p in recorded):
            fail(f"no temporary sound file while recording with sound: {recorded}")
        press("F8")
        save = find_window("^Save to...$", 15)
        if not save:
            fail("no Save dialog after the stop key")
        temporary = os.path.join(scratch, "temporary.avi")
        shutil.copy([p for p in recorded if p.endswith(".avi")][0], temporary)
        watch = WindowWatch(PROGRESS)
        started = time.time()
        try:
            movie = save_as(save, scratch, "withsound")
        finally:
            shown = watch.finish()
        print(f"saved {time.time() - started:.1f} s after the name was typed")
        if not shown:
            fail('"Convert progress" never showed while the movie was saved')
        if find_window(PROGRESS, 2):
            fail('"Convert progress" stayed on screen after the movie was saved')
        if os.path.exists(movie + ".wav"):
            fail("the sound was saved beside the movie instead of into it")
        left = [p for p in temp_movies(prefix) if p not in before or p.endswith("tempaudiovideomerge.avi")]
        if left:
            fail(f"temporary files left after saving: {left}")

        check_streams(movie)
        if video_packets(movie) != video_packets(temporary):
            fail("the saved movie's pictures differ from the recorded ones")
        check_sound(movie, scratch)
    finally:
        if player:
            player.kill()
        animator.kill()
        close_program(program)
        shutil.rmtree(scratch, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
