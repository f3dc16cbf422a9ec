#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the benchmark programs of a release build and prints one table of medians and goals.

Called by scripts/bench, which installs what is missing and builds first. Goals are targets:
a missed goal is reported, not failed. Where machine speed would decide a figure, the figure
is a ratio to a bare QMainWindow measured in the same run, or to the waits the protocol needs.
"""

import argparse
import datetime
import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import time

README_BEGIN = "<!-- benchmarks:begin -->"
README_END = "<!-- benchmarks:end -->"
# The settings pages, by title, measured apart from the SERVO page the window starts on.
PAGES = ("BASIC", "ADVANCE1", "ADVANCE2", "ADVANCE3")


def parse(output):
    """The "key value" lines of a benchmark's output; "#" starts a comment."""
    figures = {}
    for line in output.splitlines():
        line = line.split("#", 1)[0].strip()
        parts = line.split()
        if len(parts) >= 2:
            try:
                figures[parts[0]] = float(parts[1])
            except ValueError:
                pass
    return figures


def run(cmd, env=None, timeout=900):
    done = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=timeout)
    if done.returncode != 0:
        sys.stderr.write(done.stderr)
        raise SystemExit(f"benchmark failed: {' '.join(map(str, cmd))}")
    return parse(done.stdout)


def medians(cmd, runs, env=None):
    samples = [run(cmd, env) for _ in range(runs)]
    return {k: statistics.median(s[k] for s in samples) for k in samples[0]}


class Display:
    """Xvfb on a free display number when it is installed, else the offscreen platform."""

    def __init__(self):
        self.proc = None
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.name = "offscreen"
        if not shutil.which("Xvfb"):
            return
        for number in range(90, 110):
            if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            self.proc = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(50):
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    break
                time.sleep(0.1)
            self.env = dict(os.environ, DISPLAY=f":{number}", QT_QPA_PLATFORM="xcb")
            self.name = "Xvfb"
            return

    def close(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait()


def startup(bench, runs):
    """Process start to the window painted with the event loop running, window and bare
    alternating, offscreen; and for the window, to every widget polished once it was idle."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    times = {"window": [], "bare": [], "settled": []}
    for run_index in range(runs + 1):
        for mode in ("bare", "window"):
            started = time.monotonic_ns()
            out = parse(subprocess.run([bench / "bench_startup", mode], capture_output=True,
                                       text=True, env=env, check=True).stdout)
            if run_index == 0:
                continue  # the first start of each reads the files from disk
            times[mode].append((out["shown_ns"] - started) / 1e6)
            if mode == "window":
                times["settled"].append((out["settled_ns"] - started) / 1e6)
    return tuple(statistics.median(times[k]) for k in ("window", "bare", "settled"))


def cpu_model():
    try:
        for line in pathlib.Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def qt_version(build):
    cache = (build / "CMakeCache.txt").read_text(errors="replace")
    major = re.search(r"^KORVA_QT_MAJOR:STRING=(\d+)", cache, re.M)
    major = major.group(1) if major else "5"
    qmake = shutil.which(f"qmake{major}") or shutil.which("qmake") or shutil.which("qmake6")
    if qmake:
        done = subprocess.run([qmake, "-query", "QT_VERSION"], capture_output=True, text=True)
        if done.returncode == 0 and done.stdout.strip():
            return done.stdout.strip()
    return f"{major}"


def build_type(build):
    cache = (build / "CMakeCache.txt").read_text(errors="replace")
    m = re.search(r"^CMAKE_BUILD_TYPE:\w+=(\w*)", cache, re.M)
    return m.group(1) if m and m.group(1) else "unknown"


def fmt(value, unit):
    if unit == "×":
        return f"{value:.2f}×"
    if unit == "%":
        return f"{value:.2f} %"
    if unit == "frames/s" or unit.endswith("/s"):
        return f"{value / 1e6:.2f} M {unit}" if value >= 1e6 else f"{value / 1e3:.0f} k {unit}"
    if unit == "ms":
        return f"{value:.1f} ms"
    if unit == "µs":
        return f"{value:.1f} µs"
    if unit == "KiB":
        return f"{value:.0f} KiB"
    return f"{value:g} {unit}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=pathlib.Path)
    parser.add_argument("--root", required=True, type=pathlib.Path)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--live-seconds", type=int, default=10)
    parser.add_argument("--page-seconds", type=int, default=5,
                        help="how long each settings page is measured")
    parser.add_argument("--readme", action="store_true")
    parser.add_argument("--soak", type=int, default=0, metavar="SECONDS")
    parser.add_argument("--check", type=int, default=0, metavar="N",
                        help="runs of N checked WRITEs each on a clean, a faulty and a lossy line")
    parser.add_argument("--backups", type=int, default=0, metavar="N",
                        help="N korva-cli reads and writes on each of two faulty lines")
    args = parser.parse_args()
    runs = max(5, args.runs)
    bench = args.build / "bench"
    sim = args.build / "sim" / "korva-sim"
    offscreen = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    rows = []  # (measure, median, goal text, met)

    def row(measure, value, unit, goal, met, note=""):
        rows.append((measure, fmt(value, unit) + note, goal,
                     "—" if met is None else "yes" if met else "**no**"))
        print(f"  {measure}: {fmt(value, unit)}{note}", file=sys.stderr, flush=True)

    # A start takes a tenth of a second, and its time swings with the machine more than the
    # other measures do: more runs, after one that is not counted.
    startup_runs = max(15, runs)
    print("start-up ...", file=sys.stderr, flush=True)
    window_ms, bare_ms, settled_ms = startup(bench, startup_runs)
    row("Start-up to the window shown, against a bare QMainWindow", window_ms / bare_ms, "×",
        "≤ 4×", window_ms / bare_ms <= 4,
        f" ({window_ms:.0f} ms vs {bare_ms:.0f} ms; every page polished at {settled_ms:.0f} ms)")

    display = Display()
    try:
        print(f"live cost on {display.name} ...", file=sys.stderr, flush=True)
        secs = str(args.live_seconds)
        stream = medians([bench / "bench_live", "stream", sim, secs], runs, display.env)
        idle = medians([bench / "bench_live", "idle", secs], runs, display.env)
        bare = medians([bench / "bench_live", "bare", secs], runs, display.env)
        # What the other pages cost, each shown on its own; SERVO is the one above.
        pages = {}
        page_secs = str(args.page_seconds)
        for page in PAGES:
            pages[page] = (
                medians([bench / "bench_live", "stream", sim, page_secs, page], runs, display.env),
                medians([bench / "bench_live", "idle", page_secs, page], runs, display.env))
    finally:
        display.close()
    row(f"CPU while korva-sim streams 50 channel frames/s ({display.name}, {secs} s)",
        stream["cpu_percent"], "%", "< 2 %", stream["cpu_percent"] < 2)
    row(f"CPU idle, port closed ({display.name}, {secs} s)", idle["cpu_percent"], "%",
        "< 0.5 %", idle["cpu_percent"] < 0.5)
    for page, (page_stream, page_idle) in pages.items():
        row(f"CPU on {page} while korva-sim streams ({display.name}, {page_secs} s)",
            page_stream["cpu_percent"], "%", "< 3 %", page_stream["cpu_percent"] < 3)
        row(f"CPU on {page}, port closed ({display.name}, {page_secs} s)",
            page_idle["cpu_percent"], "%", "< 1 %", page_idle["cpu_percent"] < 1)
    ratio = stream["peak_rss_kib"] / bare["peak_rss_kib"]
    row(f"Peak resident memory streaming, against a bare QMainWindow ({display.name})", ratio,
        "×", "≤ 1.3×", ratio <= 1.3,
        f" ({stream['peak_rss_kib'] / 1024:.1f} MiB vs {bare['peak_rss_kib'] / 1024:.1f} MiB)")

    print("refresh ...", file=sys.stderr, flush=True)
    refresh = medians([bench / "bench_refresh"], runs, offscreen)
    row("Refresh pass, steady store", refresh["refresh_steady_us"], "µs", "≤ 20 µs",
        refresh["refresh_steady_us"] <= 20)
    row("Refresh pass, 5 fields changed", refresh["refresh_changes_us"], "µs", "≤ 40 µs",
        refresh["refresh_changes_us"] <= 40)
    row("Refresh pass with changes, visible page painted", refresh["refresh_painted_us"] / 1000,
        "ms", "< 2 ms", refresh["refresh_painted_us"] < 2000)

    print("decoder and frames ...", file=sys.stderr, flush=True)
    decoder = medians([bench / "bench_decoder"], runs)
    row("Decoder, realistic stream (split, merged, cut, noisy)", decoder["decoder_realistic"],
        "frames/s", "> 144 000 frames/s", decoder["decoder_realistic"] > 144e3)
    row("Decoder, clean stream in reads of 1..64 bytes", decoder["decoder_chunks_64"],
        "frames/s", "> 144 000 frames/s", decoder["decoder_chunks_64"] > 144e3)
    damage = run([bench / "bench_damage"])
    clean = damage["damage_clean_lost"] + damage["damage_clean_invented"]
    row("Clean line in USB reads: frames lost or made up, of 1 000 000", clean, "", "0",
        clean == 0)
    for key, label in (("loss", "1 % of frames lose 1..4 bytes"),
                       ("garbage", "garbage before 1 % of frames"),
                       ("flip", "a bit turned in 0.5 % of frames"),
                       ("cable", "0.05 % of bytes lost, garbage before 0.2 % of frames"),
                       ("all", "5 % of frames each lose bytes, follow garbage, turn a bit")):
        per = damage[f"damage_{key}_lost"] / max(1, damage[f"damage_{key}_damaged"])
        row(f"Damaged line, {label}: frames lost per damaged frame", per, "", "as few as can be",
            None, f" ({damage[f'damage_{key}_invented_values']:.0f} times a field took a value"
                  " no intact frame carried)")
    frames = medians([bench / "bench_frames"], runs)
    row("Build the S, G and H frames", frames["frames_build"], "sets/s", "> 10 k sets/s",
        frames["frames_build"] > 1e4)
    row("Parse a 243-byte parameter file", frames["file_parse"], "files/s", "> 10 k files/s",
        frames["file_parse"] > 1e4)

    print("operations against korva-sim ...", file=sys.stderr, flush=True)
    ops = run([bench / "bench_operations", sim, str(runs)], offscreen)
    for name, key, floor in (("READ", "read_ms", "read_floor_ms"),
                             ("WRITE", "write_ms", "write_floor_ms"),
                             ("RESET", "reset_ms", "reset_floor_ms")):
        r = ops[key] / ops[floor]
        row(f"{name} against the sum of its waits ({ops[floor]:.0f} ms)", r, "×", "≤ 1.05×",
            r <= 1.05, f" ({ops[key]:.0f} ms)")
    r = ops["checked_write_ms"] / ops["checked_write_floor_ms"]
    row(f"WRITE with its check, click to result, against the sum of its waits "
        f"({ops['checked_write_floor_ms']:.0f} ms)", r, "×", "≤ 1.05×", r <= 1.05,
        f" ({ops['checked_write_ms']:.0f} ms)")

    if args.check:
        # Each WRITE takes seconds, and each outcome is judged by the simulator's state: one
        # run per line, not a median of several.
        for line, options in (("clean line", []),
                              ("split, merged, noisy, cut line",
                               ["--split", "--merge", "--noise", "--cut", "--seed", "1"]),
                              ("line that loses every G frame", ["--ignore", "G"])):
            print(f"check after WRITE on a {line} ...", file=sys.stderr, flush=True)
            check = run([bench / "bench_check", sim, str(args.check)] + options, offscreen,
                        timeout=args.check * 30 + 300)
            writes = check["check_writes"]
            rows.append((f"Check after WRITE, {line}: right / false alarms / misses / no answer",
                         f"{check['check_right']:.0f} / {check['check_false_alarms']:.0f} / "
                         f"{check['check_misses']:.0f} / {check['check_no_answer']:.0f} of "
                         f"{writes:.0f}, {check['check_median_ms']:.0f} ms "
                         f"(at most {check['check_max_ms']:.0f} ms)",
                         "all right", "yes" if check["check_right"] == writes else "**no**"))

    if args.backups:
        cli = args.build / "cli" / "korva-cli"
        faults = ["--split", "--merge", "--noise", "--cut"]
        for line, options in (("split, merged, noisy, cut line", faults),
                              ("same line with bits flipped", faults + ["--flip"])):
            print(f"korva-cli on a {line} ...", file=sys.stderr, flush=True)
            b = run([bench / "bench_backups", sim, cli, str(args.backups)] + options,
                    timeout=args.backups * 120 + 300)
            rows.append((f"korva-cli read, {line}: backups that differ / clean failures / right",
                         f"{b['backups_read_differ']:.0f} / {b['backups_read_failed']:.0f} / "
                         f"{b['backups_read_right']:.0f} of {b['backups_runs']:.0f}",
                         "none differ", "yes" if b["backups_read_differ"] == 0 else "**no**"))
            rows.append((f"korva-cli write, {line}: false alarms / misses / mismatches caught / "
                         "clean failures / right",
                         f"{b['backups_false_alarms']:.0f} / {b['backups_misses']:.0f} / "
                         f"{b['backups_write_caught']:.0f} / {b['backups_write_failed']:.0f} / "
                         f"{b['backups_write_right']:.0f} of {b['backups_runs']:.0f}",
                         "no false alarm, no miss",
                         "yes" if b["backups_false_alarms"] + b["backups_misses"] == 0
                         else "**no**"))

    if args.soak:
        print(f"soak for {args.soak} s ...", file=sys.stderr, flush=True)
        soak = run([bench / "bench_soak", sim, str(args.soak)], offscreen,
                   timeout=args.soak + 600)
        rows.append((f"Soak, {soak['soak_minutes']:.1f} min: READs right",
                     f"{soak['soak_reads_right']:.0f} of {soak['soak_reads']:.0f}", "all",
                     "yes" if soak["soak_reads_right"] == soak["soak_reads"] else "**no**"))
        rows.append(("Soak: WRITEs taken whole",
                     f"{soak['soak_writes_taken']:.0f} of {soak['soak_writes']:.0f}", "all",
                     "yes" if soak["soak_writes_taken"] == soak["soak_writes"] else "**no**"))
        lost = soak["soak_frames_lost"] + soak["soak_frames_invented"]
        rows.append(("Soak: channel frames taken, against those sent",
                     f"{soak['soak_frames_taken']:.0f} of {soak['soak_frames_sent']:.0f} "
                     f"({soak['soak_frames_lost']:.0f} lost, "
                     f"{soak['soak_frames_invented']:.0f} invented)", "none lost or invented",
                     "yes" if lost == 0 else "**no**"))
        growth = soak["soak_rss_growth_kib"] * 10 / max(soak["soak_minutes"], 1e-9)
        rows.append(("Soak: resident memory growth per 10 minutes",
                     f"{growth:.0f} KiB ({soak['soak_rss_start_kib'] / 1024:.1f} → "
                     f"{soak['soak_rss_end_kib'] / 1024:.1f} MiB)", "< 1024 KiB",
                     "yes" if growth < 1024 else "**no**"))

    today = datetime.date.today().isoformat()
    header = (f"{today}: {cpu_model()}, {os.cpu_count()} cores; Qt {qt_version(args.build)}; "
              f"{build_type(args.build)} build; medians of {runs} runs "
              f"(start-up {startup_runs}, alternating with the bare window).")
    table = ["| Measure | Median | Goal | Met |", "|---|---|---|---|"]
    table += [f"| {m} | {v} | {g} | {ok} |" for m, v, g, ok in rows]
    text = header + "\n\n" + "\n".join(table) + "\n"
    print(text)

    if args.readme:
        readme = args.root / "README.md"
        content = readme.read_text()
        if README_BEGIN not in content or README_END not in content:
            raise SystemExit("README.md has no benchmark section markers")
        before, rest = content.split(README_BEGIN, 1)
        _, after = rest.split(README_END, 1)
        readme.write_text(before + README_BEGIN + "\n" + text + README_END + after)
        print(f"table written to {readme}", file=sys.stderr)


if __name__ == "__main__":
    main()
