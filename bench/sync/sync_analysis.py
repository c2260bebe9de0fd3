"""Reading a recording's events back: where each sound starts, where each picture turns white, and
the delay of the sound server's loopback."""
import re

QUIET_BEFORE_ONSET = 1.0  # seconds of quiet that must precede a sound's start


def sound_onsets(samples, rate, threshold):
    """Times (s) at which a sound starts: a sample louder than threshold after a second of quiet."""
    onsets = []
    gap = int(QUIET_BEFORE_ONSET * rate)
    quiet_from = -gap
    for index, value in enumerate(samples):
        if abs(value) <= threshold:
            continue
        if index - quiet_from >= gap:
            onsets.append(index / rate)
        quiet_from = index
    return onsets


def frame_levels(metadata):
    """(time, mean luma) of each frame from the text that ffmpeg's metadata filter prints."""
    levels = []
    time = None
    for line in metadata.splitlines():
        found = re.search(r"pts_time:\s*([-0-9.e]+)", line)
        if found:
            time = float(found.group(1))
        found = re.search(r"lavfi\.signalstats\.YAVG=([-0-9.e]+)", line)
        if found and time is not None:
            levels.append((time, float(found.group(1))))
            time = None
    return levels


def turns_white(levels, middle=128):
    """Times of the frames at which the picture turns from dark to bright."""
    times = []
    bright = True  # the first frames do not count as a change
    for time, level in sorted(levels):
        if level > middle and not bright:
            times.append(time)
        bright = level > middle
    return times


def pair(seen, heard, window):
    """For each seen time the first heard time within `window` after seen - window/4, or None."""
    result = []
    for time in seen:
        candidates = [h for h in heard if time - window / 4 <= h <= time + window]
        result.append(candidates[0] if candidates else None)
    return result


def nearest(targets, times, within):
    """For each target the nearest of times no further than `within` from it, or None."""
    result = []
    for target in targets:
        close = [t for t in times if abs(t - target) <= within]
        result.append(min(close, key=lambda t: abs(t - target)) if close else None)
    return result


def through_the_sink(due, bursts, within, longest):
    """When each burst due at `due` went through the sink, or None. The stream reaches the sink a
    roughly constant time after a burst is placed; on a loaded machine the sound server may stall it,
    for good, by seconds. Each burst is taken within `within` of where the constant that most events
    agree on puts it; each event left over takes the first burst not yet taken from its due time to
    `longest` after it (less than the time between events)."""
    delay = clock_offset(bursts, due, 0.0) if bursts else 0.0
    through = nearest([d + delay for d in due], bursts, within)
    taken = set(t for t in through if t is not None)
    for i, d in enumerate(due):
        if through[i] is None:
            later = [b for b in sorted(bursts) if b not in taken and d <= b <= d + longest]
            if later:
                through[i] = later[0]
                taken.add(later[0])
    return through


def arrival_time(buffers, rate, frame, around):
    """When `frame` arrived, from (arrival time, frames up to the buffer's end) pairs: buffers only
    ever arrive late, so the earliest of those within `around` seconds tells. Only nearby buffers
    count, as an input that falls behind drops sound and the stream then runs ahead of the clock."""
    near = [(time, frames) for time, frames in buffers if abs(frames - frame) <= around * rate]
    return min(time - frames / rate for time, frames in near) + frame / rate


def read_recorder_log(text):
    """The loopback recorder's output: (counts per second, its clock at start, [(time s, frames)])."""
    frequency = start = None
    buffers = []
    for line in text.splitlines():
        words = line.split()
        if words[:1] == ["clock"]:
            fields = dict(word.split("=") for word in words[1:])
            frequency, start = int(fields["frequency"]), int(fields["now"])
        elif words[:1] == ["buffer"] and frequency:
            buffers.append((int(words[1]) / frequency, int(words[2])))
    return frequency, start, buffers


def clock_offset(seen, shown, roughly, tolerance=0.1):
    """The constant that takes the events' clock to the movie's time line: the one most pairs agree on.
    Evenly spaced events agree as well one period off when one is missed: the nearer to `roughly` wins."""
    candidates = [s - f for s in seen for f in shown]
    best = max(candidates, key=lambda c: (sum(1 for d in candidates if abs(d - c) <= tolerance), -abs(c - roughly)))
    return median([d for d in candidates if abs(d - best) <= tolerance])


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2
