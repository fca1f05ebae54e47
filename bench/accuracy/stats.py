#!/usr/bin/env python3
"""Cases and statistics of bench/accuracy/run.sh.

stats.py cases [--quick]   the sweep, one case a line: id box angle offset sigma1(mm) mixed support
stats.py report RESULTS    the figures of a results.tsv written by run.sh
"""
import itertools
import math
import re
import sys
from collections import Counter

BOXES = ["0.3x0.3x0.3", "0.4x0.4x1", "0.6x0.4x0.5", "0.8x0.6x0.6", "1x0.7x0.5", "1.2x0.8x0.4"]
QUICK_BOXES = ["0.3x0.3x0.3", "0.6x0.4x0.5", "1.2x0.8x0.4"]
ANGLES = ["0", "15", "30", "45"]
QUICK_ANGLES = ["0", "30"]
OFFSETS = ["0", "0.3"]
SIGMAS = ["0.25", "0.5", "1"]
MIXED = ["on", "off"]
SUPPORTS = ["pallet", "floor"]
# A stored size this far off counts as a wrong number, not as inaccuracy.
WRONG_MM = 50.0
DIMENSIONS = ("L", "W", "H")


def cases(quick):
    boxes, angles = (QUICK_BOXES, QUICK_ANGLES) if quick else (BOXES, ANGLES)
    sweep = itertools.product(boxes, angles, OFFSETS, SIGMAS, MIXED, SUPPORTS)
    for number, case in enumerate(sweep, start=1):
        print(number, *case)


def truth(box):
    """True L (longer side), W (shorter side) and H of a box LxWxH, in mm."""
    l, w, h = (1000.0 * float(v) for v in box.split("x"))
    return {"L": max(l, w), "W": min(l, w), "H": h}


def percentile(values, share):
    """Nearest-rank percentile of values (sorted here)."""
    ordered = sorted(values)
    rank = max(1, math.ceil(share * len(ordered)))
    return ordered[rank - 1]


def read(path):
    comments, runs = [], []
    with open(path) as f:
        header = None
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#"):
                comments.append(line)
                continue
            fields = line.split("\t")
            if header is None:
                header = fields
                continue
            run = dict(zip(header, fields))
            run["status"] = int(run["status"])
            true = truth(run["box"])
            run["error"] = {}
            if run["status"] == 0 and all(run[d] != "NULL" for d in DIMENSIONS):
                run["error"] = {d: 1000.0 * float(run[d]) - true[d] for d in DIMENSIONS}
            runs.append(run)
    return comments, runs


def table(title, runs):
    stored = [r for r in runs if r["error"]]
    refused = [r for r in runs if r["status"] == 1]
    wrongs = [r for r in stored if wrong(r)]
    n = len(runs)
    print(f"  {title}: {n} runs, refused {len(refused)} ({100.0 * len(refused) / n:.1f} %), "
          f"stored an error beyond {WRONG_MM:.0f} mm {len(wrongs)} ({100.0 * len(wrongs) / n:.1f} %)"
          + (f", other failures {n - len(stored) - len(refused)}" if n - len(stored) - len(refused) else ""))
    if not stored:
        return
    print(f"    {'':3} {'mean':>7} {'mean|e|':>8} {'max|e|':>7} {'p95|e|':>7} {'<=5mm':>6} {'<=10mm':>7}")
    for d in DIMENSIONS:
        e = [r["error"][d] for r in stored]
        a = [abs(v) for v in e]
        within5 = 100.0 * sum(v <= 5.0 for v in a) / len(a)
        within10 = 100.0 * sum(v <= 10.0 for v in a) / len(a)
        print(f"    {d:3} {sum(e) / len(e):7.1f} {sum(a) / len(a):8.1f} {max(a):7.1f} {percentile(a, 0.95):7.1f} "
              f"{within5:5.0f}% {within10:6.0f}%")


def wrong(run):
    return bool(run["error"]) and max(abs(e) for e in run["error"].values()) > WRONG_MM


def by_factor(runs):
    """Refusals, wrong results and the median error per dimension for each value of each swept factor."""
    print(f"    {'factor':8} {'value':12} {'runs':>4} {'refused':>7} {'>50mm':>5} {'L':>7} {'W':>7} {'H':>7}"
          "   (median error of the stored, mm)")
    for factor in ("box", "angle", "offset", "sigma1", "mixed", "support"):
        values = sorted({r[factor] for r in runs}, key=lambda v: (float(v.split("x")[0]) if v[0].isdigit() else v))
        for value in values:
            mine = [r for r in runs if r[factor] == value]
            stored = [r for r in mine if r["error"]]
            refused = sum(r["status"] == 1 for r in mine)
            medians = [percentile([r["error"][d] for r in stored], 0.5) if stored else float("nan")
                       for d in DIMENSIONS]
            print(f"    {factor:8} {value:12} {len(mine):4} {refused:7} {sum(wrong(r) for r in mine):5} "
                  + " ".join(f"{m:7.1f}" for m in medians))


def division(runs):
    """Per support and noise: the share of the stored runs with L, W and H all
    within 5 and within 10 mm, and the largest error of any of them."""
    print(f"    {'support':8} {'sigma1':6} {'stored':>6} {'all <=5mm':>9} {'all <=10mm':>10} {'largest':>8}")
    for support in SUPPORTS:
        for sigma in SIGMAS:
            stored = [r for r in runs if r["support"] == support and r["sigma1"] == sigma and r["error"]]
            if not stored:
                continue
            worst = [max(abs(e) for e in r["error"].values()) for r in stored]
            print(f"    {support:8} {sigma:6} {len(stored):6} {100.0 * sum(w <= 5.0 for w in worst) / len(worst):8.0f}% "
                  f"{100.0 * sum(w <= 10.0 for w in worst) / len(worst):9.0f}% {max(worst):8.1f}")


def report(path):
    comments, runs = read(path)
    for c in comments:
        print(c)
    print("errors in mm, measured minus true; shares of the runs that stored a result")
    for pass_name in ("raw", "corrected"):
        mine = [r for r in runs if r["pass"] == pass_name]
        if not mine:
            continue
        print(f"\n{pass_name}:")
        table("all", mine)
        for support in SUPPORTS:
            for mixed in MIXED:
                group = [r for r in mine if r["support"] == support and r["mixed"] == mixed]
                if group:
                    table(f"{support}, mixed pixels {mixed}", group)
        # Messages differ by their session and counts; the kind is what matters.
        reasons = Counter(re.sub(r"acc\d+", "acc<id>", re.sub(r"\d+(\.\d+)?", "<n>", r["reason"]))
                          for r in mine if r["status"] != 0)
        for reason, count in reasons.most_common():
            print(f"    refused {count}: {reason}")
        by_factor(mine)
        division(mine)


def main(argv):
    if len(argv) >= 2 and argv[1] == "cases":
        cases("--quick" in argv[2:])
    elif len(argv) == 3 and argv[1] == "report":
        report(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
