#!/usr/bin/env python3
"""Shows a black window and plays a steady stream into the sound server; on each "event" line read
from stdin it turns the window white while a tone burst enters the stream, then black again.

    sync_events.py --geometry WxH+X+Y [--device SINK]

Besides "event", stdin takes "silence" (the stream ends: nothing plays) and "sound" (a new stream).

The stream is written ahead of the clock by a fixed lead, so the sound server never runs dry and the
delay from writing a sample to hearing it stays the same for the whole run. For every event it prints
    event sound=<s> shown=<s>
on CLOCK_MONOTONIC_RAW (Wine's performance counter): when the burst's first sample is due by the
written stream's reckoning, and when the window turned white. A loaded machine can still make the
sound server skip or stall the stream, so when the burst really passed the sink is measured apart.
"""
import argparse
import array
import math
import queue
import subprocess
import sys
import threading
import time
import tkinter

RATE = 22050
CHANNELS = 2
# Seconds written ahead of the clock: the player's buffer plus what waits in the pipe (64 KB holds
# 0.74 s). On a loaded machine a short buffer runs dry, and each time it does the stream slips.
LEAD = 1.0
PLAYER_BUFFER_MS = 500
CHUNK = RATE // 100   # frames written at a time
BURST_SECONDS = 0.12
BURST_HZ = 1000
BURST_LEVEL = 0.7
WHITE_SECONDS = 0.3
SCHEDULE_AHEAD = LEAD + 0.05  # an event's burst lies beyond what was already written


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def burst_frames():
    """A tone burst starting at its peak, so that its onset is one sample sharp."""
    count = int(RATE * BURST_SECONDS)
    return [int(BURST_LEVEL * 32767 * math.cos(2 * math.pi * BURST_HZ * i / RATE)) for i in range(count)]


class Stream:
    """Feeds pacat in real time; bursts are placed at given frames of the stream."""

    def __init__(self, device):
        self.player = subprocess.Popen(["pacat", "--playback", "--raw", "--format=s16le", f"--rate={RATE}",
                                        f"--channels={CHANNELS}", f"--device={device}", f"--latency-msec={PLAYER_BUFFER_MS}"],
                                       stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.burst = burst_frames()
        self.bursts = []  # first frames of the bursts still to be written
        self.lock = threading.Lock()
        self.written = 0
        self.start = now()
        self.playing = True
        self.thread = threading.Thread(target=self.feed, daemon=True)
        self.thread.start()

    def stop(self):
        self.playing = False
        self.thread.join()
        self.player.kill()

    def time_of(self, frame):
        return self.start + frame / RATE

    def add_burst(self, at):
        """Places a burst at the first frame due at or after time `at`; returns that frame."""
        frame = math.ceil((at - self.start) * RATE)
        with self.lock:
            if frame < self.written:
                raise RuntimeError("an event was asked for too late to place its burst")
            self.bursts.append(frame)
        return frame

    def samples(self, first, count):
        out = array.array("h", bytes(2 * CHANNELS * count))
        with self.lock:
            bursts = list(self.bursts)
            self.bursts = [b for b in bursts if b + len(self.burst) > first + count]
        for start in bursts:
            for i in range(max(start, first), min(start + len(self.burst), first + count)):
                value = self.burst[i - start]
                out[CHANNELS * (i - first)] = value
                out[CHANNELS * (i - first) + 1] = value
        return out.tobytes()

    def feed(self):
        while self.playing:
            due = int((now() - self.start + LEAD) * RATE)
            while self.written + CHUNK <= due:
                self.player.stdin.write(self.samples(self.written, CHUNK))
                self.written += CHUNK
            self.player.stdin.flush()
            time.sleep(0.005)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--geometry", required=True)
    parser.add_argument("--device", default="rec")
    args = parser.parse_args()

    root = tkinter.Tk()
    root.overrideredirect(True)
    root.geometry(args.geometry)
    root.configure(bg="black")
    root.title("Sync events")
    streams = [Stream(args.device)]

    def show(sound_at):
        while now() < sound_at:  # the timer is only good to a few ms
            pass
        root.configure(bg="white")
        root.update_idletasks()
        root.update()
        print(f"event sound={sound_at:.6f} shown={now():.6f}", flush=True)
        root.after(int(WHITE_SECONDS * 1000), lambda: root.configure(bg="black"))

    def event():
        frame = streams[-1].add_burst(now() + SCHEDULE_AHEAD)
        sound_at = streams[-1].time_of(frame)
        root.after(max(0, int((sound_at - now()) * 1000) - 10), lambda: show(sound_at))

    commands = queue.Queue()

    def read_commands():
        for line in sys.stdin:
            commands.put(line.strip())
        commands.put("quit")

    def poll():  # Tk is driven from its own thread only
        while not commands.empty():
            command = commands.get()
            if command == "quit":
                root.destroy()
                return
            if command == "event":
                event()
            elif command == "silence":
                streams[-1].stop()
            elif command == "sound":
                streams.append(Stream(args.device))
        root.after(5, poll)

    threading.Thread(target=read_commands, daemon=True).start()
    poll()
    root.update()
    print("ready", flush=True)
    root.mainloop()
    streams[-1].player.kill()


if __name__ == "__main__":
    main()
