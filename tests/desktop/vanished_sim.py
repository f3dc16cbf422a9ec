#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A transmitter that goes away on a real X server (Xvfb): korva-sim is ended while the
window has its port open, the LED turns red, and the window does not
spin: its CPU time over the next 10 s is printed and must stay near idle.

    vanished_sim.py BUILD_DIR      # exits 77 (skipped) when Xvfb, xdotool or xwd is missing
"""

import os
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # nothing written into the source tree
import checked_write as session  # noqa: E402  the window on korva-sim's port, port open
import first_minute as desktop  # noqa: E402
from first_minute import fail  # noqa: E402

IDLE_SHARE = 0.05  # a spinning loop takes a whole core; an idle window far under this


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    missing = [tool for tool in ("Xvfb", "xdotool", "xwd") if shutil.which(tool) is None]
    if missing:
        print("SKIP: the vanished-transmitter test needs %s" % ", ".join(missing))
        return desktop.SKIP

    server, display = desktop.start_xvfb()
    try:
        s = session.Session(build, display, [])
        s.sim.terminate()
        s.sim.wait(timeout=10)
        gone = time.monotonic()
        before = cpu_seconds(s.app.pid)
        time.sleep(10.0)
        share = (cpu_seconds(s.app.pid) - before) / (time.monotonic() - gone)
        print("CPU over the 10 s after korva-sim ended: %.1f %% of a core" % (100 * share))
        if not s.led_is(0, 1):
            fail("the LED is not red 10 s after korva-sim ended")
        if share > IDLE_SHARE:
            fail("the window spent %.0f %% of a core after its transmitter went away"
                 % (100 * share))
        print("PASS: a vanished transmitter is noticed, without a busy loop")
        return 0
    finally:
        for process in session.STARTED:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        server.terminate()
        server.wait()
        for home in session.HOMES:
            shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
