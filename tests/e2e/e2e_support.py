"""What the end-to-end tests share: xdotool, framelark.exe and the animated window under Wine, the
Wine prefix's temporary folder, the checks of a saved movie, and clean_run(), which gives each test
an empty temporary folder and ends what the test started, pass or fail.
"""
import contextlib
import glob
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

from PIL import Image, ImageChops, ImageStat

# Clear of the main window at (200, 200), so that only the animation is recorded.
REGION = (600, 400, 919, 639)  # left, top, right, bottom (inclusive) dragged with the mouse
ANIMATOR = (560, 360, 420, 330)  # x, y, width, height: larger than the region
OUTSIDE_REGION = (950, 670)    # over the animator, outside the region: keys reach Wine here
MAIN = (200, 200)              # where the main window stands
MAIN_SIZE = (390, 146)
# Points inside the main window's buttons, from its top-left corner.
BUTTONS = {"record": (36, 93), "pause": (66, 100), "stop": (95, 75), "option": (232, 79), "video": (262, 79),
           "audio": (290, 79), "about": (318, 79), "min": (330, 19), "close": (348, 19)}
TONE = 440                     # Hz, played into the sound server's null sink
# glibc's heap kept from shrinking, as a Linux user's launcher starts the program.
FAST_HEAP = {"MALLOC_TRIM_THRESHOLD_": "1073741824", "MALLOC_MMAP_MAX_": "0", "MALLOC_ARENA_MAX": "1"}
# Carried by every Wine program a test starts, and by what those start in turn (the relaunched
# framelark.exe): the test ends them by it, and the next test ends those of a test that was killed.
OWNER = "FRAMELARK_E2E_OWNER"
OWNED_PROGRAMS = (b"framelark.exe", b"animator.exe", b"window_probe.exe", b"caption_render.exe")
SMALL_DISK = "framelark_small_disk"  # the file system a disk-full test mounts over the temporary folder


def fail(message):
    print("FAIL:", message)
    if "FRAMELARK_SHOTS" in os.environ:
        subprocess.run(["import", "-window", "root", os.path.join(os.environ["FRAMELARK_SHOTS"], "failed.png")],
                       check=False)
    sys.exit(1)


# The display ------------------------------------------------------------------------------------

def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def find_window(name, timeout):
    end = time.time() + timeout
    while time.time() < end:
        ids = xdotool("search", "--onlyvisible", "--name", name).split()
        if ids:
            return ids[0]
        time.sleep(0.2)
    return None


def wait_until(condition, timeout, step=0.2):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(step)
    return bool(condition())


def geometry(window):
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values


def press(key, at=OUTSIDE_REGION):
    """Keys go to the window under the pointer; several, separated by blanks, go one right after
    the other. Returns the moment just before the first was sent."""
    xdotool("mousemove", *at)
    time.sleep(0.2)
    sent = time.time()
    xdotool("key", *key.split())
    return sent


def click(x, y):
    xdotool("mousemove", x, y)
    time.sleep(0.3)
    xdotool("click", 1)


def click_button(name, window_geometry=None):
    """A button of the main window, where it stands or at the given geometry."""
    x, y = (window_geometry["X"], window_geometry["Y"]) if window_geometry else MAIN
    click(x + BUTTONS[name][0], y + BUTTONS[name][1])


def keys(*names):
    for name in names:
        xdotool("key", name)
        time.sleep(0.15)


def screenshot(path, crop=None):
    """The root window, or the part of it given as (left, top, right, bottom) inclusive."""
    command = ["import", "-window", "root"]
    if crop:
        left, top, right, bottom = crop
        command += ["-crop", f"{right - left + 1}x{bottom - top + 1}+{left}+{top}", "+repage"]
    subprocess.run(command + [path], check=True)


def screen_size():
    for line in subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout.splitlines():
        if "dimensions:" in line:
            width, height = line.split()[1].split("x")
            return int(width), int(height)
    fail("no screen size from xdpyinfo")


def psnr(a, b):
    diff = ImageChops.difference(a, b)
    stat = ImageStat.Stat(diff)
    pixels = a.size[0] * a.size[1]
    mse = sum(stat.sum2) / (3 * pixels)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


# The Wine prefix's temporary folder ---------------------------------------------------------------

def temp_folder(prefix):
    return os.path.join(prefix, "drive_c", "windows", "temp")


def temp_movies(prefix):
    temp = temp_folder(prefix)
    return sorted(glob.glob(os.path.join(temp, "~temp*.avi")) + glob.glob(os.path.join(temp, "~temp*.wav")) +
                  glob.glob(os.path.join(temp, "tempaudiovideomerge.avi")))


def journals(prefix):
    return sorted(glob.glob(os.path.join(temp_folder(prefix), "~temp*.avi.journal")))


def program_files_in_temp(prefix):
    """Everything the program keeps there: movies and sound, their journals, rebuilt movies, the
    merge file. Wine's own files are not the program's and stay."""
    found = [glob.glob(os.path.join(temp_folder(prefix), name)) for name in ("~temp*", "tempaudiovideomerge*")]
    return sorted(p for p in found[0] + found[1] if os.path.isfile(p) or os.path.islink(p))


def check_temp_cleaned(prefix, after, before=(), timeout=30):
    """Fails unless the program removes the files it made in the temporary folder (those not in
    before), given time to."""
    def left():
        return [p for p in program_files_in_temp(prefix) if p not in before]
    if not wait_until(lambda: not left(), timeout):
        fail(f"temporary files left {after}: {left()}")


def clear_temp_folder(prefix):
    temp = temp_folder(prefix)
    # A disk-full test that was killed leaves its small disk mounted there.
    with open("/proc/mounts") as f:
        stale = [line for line in f if line.split()[:2] == [SMALL_DISK, os.path.realpath(temp)]]
    if stale and subprocess.run(["umount", temp], capture_output=True).returncode != 0:
        fail(f"the small disk of an earlier test is still mounted over {temp}")
    for path in program_files_in_temp(prefix):
        with contextlib.suppress(FileNotFoundError):
            os.remove(path)


# Programs a test starts ---------------------------------------------------------------------------

_started = []       # Popen objects
_prefixes = set()   # the Wine prefixes programs were started in


def start(command, fast_heap=True, **popen):
    """A process that clean_run() ends; Wine programs get the fast heap and the owner mark."""
    env = {k: v for k, v in os.environ.items() if k not in FAST_HEAP and k != "GLIBC_TUNABLES"}
    if fast_heap:
        env.update(FAST_HEAP)
    env[OWNER] = str(os.getpid())
    popen.setdefault("stdin", subprocess.DEVNULL)
    popen.setdefault("stdout", subprocess.DEVNULL)
    popen.setdefault("stderr", subprocess.DEVNULL)
    process = subprocess.Popen(command, env=env, **popen)
    _started.append(process)
    if "WINEPREFIX" in os.environ:
        _prefixes.add(os.environ["WINEPREFIX"])
    return process


def launch(command, fast_heap=True, **popen):
    """Starts the program and waits for its main window to show."""
    program = start(command, fast_heap, **popen)
    if not find_window("^Framelark$", 30):
        program.kill()
        fail(f"no main window from {command}")
    time.sleep(1.0)  # the window is restored about 200 ms after it first shows
    return program


def start_program(build, scratch, fast_heap=True, hooks=None):
    """The built program copied into scratch and started there.
    hooks: a folder whose hook libraries replace the build's (for benchmarks)."""
    shutil.copy(os.path.join(build, "src", "app", "framelark.exe"), scratch)
    for dll in ("hook.dll", "hookkey.dll"):
        found = glob.glob(os.path.join(hooks or build, "**", dll), recursive=True)
        if not found:
            fail(f"{dll} was not built")
        shutil.copy(found[0], scratch)
    return launch(["wine", os.path.join(scratch, "framelark.exe")], fast_heap, cwd=scratch)


def start_animator(build, seconds, place=ANIMATOR, *mode):
    animator = start(["wine", os.path.join(build, "tests", "e2e", "animator.exe"), *map(str, place), str(seconds),
                      *mode])
    if not find_window("^Animator$", 20):
        animator.kill()
        fail("the animated test window did not appear")
    return animator


def start_with_settings(scratch, build, **values):
    """A first start leaves CS.ini; the values given are written into it (the cursor and the player
    after the save off) and the program is started again with them."""
    program = start_program(build, scratch)
    click_close(main_window())
    wait_for_exit(program)
    text = read_file(scratch, "CS.ini")
    for key, value in dict(values, g_recordcursor=0, launchPlayer=0).items():
        text = set_line(text, key, value)
    write_file(scratch, "CS.ini", text)
    return start_program(build, scratch)


def close_program(program):
    window = find_window("^Framelark$", 5)
    if window:
        xdotool("windowactivate", window)
        g = geometry(window)
        xdotool("mousemove", g["X"] + 40, g["Y"] + 40)
        xdotool("key", "alt+F4")
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()


def kill_program(program):
    """Ends the program as a crash would (kill -9 of its Wine process), leaving its files."""
    pid = int(xdotool("getwindowpid", main_window()).strip())
    with open(f"/proc/{pid}/cmdline", "rb") as f:
        if b"framelark.exe" not in f.read():
            fail(f"process {pid} is not the program")
    os.kill(pid, signal.SIGKILL)
    try:
        program.wait(10)
    except subprocess.TimeoutExpired:
        program.kill()
    time.sleep(1)


def main_window():
    window = find_window("^Framelark$", 5)
    if not window:
        fail("the main window is not there")
    return window


def click_close(window):
    click_button("close", geometry(window))


def wait_for_exit(program, seconds=15):
    try:
        program.wait(seconds)
    except subprocess.TimeoutExpired:
        program.kill()
        fail("the program did not end after its Close button")


def use_prefix(prefix):
    """A Wine prefix of the test's own from here on, its temporary folder emptied like the shared one's."""
    os.environ["WINEPREFIX"] = prefix
    _prefixes.add(prefix)
    _end_orphans(prefix)
    clear_temp_folder(prefix)


def _marked_programs():
    """(pid, owner, Wine prefix) of each running Wine program that a test started."""
    mark, where = f"{OWNER}=".encode(), b"WINEPREFIX="
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().lower()
            if not any(name in command for name in OWNED_PROGRAMS):
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        owner = next((e[len(mark):] for e in environment if e.startswith(mark)), b"")
        prefix = next((e[len(where):] for e in environment if e.startswith(where)), b"")
        if owner.isdigit():
            yield int(entry), int(owner), prefix.decode(errors="replace")


def _end(pids):
    for pid in pids:
        with contextlib.suppress(ProcessLookupError):
            os.kill(pid, signal.SIGKILL)
    # Gone before their files are removed: a dying program may still write.
    wait_until(lambda: not any(_running(pid) for pid in pids), 15, 0.1)


def _running(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def end_started_programs():
    """Kills what the test started and is still running, the relaunched program included."""
    for process in _started:
        if process.poll() is None:
            process.kill()
    for process in _started:
        with contextlib.suppress(subprocess.TimeoutExpired):
            process.wait(10)
    _started.clear()
    _end([pid for pid, owner, _ in _marked_programs() if owner == os.getpid()])


def _end_orphans(prefix):
    """Programs in this prefix of an earlier test that was killed before it could end them."""
    _end([pid for pid, owner, where in _marked_programs()
          if where == prefix and owner != os.getpid() and not os.path.exists(f"/proc/{owner}")])


@contextlib.contextmanager
def clean_run(name):
    """Yields a scratch folder. The Wine prefix's temporary folder holds none of the program's files
    when the test starts and when it ends, pass or fail, and what the test started is ended."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    prefix = os.environ["WINEPREFIX"]
    _prefixes.add(prefix)
    _end_orphans(prefix)
    clear_temp_folder(prefix)
    scratch = tempfile.mkdtemp(prefix=f"framelark_{name}_")
    try:
        yield scratch
    finally:
        try:
            end_started_programs()
            for used in sorted(_prefixes):
                if os.path.isdir(temp_folder(used)):
                    clear_temp_folder(used)
        finally:
            shutil.rmtree(scratch, ignore_errors=True)


# Recording as a person would ----------------------------------------------------------------------

def drag_region(region=REGION, rest=OUTSIDE_REGION):
    """Drags the region in the selection window that the start key brought up. Returns the moment
    just before the button was let go, when the region was chosen."""
    left, top, right, bottom = region
    if not find_window("^Title$", 10):
        fail("the region selection window did not appear after the start key")
    time.sleep(0.5)
    xdotool("mousemove", left, top)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    for step in range(1, 6):
        xdotool("mousemove", left + (right - left) * step // 5, top + (bottom - top) * step // 5)
        time.sleep(0.05)
    chosen = time.time()
    xdotool("mouseup", 1)
    xdotool("mousemove", *rest)
    return chosen


def wait_for_recording(prefix, before):
    """Returns once a new temporary movie grows: from then on the recording surely runs."""
    end = time.time() + 30
    sizes = {}
    while time.time() < end:
        for path in [p for p in temp_movies(prefix) if p.endswith(".avi") and p not in before]:
            with contextlib.suppress(OSError):
                size = os.path.getsize(path)
                if sizes.setdefault(path, size) != size:
                    return time.time()
        time.sleep(0.05)
    fail("no recording started after the selection")


def record_region(prefix, before, region=REGION, key="F7"):
    """Starts a recording with the start key and a dragged region; returns when it surely runs."""
    press(key)
    drag_region(region)
    return wait_for_recording(prefix, before)


def take_shots(scratch, shots, region=REGION):
    """Screenshots of the region while the recording runs."""
    time.sleep(0.8)
    for i in range(shots):
        screenshot(os.path.join(scratch, f"shot{i}.png"), region)
        time.sleep(0.5)


def save_as(save, scratch, name, wait=60, progress_gone=True):
    """Types scratch/name into the Save dialog; returns the movie's path once it is written: the
    dialog (and, with progress_gone, the progress window that stays while the temporary files are
    deleted) is gone, and the file has stopped growing."""
    g = geometry(save)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", "End", "shift+Home")
    xdotool("type", "Z:" + scratch.replace("/", "\\") + "\\" + name)
    xdotool("key", "Return")
    movie = os.path.join(scratch, name + ".avi")
    sizes = [-1]

    def written():
        sizes.append(os.path.getsize(movie) if os.path.exists(movie) else -1)
        return sizes[-1] > 0 and sizes[-1] == sizes[-2] and not find_window("^Save to...$", 0.01) and \
            not (progress_gone and find_window("^Convert progress$", 0.01))
    if not wait_until(written, wait, 1.0):
        fail("no movie was saved" if sizes[-1] <= 0 else f"the movie was still being written after {wait} s")
    return movie


def save_movie(scratch, name):
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    return save_as(save, scratch, name)


# The saved movie ----------------------------------------------------------------------------------

def probe(movie):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                          "stream=codec_name,width,height,nb_frames,nb_read_frames,r_frame_rate",
                          "-of", "default=noprint_wrappers=1", movie], capture_output=True, text=True).stdout
    info = dict(line.split("=", 1) for line in out.split())
    print("ffprobe:", info)
    return info


def streams(movie, entries="codec_type"):
    return subprocess.run(["ffprobe", "-v", "error", "-show_entries", f"stream={entries}", "-of", "csv=p=0", movie],
                          capture_output=True, text=True).stdout.split()


def ffmpeg_says(movie, level="error", tolerated=()):
    """What ffmpeg says at that level while decoding the whole movie, less the tolerated remarks."""
    # Each repeat in full: ffmpeg otherwise sums up a repeated remark as "Last message repeated N
    # times", which no longer names the remark that is tolerated.
    decoded = subprocess.run(["ffmpeg", "-v", f"repeat+{level}", "-i", movie, "-f", "null", "-"], capture_output=True,
                             text=True)
    said = [line for line in decoded.stderr.splitlines() if line.strip() and not any(t in line for t in tolerated)]
    if decoded.returncode != 0 and not said:
        said = [f"ffmpeg ended with {decoded.returncode}"]
    return said


def decoded_frames(movie, width, height):
    return list(each_frame(movie, width, height))


def each_frame(movie, width, height):
    """The movie's pictures as RGB bytes, one at a time, so that a long movie needs no room for all."""
    size = width * height * 3
    with subprocess.Popen(["ffmpeg", "-v", "error", "-i", movie, "-vsync", "0", "-f", "rawvideo", "-pix_fmt", "rgb24",
                           "-"], stdout=subprocess.PIPE) as decoder:
        while len(frame := decoder.stdout.read(size)) == size:
            yield frame
    if decoder.returncode != 0:
        fail(f"ffmpeg could not decode {movie}")


def decoded_sound(movie, path):
    """The movie's first sound stream decoded into a 16-bit WAV file at path."""
    subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-map", "0:a:0", "-c:a", "pcm_s16le", path], check=True)
    return path


def video_packets(movie):
    """Time, size and checksum of each picture; ffmpeg keeps or drops empty chunks as it sees fit."""
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", movie, "-map", "0:v", "-c", "copy", "-f", "framemd5", "-"],
                         capture_output=True, text=True).stdout.splitlines()
    packets = [line.split(",") for line in out if not line.startswith("#")]
    return [(p[1].strip(), p[4].strip(), p[5].strip()) for p in packets if p[4].strip() != "0"]


def duration(movie):
    return float(subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", movie],
                                capture_output=True, text=True).stdout)


def player_errors(said):
    return [line for line in said.splitlines()
            if line.startswith("ERROR") or re.search(r"(input|demux|decoder|stream) error", line)]


def play_to_the_end(movie, last=None, timeout=120):
    """GStreamer, mpv and VLC each play the movie through to its end, saying no error on the way;
    given last, mpv and VLC start that many seconds before the end, found through the movie's index
    (GStreamer's command line cannot seek: it plays the whole movie)."""
    os.chmod(os.path.dirname(movie), 0o755)
    os.chmod(movie, 0o644)
    start = [] if last is None else [f"--start=-{last}"]
    start_time = [] if last is None else [f"--start-time={max(0.0, duration(movie) - last):.1f}"]
    # Each player: its command, and what it says when it reached the end of the movie.
    players = {
        "GStreamer": (["gst-launch-1.0", "playbin", f"uri=file://{movie}", "video-sink=fakesink sync=false",
                       "audio-sink=fakesink sync=false"], "Got EOS from element"),
        "mpv": (["mpv", "--no-config", "--ao=null", "--vo=null", "--untimed", *start, movie], "(End of file)"),
        # VLC refuses to run as root; it ends with 0 whatever happened, so its log says.
        "VLC": (["runuser", "-u", "nobody", "--", "cvlc", "-vv", "--play-and-exit", "--intf", "dummy", "--aout",
                 "dummy", "--vout", "dummy", *start_time, movie], "main input debug: EOF reached"),
    }
    for name, (command, ended_line) in players.items():
        began = time.time()
        ended = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
        said = ended.stdout + ended.stderr
        errors = player_errors(said)
        audio = len(re.findall(r"avi demux debug: stream\[\d\] audio", said))
        print(f"{name}: exit {ended.returncode}, {'reached the end' if ended_line in said else 'did NOT reach the end'}"
              f" in {time.time() - began:.1f} s{f', {audio} audio streams' if name == 'VLC' else ''}"
              f"{'; ' + ' | '.join(errors) if errors else ''}")
        if ended.returncode != 0 or errors or ended_line not in said:
            fail(f"{name} did not play the movie to its end: {said[-500:]}")


def check_time_line(frames, rate, ran, elapsed):
    """The time line follows the clock, not the count of frames: it is no longer than the time from
    the start key to the Save dialog (elapsed), and no shorter than half the time the recording
    surely ran (ran); a busy machine delays the stop, it does not make the time line shorter."""
    length = frames / rate
    print(f"time line {frames} frames at {rate:g}/s = {length:.2f} s; the recording surely ran {ran:.2f} s, "
          f"{elapsed:.2f} s passed from the start key to the Save dialog")
    if not 0.5 * ran - 1 / rate <= length <= elapsed + 1 / rate:
        fail("the movie's time line does not follow the recording's clock")


def check_movie(movie, ran, elapsed, scratch, shots, region=REGION):
    """A Video 1 movie of the region whose time line follows the clock, which decodes cleanly and
    whose frames match the screenshots take_shots() took."""
    info = probe(movie)
    if info.get("codec_name") != "msvideo1":
        fail(f"video stream is {info.get('codec_name')}, not Video 1")
    width, height = int(info["width"]), int(info["height"])
    left, top, right, bottom = region
    if (width, height) != (right - left + 1, bottom - top + 1):
        fail(f"movie is {width}x{height}, the region {right - left + 1}x{bottom - top + 1}")
    numerator, denominator = map(int, info["r_frame_rate"].split("/"))
    check_time_line(int(info["nb_frames"]), numerator / denominator, ran, elapsed)

    said = ffmpeg_says(movie)
    if said:
        fail("ffmpeg reports decode errors: " + " ".join(said)[:500])
    frames = decoded_frames(movie, width, height)
    images = [Image.frombytes("RGB", (width, height), f) for f in set(frames)]
    print(f"{len(frames)} frames decoded, {len(images)} distinct")
    worst = 99.0
    for i in range(shots):
        shot = Image.open(os.path.join(scratch, f"shot{i}.png")).convert("RGB")
        best = max(psnr(shot, image) for image in images)
        print(f"screenshot {i}: best matching frame {best:.1f} dB")
        worst = min(worst, best)
    if worst <= 30.0:
        fail(f"a screenshot matches no frame above 30 dB (worst {worst:.1f} dB)")


def check_tone(path):
    with wave.open(path) as sound:
        rate, channels, width = sound.getframerate(), sound.getnchannels(), sound.getsampwidth()
        data = sound.readframes(sound.getnframes())
    if width != 2:
        fail(f"sound of {width * 8} bits, expected 16")
    samples = [int.from_bytes(data[i:i + 2], "little", signed=True) for i in range(0, len(data), 2 * channels)]
    loud = [s for s in samples if abs(s) > 1000]
    if len(loud) < rate // 4:
        fail(f"the sound file holds no tone ({len(samples)} frames, {len(loud)} loud)")
    crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0) and abs(a - b) > 500)
    frequency = crossings / 2 / (len(loud) / rate)
    print(f"sound: {len(samples) / rate:.2f} s, about {frequency:.0f} Hz")
    if not 0.8 * TONE <= frequency <= 1.2 * TONE:
        fail(f"the sound is about {frequency:.0f} Hz, not {TONE} Hz")


def play_tone(scratch, seconds):
    """A tone into the null sink that sound is recorded from, for as long as the test needs."""
    tone = os.path.join(scratch, "tone.wav")
    subprocess.run(["sox", "-n", tone, "synth", str(seconds), "sine", str(TONE)], check=True)
    return start(["paplay", "-d", "rec", tone], fast_heap=False)


# The program's dialogs ----------------------------------------------------------------------------

def open_dialog(title, how):
    how()
    dialog = find_window(f"^{title}$", 10)
    if not dialog:
        fail(f'"{title}" did not open')
    g = geometry(dialog)
    # Keys go to the window under the pointer: rest it on the dialog's caption.
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + 8)
    time.sleep(0.5)
    return dialog


def closed(title):
    if not wait_until(lambda: not find_window(f"^{title}$", 0.2), 5, 0):
        fail(f'"{title}" stayed open after OK')


def tick_record_audio():
    """Ticks "Record Audio" in the Audio Options dialog."""
    open_dialog("Audio Options", lambda: click_button("audio"))
    keys("alt+r", "Return")
    closed("Audio Options")


def option_menu_entry(letter):
    """Opens the Option button's menu, checks that no tooltip covers it, and picks an entry."""
    click_button("option")
    time.sleep(1.5)  # the pointer rests on the button, long enough for a tooltip to show
    # Menus and tooltips are the program's unnamed pop-up windows.
    popups = [geometry(w) for w in xdotool("search", "--onlyvisible", "--class", "framelark").split()
              if not xdotool("getwindowname", w).strip()]
    # The menu opens at the button's lower-left corner.
    left, top = MAIN[0] + 217, MAIN[1] + 97
    menus = [g for g in popups if (g["X"], g["Y"]) == (left, top)]
    if not menus:
        fail(f"no menu at the Option button's lower-left corner; pop-ups: {popups}")
    menu = menus[0]
    for g in popups:
        if g is not menu and g["X"] < left + menu["WIDTH"] and g["X"] + g["WIDTH"] > left and \
                g["Y"] < top + 20 and g["Y"] + g["HEIGHT"] > top:
            fail(f"a pop-up at {g['X']},{g['Y']} ({g['WIDTH']}x{g['HEIGHT']}) covers the menu's first entry")
    keys(letter)


def choose_zmbv(scratch):
    """Chooses the lossless compressor in Video Options; the About box it shows lands in scratch."""
    open_dialog("Video Options", lambda: click_button("video"))
    keys("alt+m", "Home")
    # Down through the list until the About box names the lossless compressor.
    for _ in range(12):
        keys("alt+a")
        if find_window("^About ZMBV lossless screen$", 3):
            screenshot(os.path.join(scratch, "about.png"))
            keys("Return")
            closed("About ZMBV lossless screen")
            break
        if find_window("^About", 0.5):  # another compressor's own box
            keys("Escape")
        open_dialog("Video Options", lambda: None)
        keys("alt+m", "Down")
    else:
        fail("no compressor in the list is the ZMBV lossless one")
    keys("Return")
    closed("Video Options")


# The settings files beside the program ------------------------------------------------------------

def read_file(folder, name):
    path = os.path.join(folder, name)
    if not os.path.lexists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def write_file(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def set_line(text, key, value):
    """CS.ini's text with the key's value replaced, in the file's own spacing."""
    lines = text.split(b"\r\n")
    for i, line in enumerate(lines):
        if line.startswith(key.encode() + b"="):
            spacing = b" " if b"= " in line else b""
            lines[i] = line[:line.index(b"=") + 1] + spacing + str(value).encode() + b" "
            return b"\r\n".join(lines)
    fail(f"CS.ini has no line {key}")
