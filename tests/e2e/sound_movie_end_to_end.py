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
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, xdotool  # noqa: E402

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


def check_streams(movie):
    out = e2e.streams(movie, "index,codec_type,codec_name")
    print("streams:", out)
    if out != ["0,msvideo1,video", "1,adpcm_ms,audio"]:
        fail(f"expected Video 1 then MS ADPCM, found {out}")
    said = e2e.ffmpeg_says(movie)
    if said:
        fail(f"ffmpeg could not decode the movie cleanly: {' '.join(said)[:500]}")


def check_sound(movie, scratch):
    """The decoded sound lasts as long as the pictures and holds the tone."""
    info = e2e.probe(movie)
    numerator, denominator = map(int, info["r_frame_rate"].split("/"))
    video = int(info["nb_frames"]) * denominator / numerator
    sound = e2e.decoded_sound(movie, os.path.join(scratch, "decoded.wav"))
    audio = e2e.duration(sound)
    print(f"video {video:.2f} s, audio {audio:.2f} s")
    if abs(video - audio) > 0.3:
        fail(f"the sound lasts {audio:.2f} s but the pictures {video:.2f} s")
    e2e.check_tone(sound)


def record_with_sound(build, scratch):
    prefix = os.environ["WINEPREFIX"]
    program = e2e.start_program(build, scratch)
    e2e.start_animator(build, 120)
    e2e.tick_record_audio()

    e2e.play_tone(scratch, SECONDS + 20)
    before = e2e.temp_movies(prefix)
    e2e.record_region(prefix, before)
    time.sleep(SECONDS)
    recorded = [p for p in e2e.temp_movies(prefix) if p not in before]
    if not any(p.endswith(".wav") for p in recorded):
        fail(f"no temporary sound file while recording with sound: {recorded}")
    e2e.press("F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    temporary = os.path.join(scratch, "temporary.avi")
    shutil.copy([p for p in recorded if p.endswith(".avi")][0], temporary)
    watch = WindowWatch(PROGRESS)
    started = time.time()
    try:
        movie = e2e.save_as(save, scratch, "withsound")
    finally:
        shown = watch.finish()
    print(f"saved {time.time() - started:.1f} s after the name was typed")
    if not shown:
        fail('"Convert progress" never showed while the movie was saved')
    if not e2e.wait_until(lambda: not find_window(PROGRESS, 0.1), 30):
        fail('"Convert progress" stayed on screen after the movie was saved')
    if os.path.exists(movie + ".wav"):
        fail("the sound was saved beside the movie instead of into it")
    e2e.check_temp_cleaned(prefix, "after saving")

    check_streams(movie)
    if e2e.video_packets(movie) != e2e.video_packets(temporary):
        fail("the saved movie's pictures differ from the recorded ones")
    check_sound(movie, scratch)
    e2e.close_program(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    with e2e.clean_run("sound_movie") as scratch:
        record_with_sound(args.build, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
