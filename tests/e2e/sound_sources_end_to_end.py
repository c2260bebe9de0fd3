#!/usr/bin/env python3
"""Records the microphone and the computer's own sound together, as a person would.

The sound server gets a second null sink, "Speakers", made the default output; the microphone is
the monitor of the first ("rec"). A 440 Hz tone plays into the microphone's sink and 660 Hz to the
output while a region is recorded with "Record Audio" and "Sound from the computer" on, mixed into
one track and saved with MS ADPCM.

both:     20 s with both: both tones in every second of the track (from 2 s on: the devices
          start one to two seconds late under Wine).
computer: the microphone off: 660 Hz in every second, no 440 Hz.
gap:      the output plays nothing from 5 s to 10 s of 15 s: no 660 Hz there, and again after.
pause:    paused from 4 s to 8 s of 12 s: the sound of both is cut as the pictures are, and lasts
          as long as they do.
tracks:   20 s with both, "Each on its own track": two audio streams, named, the microphone's with
          440 Hz alone and the computer's with 660 Hz alone in every second; GStreamer, mpv and VLC
          (as a user other than root, which VLC insists on) play the movie to its end.
recovered: 10 s on two tracks, then the program is killed; the next start offers the recording,
          and the movie saved from it holds both tracks as above.
unplug:   the output's sink is unloaded 6 s into a 12 s recording: the movie keeps its full
          pictures and the microphone's tone to the end. (Wine 8 keeps its device list from the
          program's start and the sound server moves the capture elsewhere, so the program cannot
          tell that the output went away; with loopback on Windows the user is told after the save.)
"""
import argparse
import math
import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, keys, press  # noqa: E402
from recovery_end_to_end import answer_question  # noqa: E402
from sound_movie_end_to_end import check_streams  # noqa: E402

MICROPHONE_TONE = 440
COMPUTER_TONE = 660
RATE = 22050
# Seconds recorded, the microphone on, the stretches in which the output plays its tone.
MODES = {
    "both": (20, True, [(0, 99)]),
    "computer": (8, False, [(0, 99)]),
    "gap": (15, True, [(0, 5), (10, 99)]),
    "pause": (12, True, [(0, 99)]),
    "tracks": (20, True, [(0, 99)]),
    "recovered": (10, True, [(0, 99)]),
    "unplug": (12, True, [(0, 6)]),
}
PAUSE = (4, 8)


def pactl(*args):
    return subprocess.run(["pactl", *args], capture_output=True, text=True, check=True).stdout.strip()


class Speakers:
    """A second null sink as the computer's default output, and the microphone kept on "rec"."""

    def __init__(self):
        self.sink = pactl("get-default-sink")
        self.source = pactl("get-default-source")
        self.module = pactl("load-module", "module-null-sink", "sink_name=speakers",
                            "sink_properties=device.description=Speakers")
        pactl("set-default-sink", "speakers")
        pactl("set-default-source", "rec.monitor")

    def unplug(self):
        if self.module:
            pactl("unload-module", self.module)
            self.module = None

    def close(self):
        self.unplug()
        pactl("set-default-sink", self.sink)
        pactl("set-default-source", self.source)


def power(samples, frequency):
    """Goertzel: the strength of one frequency in a stretch of samples."""
    k = 2 * math.cos(2 * math.pi * frequency / RATE)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + k * s1 - s2, s1
    return s1 * s1 + s2 * s2 - k * s1 * s2


def tones_by_second(movie, scratch, track=0):
    """For each whole second of a sound track: whether each tone stands out of its neighbourhood."""
    raw = os.path.join(scratch, "sound.raw")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", movie, "-map", f"0:a:{track}", "-ac", "1", "-ar", str(RATE),
                    "-f", "s16le", raw], check=True)
    with open(raw, "rb") as f:
        data = f.read()
    samples = struct.unpack(f"<{len(data) // 2}h", data)
    seconds = []
    for start in range(0, len(samples) - RATE + 1, RATE):
        stretch = samples[start:start + RATE]
        floor = sum(power(stretch, f) for f in (300, 550, 800, 1000)) / 4 + 1
        seconds.append({tone: power(stretch, tone) / floor > 100 for tone in (MICROPHONE_TONE, COMPUTER_TONE)})
    return seconds, len(samples) / RATE


def configure(microphone, apart):
    """Audio Options as a person sets them: the computer's sound from "Speakers" (the outputs are
    listed by name), the microphone on or off, mixed with it or each on its own track."""
    e2e.open_dialog("Audio Options", lambda: e2e.click_button("audio"))
    keys(*(["alt+r"] if microphone else []), "alt+c", *(["alt+e"] if apart else []), "alt+o", "Home", "Down",
         "Return")
    e2e.closed("Audio Options")


def check_tracks(movie):
    """Two audio streams, each named after its source, and the movie decodes cleanly."""
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=index,codec_type,codec_name:stream_tags=title",
                          "-of", "csv=p=0", movie], capture_output=True, text=True).stdout.splitlines()
    print("streams:", out)
    if out != ["0,msvideo1,video", "1,adpcm_ms,audio,Microphone", "2,adpcm_ms,audio,Computer sound"]:
        fail(f"expected Video 1, then MS ADPCM named Microphone and Computer sound, found {out}")
    said = e2e.ffmpeg_says(movie)
    if said:
        fail(f"ffmpeg could not decode the movie cleanly: {' '.join(said)[:500]}")


def expected_tone(stretches, second):
    """True or False where the whole second lies within or without the stretches, else None."""
    if any(start + 1 <= second and second + 1 <= end for start, end in stretches):
        return True
    if all(second + 1 <= start or second >= end + 1 for start, end in stretches):
        return False
    return None


def run(build, scratch, mode):
    prefix = os.environ["WINEPREFIX"]
    seconds, microphone, stretches = MODES[mode]
    players = {}
    speakers = Speakers()

    def play(tone, sink):
        wav = os.path.join(scratch, f"{tone}.wav")
        if not os.path.exists(wav):
            subprocess.run(["sox", "-n", "-r", "48000", wav, "synth", str(seconds + 30), "sine", str(tone),
                            "vol", "0.4"], check=True)
        players[tone] = e2e.start(["paplay", "-d", sink, wav], fast_heap=False)

    try:
        play(MICROPHONE_TONE, "rec")
        play(COMPUTER_TONE, "speakers")
        program = e2e.start_program(build, scratch)
        apart = mode in ("tracks", "recovered")
        configure(microphone, apart)
        e2e.start_animator(build, seconds + 60)
        before = e2e.temp_movies(prefix)
        started = e2e.record_region(prefix, before)
        for start, end in stretches:
            if start > 0:
                time.sleep(max(0.0, started + start - time.time()))
                play(COMPUTER_TONE, "speakers")
            if end < seconds:
                time.sleep(max(0.0, started + end - time.time()))
                players.pop(COMPUTER_TONE).kill()  # killed first, or the server moves it to "rec"
                if mode == "unplug":
                    speakers.unplug()
        if mode == "pause":
            for at in PAUSE:
                time.sleep(max(0.0, started + at - time.time()))
                press("F7")
        time.sleep(max(0.0, started + seconds - time.time()))
        if mode == "recovered":
            e2e.kill_program(program)
            program = e2e.start_program(build, scratch)
            answer_question("y")
        else:
            press("F8")
        movie = e2e.save_movie(scratch, "sources")
        told = find_window("^Note$", 3)
        if told and mode != "unplug":
            fail("a note came after the save although every source was there")
        if apart:
            check_tracks(movie)
        else:
            check_streams(movie)
        info = e2e.probe(movie)
        numerator, denominator = map(int, info["r_frame_rate"].split("/"))
        video = int(info["nb_frames"]) * denominator / numerator
        recorded = seconds - (PAUSE[1] - PAUSE[0] if mode == "pause" else 0)
        if not recorded - 1 < video < recorded + 1:
            fail(f"the pictures last {video:.2f} s of a recording of {recorded} s")
        # Each track with what it should hold: one track holds both sources, two hold one each.
        tracks = [(True, False), (False, True)] if apart else [(microphone, None)]
        for track, (microphone_heard, computer_heard) in enumerate(tracks):
            heard, length = tones_by_second(movie, scratch, track)
            print(f"track {track}: video {video:.2f} s, sound {length:.2f} s; tones by second:",
                  " ".join(("m" if s[MICROPHONE_TONE] else "-") + ("c" if s[COMPUTER_TONE] else "-") for s in heard))
            if abs(video - length) > 0.3:
                fail(f"track {track}: the sound lasts {length:.2f} s but the pictures {video:.2f} s")
            # Wine's wave input starts about a second late, up to two on a busy machine: nothing is
            # captured before.
            for second, tones in enumerate(heard[2:], 2):
                wanted = {MICROPHONE_TONE: microphone_heard,
                          COMPUTER_TONE: computer_heard if computer_heard is not None
                          else expected_tone(stretches, second)}
                for tone, expected in wanted.items():
                    if expected is not None and tones[tone] != expected:
                        fail(f"track {track}, second {second}: the {tone} Hz tone is "
                             f"{'missing' if expected else 'there'}")
        if mode == "tracks":
            e2e.play_to_the_end(movie)
        if told:
            e2e.xdotool("windowactivate", told)
            press("Return")
        e2e.close_program(program)
    finally:
        speakers.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=MODES)
    args = parser.parse_args()
    with e2e.clean_run("sound_sources") as scratch:
        run(args.build, scratch, args.mode)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
