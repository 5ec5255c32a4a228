#!/usr/bin/env python3
"""Draws the size curve from the size program's JSON output: the library's
median divided by the peer's, against the number of elements, for the time
to construct, fill and destroy one container (and, for maps, all of a
measurement's maps kept alive at once), the heap bytes it holds and a
lookup that hits or misses; ZAND_OBJ_MAP against std::unordered_map with
the h x 17 hash, ZAND_OBJ_LIST against std::list. Below the line at 1.0
the library is faster or smaller. A third panel, from the hostile
program's output, sets the library fed keys an attacker chooses against
the library fed random keys, inserting and hitting.

    plot.py [--out size_curve.svg] [--commit HASH] JSON...

Without matplotlib (Debian: python3-matplotlib) it says so and draws
nothing.
"""
import argparse
import os
import sys

# summarize.py beside this file, imported without leaving a __pycache__.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import summarize  # noqa: E402

# Per panel: its title, the x axis's label, and its series, each (family,
# the cases' prefix, library, peer, label, marker, line style, colour; a
# workload has the same colour in the map's panel and the list's).
PANELS = [
    ("ZAND_OBJ_MAP ÷ std::unordered_map (h×17)", "elements per container", [
        ("sizes_map_build", "", "zand", "std_unordered_h17",
         "construct + fill + destroy (time)", "o", "-", "C0"),
        ("sizes_map_build_alive", "", "zand", "std_unordered_h17",
         "the same, all of them alive at once (time)", "D", "-.", "C4"),
        ("sizes_map_bytes", "", "zand", "std_unordered_h17", "heap bytes",
         "s", "-", "C1"),
        ("sizes_map_hit", "", "zand", "std_unordered_h17",
         "lookup that hits (time)", "^", "--", "C2"),
        ("sizes_map_miss", "", "zand", "std_unordered_h17",
         "lookup that misses (time)", "v", "--", "C3"),
    ]),
    ("ZAND_OBJ_LIST ÷ std::list<ZAND_OBJ*>", "elements per container", [
        ("sizes_list_build", "", "zand", "std_list",
         "construct + fill + destroy (time)", "o", "-", "C0"),
        ("sizes_list_bytes", "", "zand", "std_list", "heap bytes", "s", "-", "C1"),
        ("sizes_list_hit", "", "zand", "std_list", "lookup that hits (time)",
         "^", "--", "C2"),
        ("sizes_list_miss", "", "zand", "std_list",
         "lookup that misses (time)", "v", "--", "C3"),
    ]),
    ("ZAND_OBJ_MAP: chosen keys ÷ random keys", "keys in the map", [
        ("map_hostile_insert", "one_hash/", "zand", "zand_random",
         "insert, keys of one hash", "o", "-", "C5"),
        ("map_hostile_hit", "one_hash/", "zand", "zand_random",
         "hit, keys of one hash", "^", "--", "C6"),
        ("map_hostile_insert", "low_bits/", "zand", "zand_random",
         "insert, keys of equal low 20 bits", "s", "-", "C8"),
        ("map_hostile_hit", "low_bits/", "zand", "zand_random",
         "hit, keys of equal low 20 bits", "v", "--", "C9"),
    ]),
]
Y_TICKS = [0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200,
           500, 1000]


def size_label(n):
    if n >= 1000000 and n % 1000000 == 0:
        return f"{n // 1000000}M"
    if n >= 1000 and n % 1000 == 0:
        return f"{n // 1000}k"
    if n >= 1024 and n % 1024 == 0:
        return f"{n // 1024}Ki"
    return str(n)


def series(data, family, prefix, lib, peer):
    """(sizes, ratios) of the cases that start with `prefix`, where both
    medians are positive, and a note for each size where the ratio is
    undefined (a side with no heap at all)."""
    points, notes = [], []
    for case, by in data.get(family, {}).items():
        if not case.startswith(prefix) or lib not in by or peer not in by:
            continue
        size = case[len(prefix):]
        left, right = summarize.median(by[lib]), summarize.median(by[peer])
        if left > 0 and right > 0:
            points.append((int(size), left / right))
        elif left != right:
            notes.append(f"{family} at {case}: {lib} "
                         f"{summarize.fmt(left, family)}, {peer} "
                         f"{summarize.fmt(right, family)}")
    points.sort()
    return [p[0] for p in points], [p[1] for p in points], notes


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("json", nargs="+")
    parser.add_argument("--out", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "size_curve.svg"))
    parser.add_argument("--commit", default="")
    args = parser.parse_args(argv)
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("plot.py: matplotlib is missing (Debian: python3-matplotlib); "
              "no chart drawn")
        return 0

    data, _, contexts = summarize.load(args.json)
    # The same run gives the same file: no date, fixed element ids.
    matplotlib.rcParams["svg.hashsalt"] = "zand_stl size curve"
    fig, axes = plt.subplots(1, len(PANELS), figsize=(17, 5.6), sharey=True)
    all_ratios, sizes_of = [], []
    for ax, (title, x_label, lines) in zip(axes, PANELS):
        notes, sizes = [], set()
        for family, prefix, lib, peer, label, marker, style, colour in lines:
            xs, ys, skipped = series(data, family, prefix, lib, peer)
            notes += skipped
            if xs:
                ax.plot(xs, ys, marker=marker, linestyle=style, color=colour,
                        label=label)
                all_ratios += ys
                sizes.update(xs)
        sizes_of.append(sizes)
        ax.axhline(1.0, color="black", linewidth=0.8)
        ax.set_title(title, fontsize=11)
        ax.set_xscale("symlog", linthresh=1, linscale=0.4)
        ax.set_xlabel(x_label)
        ax.grid(True, which="major", linewidth=0.3)
        if notes:
            ax.text(0.01, 0.01, "not drawn: " + "; ".join(notes),
                    transform=ax.transAxes, fontsize=7, va="bottom",
                    wrap=True)
    if not all_ratios:
        print("plot.py: no size-curve figures in the input; no chart drawn")
        return 0
    low = min(min(all_ratios), 0.5) / 1.3
    high = max(max(all_ratios), 2) * 1.3
    for ax, sizes in zip(axes, sizes_of):
        if sizes:
            ticks = sorted(sizes)
            ax.set_xlim(min(ticks) / 1.6 if min(ticks) > 1 else -0.5,
                        max(ticks) * 1.6)
            ax.set_xticks(ticks)
            ax.set_xticklabels([size_label(n) for n in ticks], fontsize=8,
                               rotation=45 if len(ticks) > 8 else 0)
        ax.minorticks_off()
        ax.set_yscale("log")
        ax.set_ylim(low, high)
        ticks = [t for t in Y_TICKS if low <= t <= high]
        ax.set_yticks(ticks)
        ax.set_yticklabels([f"{t:g}" for t in ticks])
        ax.minorticks_off()
        if ax.get_legend_handles_labels()[0]:
            ax.legend(fontsize=8, loc="best")
    axes[0].set_ylabel("library ÷ peer (median of the repetitions)")
    date = contexts[0][1].get("date", "") if contexts else ""
    fig.suptitle("Size curve and chosen keys: below 1, the library is faster "
                 "or smaller"
                 + (f" (commit {args.commit[:12]}, {date})"
                    if args.commit else ""), fontsize=11)
    fig.tight_layout()
    svg = args.out.endswith(".svg")
    fig.savefig(args.out, metadata={"Date": None} if svg else None)
    print(f"plot.py: wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
