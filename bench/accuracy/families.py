#!/usr/bin/env python3
"""Cases and figures of bench/accuracy/families.sh.

families.py cameras                  the cameras, one a line: camera station sigma1(mm)
families.py cases CAMERA [--quick]   that camera's cases, one a line:
                                     id family box angle offset support mode param
families.py report RESULTS           the figures of a results.tsv written by families.sh
"""
import itertools
import math
import os
import re
import sys
from collections import Counter, defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from stats import read  # noqa: E402  the results files share their columns

# Two stations: the camera of the accuracy bench, 2.5 m over the floor, and a
# wider, closer one with a finer floor removal over a pallet on feet.
STATIONS = {
    "A": {"height": 2.5, "fov": (70.0, 55.0), "options": ""},
    "B": {"height": 1.8, "fov": (86.0, 57.0),
          "options": "--height 1.8 --resolution 848x480 --fov 86x57 --floor-tolerance 0.01"},
}
# Range noise at 1 m (mm); the last of each station needs a larger correction height.
CAMERAS = [("A", "0.25"), ("A", "0.5"), ("A", "1"), ("B", "0.5"), ("B", "1.5")]
BOXES = ["0.3x0.3x0.3", "0.6x0.4x0.5", "1.2x0.8x0.4"]
FULL_BOXES = BOXES + ["0.4x0.4x1", "0.8x0.6x0.6", "1x0.7x0.5"]
ANGLES = ["0", "30"]
OFFSETS = ["0", "0.3"]
MOVES_MM = ["-40", "-20", "-10", "10", "20", "40"]
OUTSIDE_PERCENT = ["10", "25", "40"]
FAMILIES = ("level", "nocut", "moved", "view")
WRONG_MM = 50.0
LOOSE_MM = 10.0


def cameras():
    for number, (station, sigma) in enumerate(CAMERAS, start=1):
        print(number, station, sigma)


def view_centre(station, box, outside, across):
    """Centre of a box turned 0 degrees on the floor with outside per cent of its
    top face beyond the image's right edge (across) or its top edge."""
    s = STATIONS[station]
    length, width, height = (float(v) for v in box.split("x"))
    depth = s["height"] - height
    half_x = depth * math.tan(math.radians(s["fov"][0] / 2))
    half_y = depth * math.tan(math.radians(s["fov"][1] / 2))
    share = float(outside) / 100.0
    # The box's far edge stands share of its length beyond the view's edge.
    if across:
        return f"{half_x - length / 2 + share * length:.4f},0"
    return f"0,{-(half_y - width / 2 + share * width):.4f}"


def cases(camera, quick):
    station, _ = CAMERAS[camera - 1]
    boxes = BOXES if quick else FULL_BOXES
    number = camera * 1000
    rows = []
    for box, angle, offset in itertools.product(boxes, ANGLES, OFFSETS):
        rows.append(("level", box, angle, f"{offset},0", "pallet", "-d", "-"))
        rows.append(("level", box, angle, f"{offset},0", "floor", "-e2", "-"))
        rows.append(("nocut", box, angle, f"{offset},0", "floor", "-e0", "-"))
    for box, move in itertools.product(boxes, MOVES_MM):
        rows.append(("moved", box, "30", "0,0", "pallet", "-d", move))
        rows.append(("moved", box, "30", "0,0", "floor", "-e2", move))
    for box, outside, across in itertools.product(boxes, OUTSIDE_PERCENT, (True, False)):
        rows.append(("view", box, "0", view_centre(station, box, outside, across), "floor", "-e2",
                     outside + ("x" if across else "y")))
    for row in rows:
        number += 1
        print(number, *row)


def worst(run):
    return max(abs(e) for e in run["error"].values()) if run["error"] else 0.0


def kind(reason):
    """A refusal's kind: its message without the numbers and the session."""
    text = re.sub(r"session \S+", "session <sid>", reason)
    text = re.sub(r"-?\d+(\.\d+)?", "<n>", text)
    return text[:110]


def summary(title, runs):
    stored = [r for r in runs if r["error"]]
    refused = [r for r in runs if r["status"] != 0]
    wrong = sum(worst(r) > WRONG_MM for r in stored)
    loose = sum(worst(r) > LOOSE_MM for r in stored)
    print(f"  {title}: {len(runs)} runs, exit 0 beyond {WRONG_MM:.0f} mm {wrong}, beyond {LOOSE_MM:.0f} mm "
          f"{loose}, refused {len(refused)} ({100.0 * len(refused) / max(1, len(runs)):.0f} %)")
    return refused


def report(path):
    comments, runs = read(path)
    for c in comments:
        print(c)
    print("errors: stored minus true box, mm; a run counts by its largest |error| of L, W, H")
    for family in FAMILIES:
        mine = [r for r in runs if r["family"] == family]
        if not mine:
            continue
        print(f"\n{family}:")
        refused = summary("all", mine)
        groups = defaultdict(list)
        for r in mine:
            groups[(r["station"], r["sigma1"], r["support"])].append(r)
        for (station, sigma, support), group in sorted(groups.items()):
            summary(f"station {station}, sigma1 {sigma} mm, {support}", group)
        if family in ("moved", "view"):
            params = defaultdict(list)
            for r in mine:
                params[r["param"]].append(r)
            for param, group in sorted(params.items(), key=lambda kv: float(kv[0].rstrip("xy"))):
                summary(f"{'move' if family == 'moved' else 'outside'} {param}", group)
        for reason, count in Counter(kind(r["reason"]) for r in refused).most_common():
            print(f"    refused {count}: {reason}")
        for r in mine:
            if r["error"] and worst(r) > LOOSE_MM and family != "level" and family != "nocut":
                print(f"    stored {r['id']} {r['box']} {r['support']} {r['param']}: "
                      + " ".join(f"{d} {e:+.0f}" for d, e in r["error"].items()))


def main(argv):
    if len(argv) == 2 and argv[1] == "cameras":
        cameras()
    elif len(argv) >= 3 and argv[1] == "cases":
        cases(int(argv[2]), "--quick" in argv[3:])
    elif len(argv) == 3 and argv[1] == "report":
        report(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
