#!/usr/bin/env python3
"""Turns the JSON output of the benchmark programs into RESULTS.md: where
and from what the figures come (commit, date, machine, compiler), the
targets of targets.json each with this run's figure and whether it is met,
then per workload and size the median of the library and of each peer over
the repetitions, the library's median divided by each peer's, and the
spread of the repetitions ((max - min) / median).

    summarize.py [--out RESULTS.md] [--commit HASH] [--note TEXT]
                 [--build-dir build/release] [--targets targets.json] JSON...

run.sh calls it after a run; without --out the text goes to stdout.
"""
import argparse
import json
import os
import platform
import re
import statistics
import subprocess
import sys
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))

# The counter that holds a run's figure, the first one present. Time
# counters are rates inverted, hence in seconds in the JSON.
TIME_COUNTERS = ("ns_per_container", "ns_per_lookup", "ns_per_op")
BYTE_COUNTERS = ("heap_bytes_per_container", "bytes_per_entry")

# What one figure of a family is, for the tables' headings.
UNITS = {
    "map_pause": "longest single insertion",
    "map_memory": "heap bytes per entry, the map object included",
    "map_hostile_miss": "time per operation; zand_random's: a random key's "
                        "hit",
}
SIZE_CURVE_PREFIX = "sizes_"
HOSTILE_PREFIX = "map_hostile_"


def metric(run):
    """ns for the time counters and the longest pause, bytes otherwise."""
    if "max_pause_ns" in run:
        return run["max_pause_ns"]
    for counter in BYTE_COUNTERS:
        if counter in run:
            return run[counter]
    for counter in TIME_COUNTERS:
        if counter in run:
            return run[counter] * 1e9
    raise KeyError(f"no known counter in {run['name']}")


def is_bytes(family):
    return family == "map_memory" or family.endswith("_bytes")


def load(paths):
    """family -> case -> container -> [figures of the repetitions, in
    order]; object sizes: family -> container -> bytes; the programs'
    contexts."""
    data = defaultdict(lambda: defaultdict(lambda: defaultdict(list)))
    objects = defaultdict(dict)
    contexts = []
    for path in paths:
        with open(path) as f:
            output = json.load(f)
        contexts.append((os.path.basename(path), output.get("context", {})))
        for run in output["benchmarks"]:
            if run.get("run_type") != "iteration" or run.get("error_occurred"):
                continue
            parts = [p for p in run["run_name"].split("/")
                     if p != "manual_time"
                     and not p.startswith(("iterations:", "repeats:"))]
            family, container, case = parts[0], parts[1], "/".join(parts[2:])
            data[family][case][container].append(metric(run))
            if "object_bytes" in run:
                objects[family][container] = run["object_bytes"]
    return data, objects, contexts


def median(values):
    return statistics.median(values)


def spread(values):
    med = median(values)
    return (max(values) - min(values)) / med * 100 if med else 0.0


def fmt_time(ns):
    if ns >= 1e9:
        return f"{ns / 1e9:.3g} s"
    if ns >= 1e6:
        return f"{ns / 1e6:.3g} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.3g} µs"
    return f"{ns:.3g} ns"


def fmt_bytes(b):
    if b >= 1024 * 1024:
        return f"{b / 1024 / 1024:.3g} MiB"
    if b >= 1024:
        return f"{b / 1024:.3g} KiB"
    return f"{b:.4g} B"


def fmt(value, family):
    return fmt_bytes(value) if is_bytes(family) else fmt_time(value)


def fmt_ratio(num, den):
    """Two decimals; below 0.01 (a peer that is quadratic on chosen keys),
    one significant digit."""
    if den == 0:
        return "–" if num == 0 else "∞"
    ratio = num / den
    return f"{ratio:.2f}" if ratio >= 0.01 else f"{ratio:.1g}"


def case_key(case):
    return [int(p) if p.isdigit() else p for p in case.split("/")]


def library_of(containers):
    """The library's column: zand, else its first variant (e.g.
    zand_read_string). zand_random, the library fed random keys, is a
    yardstick for zand, not the library's column."""
    if "zand" in containers:
        return "zand"
    return next((c for c in containers if c.startswith("zand")), None)


# ---- Where the figures come from.

def first_line(command):
    try:
        out = subprocess.run(command, capture_output=True, text=True,
                             check=True).stdout
        return out.splitlines()[0].strip() if out else ""
    except (OSError, subprocess.CalledProcessError):
        return ""


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def memory_total():
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    kib = int(line.split()[1])
                    return f"{kib / 1024 / 1024:.0f} GiB"
    except OSError:
        pass
    return "unknown"


def os_name():
    try:
        with open("/etc/os-release") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    return line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return platform.system()


def compiler(build_dir):
    """The compiler and build type recorded in the build's CMake cache."""
    cache = {}
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
            for line in f:
                m = re.match(r"(CMAKE_CXX_COMPILER|CMAKE_BUILD_TYPE):\w+=(.*)",
                             line)
                if m:
                    cache[m.group(1)] = m.group(2).strip()
    except OSError:
        return "unknown"
    version = first_line([cache.get("CMAKE_CXX_COMPILER", "c++"), "--version"])
    return f"{version or cache.get('CMAKE_CXX_COMPILER', 'unknown')}, " \
           f"{cache.get('CMAKE_BUILD_TYPE', 'unknown')} build"


def caches(contexts):
    """The caches the benchmark library saw, e.g. "L1d 32 KiB, L2 512 KiB,
    L3 32 MiB"."""
    for _, ctx in contexts:
        parts = []
        for cache in ctx.get("caches", []):
            if cache.get("type") == "Instruction":
                continue
            name = f"L{cache['level']}" + ("d" if cache.get("type") == "Data"
                                            else "")
            parts.append(f"{name} {fmt_bytes(cache['size'])}")
        if parts:
            return ", ".join(parts)
    return ""


def header(args, contexts):
    commit = args.commit or first_line(["git", "-C", HERE, "rev-parse", "HEAD"])
    dates = [ctx["date"] for _, ctx in contexts if "date" in ctx]
    date = min(dates) if dates else "unknown"
    loads = ", ".join(
        f"{name.removesuffix('.json')} "
        f"{' '.join(f'{x:.1f}' for x in ctx.get('load_avg', []))}"
        for name, ctx in contexts if ctx.get("load_avg"))
    lines = ["# Benchmark results", ""]
    if args.note:
        lines += [f"**{args.note}**", ""]
    lines += [
        "Generated by `bench/run.sh` (`bench/summarize.py`); do not edit by "
        "hand. How the figures are taken: [README.md](README.md). The "
        "targets come from [targets.json](targets.json).",
        "",
        "| | |",
        "|---|---|",
        f"| commit | `{commit or 'unknown'}` |",
        f"| date | {date} |",
        f"| CPU | {cpu_model()}, {os.cpu_count()} logical cores"
        + (f"; {caches(contexts)}" if caches(contexts) else "") + " |",
        f"| memory | {memory_total()} |",
        f"| system | {os_name()}, Linux {platform.release()} |",
        f"| compiler | {compiler(args.build_dir)} |",
    ]
    if args.settings:
        lines.append(f"| settings | {args.settings} |")
    if loads:
        lines.append(f"| load average at each program's start (1, 5, 15 min) "
                     f"| {loads} |")
    return "\n".join(lines) + "\n"


# ---- The targets.

def target_rows(target, defaults, data):
    """One row per case: [what, family, case, figure, limit, met, spread]
    and whether it was met (None: no figures)."""
    library = target.get("library", defaults["library"])
    peer = target.get("peer", defaults["peer"])
    family = target["family"]
    rows = []
    for i, case in enumerate(target["cases"]):
        what = target["what"] if i == 0 else ""
        by = data.get(family, {}).get(case, {})
        if library not in by or peer not in by:
            rows.append(([what, family, case, "no figures",
                          limit_text(target, library, peer), "–", ""], None))
            continue
        lib, ref = median(by[library]), median(by[peer])
        noise = f"{max(spread(by[library]), spread(by[peer])):.0f}%"
        if "max_ratio" in target:
            met = lib <= target["max_ratio"] * ref
            figure = fmt_ratio(lib, ref)
            if ref == 0:
                figure += f" ({fmt(lib, family)} / {fmt(ref, family)})"
        else:
            met = ref >= target["min_ratio"] * lib
            figure = f"median {ref / lib:,.0f}×" if lib else "∞"
            each = target.get("min_ratio_each")
            if each is not None:
                runs = [p / z for z, p in zip(by[library], by[peer]) if z]
                figure += f", least {min(runs):,.0f}×"
                met = met and min(runs) >= each
        rows.append(([what, family, case, figure,
                      limit_text(target, library, peer),
                      "met" if met else "**not met**", noise], met))
    return rows


def limit_text(target, library, peer):
    if "max_ratio" in target:
        return f"{library} ÷ {peer} ≤ {target['max_ratio']}"
    text = f"{peer} ÷ {library} ≥ {target['min_ratio']:,}"
    if "min_ratio_each" in target:
        text += f", each run ≥ {target['min_ratio_each']:,}"
    return text


def targets(plan, data):
    defaults = {"library": plan.get("library", "zand"),
                "peer": plan.get("peer", "std_unordered_h17")}
    out = ["## Targets", "",
           "Medians of this run; spread: the larger of the two sides' "
           "(max − min) ÷ median over the repetitions. Ratios within the "
           "spread of a limit are at the noise level.", ""]
    counts = defaultdict(int)
    for group in plan["groups"]:
        out += [f"### {group['title']}", "",
                "| target | family | case | figure | limit | met | spread |",
                "|---|---|---|---|---|---|---|"]
        for target in group["targets"]:
            for row, met in target_rows(target, defaults, data):
                counts[met] += 1
                out.append("| " + " | ".join(row) + " |")
        out.append("")
    out.insert(2, f"{counts[True]} met, {counts[False]} not met, "
                  f"{counts[None]} without figures in this run.\n")
    return "\n".join(out)


# ---- The tables.

def containers_of(cases):
    containers = []
    for by_container in cases.values():
        for c in by_container:
            if c not in containers:
                containers.append(c)
    return containers


def table(family, cases, objects=None):
    containers = containers_of(cases)
    lib = library_of(containers)
    if lib is None:
        return ""
    peers = [c for c in containers if c != lib]
    pause = family == "map_pause"
    if family.startswith(SIZE_CURVE_PREFIX):
        unit = ("heap bytes per container" if is_bytes(family) else
                "time per lookup" if family.endswith(("_hit", "_miss")) else
                "time per container")
    else:
        unit = UNITS.get(family, "time per operation")
    lines = [f"### {family} ({unit}, median of the repetitions)", ""]
    if objects:
        lines += ["Object sizes (not in the heap figures): " + ", ".join(
            f"{c} {objects[c]:.0f} B" for c in containers if c in objects)
            + ".", ""]
    head = ["case", lib] + peers
    head += [f"{p} ÷ {lib}" if pause else f"{lib} ÷ {p}" for p in peers]
    if objects:
        head += [f"{c} heap+object" for c in [lib] + peers[:1]]
        head += [f"{lib} ÷ {peers[0]} (heap+object)"] if peers else []
    head += ["spread " + lib, "spread peers (max)"]
    lines.append("| " + " | ".join(head) + " |")
    lines.append("|" + "---|" * len(head))
    for case in sorted(cases, key=case_key):
        by = cases[case]
        if lib not in by:
            continue
        med = {c: median(v) for c, v in by.items()}
        row = [case or "-", fmt(med[lib], family)]
        row += [fmt(med[p], family) if p in med else "" for p in peers]
        for p in peers:
            if p not in med:
                row.append("")
            elif pause:
                row.append(f"{med[p] / med[lib]:,.1f}×")
            else:
                row.append(fmt_ratio(med[lib], med[p]))
        if objects:
            whole = {c: med[c] + objects.get(c, 0) for c in med}
            row += [fmt(whole[c], family) if c in whole else ""
                    for c in [lib] + peers[:1]]
            if peers:
                row.append(fmt_ratio(whole[lib], whole[peers[0]])
                           if peers[0] in whole else "")
        row.append(f"{spread(by[lib]):.0f}%")
        peer_spreads = [spread(by[p]) for p in peers if p in by]
        row.append(f"{max(peer_spreads):.0f}%" if peer_spreads else "")
        lines.append("| " + " | ".join(row) + " |")
    return "\n".join(lines) + "\n"


# The size curve's summary that bench/README.md shows beside its chart,
# between these two lines; the rest of that file is written by hand.
README_BEGIN = "<!-- size curve: written by summarize.py -->"
README_END = "<!-- end of the size curve -->"
CURVE_COLUMNS = [("sizes_map_build", "map: build"),
                 ("sizes_map_build_alive", "map: build, all alive"),
                 ("sizes_map_bytes", "map: heap bytes"),
                 ("sizes_map_hit", "map: hit"),
                 ("sizes_map_miss", "map: miss"),
                 ("sizes_list_build", "list: build"),
                 ("sizes_list_bytes", "list: heap bytes")]


def curve_summary(plan, data, commit, date):
    """A table of the size curve, one row per size: the library's median
    over its target's peer for each workload, marked met or not where a
    target applies."""
    defaults = {"library": plan.get("library", "zand"),
                "peer": plan.get("peer", "std_unordered_h17")}
    verdicts = defaultdict(list)  # (family, case) -> [met, ...]
    peer_of = {}
    for group in plan["groups"]:
        for target in group["targets"]:
            peer_of.setdefault(target["family"],
                               target.get("peer", defaults["peer"]))
            for (row, met), case in zip(
                    target_rows(target, defaults, data), target["cases"]):
                if met is not None:
                    verdicts[(target["family"], case)].append(met)
    columns = [(f, title) for f, title in CURVE_COLUMNS if f in data]
    if not columns:
        return ""
    sizes = sorted({c for f, _ in columns for c in data[f]}, key=case_key)
    head = ["elements"] + [
        f"{title} ÷ {peer_of.get(f, 'std_list' if 'list' in f else defaults['peer'])}"
        for f, title in columns]
    lines = [README_BEGIN, "",
             f"From the run at commit `{(commit or 'unknown')[:12]}` of "
             f"{date}; every figure, the machine and the other targets: "
             f"[RESULTS.md](RESULTS.md). Each cell is the library's median "
             f"over the peer's (below 1: the library is faster or smaller); "
             f"✓ and ✗ mark the targets of [targets.json](targets.json), met "
             f"or not.", "",
             "| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for size in sizes:
        row = [size]
        for family, _ in columns:
            by = data[family].get(size, {})
            lib = defaults["library"]
            peer = peer_of.get(family, "std_list" if "list" in family
                               else defaults["peer"])
            if lib not in by or peer not in by:
                row.append("")
                continue
            cell = fmt_ratio(median(by[lib]), median(by[peer]))
            met = verdicts.get((family, size))
            if met:
                cell += " ✓" if all(met) else " **✗**"
            row.append(cell)
        lines.append("| " + " | ".join(row) + " |")
    lines += ["", README_END]
    return "\n".join(lines)


def write_readme_section(path, section):
    with open(path) as f:
        text = f.read()
    begin, end = text.find(README_BEGIN), text.find(README_END)
    if begin < 0 or end < begin:
        sys.exit(f"summarize.py: {path} lacks the size curve's markers")
    text = text[:begin] + section + text[end + len(README_END):]
    with open(path, "w") as f:
        f.write(text)


def curve_order(family):
    """The map's workloads before the list's, each kind in the order build,
    build_alive, bytes, hit, miss."""
    kinds = ["map", "list"]
    workloads = ["build", "build_alive", "bytes", "hit", "miss"]
    _, kind, workload = (family.split("_", 2) + ["", ""])[:3]
    return (kinds.index(kind) if kind in kinds else len(kinds),
            workloads.index(workload) if workload in workloads
            else len(workloads), family)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="+")
    parser.add_argument("--out")
    parser.add_argument("--commit")
    parser.add_argument("--note")
    parser.add_argument("--settings")
    parser.add_argument("--build-dir", default="build/release")
    parser.add_argument("--targets", default=os.path.join(HERE,
                                                          "targets.json"))
    parser.add_argument("--chart", default="size_curve.svg",
                        help="the chart's path relative to the output")
    parser.add_argument("--readme",
                        help="README.md whose size curve section to rewrite")
    args = parser.parse_args(argv)

    data, objects, contexts = load(args.json)
    with open(args.targets) as f:
        plan = json.load(f)

    parts = [header(args, contexts), targets(plan, data)]
    curve = sorted((f for f in data if f.startswith(SIZE_CURVE_PREFIX)),
                   key=curve_order)
    if curve:
        parts.append("## Size curve\n")
        if args.out and os.path.exists(
                os.path.join(os.path.dirname(args.out), args.chart)):
            parts.append(f"![The library's figures over the peer's against "
                         f"the size]({args.chart})\n")
        for family in curve:
            parts.append(table(family, data[family],
                               objects.get(family) if is_bytes(family)
                               else None))
    hostile = [f for f in data if f.startswith(HOSTILE_PREFIX)]
    if hostile:
        parts.append("## Keys an attacker chooses\n")
        parts += [table(family, data[family]) for family in hostile]
    rest = [f for f in data if not f.startswith((SIZE_CURVE_PREFIX,
                                                 HOSTILE_PREFIX))]
    if rest:
        parts.append("## Other workloads\n")
        parts += [table(family, data[family]) for family in rest]
    text = "\n".join(p for p in parts if p)
    if args.readme:
        dates = [ctx["date"] for _, ctx in contexts if "date" in ctx]
        commit = args.commit or first_line(
            ["git", "-C", HERE, "rev-parse", "HEAD"])
        write_readme_section(args.readme, curve_summary(
            plan, data, commit, min(dates)[:10] if dates else "unknown"))
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main(sys.argv[1:])
