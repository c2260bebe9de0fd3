#!/usr/bin/env python3
"""Framelark used by an impatient person: a seeded run of random steps.

Each step is drawn from what a person can press: the start key (also held), the stop and cancel
keys, the main window's buttons, the tray icon and its menu, Escape, Enter or Alt+F4 on whatever
window is in front, a drag, and the answer to whatever dialog or question is up (a name or Cancel
in the Save dialog, Yes or No to a question, OK, Cancel or Escape in an option dialog). After every
step the program is alive and its window answers (or it was closed while idle and is started
again), and at most one temporary movie grows. At the end the start key, a drag, the stop
key and a name still give a movie that ffmpeg decodes without an error; every saved movie is whole;
whatever recording is left is offered at the next start, and after that no temporary file is left.
Replay a failure with the seed it prints.
"""
import argparse
import glob
import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as e2e  # noqa: E402
from e2e_support import BUTTONS, MAIN_SIZE, fail, find_window, geometry, temp_movies, xdotool  # noqa: E402

MAIN_FACE = (170, 75)
# window_probe.exe gives up on an answer after 2 s; a busy machine may keep the program from
# answering for longer than that, a hung one for good.
PROBES = 15
# The tray menu's entries that are not separators, top to bottom.
TRAY_ENTRIES = ["record", "pause", "stop", "cancel", "play_file", "region", "options", "help", "about", "exit"]
NOT_DIALOGS = {"Title", "Flashing", "Convert progress"}
SETTLE_SECONDS = 180
STEPS = [("F7", 10), ("F7_held", 2), ("F8", 8), ("F9", 4), ("button", 14), ("tray_left", 2), ("tray_menu", 7),
         ("Escape", 4), ("alt+F4", 3), ("Return", 2), ("drag", 9), ("answer", 12), ("wait", 3)]


class Run:
    def __init__(self, build, seed, scratch):
        self.build = build
        self.random = random.Random(seed)
        self.scratch = scratch
        self.saved = os.path.join(scratch, "saved")
        os.mkdir(self.saved)
        self.prefix = os.environ["WINEPREFIX"]
        self.program = None
        self.names = 0
        self.restarts = 0
        self.probe = e2e.start(["wine", os.path.join(build, "tests", "e2e", "window_probe.exe")],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    # What is on the screen ------------------------------------------------------------------------
    def windows(self):
        """The visible windows of the program: (id, name, geometry)."""
        found = []
        for window in xdotool("search", "--onlyvisible", "--pid", self.program.pid).split():
            found.append((window, xdotool("getwindowname", window).strip(), geometry(window)))
        return found

    def main_window(self):
        for window, _, g in self.windows():
            if (g.get("WIDTH"), g.get("HEIGHT")) == MAIN_SIZE:
                return window, g
        return None, None

    def dialogs(self):
        main, _ = self.main_window()
        return [(w, name, g) for w, name, g in self.windows()
                if w != main and name not in NOT_DIALOGS and g.get("HEIGHT", 0) >= 60 and g.get("WIDTH", 0) >= 120]

    def answers(self):
        for _ in range(PROBES):
            self.probe.stdin.write("ping\n")
            reply = self.probe.stdout.readline().strip()
            if reply != "hung":
                break
        return reply

    def growing(self):
        movies = [p for p in temp_movies(self.prefix) if p.endswith(".avi") and "merge" not in p]
        sizes = {p: os.path.getsize(p) for p in movies if os.path.exists(p)}
        time.sleep(0.4)
        return [p for p in sizes if os.path.exists(p) and os.path.getsize(p) != sizes[p]]

    # Steps ----------------------------------------------------------------------------------------
    def focus(self, window_geometry, face=None):
        """Without a window manager a window takes the keys once clicked: in the margin at its
        lower left (a click on the caption would start a move that the next key cancels), or on a
        point of the face that is no button."""
        g = window_geometry
        x, y = face or (8, g["HEIGHT"] - 8)
        xdotool("mousemove", g["X"] + x, g["Y"] + y)
        time.sleep(0.1)
        xdotool("click", 1)
        time.sleep(0.15)

    def key_on_front(self, key):
        dialogs = self.dialogs()
        main, g = self.main_window()
        region = find_window("^Title$", 0.1)
        if dialogs:
            self.focus(dialogs[-1][2])
        elif region:
            xdotool("mousemove", 700, 500)  # it has the keys; a click would end the selection
        elif main:
            self.focus(g, MAIN_FACE)
        xdotool("key", key)

    def click_button(self, name):
        main, g = self.main_window()
        if main:
            x, y = BUTTONS[name]
            xdotool("mousemove", g["X"] + x, g["Y"] + y)
            time.sleep(0.15)
            xdotool("click", 1)

    def tray(self, button):
        tray = find_window("^Wine System Tray$", 2)
        if not tray:
            return None
        t = geometry(tray)
        xdotool("mousemove", t["X"] + 13, t["Y"] + t["HEIGHT"] - 13)
        time.sleep(0.2)
        xdotool("click", button)
        return True

    def tray_menu(self):
        if not self.tray(3):
            return
        time.sleep(0.5)
        # The region mode stays the one the steps are written for.
        entry = self.random.choice(TRAY_ENTRIES[:3] * 2 + [e for e in TRAY_ENTRIES if e not in ("help", "region")])
        keys = ["Down"] * (TRAY_ENTRIES.index(entry) + 1)
        if entry == "options":
            keys += ["Right"] + ["Down"] * self.random.randint(1, 5)
        xdotool("key", "--delay", "60", *keys, "Return")
        time.sleep(0.2)
        xdotool("key", "Escape")  # a greyed entry leaves the menu open
        return entry

    def drag(self):
        left, top = self.random.randint(20, 500), self.random.randint(20, 350)
        right, bottom = left + self.random.randint(40, 400), top + self.random.randint(40, 300)
        if not find_window("^Title$", 0.1):
            left, top, right, bottom = 600, 400, 700, 480  # on the animator: harmless
        xdotool("mousemove", left, top)
        xdotool("mousedown", 1)
        xdotool("mousemove", (left + right) // 2, (top + bottom) // 2)
        xdotool("mousemove", right, bottom)
        xdotool("mouseup", 1)

    def type_save_name(self):
        self.names += 1
        # The name field by its mnemonic: keys typed earlier may have left the focus in the list.
        xdotool("key", "alt+n", "End", "shift+Home")
        xdotool("type", "Z:" + self.saved.replace("/", "\\") + f"\\movie{self.names}")

    def answer(self):
        dialogs = self.dialogs()
        if not dialogs:
            return "nothing"
        window, name, g = dialogs[-1]
        self.focus(g)
        if name == "Save to...":
            if self.random.random() < 0.7:
                self.type_save_name()
                xdotool("key", "Return")
                return "saved"
            xdotool("key", "Escape")
            return "save cancelled"
        key = self.random.choice(["Return", "Escape", "alt+F4"] + (["y", "n"] if name == "Note" else []))
        xdotool("key", key)
        return f"{key} on {name!r}"

    def step(self, action):
        if action == "F7_held":
            xdotool("keydown", "F7")
            time.sleep(1.5)
            xdotool("keyup", "F7")
        elif action in ("F7", "F8", "F9"):
            xdotool("key", action)
        elif action == "button":
            name = self.random.choice(list(BUTTONS))
            self.click_button(name)
            return "button " + name
        elif action == "tray_left":
            self.tray(1)
        elif action == "tray_menu":
            return f"tray menu {self.tray_menu()}"
        elif action in ("Escape", "alt+F4", "Return"):
            self.key_on_front(action)
        elif action == "drag":
            self.drag()
        elif action == "answer":
            return "answer: " + self.answer()
        else:
            time.sleep(self.random.uniform(0.2, 1.5))
        return action

    # Invariants -----------------------------------------------------------------------------------
    def check(self, number, done):
        time.sleep(0.3)
        reply = self.answers()
        if reply == "none":
            # No window: the program is ending (closed while idle); give it time to go.
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                fail(f"step {number} ({done}): the program runs on without its main window")
        if self.program.poll() is not None:
            if self.program.returncode != 0:
                fail(f"step {number} ({done}): the program ended with code {self.program.returncode}")
            self.unsaved_are_offered(number)
            self.start()
            return
        if not reply.startswith("ok"):
            fail(f"step {number} ({done}): the main window did not answer ({reply})")
        growing = self.growing()
        if len(growing) > 1:
            fail(f"step {number} ({done}): {len(growing)} temporary movies grow at once: {growing}")

    def unsaved_are_offered(self, number):
        """A program that ended leaves only recordings it will offer at the next start."""
        for movie in temp_movies(self.prefix):
            if movie.endswith(".avi") and "merge" not in movie and not os.path.exists(movie + ".journal"):
                fail(f"after step {number} the program ended and left {movie} without its journal: lost")

    def start(self):
        self.restarts += 1
        self.program = e2e.start_program(self.build, self.scratch)

    def settle(self):
        """Whatever the last step left (a recording running or paused, a selection, a question, a
        Save dialog) is ended as a person would, so that the program is idle: the cancel key, then
        every dialog answered, a Save dialog with a name. Idle is also no save under way and no
        temporary movie left: each merge of a queue of recordings can take long on a loaded machine."""
        xdotool("key", "F9")
        deadline = time.time() + SETTLE_SECONDS
        while time.time() < deadline:
            if self.program.poll() is not None:
                self.start()  # ended by the last step, or by an answer here
            dialogs = self.dialogs()
            saving = temp_movies(self.prefix) or find_window("^Convert progress$", 0.1)
            if not dialogs and not find_window("^Title$", 0.1) and not saving:
                return
            if dialogs:
                window, name, g = dialogs[-1]
                if name == "":
                    self.close_menu(window)
                    continue
                self.focus(g)
                if name == "Save to...":
                    self.type_save_name()
                    xdotool("key", "Return")
                else:
                    # Escape closes a dialog or box that has a way out (the About box's link takes
                    # Return); a question without one takes its default.
                    xdotool("key", "Escape")
                    time.sleep(0.5)
                    if window in [w for w, _, _ in self.dialogs()]:
                        xdotool("key", "Return")
            elif find_window("^Title$", 0.1):
                self.key_on_front("Escape")
            elif not find_window("^Convert progress$", 0.1):
                xdotool("key", "F9")  # a recording still running or paused (a resume came after the first)
            time.sleep(1.0)
        fail("the program did not come back to idle at the end")

    def close_menu(self, window):
        """A tray menu left open (a greyed entry of its submenu keeps it up): Escape closes the
        submenu and then the menu; where the keys go elsewhere, a click on the bare desktop does."""
        xdotool("key", "Escape", "Escape")
        time.sleep(0.3)
        if window in [w for w, _, _ in self.dialogs()]:
            xdotool("mousemove", 4, 764)
            xdotool("click", 1)
            time.sleep(0.3)

    def finish(self):
        """The start key, a drag, the stop key and a name still make a movie."""
        self.settle()
        time.sleep(1.0)
        before = temp_movies(self.prefix)
        e2e.record_region(self.prefix, before)
        time.sleep(1.5)
        e2e.press("F8")
        save = find_window("^Save to...$", 20)
        if not save:
            fail("the last recording reached no Save dialog")
        movie = e2e.save_as(save, self.scratch, "final")
        decode(movie)
        for saved in glob.glob(os.path.join(self.saved, "*.avi")):
            decode(saved)
        e2e.close_program(self.program)
        left = [p for p in temp_movies(self.prefix) if p.endswith(".avi") and "merge" not in p]
        self.unsaved_are_offered("the end")
        if left:
            # Offered at the next start: answered No, which throws them away.
            self.program = e2e.start_program(self.build, self.scratch)
            question = find_window("^Note$", 15)
            if not question:
                fail(f"recordings left behind were not offered: {left}")
            self.focus(geometry(question))
            xdotool("key", "n")
            time.sleep(2)
            e2e.close_program(self.program)
        e2e.check_temp_cleaned(self.prefix, "at the end")


def decode(movie):
    said = e2e.ffmpeg_says(movie)
    if said:
        fail(f"{os.path.basename(movie)} does not decode cleanly: {' '.join(said)[:300]}")


def run(build, seed, steps, scratch):
    print(f"seed {seed}, {steps} steps")
    e2e.start_animator(build, 3600)
    run = Run(build, seed, scratch)
    run.start()
    actions, weights = zip(*STEPS)
    for number in range(1, steps + 1):
        action = run.random.choices(actions, weights)[0]
        done = run.step(action)
        run.check(number, done)
        shown = [name for _, name, _ in run.dialogs()] if run.program.poll() is None else ["(ended)"]
        print(f"{number:4d} {done:24s} up: {shown} temporary: {len(temp_movies(run.prefix))}", flush=True)
    run.finish()
    saved = len(glob.glob(os.path.join(run.saved, "*.avi")))
    print(f"{steps} steps: {saved} movies saved on the way, {run.restarts - 1} restarts after a close")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--steps", type=int, default=120)
    args = parser.parse_args()
    with e2e.clean_run("impatient") as scratch:
        run(args.build, args.seed, args.steps, scratch)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
