#!/usr/bin/env python3
"""Measures how well picture and sound keep time in a real recording made by framelark.exe.

A window covering the recorded region turns white at the instant a tone burst is due in a stream
played into the sound server's null sink (sync_events.py). The sound server's own client records the
sink's monitor throughout and tells when each burst truly went through the sink.

1. Loopback: loopback_recorder.exe records the default wave input under Wine while bursts play; the
   delay from a burst passing the sink to its arrival at the wave input is noted.
2. Recording: framelark.exe with "Record Audio" ticked records the region, with an event at the start
   and then regularly. The saved movie is decoded: the time of each white picture and of each
   burst's onset on the movie's time line.

Per event: sound minus picture, corrected by the time between the burst passing the sink and the
window turning white, less the loopback delay. Then the start offset (the first event) and the drift
(last minus first), against their targets.

With --source computer the bursts play to a second null sink, "Speakers", made the default output,
and the recording takes "Sound from the computer" (the monitor of Speakers) instead of the
microphone: the same figures for the computer's sound, which reaches the movie through the mix.
With --source both the recording takes both, the bursts still coming through the microphone: its
figures once it goes through the mix. With --source tracks it takes both, "Each on its own track",
the bursts played to Speakers, whose monitor is also the microphone: the figures of each track, so of
both sources in one run.
"""
import argparse
import array
import functools
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tests", "e2e"))
from e2e_support import (REGION, clear_temp_folder, close_program, closed, click_button, drag_region,  # noqa: E402
                         fail, find_window, keys, open_dialog, press, save_as, start_animator, start_program,
                         temp_movies, tick_record_audio, wait_for_recording)
import sync_analysis as analysis  # noqa: E402
from sync_events import SCHEDULE_AHEAD  # noqa: E402

RATE = 22050
LOUD = 8000              # a burst is written at 0.7 of full scale; silence is zero
MAX_DRIFT = 0.1          # seconds over the whole recording
START_MARGIN = 0.05      # seconds over one capture interval
PROGRESS = "^Convert progress$"


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


class Events:
    """The window and sound stream of sync_events.py."""

    def __init__(self, sink):
        left, top, right, bottom = REGION
        geometry = f"{right - left + 1}x{bottom - top + 1}+{left}+{top}"
        self.process = subprocess.Popen([sys.executable, os.path.join(here, "sync_events.py"), "--geometry", geometry,
                                         "--device", sink], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=lambda: [self.lines.put(line) for line in self.process.stdout], daemon=True).start()
        if self.lines.get(timeout=20).strip() != "ready":
            fail("the events window did not start")

    def tell(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def fire(self):
        """Returns (when the burst is due in the stream, when the window turned white)."""
        self.tell("event")
        fields = dict(word.split("=") for word in self.lines.get(timeout=5).split()[1:])
        return float(fields["sound"]), float(fields["shown"])

    def close(self):
        self.process.stdin.close()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()


class SinkListener:
    """Records the sink's monitor with the sound server's own client, noting when each read arrived:
    when each burst truly went through the sink, whatever the writer's stream did on the way."""

    def __init__(self, sink):
        self.process = subprocess.Popen(["parec", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=2",
                                         f"--device={sink}.monitor", "--latency-msec=10"],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
        self.raw = bytearray()
        self.buffers = []
        self.thread = threading.Thread(target=self.listen, daemon=True)
        self.thread.start()

    def listen(self):
        while chunk := os.read(self.process.stdout.fileno(), 4096):
            self.raw += chunk
            self.buffers.append((now(), len(self.raw) // 4))

    def burst_times(self):
        """When each burst went through the sink."""
        onsets = analysis.sound_onsets(left_channel(bytes(self.raw)), RATE, LOUD)
        return [analysis.arrival_time(self.buffers, RATE, onset * RATE, 1.0) for onset in onsets]

    def close(self):
        self.process.kill()
        self.thread.join()


def passed(fired, burst_times):
    """When each event's burst went through the sink (None when it did not)."""
    due = [sound for sound, _ in fired]
    spacing = min((b - a for a, b in zip(due, due[1:])), default=1.0)
    return analysis.through_the_sink(due, burst_times, 0.5, 0.9 * spacing)


def left_channel(raw):
    samples = array.array("h", raw[:len(raw) - len(raw) % 4])
    return samples[0::2]


def measure_loopback(build, scratch, events, sink, count):
    """Delay of each burst from the sink to its arrival at a wave-in client under Wine."""
    recorder = os.path.join(build, "bench", "sync", "loopback_recorder.exe")
    raw = os.path.join(scratch, "loopback.raw")
    settle, spacing = 4.0, 2.0
    before = now()
    process = subprocess.Popen(["wine", recorder, "Z:" + raw.replace("/", "\\"),
                                str(settle + spacing * count + SCHEDULE_AHEAD + 1.0)],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    first = process.stdout.readline()
    after = now()
    fired = []
    if first.startswith("clock"):
        # The first events come once the input is past its slow start.
        for i in range(count):
            time.sleep(max(0.0, after + settle + i * spacing - now()))
            fired.append(events.fire())
    log = first + process.stdout.read()
    process.wait()
    frequency, started, buffers = analysis.read_recorder_log(log)
    if not buffers:
        fail("the loopback recorder recorded nothing")
    # Its clock must be ours (Wine's performance counter runs on CLOCK_MONOTONIC_RAW).
    if frequency != 10_000_000 or not before <= started / frequency <= after:
        fail(f"the recorder's clock ({started} at {frequency}/s) is not this clock ({before:.3f} to {after:.3f} s)")
    with open(raw, "rb") as f:
        onsets = analysis.sound_onsets(left_channel(f.read()), RATE, LOUD)
    with open(os.path.join(scratch, "loopback.log"), "w") as f:
        f.write(log)
    arrivals = [analysis.arrival_time(buffers, RATE, onset * RATE, 1.0) for onset in onsets]
    through = [p for p in passed(fired, sink.burst_times()) if p is not None]
    delays = [a - p for a, p in zip(analysis.pair(through, arrivals, 1.0), through) if a is not None]
    for i, delay in enumerate(delays):
        print(f"loopback event {i}: {delay * 1000:.1f} ms")
    if len(delays) < count // 2:
        fail(f"only {len(delays)} of {count} bursts arrived at the wave input")
    return analysis.median(delays), delays


def pactl(*args):
    return subprocess.run(["pactl", *args], capture_output=True, text=True, check=True).stdout.strip()


class Speakers:
    """A second null sink as the computer's default output; the measured sink's monitor is the
    default input, which the loopback is measured on."""

    def __init__(self, measured):
        self.sink = pactl("get-default-sink")
        self.source = pactl("get-default-source")
        self.module = pactl("load-module", "module-null-sink", "sink_name=speakers",
                            "sink_properties=device.description=Speakers")
        pactl("set-default-sink", "speakers")
        pactl("set-default-source", f"{measured}.monitor")

    def close(self):
        pactl("unload-module", self.module)
        pactl("set-default-sink", self.sink)
        pactl("set-default-source", self.source)


def take_computer_sound(microphone, apart):
    """Audio Options: the computer's sound from the monitor of Speakers (the outputs are listed by
    name), the microphone on or off, mixed with it or each on its own track."""
    open_dialog("Audio Options", lambda: click_button("audio"))
    keys(*(["alt+r"] if microphone else []), "alt+c", *(["alt+e"] if apart else []), "alt+o", "Home", "Down",
         "Return")
    closed("Audio Options")


def record(scratch, events, seconds, every, first, shot=None, gap=None):
    """Records with sound while firing events; returns the saved movie and the events. gap: (from,
    to) seconds of the recording in which nothing plays; no event falls within a second of it."""
    prefix = os.environ["WINEPREFIX"]
    # Left by a run that was stopped: the recording would take over their names unnoticed.
    clear_temp_folder(prefix)
    before = temp_movies(prefix)
    press("F7")
    drag_region()
    if shot:
        subprocess.run(["import", "-window", "root", shot.replace(".png", "-dragged.png")], check=False)
    started = wait_for_recording(prefix, before)
    started_here = now()
    fired = []
    count = int(seconds // every) + 1
    commands = [(first + i * every - SCHEDULE_AHEAD, "event") for i in range(count)
                if not gap or not gap[0] - 1 <= first + i * every <= gap[1] + 1]
    if gap:
        commands = sorted(commands + [(gap[0], "silence"), (gap[1], "sound")])
    for at, command in commands:
        # An event happens SCHEDULE_AHEAD after it is asked for.
        time.sleep(max(0.0, started + at - time.time()))
        if command != "event":
            events.tell(command)
            continue
        fired.append(events.fire())
        if len(fired) == 1 and shot:
            subprocess.run(["import", "-window", "root", shot], check=False)
    time.sleep(1.0)
    press("F8")
    recorded = time.time() - started
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    # What the merge reads, complete once the Save dialog shows.
    temporary = {}
    for path in temp_movies(prefix):
        kind = os.path.splitext(path)[1]
        if path not in before:
            temporary[kind] = shutil.copy(path, os.path.join(scratch, "temporary" + kind))
    saving = time.time()
    movie = save_as(save, scratch, "sync", wait=300)
    while find_window(PROGRESS, 0.5) or [p for p in temp_movies(prefix) if p not in before]:
        if time.time() - saving > 300:
            fail("the movie was not saved within 5 minutes")
        time.sleep(0.5)
    print(f"recorded {recorded:.1f} s; saved in {time.time() - saving:.1f} s")
    return movie, temporary, fired, started_here


def ffmpeg_text(*args):
    return subprocess.run(["ffmpeg", "-v", "error", *args], capture_output=True, check=True).stdout


def stream_info(movie, stream):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                          "stream=start_time,r_frame_rate,codec_name,nb_frames", "-of", "default=noprint_wrappers=1", movie],
                         capture_output=True, text=True, check=True).stdout
    return dict(line.split("=", 1) for line in out.split())


def frame_interval(video):
    numerator, denominator = map(int, video["r_frame_rate"].split("/"))
    return denominator / numerator


def decoded_sound(source, track=0):
    return array.array("h", ffmpeg_text("-i", source, "-map", f"0:a:{track}", "-ac", "1", "-f", "s16le", "-c:a",
                                        "pcm_s16le", "-"))


# Reading every picture of a long movie takes minutes: once a run, whichever track is measured.
@functools.lru_cache(maxsize=None)
def white_pictures(source, scratch):
    metadata = os.path.join(scratch, "levels.txt")
    ffmpeg_text("-i", source, "-map", "0:v:0", "-fps_mode", "passthrough", "-vf",
                f"signalstats,metadata=mode=print:file={metadata}", "-f", "null", "-")
    with open(metadata) as f:
        levels = analysis.frame_levels(f.read())
    return levels, analysis.turns_white(levels)


def readable_sources(movie, temporary, scratch):
    """The saved movie when both its streams decode in full; otherwise the two files it was merged from."""
    video = stream_info(movie, "v:0")
    levels, whites = white_pictures(movie, scratch)
    sound = decoded_sound(movie)
    length = int(video.get("nb_frames", 0) or 0) * frame_interval(video)
    if levels and abs(len(sound) / RATE - length) <= 0.5:
        return movie, movie
    print(f"the saved movie does not decode in full ({len(levels)} pictures, {len(sound) / RATE:.2f} s of sound "
          f"for a {length:.2f} s time line): measuring the temporary movie and sound file it was merged from")
    if ".avi" not in temporary or ".wav" not in temporary:
        fail(f"the temporary files were not caught: {sorted(temporary)}")
    return temporary[".avi"], temporary[".wav"]


def analyse(pictures, sounds, scratch, fired, through, loopback, started, track=0):
    video, audio = stream_info(pictures, "v:0"), stream_info(sounds, f"a:{track}")
    print(f"pictures: {video.get('codec_name')} from {video.get('start_time')} s; "
          f"sound: {audio.get('codec_name')} from {audio.get('start_time')} s")
    interval = frame_interval(video)
    levels, whites = white_pictures(pictures, scratch)
    audio_start = float(audio.get("start_time", "0").replace("N/A", "0"))
    samples = decoded_sound(sounds, track)
    heard = [audio_start + t for t in analysis.sound_onsets(samples, RATE, LOUD)]
    print(f"{len(fired)} events; {len(levels)} pictures, {len(whites)} of them turning white; "
          f"{len(heard)} sound onsets in {len(samples) / RATE:.2f} s of sound")

    shown = [f for _, f in fired]
    # The movie's time line starts about when its temporary file appeared.
    to_movie = analysis.clock_offset(whites, shown, -started) if whites else 0.0
    seen = analysis.pair([f + to_movie for f in shown], whites, 0.2)
    offsets = []
    for i, ((_, shown_at), sound, picture) in enumerate(zip(fired, through, seen)):
        if picture is None or sound is None:
            print(f"event {i}: {'no white picture' if picture is None else 'no burst through the sink'} "
                  f"near {shown_at + to_movie:.3f} s")
            continue
        # The sound is due where the picture is, moved by the source's own skew and the loopback.
        due = picture + (sound - shown_at) + loopback
        match = analysis.pair([due], heard, 4.0)[0]  # from 1 s early to 4 s late
        if match is None:
            print(f"event {i}: picture at {picture:.3f} s, no sound near {due:.3f} s")
            continue
        offset = match - due
        offsets.append((i, offset))
        print(f"event {i}: picture {picture:.3f} s, sound {match:.3f} s, offset {offset * 1000:+.1f} ms "
              f"(source skew {(sound - shown_at) * 1000:+.1f} ms)")
    return offsets, interval


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build")
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--every", type=float, default=10)
    parser.add_argument("--first", type=float, default=SCHEDULE_AHEAD,
                        help="seconds from the recording's start to the first event (at least %(default).2f)")
    parser.add_argument("--loopback-events", type=int, default=8)
    parser.add_argument("--keep", action="store_true", help="keep the movie and the files read from it")
    parser.add_argument("--again", metavar="FOLDER", help="measure again what a run with --keep left there")
    parser.add_argument("--source", choices=["microphone", "computer", "both", "tracks"], default="microphone")
    parser.add_argument("--gap", type=float, nargs=2, metavar=("FROM", "TO"),
                        help="seconds of the recording in which the events' stream ends and nothing plays")
    args = parser.parse_args()
    if args.again:
        with open(os.path.join(args.again, "run.json")) as f:
            kept = json.load(f)
        pictures, sounds = readable_sources(kept["movie"], kept["temporary"], args.again)
        results = [analyse(pictures, sounds, args.again, kept["fired"], passed(kept["fired"], kept["bursts"]),
                           kept["loopback"], kept.get("started", kept["fired"][0][1] - SCHEDULE_AHEAD), track)
                   for track in range(kept.get("tracks", 1))]
        summary(kept["loopback"], kept["delays"], results, kept["fired"])
        return
    tracks = 2 if args.source == "tracks" else 1
    scratch = tempfile.mkdtemp(prefix="framelark_sync_")
    clear_temp_folder(os.environ["WINEPREFIX"])  # a recording left there would be offered at the start
    measured = "speakers" if args.source in ("computer", "tracks") else "rec"
    speakers = Speakers(measured) if args.source != "microphone" else None
    program = start_program(args.build, scratch)
    animator = start_animator(args.build, 3600)  # under the events window: keys reach Wine beside it
    events = Events(measured)
    sink = SinkListener(measured)
    try:
        print(f"load average {open('/proc/loadavg').read().split()[:3]}")
        loopback, delays = measure_loopback(args.build, scratch, events, sink, args.loopback_events)
        if speakers:
            take_computer_sound(args.source != "computer", args.source == "tracks")
        else:
            tick_record_audio()
        movie, temporary, fired, started = record(scratch, events, args.seconds, args.every, args.first,
                                                  os.path.join(scratch, "screen.png") if args.keep else None, args.gap)
        bursts = sink.burst_times()
        with open(os.path.join(scratch, "run.json"), "w") as f:
            json.dump({"movie": movie, "temporary": temporary, "fired": fired, "bursts": bursts, "loopback": loopback,
                       "delays": delays, "started": started, "tracks": tracks}, f)
        pictures, sounds = readable_sources(movie, temporary, scratch)
        results = [analyse(pictures, sounds, scratch, fired, passed(fired, bursts), loopback, started, track)
                   for track in range(tracks)]
        print(f"load average {open('/proc/loadavg').read().split()[:3]}")
    finally:
        sink.close()
        events.close()
        animator.kill()
        close_program(program)
        if speakers:
            speakers.close()
        if args.keep:
            print(f"files kept in {scratch}")
        else:
            shutil.rmtree(scratch, ignore_errors=True)
    summary(loopback, delays, results, fired)


def summary(loopback, delays, results, fired):
    """results: the offsets and the frame interval of each sound track."""
    print("--- summary")
    print(f"loopback latency: {loopback * 1000:.1f} ms (median of {len(delays)} bursts, "
          f"{min(delays) * 1000:.1f} to {max(delays) * 1000:.1f})")
    for track, (offsets, interval) in enumerate(results):
        if len(results) > 1:
            print(f"sound track {track}:")
        track_summary(offsets, interval, fired)


def track_summary(offsets, interval, fired):
    if not offsets:
        fail("no event was both seen and heard in the movie")
    worst = max(offsets, key=lambda o: abs(o[1]))
    first_event, start = offsets[0]
    last_event, end = offsets[-1]
    drift = end - start
    span = (fired[last_event][1] - fired[first_event][1])
    limit = interval + START_MARGIN
    print(f"events seen and heard: {len(offsets)} of {len(fired)}; worst offset (event {worst[0]}): "
          f"{worst[1] * 1000:+.1f} ms")
    print(f"start offset (event {first_event}): {start * 1000:+.1f} ms; target at most {limit * 1000:.0f} ms: "
          f"{'met' if abs(start) <= limit else 'MISSED'}")
    print(f"drift over {span:.0f} s (event {last_event} minus event {first_event}): {drift * 1000:+.1f} ms; "
          f"target at most {MAX_DRIFT * 1000:.0f} ms: {'met' if abs(drift) <= MAX_DRIFT else 'MISSED'}")


if __name__ == "__main__":
    main()
