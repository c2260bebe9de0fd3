#!/usr/bin/env python3
"""The packages as a Windows user meets them, under Wine in a prefix of its own.

1. cpack makes framelark-<version>-win64.zip and framelark-<version>-setup.exe; the version in both
   names is the one in the version resources of the program (which has no debug sections) and of
   the setup program.
2. The setup program, run silently (/S), puts every file of the zip into Program Files, a Start-menu
   shortcut and an entry in the list of installed programs (name, version, publisher, size, icon).
3. The installed program, in a folder it cannot write, started from the path the shortcut names: no
   error at exit, the settings go to %APPDATA%\\Framelark, the first save folder is the user's
   Videos folder; a setting changed there is in force at the next start (F6 as the start key),
   which records a movie that ffmpeg decodes.
4. The zip unpacked into a writable folder and started by scripts/launch, as on Linux, keeps its
   settings beside itself and offers its own folder to save in.
5. The uninstaller, run silently, removes every installed file, the shortcut and the registry entry,
   and leaves the settings.
"""
import argparse
import glob
import os
import struct
import subprocess
import sys
import time
import zipfile

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import fail, find_window  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Framelark"
F6 = 117


def quiet(*args, timeout=180):
    """Runs a command with no descriptor of ours: Wine's services would keep a pipe open."""
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout).returncode


def reg_query(scratch, key):
    out = os.path.join(scratch, "reg.txt")
    with open(out, "w") as f:
        code = subprocess.run(["wine", "reg", "query", key], stdin=subprocess.DEVNULL, stdout=f,
                              stderr=subprocess.DEVNULL, timeout=60).returncode
    if code != 0:
        return None
    values = {}
    with open(out, errors="replace") as f:
        for line in f:
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
    return values


def new_prefix(scratch):
    """A prefix as on a new machine; Wine's desktop menu builder kept out of the user's home."""
    shared = os.environ["WINEPREFIX"]
    prefix = os.path.join(scratch, "prefix")
    e2e.use_prefix(prefix)
    os.environ["WINEDLLOVERRIDES"] = os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml=") + ";winemenubuilder.exe=d"
    started = time.time()
    quiet("wineboot", "-i")
    quiet("wineserver", "-p")
    quiet("wine", "cmd", "/c", "exit")
    with open(os.path.join(shared, "user.reg"), errors="replace") as f:
        if '"Managed"="N"' in f.read():  # no window manager on the test display
            quiet("wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
    print(f"new prefix ready in {time.time() - started:.1f} s")
    return prefix


def unix_path(prefix, windows_path):
    drive, _, rest = windows_path.partition(":\\")
    if drive.upper() != "C":
        fail(f"{windows_path} is not on drive C:")
    return os.path.join(prefix, "drive_c", *rest.split("\\"))


def shortcut_target(path):
    """The local path of a shell link: its LinkInfo's LocalBasePath."""
    with open(path, "rb") as f:
        data = f.read()
    flags = struct.unpack_from("<I", data, 20)[0]
    offset = 76
    if flags & 1:  # a target ID list comes first
        offset += 2 + struct.unpack_from("<H", data, offset)[0]
    if not flags & 2:
        fail(f"{path} has no local target path")
    base = offset + struct.unpack_from("<I", data, offset + 16)[0]
    return data[base:data.index(b"\0", base)].decode()


def resource_version(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}.{fixed.FileVersionLS >> 16}"
    strings = {k: v for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
               for table in info.StringTable for k, v in table.entries.items()}
    if strings.get(b"FileVersion", b"").decode() != numbers:
        fail(f"{path}: FileVersion {strings.get(b'FileVersion')} against the fixed {numbers}")
    return numbers


def make_packages(build, cpack, scratch):
    out = os.path.join(scratch, "packages")
    made = subprocess.run([cpack, "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out], cwd=build,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if made.returncode != 0:
        fail("cpack failed:\n" + made.stdout[-2000:] + made.stderr[-2000:])
    zips = glob.glob(os.path.join(out, "framelark-*-win64.zip"))
    setups = glob.glob(os.path.join(out, "framelark-*-setup.exe"))
    if len(zips) != 1 or len(setups) != 1:
        fail(f"packages made: {os.listdir(out)}")
    with zipfile.ZipFile(zips[0]) as z:
        top = os.path.basename(zips[0])[:-len(".zip")] + "/"
        files = sorted(n[len(top):] for n in z.namelist() if not n.endswith("/"))
        if not files or any(not n for n in files):
            fail(f"the zip's files are not all in {top}: {z.namelist()}")
        z.extractall(os.path.join(scratch, "portable"))
    exe = os.path.join(scratch, "portable", top, "framelark.exe")
    version = resource_version(exe)
    for package, suffix in ((zips[0], "-win64.zip"), (setups[0], "-setup.exe")):
        if os.path.basename(package) != f"framelark-{version}{suffix}":
            fail(f"{os.path.basename(package)} does not carry the program's version {version}")
    if resource_version(setups[0]) != version:
        fail(f"the setup program's version resource says {resource_version(setups[0])}, the program's {version}")
    debug = [s.Name for s in pefile.PE(exe).sections if s.Name.rstrip(b"\0").startswith((b".debug", b"/"))]
    if debug:
        fail(f"the packaged framelark.exe has debug sections {debug}")
    print(f"packages of version {version}: zip {os.path.getsize(zips[0])} bytes, setup {os.path.getsize(setups[0])} "
          f"bytes, framelark.exe {os.path.getsize(exe)} bytes; files {files}")
    return version, files, setups[0], exe


def install(scratch, prefix, setup, version, files):
    started = time.time()
    if quiet("wine", setup, "/S") != 0:
        fail("the setup program failed")
    folder = os.path.join(prefix, "drive_c", "Program Files", "Framelark")
    missing = [n for n in files + ["Uninstall.exe"] if not os.path.isfile(os.path.join(folder, n))]
    if missing:
        fail(f"not installed into {folder}: {missing}")
    links = glob.glob(os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                                   "Framelark", "Framelark.lnk"))
    if not links:
        fail("no Framelark shortcut in the all-users Start menu")
    target = shortcut_target(links[0])
    entry = reg_query(scratch, UNINSTALL_KEY) or {}
    expected = {"DisplayName": "Framelark", "DisplayVersion": version, "Publisher": "Framelark",
                "DisplayIcon": r"C:\Program Files\Framelark\framelark.exe",
                "UninstallString": r'"C:\Program Files\Framelark\Uninstall.exe"'}
    wrong = {k: entry.get(k) for k, v in expected.items() if entry.get(k) != v}
    if wrong:
        fail(f"the list of installed programs has {wrong}, expected {expected}")
    size_kb = int(entry.get("EstimatedSize", "0"), 0)
    installed_kb = sum(os.path.getsize(os.path.join(folder, n)) for n in files) / 1024
    if not 0.9 * installed_kb <= size_kb <= 1.1 * installed_kb + 8:
        fail(f"EstimatedSize {size_kb} KB for {installed_kb:.0f} KB of files")
    print(f"installed in {time.time() - started:.1f} s; shortcut to {target}; entry {entry}")
    return folder, links[0], unix_path(prefix, target)


def close(program, what):
    e2e.click_close(e2e.main_window())
    e2e.wait_for_exit(program)  # an error box at exit would keep it running
    if find_window("^Framelark$", 1):
        fail(f"a Framelark window is left after closing {what}")


def settings_text(folder):
    path = os.path.join(folder, "CS.ini")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def first_save_folder(folder):
    """The Save dialog's first folder, as the settings kept it: Cdata.ini starts with that text."""
    text = settings_text(folder).decode()
    length = int(text.split("\nsavedir=")[1].split()[0])
    with open(os.path.join(folder, "Cdata.ini"), "rb") as f:
        return f.read(length).decode()


def read_only_program(build, scratch, prefix, folder, exe):
    if subprocess.run(["chattr", "+i", folder]).returncode != 0:
        fail("chattr +i failed: the test needs root and a file system with the immutable flag")
    try:
        open(os.path.join(folder, "probe"), "w").close()
        fail("the install folder could still be written")
    except PermissionError:
        pass
    appdata = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming"))[0]
    own = os.path.join(appdata, "Framelark")

    close(e2e.launch(["wine", exe]), "the installed program")
    text = settings_text(own)
    if text is None or settings_text(folder) is not None:
        fail(f"after the first exit: CS.ini in {own}: {text is not None}, in the program folder: "
             f"{settings_text(folder) is not None}")
    videos = first_save_folder(own)
    if not videos.endswith("\\Videos") or not os.path.isdir(unix_path(prefix, videos)):
        fail(f"the first save folder of the installed program is {videos}, not the user's Videos folder")
    with open(os.path.join(own, "CS.ini"), "wb") as f:
        f.write(e2e.set_line(text, "keyRecordStart", F6))

    program = e2e.launch(["wine", exe])
    animator = e2e.start_animator(build, 40)
    movies = os.path.join(scratch, "movies")
    os.mkdir(movies)
    pressed = time.time()
    running = e2e.record_region(prefix, [], key="F6")
    e2e.take_shots(movies, 4)
    stopped = e2e.press("F8")
    save = find_window("^Save to...$", 15)
    if not save:
        fail("no Save dialog after the stop key")
    elapsed = time.time() - pressed
    e2e.check_movie(e2e.save_as(save, movies, "installed"), stopped - running, elapsed, movies, 4)
    animator.kill()
    close(program, "the installed program after recording")
    if f"keyRecordStart= {F6} ".encode() not in settings_text(own):
        fail("the start key set in %APPDATA%\\Framelark\\CS.ini did not survive the next start")
    print(f"read-only program folder: settings in {own}, first save folder {videos}, F6 from there started "
          "the recording")
    return own


def portable(scratch, exe, own):
    before = settings_text(own)
    close(e2e.launch([os.path.join(ROOT, "scripts", "launch"), exe]), "the portable program")
    if settings_text(os.path.dirname(exe)) is None:
        fail("the portable program kept no CS.ini beside itself")
    if first_save_folder(os.path.dirname(exe)) != "Z:" + os.path.dirname(exe).replace("/", "\\"):
        fail(f"the portable program's first save folder is {first_save_folder(os.path.dirname(exe))}")
    if settings_text(own) != before:
        fail("the portable program changed the settings in %APPDATA%")
    print("portable zip: settings beside the program")


def uninstall(scratch, prefix, folder, link, files, own):
    subprocess.run(["chattr", "-i", folder], check=True)
    # The uninstaller copies itself away and returns at once; the copy does the work.
    if quiet("wine", os.path.join(folder, "Uninstall.exe"), "/S") != 0:
        fail("the uninstaller did not start")
    end = time.time() + 60
    while time.time() < end and (os.path.exists(folder) or os.path.exists(os.path.dirname(link))):
        time.sleep(0.5)
    left = [n for n in files + ["Uninstall.exe"] if os.path.exists(os.path.join(folder, n))]
    if left or os.path.exists(folder):
        fail(f"the uninstaller left {left or os.listdir(folder)} in {folder}")
    if os.path.exists(link) or os.path.exists(os.path.dirname(link)):
        fail("the Start-menu shortcut is still there")
    if reg_query(scratch, UNINSTALL_KEY) is not None:
        fail("the uninstall entry is still in the registry")
    if settings_text(own) is None:
        fail("the uninstaller removed the user's settings")
    print("uninstalled: files, shortcut and registry entry gone, the settings kept")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--cpack", required=True)
    args = parser.parse_args()
    folder = None
    with e2e.clean_run("package") as scratch:
        try:
            version, files, setup, portable_exe = make_packages(args.build, args.cpack, scratch)
            prefix = new_prefix(scratch)
            folder, link, exe = install(scratch, prefix, setup, version, files)
            own = read_only_program(args.build, scratch, prefix, folder, exe)
            portable(scratch, portable_exe, own)
            uninstall(scratch, prefix, folder, link, files, own)
        finally:
            if folder and os.path.isdir(folder):
                subprocess.run(["chattr", "-i", folder])
            if os.environ["WINEPREFIX"].startswith(scratch):
                quiet("wineserver", "-k")
    print("1 passed, 0 failed")


if __name__ == "__main__":
    sys.exit(main())
