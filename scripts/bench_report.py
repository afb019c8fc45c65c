#!/usr/bin/env python3
"""Writes the benchmark report from the Google Benchmark JSON files of scripts/bench.sh.

    bench_report.py --results DIR --build-root DIR --markdown FILE --svg FILE [--quick]

DIR/<preset>/*.json are read for the presets release, release-trace and release-x86 (a
file DIR/<preset>/SKIPPED holds the reason a build has no results). The Markdown report
has the machine, one table of target figures per build, the memory figures, and the read
throughput against document size, drawn as an SVG chart with gnuplot when it is
installed (without it the report says so and no chart is written).
"""

import argparse
import datetime
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import tempfile

PRESETS = [
    ("release", "release (64-bit)"),
    ("release-trace", "release-trace (64-bit, trace lines compiled in)"),
    ("release-x86", "release-x86 (32-bit, the shipped word size)"),
]

# (figure, benchmark name, counter, target or None for a figure given for information)
ROWS = [
    ("MessagePack -> tree vs JSON -> tree, same content", "MsgPackVsJsonSideBySide/EndOfGame", "ratio", 0.667),
    ("MessagePack -> tree vs JSON -> tree, same content", "MsgPackVsJsonSideBySide/Generic1MB", "ratio", 0.667),
    ("MessagePack -> tree vs JSON -> tree, same content", "MsgPackVsJsonSideBySide/DistinctNames1MB", "ratio", 0.667),
    ("YAML -> tree vs libyaml's raw event loop", "YamlVsLibyamlSideBySide/EndOfGame", "ratio", 1.3),
    ("YAML -> tree vs libyaml's raw event loop", "YamlVsLibyamlSideBySide/Generic1MB", "ratio", 1.3),
    ("YAML -> tree vs libyaml's raw event loop", "YamlVsLibyamlSideBySide/DistinctNames1MB", "ratio", 1.3),
    ("JSON -> tree vs RapidJSON Document parse", "ReadSideBySide/EndOfGame", "ratio", 1.15),
    ("JSON -> tree vs RapidJSON Document parse", "ReadSideBySide/Generic1MB", "ratio", 1.25),
    ("JSON -> tree vs RapidJSON Document parse", "ReadSideBySide/DistinctNames1MB", "ratio", 1.25),
    ("JSON writer vs RapidJSON Writer", "WriteSideBySide/EndOfGame", "ratio", 1.2),
    ("JSON writer vs RapidJSON Writer", "WriteSideBySide/Generic1MB", "ratio", 1.2),
    ("JSON writer vs RapidJSON Writer", "WriteSideBySide/DistinctNames1MB", "ratio", 1.2),
    ("End-of-game resource event through the ABI vs RapidJSON DOM parse", "EventDeliverySideBySide/EndOfGame",
     "ratio", 1.5),
]
TRACE_ROW = ("Trace lines compiled in: event road, release-trace over release", "EventDeliverySideBySide/EndOfGame",
             "ours_us", 1.05)
MEMORY_ROWS = [
    ("Peak memory of the tree vs RapidJSON Document (aim)", "Memory/Generic1MB", "ratio", 1.5),
    ("Peak memory of the tree vs RapidJSON Document", "Memory/DistinctNames1MB", "ratio", None),
    ("Peak memory of the tree vs RapidJSON Document", "Memory/EndOfGame", "ratio", None),
]

ROADS = [
    ("Json", "JSON -> tree"),
    ("RapidJson", "RapidJSON Document::Parse"),
    ("MsgPack", "MessagePack -> tree"),
    ("Yaml", "YAML -> tree"),
    ("LibyamlEvents", "libyaml event loop"),
]

# Name parts Google Benchmark adds for the options of a run, not part of its identity.
OPTION_PART = re.compile(r"^(iterations|min_time|repeats|threads|real_time|manual_time|process_time):?")


def base_name(name):
    return "/".join(part for part in name.split("/") if not OPTION_PART.match(part))


class Results:
    """The runs of one build: per benchmark, the median over repetitions when there were
    several, else the one run."""

    def __init__(self, directory):
        self.context = {}
        self.runs = {}
        self.skipped = None
        self.files = 0
        skipped = os.path.join(directory, "SKIPPED")
        if os.path.exists(skipped):
            with open(skipped, encoding="utf-8") as f:
                self.skipped = f.read().strip()
        if not os.path.isdir(directory):
            return
        medians = {}
        for entry in sorted(os.listdir(directory)):
            if not entry.endswith(".json"):
                continue
            try:
                with open(os.path.join(directory, entry), encoding="utf-8") as f:
                    data = json.load(f)
            except (OSError, ValueError) as error:
                print(f"bench_report: {entry}: {error}; left out", file=sys.stderr)
                continue
            self.files += 1
            if not self.context:
                self.context = data.get("context", {})
            for run in data.get("benchmarks", []):
                name = base_name(run.get("run_name", run.get("name", "")))
                if run.get("run_type") == "aggregate":
                    if run.get("aggregate_name") == "median":
                        medians[name] = run
                else:
                    self.runs.setdefault(name, run)
        self.runs.update(medians)

    def counter(self, name, counter):
        """(value, None) or (None, reason)."""
        run = self.runs.get(name)
        if run is None:
            return None, "not measured"
        if run.get("error_occurred"):
            return None, "error: " + str(run.get("error_message", "unknown"))
        value = run.get(counter)
        if not isinstance(value, (int, float)):
            return None, f"not measured (no counter {counter})"
        return float(value), None


def fmt_ratio(value):
    return f"{value:.3f}"


def verdict(value, target):
    if target is None:
        return "for information"
    return "met" if value <= target else "**not met**"


def target_text(target):
    return "-" if target is None else f"<= {target:g}"


def table_rows(results, rows):
    lines = []
    for figure, name, counter, target in rows:
        value, reason = results.counter(name, counter)
        if value is None:
            lines.append(f"| {figure} | `{name}` | {reason} | {target_text(target)} | not measured |")
        else:
            lines.append(f"| {figure} | `{name}` | {fmt_ratio(value)} | {target_text(target)} | "
                         f"{verdict(value, target)} |")
    return lines


def trace_row(preset, all_results):
    figure, name, counter, target = TRACE_ROW
    if preset == "release-x86":
        return f"| {figure} | `{name}` | not measured (no 32-bit trace build) | {target_text(target)} | not measured |"
    trace, plain = all_results.get("release-trace"), all_results.get("release")
    if trace is None or plain is None:
        return (f"| {figure} | `{name}` | not measured (needs both release and release-trace) | "
                f"{target_text(target)} | not measured |")
    traced, reason_t = trace.counter(name, counter)
    untraced, reason_p = plain.counter(name, counter)
    if traced is None or untraced is None or untraced == 0:
        reason = reason_t or reason_p or "not measured"
        return f"| {figure} | `{name}` {counter} | {reason} | {target_text(target)} | not measured |"
    value = traced / untraced
    # The two builds run in different processes, whose speed drifts; the quotient of the
    # two ratios (each against the reference timed in the same loop) cancels most of it.
    note = ""
    ratio_t, _ = trace.counter(name, "ratio")
    ratio_p, _ = plain.counter(name, "ratio")
    if ratio_t is not None and ratio_p:
        note = f" (ratio over ratio: {fmt_ratio(ratio_t / ratio_p)})"
    return (f"| {figure} | `{name}` {counter} | {fmt_ratio(value)}{note} | {target_text(target)} | "
            f"{verdict(value, target)} |")


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def compiler_version(build_root, presets):
    for preset in presets:
        cache = os.path.join(build_root, preset, "CMakeCache.txt")
        try:
            with open(cache, encoding="utf-8") as f:
                for line in f:
                    if line.startswith("CMAKE_CXX_COMPILER:"):
                        compiler = line.split("=", 1)[1].strip()
                        out = subprocess.run([compiler, "--version"], capture_output=True, text=True, check=False)
                        first = out.stdout.splitlines()
                        return first[0] if first else compiler
        except OSError:
            continue
    return "unknown"


def sweep(results):
    """{road: {bytes: MB/s}} from the Sweep/<road>/<bytes> runs."""
    table = {}
    for name, run in results.runs.items():
        parts = name.split("/")
        if len(parts) != 3 or parts[0] != "Sweep" or run.get("error_occurred"):
            continue
        rate = run.get("bytes_per_second")
        if isinstance(rate, (int, float)) and parts[2].isdigit():
            table.setdefault(parts[1], {})[int(parts[2])] = rate / 1e6
    return table


def size_label(size):
    if size >= 1 << 20 and size % (1 << 20) == 0:
        return f"{size >> 20} MiB"
    if size >= 1 << 10 and size % (1 << 10) == 0:
        return f"{size >> 10} KiB"
    return f"{size} B"


def sweep_table(table):
    sizes = sorted({size for road in table.values() for size in road})
    lines = ["| Road | " + " | ".join(size_label(s) for s in sizes) + " |",
             "|---|" + "---:|" * len(sizes)]
    for road, label in ROADS:
        if road in table:
            cells = [f"{table[road][s]:.1f}" if s in table[road] else "-" for s in sizes]
            lines.append(f"| {label} | " + " | ".join(cells) + " |")
    return lines


def draw_chart(sweeps, svg):
    """Draws the chart; returns None when drawn, else the reason it was not."""
    gnuplot = shutil.which("gnuplot")
    if gnuplot is None:
        return "gnuplot is not installed (`scripts/install-deps.sh bench` installs gnuplot-nox)"
    if not sweeps:
        return "no throughput sweep was measured"
    sizes = sorted({size for table in sweeps.values() for road in table.values() for size in road})
    os.makedirs(os.path.dirname(svg), exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        plots = []
        for style, (preset, table) in enumerate(sweeps.items()):
            for colour, (road, label) in enumerate(ROADS, start=1):
                if road not in table:
                    continue
                data = os.path.join(work, f"{preset}-{road}.dat")
                with open(data, "w", encoding="utf-8") as f:
                    for size in sorted(table[road]):
                        f.write(f"{size} {table[road][size]:.3f}\n")
                dash = 1 if style == 0 else 2
                plots.append(f"'{data}' using 1:2 with linespoints lc {colour} dt {dash} pt {colour} "
                             f"title '{label} ({preset})'")
        xtics = ", ".join(f'"{size_label(s)}" {s}' for s in sizes)
        script = "\n".join([
            "set terminal svg size 960,720 font 'sans,12' background rgb 'white'",
            f"set output '{svg}'",
            "set title 'Read throughput against document size (generic document)'",
            "set logscale x 2",
            "set logscale y 10",
            f"set xtics ({xtics})",
            "set xlabel 'document size (bytes)'",
            "set ylabel 'MB/s (10^6 bytes of its own input per second)'",
            "set key outside below center maxrows 5",
            "set grid",
            "plot " + ", \\\n     ".join(plots),
            "",
        ])
        script_path = os.path.join(work, "chart.gp")
        with open(script_path, "w", encoding="utf-8") as f:
            f.write(script)
        done = subprocess.run([gnuplot, script_path], capture_output=True, text=True, check=False)
        if done.returncode != 0:
            return "gnuplot failed: " + " ".join(done.stderr.split())[-300:]
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--results", required=True)
    parser.add_argument("--build-root", required=True)
    parser.add_argument("--markdown", required=True)
    parser.add_argument("--svg", required=True)
    parser.add_argument("--quick", action="store_true", help="the results come from a smoke run")
    args = parser.parse_args()

    all_results = {}
    for preset, _ in PRESETS:
        directory = os.path.join(args.results, preset)
        if os.path.isdir(directory):
            all_results[preset] = Results(directory)

    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    context = next((r.context for r in all_results.values() if r.context), {})
    out = ["# Benchmarks", ""]
    if args.quick:
        out += ["> A smoke run (`scripts/bench.sh --quick`): short minimum times and no repetitions, so the "
                "figures are rough. Run `scripts/bench.sh` for the figures to go by.", ""]
    out += [
        "Written by `scripts/bench.sh` (`scripts/bench_report.py`). Each ratio is ours over the reference "
        "(below 1: ours is faster, or holds less); side-by-side benchmarks time ours and the reference "
        "back to back in one loop, and each figure is the median of three runs of at least one second.",
        "",
        "## Machine",
        "",
        f"- CPU: {cpu_model()}",
        f"- Cores: {os.cpu_count()}" + (f" ({context['mhz_per_cpu']} MHz)" if "mhz_per_cpu" in context else ""),
        f"- Compiler: {compiler_version(args.build_root, [p for p, _ in PRESETS])}",
        f"- Date: {now}",
        f"- System: {platform.system()} {platform.release()} ({platform.machine()})",
        "",
    ]

    for preset, title in PRESETS:
        out += [f"## Targets: {title}", ""]
        results = all_results.get(preset)
        if results is None:
            out += ["Not run in this report (`scripts/bench.sh --only` left it out).", ""]
            continue
        if results.skipped:
            out += [f"Skipped: {results.skipped}.", ""]
            continue
        out += ["| Figure | Benchmark | Measured | Target | Result |", "|---|---|---:|---|---|"]
        out += table_rows(results, ROWS)
        out.append(trace_row(preset, all_results))
        out += table_rows(results, MEMORY_ROWS)
        out.append("")

    out += ["## Memory", "",
            "Peak bytes while the tree of each document is built and held (`memory_bench`, whose head comment "
            "says what is counted on each side): ours is the heap peak plus the binding page source's 64 KiB "
            "chunks; the reference is RapidJSON's Document with its parse stack. Held: what each side still "
            "holds once its read has returned.", ""]
    memory_lines = []
    for preset, title in PRESETS:
        results = all_results.get(preset)
        if results is None or results.skipped:
            continue
        for _, name, _, _ in MEMORY_ROWS:
            ours, _ = results.counter(name, "ours_bytes")
            ref, _ = results.counter(name, "reference_bytes")
            held, _ = results.counter(name, "ours_held_bytes")
            ref_held, _ = results.counter(name, "reference_held_bytes")
            if ours is None or ref is None:
                continue
            cells = [f"{v / 1e6:.2f}" if v is not None else "-" for v in (ours, ref, held, ref_held)]
            memory_lines.append(f"| {preset} | `{name}` | " + " | ".join(cells) + f" | {fmt_ratio(ours / ref)} |")
    if memory_lines:
        out += ["| Build | Benchmark | Ours, peak (MB) | RapidJSON, peak (MB) | Ours, held (MB) | "
                "RapidJSON, held (MB) | Ratio of peaks |", "|---|---|---:|---:|---:|---:|---:|"]
        out += memory_lines
    else:
        out.append("Not measured.")
    out.append("")

    out += ["## Read throughput against document size", "",
            "MB/s (10^6 bytes of each road's own input per second) reading the generic document of each size "
            "(`size_sweep_bench`): JSON, the same content as MessagePack and as YAML, beside RapidJSON's "
            "Document and libyaml's bare event loop.", ""]
    sweeps = {}
    for preset in ("release", "release-x86"):
        results = all_results.get(preset)
        if results is None or results.skipped:
            continue
        table = sweep(results)
        if table:
            sweeps[preset] = table
            out += [f"### {dict(PRESETS)[preset]}", ""] + sweep_table(table) + [""]
    if not sweeps:
        out += ["Not measured.", ""]
    reason = draw_chart(sweeps, os.path.abspath(args.svg))
    if reason is None:
        chart = os.path.relpath(os.path.abspath(args.svg), os.path.dirname(os.path.abspath(args.markdown)))
        out += [f"Chart: [{os.path.basename(args.svg)}]({chart}) (release solid, release-x86 dashed).", "",
                f"![Read throughput against document size]({chart})", ""]
    else:
        out += [f"No chart: {reason}.", ""]

    os.makedirs(os.path.dirname(os.path.abspath(args.markdown)), exist_ok=True)
    with open(args.markdown, "w", encoding="utf-8") as f:
        f.write("\n".join(out))
    print(f"bench_report: wrote {args.markdown}" + ("" if reason else f" and {args.svg}"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
