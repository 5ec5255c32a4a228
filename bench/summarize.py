#!/usr/bin/env python3
"""Turns the JSON output of the benchmark programs into the tables of
README.md: per workload and size, the median ns/op of the library and of
each peer over the repetitions, the library's time divided by each peer's,
and the spread of the repetitions ((max - min) / median).

    summarize.py map.json list.json strings.json lines.json > tables.md
"""
import json
import statistics
import sys
from collections import defaultdict

LIBRARY = ("zand", "zand_read_string")


def metric(run):
    """ns per operation, or the longest pause for map_pause."""
    if "max_pause_ns" in run:
        return run["max_pause_ns"]
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


def fmt(ns):
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
    unit = "longest single insertion" if pause else "ns per operation"
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
        row = [case or "-", fmt(med[lib])]
        row += [fmt(med[p]) if p in med else "" for p in peers]
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


def main(paths):
    data = load(paths)
    print("\n".join(table(family, data[family]) for family in data))


if __name__ == "__main__":
    main(sys.argv[1:])
