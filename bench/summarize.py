#!/usr/bin/env python3
"""Turns the JSON output of the benchmark programs into the tables of
README.md: per workload and size, the median ns/op of the library and of
each peer over the repetitions, the library's time divided by each peer's,
and the spread of the repetitions ((max - min) / median). With the map's
output among them, it first prints the map's targets against
std::unordered_map with the same hash, each with its figure and whether it
is met.

    summarize.py map.json list.json strings.json lines.json > tables.md
"""
import json
import statistics
import sys
from collections import defaultdict

LIBRARY = ("zand", "zand_read_string")


PEER = "std_unordered_h17"

# (family, cases, limit on the library's median over the peer's), and for
# the pause the least ratio of the peer's pause over the library's.
SIZES = ["short/1000", "short/100000", "long64/1000", "long64/100000"]
TARGETS = [
    ("map_insert", SIZES, 1.0),
    ("map_hit", SIZES, 1.0),
    ("map_miss", SIZES, 1.0),
    ("map_miss", ["short/100000", "long64/100000"], 0.8),
    ("map_walk", ["short/1000", "long64/1000"], 1.2),
    ("map_walk", ["short/100000", "long64/100000"], 1.0),
    ("map_copy", SIZES, 1.0),
    ("map_memory", ["short/100000"], 1.25),
]
PAUSE_CASE = "short/1000000"
PAUSE_MEDIAN, PAUSE_LEAST = 10000, 3000


def metric(run):
    """ns per operation, the longest pause for map_pause, or bytes per
    entry for map_memory."""
    for counter in ("max_pause_ns", "bytes_per_entry"):
        if counter in run:
            return run[counter]
    return run["ns_per_op"] * 1e9


def load(paths):
    # family -> case -> container -> [values of the repetitions]
    data = defaultdict(lambda: defaultdict(lambda: defaultdict(list)))
    for path in paths:
        with open(path) as f:
            for run in json.load(f)["benchmarks"]:
                if run.get("run_type") != "iteration" or "error_occurred" in run:
                    continue
                parts = [p for p in run["run_name"].split("/")
                         if p != "manual_time" and not p.startswith("iterations:")]
                family, container, case = parts[0], parts[1], "/".join(parts[2:])
                data[family][case][container].append(metric(run))
    return data


def fmt(ns, family=""):
    if family == "map_memory":
        return f"{ns:.1f} B"
    if ns >= 1e6:
        return f"{ns / 1e6:.3g} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.3g} µs"
    return f"{ns:.3g} ns"


def spread(values):
    med = statistics.median(values)
    return (max(values) - min(values)) / med * 100 if med else 0.0


def case_key(case):
    return [int(p) if p.isdigit() else p for p in case.split("/")]


def table(family, cases):
    containers = []
    for by_container in cases.values():
        for c in by_container:
            if c not in containers:
                containers.append(c)
    lib = next(c for c in containers if c in LIBRARY)
    peers = [c for c in containers if c != lib]
    pause = family == "map_pause"
    unit = {"map_pause": "longest single insertion",
            "map_memory": "allocator bytes per entry"}.get(family,
                                                           "ns per operation")
    lines = [f"### {family} ({unit}, median of the repetitions)", ""]
    head = ["case", lib] + peers
    head += [f"{p} ÷ {lib}" if pause else f"{lib} ÷ {p}" for p in peers]
    head += ["spread " + lib, "spread peers (max)"]
    lines.append("| " + " | ".join(head) + " |")
    lines.append("|" + "---|" * len(head))
    for case in sorted(cases, key=case_key):
        by = cases[case]
        if lib not in by:
            continue
        med = {c: statistics.median(v) for c, v in by.items()}
        row = [case or "-", fmt(med[lib], family)]
        row += [fmt(med[p], family) if p in med else "" for p in peers]
        for p in peers:
            if p not in med:
                row.append("")
            elif pause:
                row.append(f"{med[p] / med[lib]:.1f}×")
            else:
                row.append(f"{med[lib] / med[p]:.2f}")
        row.append(f"{spread(by[lib]):.0f}%")
        peer_spreads = [spread(by[p]) for p in peers if p in by]
        row.append(f"{max(peer_spreads):.0f}%" if peer_spreads else "")
        lines.append("| " + " | ".join(row) + " |")
    return "\n".join(lines) + "\n"


def targets(data):
    """The map's targets against PEER: figure, limit and whether met."""
    lines = [f"### Targets against {PEER} (medians of this run)", "",
             "| workload | case | zand ÷ peer | target | met |",
             "|---|---|---|---|---|"]
    for family, cases, limit in TARGETS:
        for case in cases:
            by = data.get(family, {}).get(case, {})
            if "zand" not in by or PEER not in by:
                continue
            ratio = statistics.median(by["zand"]) / statistics.median(by[PEER])
            met = "met" if ratio <= limit else "not met"
            lines.append(f"| {family} | {case} | {ratio:.2f} | ≤ {limit} | {met} |")
    by = data.get("map_pause", {}).get(PAUSE_CASE, {})
    if "zand" in by and PEER in by:
        # The repetitions ran in turn, so the i-th of each is one run.
        runs = [p / z for z, p in zip(by["zand"], by[PEER])]
        median, least = statistics.median(runs), min(runs)
        met = median >= PAUSE_MEDIAN and least >= PAUSE_LEAST
        lines.append(f"| map_pause (peer ÷ zand) | {PAUSE_CASE} | median "
                     f"{median:,.0f}×, least {least:,.0f}× | ≥ {PAUSE_MEDIAN:,}×, "
                     f"each ≥ {PAUSE_LEAST:,}× | {'met' if met else 'not met'} |")
    return "\n".join(lines) + "\n" if len(lines) > 4 else ""


def main(paths):
    data = load(paths)
    tables = [targets(data)] + [table(family, data[family]) for family in data]
    print("\n".join(t for t in tables if t))


if __name__ == "__main__":
    main(sys.argv[1:])
