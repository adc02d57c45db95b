#!/usr/bin/env python3
"""Writes docs/benchmarks.md from the figures that tools/bench collected.

  report.py --results DIR --exe SKYSWAP_EXE --stripped-exe COPY --sets N --repetitions R
            --startup-runs S --out FILE
  report.py --self-test

DIR holds native-core.json, wine-core.json and wine-page.json (Google Benchmark's JSON with every
repetition), startup.json (from the start-up launcher) and the load averages before and after the
run. Every figure is a median over the repetitions, shown with their minimum and maximum; every
ratio is taken between a figure and its baseline from the same run. bench/analysis.md, when present, is
appended: it explains the targets that are missed.
"""

import argparse
import datetime
import json
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True

HERE = os.path.dirname(os.path.abspath(__file__))
UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}
MB = 1000 * 1000  # the targets are in decimal megabytes

# One row per figure: what is measured, from which result file, against which baseline, and the
# target, either a ratio to the baseline ("ratio", limit) or an absolute time in ms ("ms", limit).
BENCHMARK_ROWS = [
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "native", "native-core",
     "InstallTransfer", "InstallCopyAndRename",
     "each file copied to a new name with fsync, then renamed over the old one", ("ratio", 1.1)),
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "native", "native-core",
     "InstallTransfer", "InstallFlushedCopy", "plain read/write copy with fsync of each file",
     None),
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "native", "native-core",
     "InstallTransfer", "InstallPlainCopy", "plain read/write copy, no staging, no flush", None),
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "Wine", "wine-core",
     "InstallTransfer", "InstallCopyAndRename",
     "each file copied to a new name with FlushFileBuffers, then renamed over the old one",
     ("ratio", 1.1)),
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "Wine", "wine-core",
     "InstallTransfer", "InstallFlushedCopy",
     "plain ReadFile/WriteFile copy with FlushFileBuffers of each file", None),
    ("Install transfer: 10 files of 1 MiB over 10 older ones", "Wine", "wine-core",
     "InstallTransfer", "InstallPlainCopy", "plain ReadFile/WriteFile copy, no staging, no flush",
     None),
    ("Start-up discovery of {sets} sets (warm cache)", "native", "native-core",
     "StartupDiscovery", "BareListing", "bare listing with readdir", ("ratio", 2.0)),
    ("Start-up discovery of {sets} sets (warm cache)", "Wine", "wine-core",
     "StartupDiscovery", "BareListing", "bare listing with FindFirstFileExW", ("ratio", 2.0)),
    ("Mouse move over a slot: description opened, read, closed; tooltips set", "native",
     "native-core", "MouseMoveOverSlot", "BareDescriptionRead",
     "open, read, close of the same file", ("ms", 1.0)),
    ("Mouse move over a slot: description opened, read, closed; tooltips set", "Wine",
     "wine-core", "MouseMoveOverSlot", "BareDescriptionRead",
     "open, read, close of the same file", None),
    ("Recognising the installed set among 100 sets of 10 same-size files", "native",
     "native-core", "RecognizeInstalled100", "RecognitionFloor100",
     "reading the game's ten files once + one bare listing of every set folder + the first 4 KiB of one file of each set", None),
    ("Recognising the installed set among 100 sets of 10 same-size files", "native",
     "native-core", "RecognizeInstalled100", "GameReadAndListing100",
     "reading the game's ten files once + bare listing of the library", None),
    ("Recognising the installed set among 100 sets of 10 same-size files", "Wine",
     "wine-core", "RecognizeInstalled100", "RecognitionFloor100",
     "reading the game's ten files once + one bare listing of every set folder + the first 4 KiB of one file of each set", None),
    ("Recognising the installed set among 100 sets of 10 same-size files", "Wine",
     "wine-core", "RecognizeInstalled100", "GameReadAndListing100",
     "reading the game's ten files once + bare listing of the library", None),
    ("Recognising the installed set among 1,000 sets of 10 same-size files", "native",
     "native-core", "RecognizeInstalled1000", "RecognitionFloor1000",
     "reading the game's ten files once + one bare listing of every set folder + the first 4 KiB of one file of each set", ("ratio", 1.5)),
    ("Recognising the installed set among 1,000 sets of 10 same-size files", "native",
     "native-core", "RecognizeInstalled1000", "GameReadAndListing1000",
     "reading the game's ten files once + bare listing of the library", None),
    ("Recognising the installed set among 1,000 sets of 10 same-size files", "Wine",
     "wine-core", "RecognizeInstalled1000", "RecognitionFloor1000",
     "reading the game's ten files once + one bare listing of every set folder + the first 4 KiB of one file of each set", ("ratio", 1.5)),
    ("Recognising the installed set among 1,000 sets of 10 same-size files", "Wine",
     "wine-core", "RecognizeInstalled1000", "GameReadAndListing1000",
     "reading the game's ten files once + bare listing of the library", None),
    ("Adding a ZIP of 10 files, 10 MiB in all, as a new set of a library of 3 sets", "native",
     "native-core", "AddZip", "PlainUnzip",
     "plain unzip with minizip into a folder of the library, no flush", None),
    ("Adding a ZIP of 10 files, 10 MiB in all, as a new set of a library of 3 sets", "native",
     "native-core", "AddZip", "FlushedUnzip", "the same unzip with fsync of each file",
     ("ratio", 1.5)),
    ("Adding a ZIP of 10 files, 10 MiB in all, as a new set of a library of 3 sets", "Wine",
     "wine-core", "AddZip", "PlainUnzip",
     "plain unzip with minizip into a folder of the library, no flush", None),
    ("Adding a ZIP of 10 files, 10 MiB in all, as a new set of a library of 3 sets", "Wine",
     "wine-core", "AddZip", "FlushedUnzip",
     "the same unzip with FlushFileBuffers of each file", ("ratio", 1.5)),
    ("Mouse move over a slot in the window (tooltip control updated)", "Wine", "wine-page",
     "MouseMoveWindow", None, None, None),
    ("Page turn in the window: 10 thumbnails of 200 x 129 read, decoded, stretched, painted",
     "Wine", "wine-page", "PageTurnWindowSmall", "BareDecodeStretchSmall",
     "bare WIC decode + HALFTONE stretch of the same 10 files", ("ratio", 1.1)),
    ("Page turn in the window: 10 thumbnails of 1024 x 768", "Wine", "wine-page",
     "PageTurnWindowLarge", "BareDecodeStretchLarge",
     "bare WIC decode + HALFTONE stretch of the same 10 files", None),
    ("Page turn on the last page (page {pages:,}) of a library of {sets:,} sets", "Wine",
     "wine-page", "PageTurnWindowFar", "PageTurnWindowNear",
     "the same page turn on the first page of that library", ("ratio", 1.1)),
    ("The window's picture loader + stretch into a 133 x 85 slot, 10 of 200 x 129", "Wine",
     "wine-page", "PageLoadStretchSmall", "BareDecodeStretchSmall",
     "bare WIC decode + HALFTONE stretch", None),
    ("The window's picture loader + stretch into a 133 x 85 slot, 10 of 1024 x 768", "Wine",
     "wine-page", "PageLoadStretchLarge", "BareDecodeStretchLarge",
     "bare WIC decode + HALFTONE stretch", None),
]  # fmt: skip

COUNTER_NOTES = {
    "fill_ms": "filling the slots {:.2f} ms",
    "paint_ms": "painting {:.2f} ms",
    "sets": "{:.0f} sets counted",
    "copy_ms": "staged copies with flush {:.2f} ms",
    "move_ms": "renames over the old files {:.2f} ms",
    "remove_ms": "deleting left-overs {:.2f} ms",
    "probe_ms": "existence checks {:.2f} ms",
    "zipread_ms": "reading the archive {:.2f} ms",
    "flushedwrite_ms": "new files written with their flush {:.2f} ms",
    "folder_ms": "making and renaming the set folder {:.2f} ms",
    "ws_first_mb": "working set after the first page {:.1f} MB",
    "ws_after_mb": "after the last {:.1f} MB",
    "private_first_mb": "private memory after the first page {:.1f} MB",
    "private_after_mb": "after the last {:.1f} MB",
}


def load_figures(path):
    """Benchmark name -> {"ms": median real time, "min": ..., "max": ..., "counters": {...}}, or
    {"error": text}. The figures come from the single repetitions; a file with only Google
    Benchmark's median aggregate gives the median without a spread."""
    if not os.path.isfile(path):
        return None
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    runs, medians = {}, {}
    for entry in data.get("benchmarks", []):
        name = entry["name"].split("/")[0]
        if entry.get("error_occurred"):
            runs.setdefault(name, []).append({"error": entry.get("error_message", "error")})
            continue
        scale = UNIT_TO_MS[entry.get("time_unit", "ns")]
        counters = {
            key: value for key, value in entry.items()
            if key in COUNTER_NOTES and isinstance(value, (int, float))
        }  # fmt: skip
        figure = {"ms": entry["real_time"] * scale, "counters": counters}
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                medians[name] = dict(figure, min=None, max=None)
        else:
            runs.setdefault(name, []).append(figure)
    figures = dict(medians)
    for name, entries in runs.items():
        good = [e for e in entries if "error" not in e]
        if not good:
            figures[name] = {"error": entries[0]["error"]}
            continue
        keys = set().union(*(e["counters"] for e in good))
        times = [e["ms"] for e in good]
        figures[name] = {
            "ms": statistics.median(times),
            "min": min(times) if len(times) > 1 else None,
            "max": max(times) if len(times) > 1 else None,
            "counters": {
                k: statistics.median(e["counters"][k] for e in good if k in e["counters"])
                for k in keys
            },
        }
    return figures


def format_spread(low, high):
    """ "min – max" of a figure, or "" when the run gave no spread."""
    if low is None or high is None:
        return ""
    return "%s – %s" % (format_ms(low), format_ms(high))


def format_ms(ms):
    if ms >= 100:
        return "%.0f ms" % ms
    if ms >= 1:
        return "%.2f ms" % ms
    return "%.1f µs" % (ms * 1000)


def judge(value, limit):
    return "pass" if value <= limit else "**miss**"


def benchmark_rows(results_dir, sets):
    files = {}
    rows = []
    for what, where, source, name, base, base_what, target in BENCHMARK_ROWS:
        if source not in files:
            files[source] = load_figures(os.path.join(results_dir, source + ".json"))
        figures = files[source]
        row = {"what": what.format(sets=sets, pages=sets // 10), "where": where}
        figure = figures.get(name) if figures else None
        baseline = figures.get(base) if figures and base else None
        if figure is None or "error" in figure:
            reason = figure["error"] if figure else "no figure"
            row.update(figure="not measured (%s)" % reason, baseline="", ratio="",
                       target=describe_target(target), result="not measured")
            rows.append(row)
            continue
        row["figure"] = format_ms(figure["ms"])
        row["spread"] = format_spread(figure.get("min"), figure.get("max"))
        notes = [COUNTER_NOTES[k].format(v) for k, v in sorted(figure["counters"].items())]
        ratio = None
        if baseline and "error" not in baseline:
            row["baseline"] = "%s: %s" % (base_what, format_ms(baseline["ms"]))
            spread = format_spread(baseline.get("min"), baseline.get("max"))
            if spread:
                row["baseline"] += " (%s)" % spread
            ratio = figure["ms"] / baseline["ms"] if baseline["ms"] > 0 else None
        else:
            row["baseline"] = "—" if base is None else "not measured"
        row["ratio"] = "%.2f" % ratio if ratio is not None else ""
        row["target"] = describe_target(target)
        if target is None:
            row["result"] = "reported"
        elif target[0] == "ratio":
            row["result"] = judge(ratio, target[1]) if ratio is not None else "not measured"
        else:
            row["result"] = judge(figure["ms"], target[1])
        row["notes"] = "; ".join(notes)
        rows.append(row)
    return rows


def memory_rows(results_dir, sets):
    """The window's memory after its first page and after turning many pages: it must not grow
    with the pages turned (the pictures of pages left behind are released)."""
    figures = load_figures(os.path.join(results_dir, "wine-page.json")) or {}
    figure = figures.get("PageTurnMemory")
    row = {"what": "Working set after turning 100 pages of a library of {:,} sets".format(sets),
           "where": "Wine", "target": "≤ 1.1x baseline"}
    counters = (figure or {}).get("counters", {})
    if not figure or "error" in figure or "ws_first_mb" not in counters:
        reason = figure["error"] if figure and "error" in figure else "no figure"
        row.update(figure="not measured (%s)" % reason, baseline="", ratio="",
                   result="not measured")
        return [row]
    first, after = counters["ws_first_mb"], counters["ws_after_mb"]
    ratio = after / first if first > 0 else None
    row.update(figure="%.1f MB" % after, baseline="after the first page: %.1f MB" % first,
               ratio="%.2f" % ratio if ratio is not None else "",
               result=judge(ratio, 1.1) if ratio is not None else "not measured")
    if counters.get("private_first_mb"):  # Wine reports no private usage
        row["notes"] = "private memory %.1f MB after the first page, %.1f MB after the last" % (
            counters["private_first_mb"], counters.get("private_after_mb", 0))
    return [row]


def describe_target(target):
    if target is None:
        return "report"
    kind, limit = target
    if kind == "ratio":
        return "≤ %gx baseline" % limit
    return "≤ %g ms" % limit


def large_library_startup_row(results_dir, demo_skyswap, runs):
    """Start-up in a library of many sets beside the start-up in the demo library."""
    path = os.path.join(results_dir, "startup-large.json")
    if not os.path.isfile(path):
        return []
    with open(path, encoding="utf-8") as f:
        try:
            data = json.load(f)
        except ValueError:
            data = {}
    large = {p["name"].lower(): p for p in data.get("programs", [])}.get("skyswap.exe")
    sets = data.get("sets")
    row = {"what": "Start-up in a library of %s sets: process creation to the end of the first "
                   "paint (median of %d)" % ("{:,}".format(sets) if sets else "many", runs),
           "where": "Wine", "target": "≤ 1.1x baseline"}  # fmt: skip
    if (large and large.get("signalled_runs", 0) > 0 and demo_skyswap and
            demo_skyswap.get("signalled_runs", 0) > 0):
        figure, base = large["median_ms"], demo_skyswap["median_ms"]
        times = large.get("times_ms", [])
        ratio = figure / base
        row.update(figure=format_ms(figure),
                   spread=format_spread(min(times, default=None), max(times, default=None)),
                   baseline="the same start in the demo library of 23 sets: " + format_ms(base),
                   ratio="%.2f" % ratio, result=judge(ratio, 1.1))
    else:
        failure = (large or {}).get("failure") or "no figure"
        row.update(figure="not measured (%s)" % failure, baseline="", ratio="",
                   result="not measured")
    return [row]


def startup_rows(results_dir, exe, stripped_exe, runs):
    path = os.path.join(results_dir, "startup.json")
    programs = {}
    if os.path.isfile(path):
        with open(path, encoding="utf-8") as f:
            try:
                data = json.load(f)
            except ValueError:
                data = {}
        programs = {p["name"].lower(): p for p in data.get("programs", [])}
    skyswap, bare = programs.get("skyswap.exe"), programs.get("bare_window.exe")
    imaging = programs.get("bare_imaging_window.exe")

    def signalled(program):
        return program is not None and program.get("signalled_runs", 0) > 0

    def idle(program):
        return program is not None and program.get("idle_runs", 0) > 0

    def measured(program):
        return signalled(program) or idle(program)

    rows = []
    row = {"what": "Start-up of the stripped skyswap.exe: process creation to the end of the "
                   "first paint of the filled first page (median of %d)" % runs,
           "where": "Wine", "target": "≤ 1.5x baseline"}  # fmt: skip
    times = base_times = []
    if signalled(skyswap) and signalled(bare):
        figure, base = skyswap["median_ms"], bare["median_ms"]
        times, base_times = skyswap.get("times_ms", []), bare.get("times_ms", [])
        row["notes"] = "to the first-paint signal; to the first idle moment: %s and %s" % (
            format_ms(skyswap.get("idle_median_ms", 0)), format_ms(bare.get("idle_median_ms", 0)))
    elif idle(skyswap) and idle(bare):
        figure, base = skyswap["idle_median_ms"], bare["idle_median_ms"]
        times, base_times = skyswap.get("idle_times_ms", []), bare.get("idle_times_ms", [])
        row["notes"] = ("to the first idle moment after the first paint (WaitForInputIdle): "
                        "this skyswap.exe does not signal its first paint")
    else:
        figure = base = None
    if figure is not None and base:
        ratio = figure / base
        base_spread = format_spread(min(base_times, default=None), max(base_times, default=None))
        row.update(figure=format_ms(figure),
                   spread=format_spread(min(times, default=None), max(times, default=None)),
                   baseline="bare Win32 window, same toolchain: " + format_ms(base) +
                            (" (%s)" % base_spread if base_spread else ""),
                   ratio="%.2f" % ratio, result=judge(ratio, 1.5))  # fmt: skip
    else:
        failure = (skyswap or {}).get("failure") or "no figure"
        row.update(figure="not measured (%s)" % failure, baseline="", ratio="",
                   result="not measured")
    rows.append(row)

    rows += large_library_startup_row(results_dir, skyswap, runs)

    row = {"what": "Peak working set of skyswap.exe (stripped, as the release ZIP carries it) "
                   "after the first page", "where": "Wine",
           "target": "≤ 1.3x baseline"}  # fmt: skip
    if measured(skyswap) and measured(bare):
        peak = skyswap["peak_working_set_bytes"] / MB
        bare_peak = bare["peak_working_set_bytes"] / MB
        ratio = peak / bare_peak
        row.update(figure="%.1f MB" % peak, baseline="bare Win32 window: %.1f MB" % bare_peak,
                   ratio="%.2f" % ratio, result=judge(ratio, 1.3),
                   notes="%.1f MB above the bare window" % (peak - bare_peak))
        if measured(imaging):
            # What any program pays for COM, the common controls 6 and WIC, and SkySwap's own share.
            imaging_peak = imaging["peak_working_set_bytes"] / MB
            row["notes"] += ("; the bare window with COM, common controls 6, WIC and one JPEG: "
                             "%.1f MB, SkySwap's own share %.1f MB" % (imaging_peak,
                                                                        peak - imaging_peak))
    else:
        row.update(figure="not measured", baseline="", ratio="", result="not measured")
    rows.append(row)

    row = {"what": "Size of skyswap.exe (static, Release)", "where": "Windows build",
           "target": "< 2 MB", "baseline": "", "ratio": ""}
    if exe and os.path.isfile(exe):
        size = os.path.getsize(exe) / MB
        shipped = size
        notes = "as built"
        if stripped_exe and os.path.isfile(stripped_exe):
            shipped = os.path.getsize(stripped_exe) / MB
            notes = "%.2f MB as built; the release ZIP carries it stripped" % size
        row.update(figure="%.2f MB" % shipped, result="pass" if shipped < 2 else "**miss**",
                   notes=notes)
    else:
        row.update(figure="not built", result="not measured")
    rows.append(row)
    return rows


def first_line(command):
    try:
        output = subprocess.run(command, capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.SubprocessError):
        return "unknown"
    return output.strip().splitlines()[0] if output.strip() else "unknown"


def machine(results_dir):
    model = "unknown"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = "unknown"
    try:
        with open("/proc/meminfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    memory = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
                    break
    except OSError:
        pass

    def load(name):
        try:
            with open(os.path.join(results_dir, name), encoding="utf-8") as f:
                return " ".join(f.read().split()[:3])
        except OSError:
            return "unknown"

    return [
        ("Date", datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")),
        ("CPU", "%s, %d logical processors (nproc)" % (model, os.cpu_count() or 0)),
        ("Memory", memory),
        ("Kernel", "%s %s" % (platform.system(), platform.release())),
        ("Wine", first_line(["wine", "--version"])),
        ("Compilers", "%s; %s" % (first_line(["g++", "--version"]),
                                  first_line(["x86_64-w64-mingw32-g++-posix", "--version"]))),
        ("Load average before the run (1, 5, 15 min)", load("load-before.txt")),
        ("Load average after the run (1, 5, 15 min)", load("load-after.txt")),
    ]  # fmt: skip


def busy_note(results_dir, processors=None):
    """A warning when the one-minute load average reached the number of processors."""
    processors = processors or os.cpu_count() or 1
    loads = []
    for name in ("load-before.txt", "load-after.txt"):
        try:
            with open(os.path.join(results_dir, name), encoding="utf-8") as f:
                loads.append(float(f.read().split()[0]))
        except (OSError, ValueError, IndexError):
            pass
    if not loads or max(loads) < processors:
        return ""
    return ("**A busy machine:** the load average reached %.1f on %d logical processors, so "
            "other work ran beside the benchmarks. Figures are slower and spread wider than on a "
            "quiet machine; ratios, taken within one run, suffer less." % (max(loads), processors))


def table(rows):
    lines = [
        "| What | Where | Figure (median) | Min – max | Baseline (min – max) | Ratio | Target "
        "| Result | Notes |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for row in rows:
        cells = [row.get(key, "") for key in ("what", "where", "figure", "spread", "baseline",
                                              "ratio", "target", "result", "notes")]
        lines.append("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |")
    return "\n".join(lines)


def render(results_dir, exe, stripped_exe, sets, repetitions, startup_runs, analysis_path):
    rows = (benchmark_rows(results_dir, sets) + memory_rows(results_dir, sets) +
            startup_rows(results_dir, exe, stripped_exe, startup_runs))
    out = [
        "# Benchmarks",
        "",
        "Written by `tools/bench` (see the README); run it again to refresh every figure. Each "
        "figure is the median of %d repetitions (start-up: of %d starts, after one warm-up "
        "start), with the fastest and the slowest repetition beside it, and is set beside its "
        "baseline, the plainest code that does the same work with the same system calls, "
        "measured in the same run; the ratio is figure / baseline (of the medians). Both sides "
        "use Google Benchmark, repetitions of all benchmarks interleaved in random order: "
        "natively Debian's libbenchmark-dev, for the Windows build the same version cross-built "
        "from Debian's source package (`tools/mingw-benchmark`), run under Wine with Xvfb "
        "(800 x 600). The load average before and after the run tells a quiet machine from a "
        "busy one." % (repetitions, startup_runs),
        "",
        "## Machine",
        "",
        "| | |",
        "|---|---|",
    ]
    out += ["| %s | %s |" % item for item in machine(results_dir)]
    out += ["", "## Figures", ""]
    busy = busy_note(results_dir)
    if busy:
        out += [busy, ""]
    out += [table(rows), ""]
    misses = [r for r in rows if "miss" in r.get("result", "")]
    unmeasured = [r for r in rows if r.get("result") == "not measured"]
    summary = "%d figures: %d targets met, %d missed, %d reported without a target" % (
        len(rows), sum(1 for r in rows if r.get("result") == "pass"), len(misses),
        sum(1 for r in rows if r.get("result") == "reported"))
    if unmeasured:
        summary += ", %d not measured" % len(unmeasured)
    out += [summary + ".", ""]
    if analysis_path and os.path.isfile(analysis_path):
        with open(analysis_path, encoding="utf-8") as f:
            out += [f.read().rstrip(), ""]
    return "\n".join(out)


def self_test():
    def bench_json(entries):
        return {"context": {}, "benchmarks": entries}

    def aggregate(name, time, unit="ms", **counters):
        entry = {"name": name + "/real_time_median", "run_type": "aggregate",
                 "aggregate_name": "median", "real_time": time, "cpu_time": 0,
                 "time_unit": unit}  # fmt: skip
        entry.update(counters)
        mean = dict(entry, name=name + "/real_time_mean", aggregate_name="mean",
                    real_time=time * 3)
        return [mean, entry]

    with tempfile.TemporaryDirectory() as results:
        native = (aggregate("InstallTransfer", 30) + aggregate("InstallPlainCopy", 10) +
                  aggregate("InstallFlushedCopy", 25) + aggregate("InstallCopyAndRename", 28) +
                  aggregate("StartupDiscovery", 3, sets=10000) + aggregate("BareListing", 2) +
                  aggregate("MouseMoveOverSlot", 5, "us") +
                  aggregate("BareDescriptionRead", 4, "us"))  # fmt: skip
        # The Wine core run is a smoke run: single iterations, no aggregates, one failure.
        wine = [
            {"name": "InstallTransfer/iterations:1/real_time", "run_type": "iteration",
             "real_time": 12, "cpu_time": 0, "time_unit": "ms"},
            {"name": "InstallPlainCopy/iterations:1/real_time", "run_type": "iteration",
             "real_time": 10, "cpu_time": 0, "time_unit": "ms"},
            {"name": "InstallFlushedCopy/iterations:1/real_time", "run_type": "iteration",
             "real_time": 8, "cpu_time": 0, "time_unit": "ms"},
            {"name": "InstallCopyAndRename/iterations:1/real_time", "run_type": "iteration",
             "real_time": 10, "cpu_time": 0, "time_unit": "ms"},
            {"name": "StartupDiscovery/iterations:1/real_time", "run_type": "iteration",
             "error_occurred": True, "error_message": "discovery failed", "real_time": 0,
             "cpu_time": 0, "time_unit": "ms"},
        ]  # fmt: skip
        # Repetitions beside their aggregates: the median, minimum and maximum come from them.
        page = aggregate("PageTurnWindowSmall", 99, fill_ms=7.5, paint_ms=4.5) + [
            {"name": "PageTurnWindowSmall/real_time", "run_type": "iteration", "real_time": t,
             "cpu_time": 0, "time_unit": "ms", "fill_ms": 7.5, "paint_ms": 4.5}
            for t in (14, 11, 12)
        ] + aggregate("BareDecodeStretchSmall", 8)  # fmt: skip
        startup = {"runs": 3, "programs": [
            {"name": "bare_window.exe", "signalled_runs": 3, "median_ms": 100,
             "times_ms": [100, 90, 130], "peak_working_set_bytes": 20 * MB},
            {"name": "bare_imaging_window.exe", "signalled_runs": 3, "median_ms": 120,
             "times_ms": [120, 110, 130], "peak_working_set_bytes": 24 * MB},
            {"name": "skyswap.exe", "signalled_runs": 3, "median_ms": 140,
             "times_ms": [150, 140, 120], "peak_working_set_bytes": 30 * MB},
        ]}  # fmt: skip
        for name, data in (("native-core", bench_json(native)), ("wine-core", bench_json(wine)),
                           ("wine-page", bench_json(page)), ("startup", startup)):
            with open(os.path.join(results, name + ".json"), "w", encoding="utf-8") as f:
                json.dump(data, f)
        exe = os.path.join(results, "skyswap.exe")
        with open(exe, "wb") as f:
            f.write(b"\0" * (3 * MB))
        stripped = os.path.join(results, "stripped.exe")
        with open(stripped, "wb") as f:
            f.write(b"\0" * MB)

        for name, load in (("load-before.txt", "0.50 0.40 0.30 1/100 5"),
                           ("load-after.txt", "3.50 2.00 1.00 1/100 6")):
            with open(os.path.join(results, name), "w", encoding="utf-8") as f:
                f.write(load)
        text = render(results, exe, stripped, 10000, 15, 15, None)
        assert "busy" in busy_note(results, processors=2)
        assert busy_note(results, processors=8) == "", "a load below the processors is quiet"
        all_rows = benchmark_rows(results, 10000) + startup_rows(results, exe, stripped, 15)
        rows = {(r["what"], r["where"]): r for r in all_rows}

        # A program without the first-paint signal is timed to its first idle moment.
        startup["programs"][2].update(signalled_runs=0, idle_runs=3, idle_median_ms=200)
        startup["programs"][0].update(idle_runs=3, idle_median_ms=101)
        with open(os.path.join(results, "startup.json"), "w", encoding="utf-8") as f:
            json.dump(startup, f)
        unsignalled = startup_rows(results, exe, stripped, 15)[0]
        assert unsignalled["figure"] == "200 ms" and unsignalled["ratio"] == "1.98", unsignalled
        assert unsignalled["result"] == "**miss**" and "WaitForInputIdle" in unsignalled["notes"]

    def row(what_start, where):
        found = [r for (what, w), r in rows.items() if what.startswith(what_start) and w == where]
        assert len(found) == 1, (what_start, where, found)
        return found[0]

    # Each transfer has three rows: against the copy-and-rename floor (judged), the flushed copy
    # and the plain one (both reported).
    transfers = {(r["where"], r["baseline"].split(":")[0]): r for r in all_rows
                 if r["what"].startswith("Install transfer")}  # fmt: skip
    floor = transfers[("native", "each file copied to a new name with fsync, then renamed over the old one")]
    assert floor["ratio"] == "1.07" and floor["result"] == "pass", floor
    durable = transfers[("native", "plain read/write copy with fsync of each file")]
    assert durable["ratio"] == "1.20" and durable["result"] == "reported", durable
    plain = transfers[("native", "plain read/write copy, no staging, no flush")]
    assert plain["ratio"] == "3.00" and plain["result"] == "reported", plain
    assert plain["figure"] == "30.00 ms", "the median is used, not the mean"
    assert plain["spread"] == "", "aggregates alone give no spread"
    wine_floor = transfers[("Wine", "each file copied to a new name with FlushFileBuffers, then renamed over the old one")]
    assert wine_floor["ratio"] == "1.20" and wine_floor["result"] == "**miss**", wine_floor
    discovery = row("Start-up discovery of 10000", "native")
    assert discovery["result"] == "pass" and discovery["notes"] == "10000 sets counted", discovery
    failed = row("Start-up discovery of 10000", "Wine")
    assert failed["result"] == "not measured" and "discovery failed" in failed["figure"], failed
    assert row("Mouse move over a slot:", "native")["figure"] == "5.0 µs"
    assert row("Mouse move over a slot:", "native")["result"] == "pass"
    assert row("Mouse move over a slot in the window", "Wine")["result"] == "not measured"
    turn = row("Page turn in the window: 10 thumbnails of 200", "Wine")
    assert turn["figure"] == "12.00 ms" and turn["spread"] == "11.00 ms – 14.00 ms", turn
    assert turn["result"] == "**miss**" and turn["ratio"] == "1.50", "judged by its ratio"
    assert turn["notes"] == "filling the slots 7.50 ms; painting 4.50 ms", turn
    startup = row("Start-up of the stripped", "Wine")
    assert startup["result"] == "pass" and startup["ratio"] == "1.40", startup
    assert startup["spread"] == "120 ms – 150 ms" and "(90.00 ms – 130 ms)" in startup["baseline"]
    memory = row("Peak working set", "Wine")
    assert memory["figure"] == "30.0 MB" and memory["result"] == "**miss**", memory
    assert memory["ratio"] == "1.50", memory
    assert memory["notes"].startswith("10.0 MB above the bare window;"), memory
    assert "one JPEG: 24.0 MB, SkySwap's own share 6.0 MB" in memory["notes"], memory
    size = row("Size of skyswap.exe", "Windows build")
    assert size["figure"] == "1.00 MB" and size["result"] == "pass", size
    assert "| Load average before the run (1, 5, 15 min) | 0.50 0.40 0.30 |" in text, text
    assert "| Load average after the run (1, 5, 15 min) | 3.50 2.00 1.00 |" in text, text
    assert "## Figures" in text and "| Min – max |" in text
    assert re.search(r"\d+ figures: \d+ targets met, 3 missed", text), text
    print("report.py: self-test passed")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--results")
    parser.add_argument("--exe")
    parser.add_argument("--stripped-exe")
    parser.add_argument("--sets", type=int, default=10000)
    parser.add_argument("--repetitions", type=int, default=15)
    parser.add_argument("--startup-runs", type=int, default=15)
    parser.add_argument("--analysis", default=os.path.join(HERE, "analysis.md"))
    parser.add_argument("--out")
    args = parser.parse_args()
    if args.self_test:
        self_test()
        return 0
    if not args.results or not args.out:
        parser.error("--results and --out are needed")
    text = render(args.results, args.exe, args.stripped_exe, args.sets, args.repetitions,
                  args.startup_runs, args.analysis)
    with open(args.out, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
