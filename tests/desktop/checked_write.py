#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The check after WRITE on a real X server (Xvfb): on a clean line a green confirmation
shows for a few seconds and the history keeps the set as checked; when the G frame is lost,
a "WRITE not confirmed" box asks, Escape keeps the pilot's set, and the history keeps it as
not confirmed next to what the transmitter holds.

    checked_write.py BUILD_DIR      # exits 77 (skipped) when Xvfb, xdotool or xwd is missing
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
import first_minute as desktop  # noqa: E402  the same X server, screenshots and closing
from first_minute import fail  # noqa: E402

WRITE_BUTTON = (315, 50)        # in the top bar, as OPEN is
NOTICE = (440, 566, 220, 30)    # inside the confirmation, centred low over the pages
NOTICE_S = 3.0                  # how long the window shows it
BOX_TITLE = "WRITE not confirmed"
STARTED = []                    # every process, each in a session of its own
HOMES = []                      # every temporary home


def wait_for(what, condition, seconds):
    """Polls until `condition` gives something true, and returns it; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            fail("%s, after %g s" % (what, seconds))
        time.sleep(0.05)


def start(args, **options):
    STARTED.append(subprocess.Popen(args, text=True, start_new_session=True, **options))
    return STARTED[-1]


class Session:
    """korva-sim on a state file in a fresh home, the window on its port, the port open."""

    def __init__(self, build, display, sim_options):
        self.build, self.display = build, display
        self.home = tempfile.mkdtemp(prefix="korva-checked-write-")
        HOMES.append(self.home)
        self.env = desktop.window_env(display, self.home)
        self.state = os.path.join(self.home, "sim-state.txt")
        if "--ignore" in sim_options:
            held_otherwise(self.state)
        self.sim = start([os.path.join(build, "sim", "korva-sim"), "--state", self.state]
                         + sim_options, stdout=subprocess.PIPE)
        port = self.sim.stdout.readline().strip() or fail("korva-sim did not start")
        # A file, not a pipe: nobody reads the window's words before it has closed.
        self.log = os.path.join(self.home, "korva-config.log")
        with open(self.log, "w") as log:
            self.app = start([os.path.join(build, "app", "korva-config"), port], env=self.env,
                             stdout=log, stderr=subprocess.STDOUT)
        try:
            self.window = subprocess.run(
                ["xdotool", "search", "--sync", "--onlyvisible", "--limit", "1", "--name",
                 "^" + desktop.TITLE.replace("&", ".") + "$"], env=self.env, check=True,
                capture_output=True, text=True, timeout=90).stdout.split()[0]
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired):
            with open(self.log, errors="replace") as log:
                fail("no window appeared; korva-config %s:\n%s" % (
                    "still runs" if self.app.poll() is None
                    else "ended with %d" % self.app.returncode, log.read()))
        self.origin = desktop.window_origin(self.env, self.window)
        wait_for("the LED is not painted red", lambda: self.led_is(0, 1), 10)
        self.click(desktop.OPEN_BUTTON)
        wait_for("the LED did not turn green after OPEN", lambda: self.led_is(1, 0), 10)

    def colours(self, rect):
        return desktop.region(desktop.screenshot(self.env), self.origin, rect)

    def led_is(self, bright, dim):
        colour = desktop.mean(self.colours(desktop.LED))
        return colour[bright] > 2 * colour[dim]

    def green_share(self):
        """How much of the confirmation's place is its green, over whatever page is beneath."""
        colours = self.colours(NOTICE)
        return sum(1 for r, g, b in colours if g - r > 50 and g - b > 30) / float(len(colours))

    def click(self, at):
        desktop.run("xdotool", "mousemove", "--window", self.window, str(at[0]), str(at[1]),
                    "click", "1", env=self.env)

    def boxes(self):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                               "^%s$" % BOX_TITLE], env=self.env, capture_output=True,
                              text=True).stdout.split()

    def kept(self, ending=""):
        """The history files whose names end so, by what they were kept as (the time cut)."""
        folder = os.path.join(self.home, "data", "korva-config", "history")
        names = os.listdir(folder) if os.path.isdir(folder) else []
        return {name[24:]: os.path.join(folder, name) for name in names if name.endswith(ending)}

    def close(self):
        desktop.ask_to_close(self.display, self.window)
        try:
            self.app.wait(timeout=15)
            self.sim.terminate()
            self.sim.wait(timeout=10)
        except subprocess.TimeoutExpired:
            fail("the window did not close, or korva-sim did not stop on SIGTERM")
        self.sim.stdout.close()
        if self.app.returncode != 0 or self.sim.returncode != 0:
            with open(self.log, errors="replace") as log:
                fail("korva-config ended with %d, korva-sim with %d:\n%s"
                     % (self.app.returncode, self.sim.returncode, log.read()))
        left = [name for p in (self.app, self.sim) for name in desktop.processes_in_session(p.pid)]
        if left:
            fail("still running after the window closed: %s" % ", ".join(left))


def held_otherwise(path):
    """The factory settings but Atti1, a G-frame setting (24, not 14): a lost G frame shows."""
    with open(os.path.join(desktop.ROOT, "tests", "data", "factory_frames.txt")) as f:
        frames = "".join(f.read().split())
    at = 81 + 2  # G's first hexadecimal field, after its letter and AttiM
    with open(path, "w") as f:
        f.write(frames[:at] + "28" + frames[at + 2:])


def checked_on_clean_line(session):
    if session.green_share() > 0.02:
        fail("the confirmation's place is green before WRITE")
    session.click(WRITE_BUTTON)

    def confirmed():
        if session.boxes():
            fail("a \"%s\" box on a clean line" % BOX_TITLE)
        return session.kept(" written, checked.txt")

    wait_for("no \"written, checked\" set in the history", confirmed, 8)
    wait_for("no green confirmation over the pages after the check",
             lambda: session.green_share() > 0.5, 2)
    seen = time.monotonic()
    wait_for("the confirmation stays", lambda: session.green_share() < 0.02, NOTICE_S + 2)
    if time.monotonic() - seen < NOTICE_S - 1:
        fail("the confirmation went after %.1f s" % (time.monotonic() - seen))
    session.close()
    if sorted(session.kept()) != ["written, checked.txt"]:
        fail("the history holds %s after one checked WRITE" % sorted(session.kept()))


def not_confirmed_when_g_is_lost(session):
    session.click(WRITE_BUTTON)
    box = wait_for("no \"%s\" box although the G frame was lost" % BOX_TITLE,
                   session.boxes, 15)[0]
    if session.kept(" written, checked.txt"):
        fail("a set the transmitter did not take is kept as checked")
    # Without a window manager the box has the focus only when given it.
    desktop.run("xdotool", "windowfocus", "--sync", box, env=session.env)
    desktop.run("xdotool", "key", "--clearmodifiers", "Escape", env=session.env)
    wait_for("Escape did not close the box", lambda: not session.boxes(), 5)
    # After "Write again" the window would wait for that WRITE to end before it closes, and
    # keep it as written, unchecked.
    session.close()
    kept = session.kept()
    if sorted(kept) != ["transmitter after write.txt", "written, not confirmed.txt"]:
        fail("the history holds %s after one WRITE not confirmed" % sorted(kept))
    diff = subprocess.run([os.path.join(session.build, "cli", "korva-cli"), "diff",
                           kept["written, not confirmed.txt"], kept["transmitter after write.txt"]],
                          capture_output=True, text=True)
    rows = [line.split() for line in diff.stdout.split("\n")[1:] if line]
    if diff.returncode != 1 or rows != [["Atti1", "14", "24"]]:
        fail("the kept sets do not differ in Atti1 alone, 14 sent, 24 held:\n" + diff.stdout)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    missing = [tool for tool in ("Xvfb", "xdotool", "xwd") if shutil.which(tool) is None]
    if missing:
        print("SKIP: the checked-WRITE test needs %s (apt-get install xvfb xdotool x11-apps)"
              % ", ".join(missing))
        return desktop.SKIP

    server, display = desktop.start_xvfb()
    try:
        checked_on_clean_line(Session(build, display, []))
        not_confirmed_when_g_is_lost(Session(build, display, ["--ignore", "G"]))
        print("PASS: WRITE checked and confirmed on a clean line; not confirmed, asked and "
              "kept apart when the G frame was lost")
        return 0
    finally:
        for process in STARTED:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        server.terminate()
        server.wait()
        for home in HOMES:
            shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
