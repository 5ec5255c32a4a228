#!/usr/bin/env python3
"""Draws the size curve from the size program's JSON output: the library's
median divided by the peer's, against the number of elements, for the time
to construct, fill and destroy one container, the heap bytes it holds and
a lookup that hits or misses; ZAND_OBJ_MAP against std::unordered_map with
the h x 17 hash, ZAND_OBJ_LIST against std::list. Below the line at 1.0
the library is faster or smaller.

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

PANELS = [
    ("map", "std_unordered_h17", "ZAND_OBJ_MAP ÷ std::unordered_map (h×17)"),
    ("list", "std_list", "ZAND_OBJ_LIST ÷ std::list<ZAND_OBJ*>"),
]
SERIES = [
    ("build", "construct + fill + destroy (time)", "o", "-"),
    ("bytes", "heap bytes", "s", "-"),
    ("hit", "lookup that hits (time)", "^", "--"),
    ("miss", "lookup that misses (time)", "v", "--"),
]
Y_TICKS = [0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200,
           500, 1000]


def size_label(n):
    if n >= 1000000 and n % 1000000 == 0:
        return f"{n // 1000000}M"
    if n >= 1024 and n % 1024 == 0:
        return f"{n // 1024}Ki"
    return str(n)


def series(data, kind, peer, workload):
    """(sizes, ratios) where both medians are positive, and a note for each
    size where the ratio is undefined (a side with no heap at all)."""
    points, notes = [], []
    family = f"sizes_{kind}_{workload}"
    for case, by in data.get(family, {}).items():
        if "zand" not in by or peer not in by:
            continue
        lib, ref = summarize.median(by["zand"]), summarize.median(by[peer])
        if lib > 0 and ref > 0:
            points.append((int(case), lib / ref))
        elif lib != ref:
            notes.append(f"{workload} at {case}: zand "
                         f"{summarize.fmt(lib, family)}, {peer} "
                         f"{summarize.fmt(ref, family)}")
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
    fig, axes = plt.subplots(1, len(PANELS), figsize=(12, 5.2), sharey=True)
    all_ratios, all_sizes = [], set()
    for ax, (kind, peer, title) in zip(axes, PANELS):
        notes = []
        for workload, label, marker, style in SERIES:
            xs, ys, skipped = series(data, kind, peer, workload)
            notes += skipped
            if xs:
                ax.plot(xs, ys, marker=marker, linestyle=style, label=label)
                all_ratios += ys
                all_sizes.update(xs)
        ax.axhline(1.0, color="black", linewidth=0.8)
        ax.set_title(title, fontsize=11)
        ax.set_xscale("symlog", linthresh=1, linscale=0.4)
        ax.set_xlabel("elements per container")
        ax.grid(True, which="major", linewidth=0.3)
        if notes:
            ax.text(0.01, 0.01, "not drawn: " + "; ".join(notes),
                    transform=ax.transAxes, fontsize=7, va="bottom",
                    wrap=True)
    if not all_ratios:
        print("plot.py: no size-curve figures in the input; no chart drawn")
        return 0
    sizes = sorted(all_sizes | {0})
    low = min(min(all_ratios), 0.5) / 1.3
    high = max(max(all_ratios), 2) * 1.3
    for ax in axes:
        ax.set_xlim(-0.5, max(sizes) * 1.6)
        ax.set_xticks(sizes)
        ax.set_xticklabels([size_label(n) for n in sizes], fontsize=8)
        ax.minorticks_off()
        ax.set_yscale("log")
        ax.set_ylim(low, high)
        ticks = [t for t in Y_TICKS if low <= t <= high]
        ax.set_yticks(ticks)
        ax.set_yticklabels([f"{t:g}" for t in ticks])
        ax.minorticks_off()
    axes[0].set_ylabel("library ÷ peer (median of the repetitions)")
    axes[0].legend(fontsize=8, loc="upper right")
    date = contexts[0][1].get("date", "") if contexts else ""
    fig.suptitle("Size curve: below 1, the library is faster or smaller"
                 + (f" (commit {args.commit[:12]}, {date})"
                    if args.commit else ""), fontsize=11)
    fig.tight_layout()
    svg = args.out.endswith(".svg")
    fig.savefig(args.out, metadata={"Date": None} if svg else None)
    print(f"plot.py: wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
