#!/usr/bin/env python3
"""Recordings whose files cannot grow any further, used as a person would.

disk: a 4 MB file system is mounted over the Wine prefix's temporary folder (this needs root; without it
the test says so and is skipped). A region over noise is recorded until the disk fills: the
recording must end by itself with a plain note (an OK box, not the question about the compressor)
and then the Save dialog, its movie no longer growing once the note shows; the saved movie must be
the recorded one, decode in ffmpeg without a word and hold what the small disk could take.
fat: a FAT32 image is mounted over the temporary folder (root; the kernel's vfat, else fusefat
when FRAMELARK_FUSEFAT=1; else skipped), whose files end below 4 GB. The whole screen of noise is recorded until the movie
nears that: the recording must end by itself with a note, its movie no longer growing, and the
saved movie must stay below the limit and decode to its last picture without a word from ffmpeg.
Through fusefat the limit is fusefat's own 2 GiB (it refuses to write further), and Wine reports a
FUSE mount as NTFS: the program cannot see the limit coming and meets it as a refused write.
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window, geometry, xdotool  # noqa: E402

SKIPPED = 77
DISK_BYTES = 4 * 1024 * 1024
LIMIT_BYTES = 2 ** 32
FUSEFAT_LIMIT_BYTES = 2 ** 31  # fusefat 0.1a refuses a write past 2 GiB (EPERM)
FAT_IMAGE_BYTES = 5 * 2 ** 30
SCREEN = (1024, 768)


def mount_small_disk(folder):
    if os.geteuid() != 0:
        print("SKIP: mounting the small file system over the temporary folder needs root")
        sys.exit(SKIPPED)
    os.makedirs(folder, exist_ok=True)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={DISK_BYTES}", e2e.SMALL_DISK, folder],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        print(f"SKIP: cannot mount a small file system here: {mounted.stderr.strip()}")
        sys.exit(SKIPPED)


def mount_fat_image(folder, image):
    """Returns the size a file on the mounted image cannot reach."""
    if os.geteuid() != 0:
        print("SKIP: mounting a FAT32 image over the temporary folder needs root")
        sys.exit(SKIPPED)
    with open(image, "wb") as out:
        out.truncate(FAT_IMAGE_BYTES)
    made = subprocess.run(["mkfs.vfat", "-F", "32", image], capture_output=True, text=True)
    if made.returncode != 0:
        print(f"SKIP: no FAT32 image could be made (dosfstools): {made.stderr.strip()}")
        sys.exit(SKIPPED)
    os.makedirs(folder, exist_ok=True)
    with open("/proc/filesystems") as known:
        kernel = "vfat" in known.read().split()
    if kernel:
        mounted = subprocess.run(["mount", "-o", "loop", "-t", "vfat", image, folder], capture_output=True, text=True)
        if mounted.returncode == 0:
            return LIMIT_BYTES
        print(f"the kernel cannot mount the FAT32 image ({mounted.stderr.strip()}): trying fusefat")
    if os.environ.get("FRAMELARK_FUSEFAT") != "1":
        # By hand: fusefat is slow, and its save of 2 GiB once took more than 10 minutes on a busy
        # machine.
        print("SKIP: this kernel cannot mount a FAT32 file system (FRAMELARK_FUSEFAT=1 tries fusefat)")
        sys.exit(SKIPPED)
    if not shutil.which("fusefat") or not os.path.exists("/dev/fuse"):
        print("SKIP: this kernel cannot mount a FAT32 file system, and fusefat (or /dev/fuse) is missing")
        sys.exit(SKIPPED)
    mounted = subprocess.run(["fusefat", "-o", "rw+", image, folder], capture_output=True, text=True)
    if mounted.returncode != 0:
        print(f"SKIP: fusefat cannot mount the FAT32 image: {mounted.stderr.strip()}")
        sys.exit(SKIPPED)
    print("FAT32 image mounted with fusefat: its files end at 2 GiB")
    return FUSEFAT_LIMIT_BYTES


def wait_for_note(timeout):
    """The note that ends the recording by itself; the Save dialog must not come before it."""
    note = None

    def noted():
        nonlocal note
        if find_window("^Save to...$", 0.01):
            fail("the Save dialog came before any note")
        note = find_window("^Note$", 0.01)
        return note
    if not e2e.wait_until(noted, timeout, 0.05):
        fail("the recording did not end by itself when its file could grow no further")
    return note


def answer_note(note):
    """OK on a note; a question would take Return as Yes and start recording again."""
    g = geometry(note)
    xdotool("mousemove", g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)
    time.sleep(0.3)
    xdotool("key", "Return")
    save = find_window("^Save to...$", 10)
    if not save:
        fail("no Save dialog after the note")
    return save


def decodes_to_its_end(movie, tolerated=()):
    said = e2e.ffmpeg_says(movie, "warning", tolerated)
    if said:
        fail(f"ffmpeg had something to say about the saved movie: {' '.join(said)[:500]}")
    pictures = len(e2e.video_packets(movie))
    print(f"saved movie: {os.path.getsize(movie)} bytes, {pictures} pictures, decoded without a word")
    return pictures


def record_until_full(args, prefix, scratch, name, limit):
    """Returns the saved movie and, on the small disk, a copy of the recorded one."""
    program = e2e.start_program(args.build, scratch)
    if args.mode == "disk":
        e2e.start_animator(args.build, 120, e2e.ANIMATOR, "noise")
        e2e.press("F7")
        e2e.drag_region()
    else:
        e2e.start_animator(args.build, 900, (0, 0, *SCREEN), "noise")
        e2e.press("F7")
        e2e.drag_region((0, 0, SCREEN[0] - 1, SCREEN[1] - 1))
    # The small disk may be full before a second look at the movie: its appearance is enough here.
    if not e2e.wait_until(lambda: [p for p in e2e.temp_movies(prefix) if p.endswith(".avi")], 30, 0.05):
        fail("no recording started after the selection")
    # The whole screen of noise takes minutes to reach 4 GB on a busy machine.
    note = wait_for_note(90 if args.mode == "disk" else 1500)
    recorded = [p for p in e2e.temp_movies(prefix) if p.endswith(".avi")][0]
    size = os.path.getsize(recorded)
    print(f"note shown; the temporary movie holds {size} bytes")
    shots = os.environ.get("FRAMELARK_SHOTS", tempfile.gettempdir())
    subprocess.run(["import", "-window", "root", os.path.join(shots, f"{name}_note.png")], check=False)
    kept = None
    if args.mode == "disk":
        kept = os.path.join(scratch, "recorded.avi")
        shutil.copy(recorded, kept)
    save = answer_note(note)
    if os.path.getsize(recorded) != size:
        fail(f"the temporary movie grew from {size} to {os.path.getsize(recorded)} bytes after the note")
    if limit == FUSEFAT_LIMIT_BYTES:
        # fusefat cuts a file slowly (a few hundred KB a second measured): the program's deletion of
        # the temporary movie, 2 MB at a time, would take hours. The movie is judged once copied;
        # the temporary one goes with the image.
        movie = e2e.save_as(save, scratch, name, 600, progress_gone=False)
        if not e2e.wait_until(lambda: os.path.getsize(movie) == size, 600, 1.0):
            fail(f"the saved movie holds {os.path.getsize(movie)} bytes, the recorded one {size}")
        return movie, kept
    # A 4 GB copy takes a while: the temporary movie goes once it is done.
    movie = e2e.save_as(save, scratch, name, 600)
    e2e.check_temp_cleaned(prefix, "after saving", timeout=600)
    e2e.close_program(program)
    return movie, kept


def run(args, scratch):
    prefix = os.environ["WINEPREFIX"]
    temp = e2e.temp_folder(prefix)
    limit = LIMIT_BYTES
    try:
        if args.mode == "disk":
            mount_small_disk(temp)
        else:
            limit = mount_fat_image(temp, os.path.join(scratch, "fat32.img"))
        movie, recorded = record_until_full(args, prefix, scratch, "full" if args.mode == "disk" else "fat", limit)
    finally:
        e2e.end_started_programs()  # nothing may hold the mounted disk
        if os.path.ismount(temp):
            subprocess.run(["umount", temp], check=False)
    # A whole-screen recording leaves gaps in the time line that ffmpeg's null muxer reports as
    # repeated timestamps (not a decoding fault, and not about the end): known, left for now.
    pictures = decodes_to_its_end(movie, () if args.mode == "disk" else ("non monotonically increasing dts",))
    size = os.path.getsize(movie)
    if args.mode == "disk":
        if not filecmp.cmp(movie, recorded, shallow=False):
            fail("the saved movie is not the recorded one")
        if size < DISK_BYTES // 2 or pictures < 2:
            fail("the saved movie holds much less than the disk could take")
    elif not limit - 256 * 1024 * 1024 < size < limit:
        fail(f"the movie stopped at {size} bytes, not just below {limit} bytes")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("mode", choices=["disk", "fat"])
    args = parser.parse_args()
    with e2e.clean_run("disk_full") as scratch:
        run(args, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
