#!/usr/bin/env python3
"""clean_run() without Wine: stand-ins named like the programs, a temporary folder holding the
program's files among Wine's own, and programs left by an earlier test that was killed. Whether the
test passes or fails, only the program's files go and only the test's own programs end.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402

PROGRAMS_FILES = ["~temp.avi", "~temp1234.wav", "~temp.avi.journal", "~temp.avi.rebuilt", "tempaudiovideomerge.avi"]
WINES_FILES = ["wine_setup.log", "temp.avi", "x~temp.avi"]
KEPT = sorted(WINES_FILES + ["~temp_folder_of_wine"])


def stand_in(name, owner=None, prefix=None):
    """A process whose command line names the program, marked as started by owner in prefix."""
    env = dict(os.environ, WINEPREFIX=prefix or os.environ["WINEPREFIX"])
    if owner:
        env[e2e.OWNER] = str(owner)
    process = subprocess.Popen(["bash", "-c", f"exec -a {name} sleep 300"], env=env)

    def named():
        with open(f"/proc/{process.pid}/cmdline", "rb") as f:
            return f.read().startswith(name.encode())
    e2e.wait_until(named, 10, 0.01)
    return process


def own():
    return [pid for pid, owner, _ in e2e._marked_programs() if owner == os.getpid()]


def commands(pids):
    names = []
    for pid in pids:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            names.append(f.read().split(b"\0")[0])
    return names


def put(folder, names):
    for name in names:
        open(os.path.join(folder, name), "w").close()


def main():
    root = tempfile.mkdtemp(prefix="framelark_support_test_")
    temp = os.path.join(root, "prefix", "drive_c", "windows", "temp")
    os.makedirs(os.path.join(temp, "~temp_folder_of_wine"))
    os.environ["WINEPREFIX"] = os.path.join(root, "prefix")
    gone = subprocess.Popen(["true"])
    gone.wait()
    stand_ins = []
    try:
        for failing in (True, False):
            put(temp, PROGRAMS_FILES + WINES_FILES)
            first = None
            orphan = stand_in("framelark.exe", gone.pid)
            # Unmarked, of a test that still runs, of a killed test in another prefix.
            others = [stand_in("framelark.exe"), stand_in("framelark.exe", os.getppid()),
                      stand_in("animator.exe", gone.pid, os.path.join(root, "elsewhere"))]
            stand_ins += [orphan] + others
            try:
                with e2e.clean_run("support_test") as scratch:
                    if orphan.poll() is None or sorted(os.listdir(temp)) != KEPT:
                        e2e.fail(f"at the start: the orphan runs {orphan.poll() is None}, temporary folder "
                                 f"{os.listdir(temp)}")
                    # The relaunched program: started by the test's program, not by the test.
                    first = e2e.start(["bash", "-c",
                                       "(exec -a framelark.exe sleep 300) & exec -a animator.exe sleep 300"])
                    e2e.wait_until(lambda: sorted(commands(own())) == [b"animator.exe", b"framelark.exe"], 10, 0.01)
                    put(temp, PROGRAMS_FILES[:2])
                    if failing:
                        e2e.fail("failing on purpose, as a test would")
            except SystemExit as stop:
                if not failing or stop.code != 1 or first is None:
                    raise
            left = own()
            if first.poll() is None or left or os.path.exists(scratch):
                e2e.fail(f"failing {failing}: still running {left}, first {first.poll()}, scratch kept {scratch}")
            if sorted(os.listdir(temp)) != KEPT:
                e2e.fail(f"failing {failing}: the temporary folder holds {os.listdir(temp)}")
            if any(p.poll() is not None for p in others):
                e2e.fail(f"failing {failing}: a program of another test or prefix was ended")
    finally:
        for process in stand_ins:
            process.kill()
            process.wait()
        for pid in own():
            os.kill(pid, 9)
        shutil.rmtree(root, ignore_errors=True)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
