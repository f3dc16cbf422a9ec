#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A new user's first minute, from outside the program, on a real X server (Xvfb).

./scripts/run with no arguments starts the simulator and the window with its port chosen;
one click on OPEN turns the LED green and sets the channels moving; closing the window
stops the simulator too, and nothing is left running.

    first_minute.py BUILD_DIR       # exits 77 (skipped) when Xvfb, xdotool or xwd is missing
"""

import ctypes
import ctypes.util
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TITLE = "KORVA&TELUN-V4.2"
SKIP = 77

# Places in the window (its own pixels, as the form lays them out).
OPEN_BUTTON = (680, 50)
LED = (878, 43, 24, 24)           # inside the 40 x 40 LED, clear of its bezel
MONITOR = (30, 170, 1040, 480)     # the SERVO page: value boxes and channel bars


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(*args, env=None):
    return subprocess.run(args, env=env, check=True, capture_output=True, text=True).stdout


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.time() + 20
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        server.kill()
        fail("Xvfb did not start")
    return server, ":" + number.decode().strip()


def window_env(display, home, **more):
    """The environment of a window on `display` whose settings and history live in `home`.

    Xvfb comes without a session bus. Left to find none, libdbus starts one by forking the
    window, and a sanitized window forked while its threads run has hung in the child for
    minutes before it showed: a bus address that cannot connect ends that at once."""
    env = dict(os.environ)
    for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_LOGGING_RULES"):
        env.pop(name, None)
    env.update(DISPLAY=display, XDG_RUNTIME_DIR=home,
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"),
               DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-session-bus"),
               **more)
    return env


def screenshot(env):
    """The root window as rows of (r, g, b), read from xwd's ZPixmap dump."""
    data = subprocess.run(["xwd", "-root", "-silent"], env=env, check=True,
                          capture_output=True).stdout
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height, byte_order = fields[0], fields[4], fields[5], fields[7]
    bytes_per_line, ncolors = fields[12], fields[19]
    masks = fields[14:17]
    step = fields[11] // 8
    if step not in (3, 4):
        fail("unexpected xwd pixels: %s" % (fields,))
    pixels = data[header_size + 12 * ncolors:]
    endian = "little" if byte_order == 0 else "big"
    shifts = [(m & -m).bit_length() - 1 for m in masks]

    def pixel(x, y):
        at = y * bytes_per_line + step * x
        value = int.from_bytes(pixels[at:at + step], endian)
        return tuple((value & m) >> s for m, s in zip(masks, shifts))

    return pixel, width, height


def region(shot, origin, rect):
    pixel = shot[0]
    x0, y0 = origin[0] + rect[0], origin[1] + rect[1]
    return [pixel(x, y) for y in range(y0, y0 + rect[3], 2) for x in range(x0, x0 + rect[2], 2)]


def mean(colours):
    n = float(len(colours))
    return tuple(sum(c[i] for c in colours) / n for i in range(3))


def window_origin(env, window):
    values = dict(line.split("=", 1)
                  for line in run("xdotool", "getwindowgeometry", "--shell", window,
                                  env=env).split())
    return int(values["X"]), int(values["Y"])


def ask_to_close(display_name, window):
    """What a window manager's close button sends: WM_DELETE_WINDOW."""
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]

    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        fail("cannot reach the X server to close the window")
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = int(window)
    event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, int(window), 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def processes_in_session(session):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        if fields[0] != "Z" and int(fields[3]) == session:
            found.append(stat[:stat.rindex(")") + 1])
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    missing = [tool for tool in ("Xvfb", "xdotool", "xwd") if shutil.which(tool) is None]
    if missing:
        print("SKIP: the first-minute check needs %s (apt-get install xvfb xdotool x11-apps)"
              % ", ".join(missing))
        return SKIP

    server, display = start_xvfb()
    home = tempfile.mkdtemp(prefix="korva-first-minute-")
    env = window_env(display, home, KORVA_BUILD_DIR=build)
    app = None
    try:
        app = subprocess.Popen([os.path.join(ROOT, "scripts", "run")], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               start_new_session=True)
        try:
            window = run("xdotool", "search", "--sync", "--onlyvisible", "--limit", "1", "--name",
                         "^" + TITLE.replace("&", ".") + "$", env=env).split()[0]
        except subprocess.CalledProcessError:
            fail("no window appeared")
        time.sleep(1.5)  # the first paints
        origin = window_origin(env, window)

        before = screenshot(env)
        red = mean(region(before, origin, LED))
        if not red[0] > 2 * red[1]:
            fail("the LED is not red before OPEN: %s" % (red,))
        still = region(before, origin, MONITOR)
        time.sleep(0.5)
        if region(screenshot(env), origin, MONITOR) != still:
            fail("the monitor changes before anything is connected")

        run("xdotool", "mousemove", "--window", window, str(OPEN_BUTTON[0]),
            str(OPEN_BUTTON[1]), "click", "1", env=env)
        time.sleep(1.5)
        first = screenshot(env)
        green = mean(region(first, origin, LED))
        if not green[1] > 2 * green[0]:
            fail("the LED did not turn green after OPEN: %s" % (green,))
        moving = region(first, origin, MONITOR)
        time.sleep(0.7)
        later = region(screenshot(env), origin, MONITOR)
        if moving == still or later == moving:
            fail("the channels do not move after OPEN")

        ask_to_close(display, window)
        try:
            output, _ = app.communicate(timeout=15)
        except subprocess.TimeoutExpired:
            fail("the window did not close")
        if app.returncode != 0:
            fail("scripts/run ended with %d:\n%s" % (app.returncode, output))
        deadline = time.time() + 10
        left = processes_in_session(app.pid)
        while left and time.time() < deadline:
            time.sleep(0.2)
            left = processes_in_session(app.pid)
        if left:
            fail("still running after the window closed: %s" % ", ".join(left))
        state = os.path.join(home, "data", "korva-config", "korva-sim-state.txt")
        if not os.path.isfile(state) or os.path.getsize(state) != 243:
            fail("the simulator left no 243-byte state file at %s" % state)
        settings = os.path.join(home, "config", "korva-config", "korva-config.conf")
        if not os.path.isfile(settings) or "geometry" not in open(settings, errors="replace").read():
            fail("the window's place was not remembered in %s" % settings)
        print("PASS: window shown, OPEN connected to the simulator, channels moved, "
              "everything stopped with the window")
        return 0
    finally:
        if app and app.poll() is None:
            os.killpg(app.pid, signal.SIGKILL)
            app.wait()
        server.terminate()
        server.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
