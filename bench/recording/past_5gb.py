#!/usr/bin/env python3
"""A full-screen recording past 5 GB made as a person would, and whether the players read it.

On a 1920 x 1080 screen, full-screen bars move (recording_bench animate) under the program's main
window while it records the full screen with Video 1 at its highest quality and a 440 Hz tone from
the sound server, until the temporary movie passes --stop-at GB. Then the bars are frozen (SIGSTOP),
the screen is taken, the stop key pressed over the main window (keys reach the process under the
pointer: the frozen one would never pass them on) and the movie saved through the Save dialog into
a folder that every user can read. Printed, and checked (exit 1 at the first failure): ffprobe's
duration and frame count against the recording's clock and the sound's length, a decode by
`ffmpeg -v error` to the end without a word, the last picture against the screenshot (PSNR),
GStreamer playing it to the end, mpv and VLC from its last ten seconds, GStreamer (through its
Python bindings) and VLC's remote control seeking to them, and mediainfo naming it OpenDML. The
movie is deleted at the end unless --keep.

Needs root (VLC runs as nobody), at least 15 GB free, the windows build of framelark and
recording_bench, and ffmpeg, gstreamer1.0-tools with -plugins-good and -libav and python3-gst-1.0,
mpv, vlc-bin, mediainfo, imagemagick, xdotool, sox and pulseaudio-utils. Run under scripts/env.sh's services:

    bash -c 'source scripts/env.sh && unset DISPLAY && FRAMELARK_SCREEN=1920x1080x24 framelark_start_services &&
             /usr/bin/python3 bench/recording/past_5gb.py --build build/windows'
"""
import argparse
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window  # noqa: E402

GB = 10 ** 9
FREE_NEEDED = 15 * GB    # the temporary movie, the merge's copy with the sound, the saved movie
PAST = 5 * 2 ** 30       # the saved movie must be larger, whichever 5 GB is meant
LONGEST = 1800           # seconds: a recording that has not reached the size by then fails
LAST = 10                # seconds before the end that the players seek to
STILL = 2.0              # seconds the frozen bars stand before the screenshot
KEY_POINT = (e2e.MAIN[0] + 40, e2e.MAIN[1] + 40)  # on the main window, clear of its buttons


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def check_machine(build, folders):
    if os.geteuid() != 0:
        fail("VLC is run as the user nobody, which needs root")
    if e2e.screen_size() != (1920, 1080):
        fail(f"the screen is {e2e.screen_size()}, not 1920 x 1080 (FRAMELARK_SCREEN=1920x1080x24)")
    for tool in ("ffprobe", "ffmpeg", "gst-launch-1.0", "mpv", "cvlc", "mediainfo", "runuser"):
        if not shutil.which(tool):
            fail(f"{tool} is not installed")
    free = min(shutil.disk_usage(folder).free for folder in folders)
    print(f"free space {free / GB:.1f} GB, load average {load()}", flush=True)
    if free < FREE_NEEDED:
        fail(f"only {free / GB:.1f} GB free: at least {FREE_NEEDED / GB:.0f} GB are needed")
    bars = os.path.join(build, "bench", "recording", "recording_bench.exe")
    if not os.path.exists(bars):
        fail(f"{bars} was not built")
    return bars


def record(build, bars_program, scratch, out, stop_at):
    """Records until the temporary movie passes stop_at bytes; returns the saved movie, the
    screenshot of the last still picture, and the seconds the recording surely ran and at most
    took."""
    prefix = os.environ["WINEPREFIX"]
    e2e.play_tone(scratch, LONGEST + 120)
    # Started first, so that the program's window stands above the bars.
    bars = e2e.start(["wine", bars_program, "animate", str(LONGEST + 600)])
    time.sleep(3)
    program = e2e.start_with_settings(scratch, build, MouseCaptureMode=2, compquality=10000, recordaudio=1,
                                      flashingRect=0, minimizeOnStart=0)
    before = e2e.temp_movies(prefix)
    pressed = e2e.press("F7", KEY_POINT)
    running = e2e.wait_for_recording(prefix, before)
    movie = [p for p in e2e.temp_movies(prefix) if p.endswith(".avi") and p not in before][0]
    reported = running
    while (size := os.path.getsize(movie)) < stop_at:
        if program.poll() is not None:
            fail(f"the program ended during the recording, at {size / GB:.2f} GB")
        if time.time() - running > LONGEST:
            fail(f"the temporary movie has {size / GB:.2f} GB after {LONGEST} s")
        if time.time() - reported >= 60:
            reported = time.time()
            print(f"{reported - running:.0f} s: {size / GB:.2f} GB, load average {load()}", flush=True)
        time.sleep(1)
    seconds = time.time() - running
    print(f"temporary movie {size:,} bytes after {seconds:.0f} s ({size / seconds / 1e6:.1f} MB/s)", flush=True)

    os.kill(bars.pid, signal.SIGSTOP)
    time.sleep(STILL)
    shot = os.path.join(scratch, "last.png")
    e2e.screenshot(shot)
    stopped = e2e.press("F8", KEY_POINT)
    save = find_window("^Save to...$", 300)
    elapsed = time.time() - pressed
    bars.kill()
    if not save:
        fail("no Save dialog after the stop key")
    typed = time.time()
    saved = e2e.save_as(save, out, "past5gb", wait=1800)
    print(f"saved in {time.time() - typed:.0f} s after the name was typed", flush=True)
    e2e.close_program(program)
    return saved, shot, stopped - running, elapsed


def check_probe(movie, ran, elapsed, scratch):
    info = e2e.probe(movie)
    if (info.get("codec_name"), info.get("width"), info.get("height")) != ("msvideo1", "1920", "1080"):
        fail(f"expected Video 1 at 1920 x 1080: {info}")
    numerator, denominator = map(int, info["r_frame_rate"].split("/"))
    rate = numerator / denominator
    slots = int(info["nb_frames"])
    length = e2e.duration(movie)
    if e2e.streams(movie, "codec_name") != ["msvideo1", "adpcm_ms"]:
        fail(f"expected Video 1 and MS ADPCM sound: {e2e.streams(movie, 'codec_name')}")
    sound = e2e.duration(e2e.decoded_sound(movie, os.path.join(scratch, "sound.wav")))
    pictures = e2e.video_packets(movie)
    last_picture = int(pictures[-1][0]) / rate
    print(f"ffprobe: {length:.2f} s, {slots:,} slots at {rate:g}/s ({slots / rate:.2f} s), {len(pictures):,} pictures, "
          f"the last at {last_picture:.2f} s; sound {sound:.2f} s; the recording ran {ran:.2f} s, "
          f"{elapsed:.2f} s from the start key to the Save dialog", flush=True)
    if not ran - 1 <= length <= elapsed + 1 or abs(slots / rate - length) > 1 / rate + 0.01:
        fail("the duration or the frame count does not follow the recording's clock")
    if length - last_picture > 1 or abs(sound - length) > 1:
        fail("the pictures or the sound end short of the movie's end")


def check_last_picture(movie, shot, scratch):
    last = os.path.join(scratch, "last_picture.png")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-sseof", "-3", "-i", movie, "-map", "0:v", "-update", "1", last],
                   check=True)
    with Image.open(shot) as screen, Image.open(last) as picture:
        figure = e2e.psnr(screen.convert("RGB"), picture.convert("RGB"))
    print(f"last picture against the screenshot before the stop: {figure:.1f} dB PSNR", flush=True)
    if figure <= 30.0:
        fail("the last picture is not the screen before the stop")


def gstreamer_seek(movie, length):
    """GStreamer's playbin, paused at the start, seeks to the last ten seconds (flushing and accurate,
    through the movie's index) and plays from there to the end; the pictures it renders must begin
    at the seek's target and run to the end, with no error or warning on the way."""
    import gi
    gi.require_version("Gst", "1.0")
    from gi.repository import Gst
    Gst.init(None)
    player = Gst.ElementFactory.make("playbin")
    player.set_property("uri", f"file://{movie}")
    for kind in ("video-sink", "audio-sink"):
        player.set_property(kind, Gst.ElementFactory.make("fakesink"))
        player.get_property(kind).set_property("sync", False)
    pictures = player.get_property("video-sink")
    pictures.set_property("signal-handoffs", True)
    rendered = []
    pictures.connect("handoff", lambda sink, buffer, pad: rendered.append(buffer.pts / Gst.SECOND))
    bus = player.get_bus()
    said = []

    def wait_for(kinds, seconds):
        end = time.time() + seconds
        while time.time() < end:
            message = bus.timed_pop_filtered(Gst.SECOND, kinds | Gst.MessageType.ERROR | Gst.MessageType.WARNING)
            if message is None:
                continue
            if message.type in (Gst.MessageType.ERROR, Gst.MessageType.WARNING):
                error, detail = message.parse_error() if message.type == Gst.MessageType.ERROR \
                    else message.parse_warning()
                said.append(f"{error.message} ({detail})")
                if message.type == Gst.MessageType.ERROR:
                    return False
                continue
            return True
        said.append(f"nothing within {seconds} s")
        return False

    seek_to = length - LAST
    began = time.time()
    try:
        player.set_state(Gst.State.PAUSED)
        paused = wait_for(Gst.MessageType.ASYNC_DONE, 60)
        known, nanoseconds = player.query_duration(Gst.Format.TIME)
        reported = nanoseconds / Gst.SECOND if known else None
        rendered.clear()
        sought = paused and player.seek_simple(Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.ACCURATE,
                                               int(seek_to * Gst.SECOND))
        ended = sought and wait_for(Gst.MessageType.ASYNC_DONE, 60) and \
            player.set_state(Gst.State.PLAYING) != Gst.StateChangeReturn.FAILURE and \
            wait_for(Gst.MessageType.EOS, 300)
    finally:
        player.set_state(Gst.State.NULL)
    first, last = (rendered[0], rendered[-1]) if rendered else (None, None)
    print(f"GStreamer seek: length {reported} s, sought to {seek_to:.2f} s, rendered {len(rendered)} pictures "
          f"from {first} to {last} s in {time.time() - began:.1f} s, "
          f"{'reached the end' if ended else 'did NOT reach the end'}{'; ' + ' | '.join(said) if said else ''}",
          flush=True)
    if not ended or said or reported is None or abs(reported - length) > 1 or first is None or \
            not seek_to - 1 <= first <= seek_to + 1 or length - last > 1:
        fail("GStreamer did not seek to the last ten seconds and play to the end")


def vlc_seek(movie, length):
    """VLC's remote control: started 20 s before the end, sent a seek to the last ten seconds while
    it plays, asked the length and time each second; it must take the seek and reach the end."""
    start_at, seek_to = int(length) - 2 * LAST, int(length) - LAST
    log = os.path.join(os.path.dirname(movie), "vlc.log")
    with open(log, "w") as said:
        vlc = e2e.start(["runuser", "-u", "nobody", "--", "cvlc", "-vv", "-I", "rc", "--rc-fake-tty", "--vout", "dummy",
                         "--aout", "dummy", f"--start-time={start_at}", "--play-and-exit", movie],
                        fast_heap=False, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=said, text=True)
    answers = queue.Queue()

    def read():
        # Each answer follows a prompt, on a line of its own, empty while nothing plays; a seek
        # answers nothing, so its prompt stands before the next answer.
        for line in vlc.stdout:
            if answer := re.fullmatch(r">[>\s]*(\d*)\s*", line):
                answers.put(int(answer.group(1)) if answer.group(1) else None)
    threading.Thread(target=read, daemon=True).start()

    def send(command):
        try:
            vlc.stdin.write(command + "\n")
            vlc.stdin.flush()
            return True
        except BrokenPipeError:  # it ended
            return False

    def ask(command):
        try:
            return answers.get(timeout=5) if send(command) else None
        except queue.Empty:
            return None

    reported, times, sought = None, [], None
    end = time.time() + 120
    while vlc.poll() is None and time.time() < end:
        reported = reported or ask("get_length")
        now = ask("get_time")
        if now is not None:
            times.append(now)
            if now >= start_at and sought is None and send(f"seek {seek_to}"):
                sought = len(times)  # the index of the first time after the seek
        time.sleep(1)
    if vlc.poll() is None:
        vlc.kill()
        fail("VLC did not reach the end within 120 s")
    with open(log) as f:
        text = f.read()
    errors = e2e.player_errors(text)
    print(f"VLC remote control: length {reported} s, times {times}; "
          f"{'OpenDML index' if 'selected ODML index' in text else 'NO OpenDML index'}, "
          f"{'reached the end' if 'EOF reached' in text else 'did NOT reach the end'}"
          f"{'; ' + ' | '.join(errors) if errors else ''}", flush=True)
    # Taken: the time jumped from where it started to the last ten seconds.
    taken = sought is not None and sought < len(times) and times[sought - 1] < seek_to - LAST / 2 <= seek_to <= \
        times[sought]
    if errors or "EOF reached" not in text or not reported or abs(reported - length) > 1 or not taken:
        fail("VLC did not seek to the last ten seconds and play to the end")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--stop-at", type=float, default=5.5, help="GB of the temporary movie at which to stop")
    parser.add_argument("--keep", action="store_true", help="keep the movie (its path is printed)")
    args = parser.parse_args()
    out = tempfile.mkdtemp(prefix="framelark_past_5gb_")
    os.chmod(out, 0o755)  # VLC runs as nobody
    try:
        with e2e.clean_run("past_5gb") as scratch:
            bars = check_machine(args.build, [out, e2e.temp_folder(os.environ["WINEPREFIX"])])
            movie, shot, ran, elapsed = record(args.build, bars, scratch, out, args.stop_at * GB)
            size = os.path.getsize(movie)
            print(f"saved movie {size:,} bytes, load average {load()}", flush=True)
            if size <= PAST:
                fail(f"the movie has {size:,} bytes, not past 5 GB")
            check_probe(movie, ran, elapsed, scratch)
            began = time.time()
            said = e2e.ffmpeg_says(movie)
            print(f"ffmpeg -v error decoded it to the end in {time.time() - began:.1f} s, saying "
                  f"{' '.join(said)[:500] if said else 'nothing'}", flush=True)
            if said:
                fail("ffmpeg reports errors")
            check_last_picture(movie, shot, scratch)
            e2e.play_to_the_end(movie, LAST, timeout=LONGEST)
            length = e2e.duration(movie)
            gstreamer_seek(movie, length)
            vlc_seek(movie, length)
            info = subprocess.run(["mediainfo", movie], capture_output=True, text=True).stdout
            profile = [line.split(":", 1)[1].strip() for line in info.splitlines() if line.startswith("Format profile")]
            print(f"mediainfo: format profile {profile[:1]}", flush=True)
            if "OpenDML" not in profile[:1]:
                fail("mediainfo does not name it OpenDML")
            print(f"done, load average {load()}")
    finally:
        if args.keep:
            print(f"kept {out}")
        else:
            shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
