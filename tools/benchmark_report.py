#!/usr/bin/python3
"""Turns the benchmark program's measurements into a Markdown table and a
chart (Debian's python3-matplotlib).

    benchmark_report.py RESULTS OUT.md OUT.png "WHERE AND WHEN"

RESULTS holds lines "SECTION SIZE CONTENDER REPETITION SECONDS". Every
ratio compares two contenders measured in the same repetitions of one
process run: it is the median of the per-repetition ratios.
"""
import statistics
import sys
from collections import defaultdict


def read(path):
    times = defaultdict(dict)  # (section, size, contender) -> {repetition: seconds}
    notes = {}
    for line in open(path):
        if line.startswith("#"):
            key, _, value = line[1:].strip().partition(" ")
            notes[key] = value
            continue
        section, size, contender, repetition, seconds = line.split()
        times[(section, int(size), contender)][int(repetition)] = float(seconds)
    return times, notes


def sizes(times, section):
    return sorted({size for s, size, _ in times if s == section})


def stats(times, key):
    values = list(times[key].values())
    return min(values), statistics.median(values)


def ratio(times, top, bottom):
    return statistics.median(times[top][r] / times[bottom][r] for r in times[top] if r in times[bottom])


def seconds(value):
    return "%.0f ms" % (value * 1000) if value < 1 else "%.2f s" % value


def table(times, notes, where):
    rows = ["Measured %s, under Wine's registry, each comparison interleaved in one process, %d repetitions "
            "(minimum / median)." % (where, max(len(v) for v in times.values())), ""]

    for size in sizes(times, "tree"):
        rows += ["**A planned tree of %s keys** (100 subkeys of 99 subkeys, 1 or 2 values each):" % f"{size:,}", "",
                 "| deleted by | time | ratio to `RegDeleteTreeA` |", "|---|---:|---:|"]
        for contender, label in [("DeleteKeyTree", "`DeleteKeyTree`"),
                                 ("DeleteKeyTree-by-name", "`DeleteKeyTree` as before links (by name)"),
                                 ("RegDeleteTreeA", "`RegDeleteTreeA`")]:
            key = ("tree", size, contender)
            if key in times:
                low, mid = stats(times, key)
                rows.append("| %s | %s / %s | %.2f |" % (label, seconds(low), seconds(mid),
                                                          ratio(times, key, ("tree", size, "RegDeleteTreeA"))))
        if ("tree", size, "DeleteKeyTree-by-name") in times:
            rows += ["", "`DeleteKeyTree` now against before: %.2f times the time." % ratio(
                times, ("tree", size, "DeleteKeyTree"), ("tree", size, "DeleteKeyTree-by-name"))]
        rows.append("")

    cleanup = sizes(times, "cleanup")
    if cleanup:
        rows += ["**`RunCleanup` with N more direct subkeys in each class store** (%s in the per-user store and %s "
                 "in the per-machine one before; one in ten an extension key with 1 to 3 `REG_SZ` values, one "
                 "extension in fifty naming a planned class):"
                 % (notes.get("user-store-subkeys-before", "?"), notes.get("machine-store-subkeys-before", "?")), "",
                 "| N | `RunCleanup` | one walk of each store | ratio | per added subkey |",
                 "|---:|---:|---:|---:|---:|"]
        base = stats(times, ("cleanup", cleanup[0], "RunCleanup"))[1]
        for size in cleanup:
            run, walk = ("cleanup", size, "RunCleanup"), ("cleanup", size, "scrub-walk")
            per = "%.0f µs" % ((stats(times, run)[1] - base) / (2 * size) * 1e6) if size else "(the baseline)"
            rows.append("| %s | %s / %s | %s / %s | %.1f | %s |" % (
                f"{size:,}", *map(seconds, stats(times, run)), *map(seconds, stats(times, walk)),
                ratio(times, run, walk), per))
        rows += ["", "The ratio counts walks of both stores per run: the design walks each store nine times, once "
                 "per class, and the rest of a run costs next to nothing beside them.", ""]

    wide = sizes(times, "wide")
    if wide:
        rows += ["**One planned key with N direct subkeys:**", "",
                 "| N | `DeleteKeyTree` | `RegDeleteTreeA` | ratio |", "|---:|---:|---:|---:|"]
        for size in wide:
            mine, theirs = ("wide", size, "DeleteKeyTree"), ("wide", size, "RegDeleteTreeA")
            rows.append("| %s | %s / %s | %s / %s | %.2f |" % (
                f"{size - 1:,}", *map(seconds, stats(times, mine)), *map(seconds, stats(times, theirs)),
                ratio(times, mine, theirs)))
        rows.append("")
    return "\n".join(rows)


def chart(times, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(1, 3, figsize=(12, 3.6))

    tree = sizes(times, "tree")[0]
    names = [c for c in ("DeleteKeyTree", "DeleteKeyTree-by-name", "RegDeleteTreeA") if ("tree", tree, c) in times]
    medians = [stats(times, ("tree", tree, c))[1] for c in names]
    axes[0].bar(range(len(names)), medians, color=["#3b6ea8", "#9bb7d9", "#c0504d"][:len(names)])
    axes[0].set_xticks(range(len(names)), [n.replace("-by-name", "\n(before)") for n in names], fontsize=8)
    axes[0].set_ylabel("seconds (median)")
    axes[0].set_title("Tree of %s keys" % f"{tree:,}", fontsize=10)

    cleanup = sizes(times, "cleanup")
    axes[1].plot(cleanup, [stats(times, ("cleanup", n, "RunCleanup"))[1] for n in cleanup], "o-", label="RunCleanup")
    axes[1].plot(cleanup, [9 * stats(times, ("cleanup", n, "scrub-walk"))[1] for n in cleanup], "s--",
                 label="9 walks of both stores")
    axes[1].set_xlabel("added direct subkeys in each class store")
    axes[1].set_ylabel("seconds (median)")
    axes[1].set_title("Whole cleanup", fontsize=10)
    axes[1].legend(fontsize=8)

    wide = sizes(times, "wide")
    for contender, style in [("DeleteKeyTree", "o-"), ("RegDeleteTreeA", "s--")]:
        axes[2].plot([n - 1 for n in wide], [stats(times, ("wide", n, contender))[1] for n in wide], style,
                     label=contender)
    axes[2].set_xlabel("direct subkeys of one planned key")
    axes[2].set_ylabel("seconds (median)")
    axes[2].set_title("One wide key", fontsize=10)
    axes[2].legend(fontsize=8)

    figure.tight_layout()
    figure.savefig(path, dpi=90)


def main():
    results, markdown, png, where = sys.argv[1:5]
    times, notes = read(results)
    with open(markdown, "w") as f:
        f.write(table(times, notes, where) + "\n")
    chart(times, png)
    print(open(markdown).read())


if __name__ == "__main__":
    main()
