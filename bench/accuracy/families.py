#!/usr/bin/env python3
"""Cases and figures of bench/accuracy/families.sh.

families.py cameras                  the cameras, one a line: camera station sigma1(mm)
families.py cases CAMERA [--quick] [--family NAME]
                                     that camera's cases (of that family only), one a line:
                                     id family box angle offset support mode param
                                     (goods: param is the shape, flat, flat-kept (the scan
                                     keeps its floor), dome, lying-cylinder, bag, wedge or
                                     standing-cylinder)
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
# The last two complete station B's goods at 0.25 and 1 mm and run them alone.
CAMERAS = [("A", "0.25"), ("A", "0.5"), ("A", "1"), ("B", "0.5"), ("B", "1.5"), ("B", "0.25"), ("B", "1")]
GOODS_ONLY = 6
BOXES = ["0.3x0.3x0.3", "0.6x0.4x0.5", "1.2x0.8x0.4"]
FULL_BOXES = BOXES + ["0.4x0.4x1", "0.8x0.6x0.6", "1x0.7x0.5"]
ANGLES = ["0", "30"]
OFFSETS = ["0", "0.3"]
MOVES_MM = ["-40", "-20", "-10", "10", "20", "40"]
OUTSIDE_PERCENT = ["10", "25", "40"]
FAMILIES = ("level", "nocut", "moved", "view", "goods")
WRONG_MM = 50.0
LOOSE_MM = 10.0
# Goods that are no tall box: flat boxes (mailers, trays) of these heights on
# these footprints, and one of each rounded or sloped shape, by its enclosing box.
FLAT_HEIGHTS_MM = ["10", "15", "25", "40", "60"]
FLAT_FOOTPRINTS = ["0.35x0.25", "0.2x0.15"]
SHAPED = [("dome", "0.6x0.45x0.3", "pallet"), ("dome", "0.3x0.2x0.15", "floor"),
          ("lying-cylinder", "0.5x0.12x0.12", "floor"), ("lying-cylinder", "0.8x0.2x0.2", "pallet"),
          ("bag", "0.4x0.3x0.15", "floor"), ("bag", "0.5x0.35x0.2", "pallet"),
          ("wedge", "0.4x0.25x0.1", "floor"), ("wedge", "0.4x0.25x0.1", "pallet"),
          ("wedge", "0.172x0.043x0.023", "floor"),
          ("standing-cylinder", "0.3x0.3x0.4", "pallet"), ("standing-cylinder", "0.1x0.1x0.2", "floor")]
# The floor kept in the scan (no removal by the scanner): flat goods at this noise.
KEPT_FLOOR_SIGMA = "0.25"
SHAPES = ("flat", "flat-kept", "dome", "lying-cylinder", "bag", "wedge", "standing-cylinder")
UNDER_MM = 5.0
OVER_MM = 15.0


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


def goods_cases(sigma, quick):
    """Flat boxes on the floor and on the pallet, the shaped goods, and with the floor kept the flat boxes
    on the floor; turned 30 degrees (and 0, off centre, in the full sweep; the shaped goods off centre in
    the quick one too)."""
    places = [("30", "0,0")] if quick else [("30", "0,0"), ("0", "0.3,0")]
    rows = []
    for (angle, centre), footprint, height in itertools.product(places, FLAT_FOOTPRINTS, FLAT_HEIGHTS_MM):
        box = f"{footprint}x{float(height) / 1000:g}"
        rows.append(("goods", box, angle, centre, "pallet", "-d", "flat"))
        rows.append(("goods", box, angle, centre, "floor", "-e2", "flat"))
        if sigma == KEPT_FLOOR_SIGMA:
            rows.append(("goods", box, angle, centre, "floor", "-e2", "flat-kept"))
    for (angle, centre), (shape, box, support) in itertools.product(places, SHAPED):
        rows.append(("goods", box, angle, centre, support, "-d" if support == "pallet" else "-e2", shape))
    # The shaped goods off the axis too: there the rays run steeply down a far
    # flank and straight down a near one, which turned goods under the camera
    # never show. Last, so that the cases before keep their numbers.
    if quick:
        for shape, box, support in SHAPED:
            rows.append(("goods", box, "0", "0.3,0", support, "-d" if support == "pallet" else "-e2", shape))
    return rows


def cases(camera, quick, only=None):
    station, sigma = CAMERAS[camera - 1]
    boxes = BOXES if quick else FULL_BOXES
    number = camera * 1000
    rows = [] if camera >= GOODS_ONLY else box_cases(station, boxes)
    rows += goods_cases(sigma, quick)
    for row in rows:
        number += 1
        if only is None or row[0] == only:
            print(number, *row)


def box_cases(station, boxes):
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
    return rows


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


def under(run):
    return bool(run["error"]) and min(run["error"].values()) < -UNDER_MM


def over(run):
    return bool(run["error"]) and max(run["error"].values()) > OVER_MM


def goods_line(title, runs):
    """Stored within 5 / 10 mm (largest |error| of L, W, H), under by more than 5 mm on any, over by more
    than 15, refused, and stored with exit 0 beyond 50 mm."""
    stored = [r for r in runs if r["error"]]
    n = max(1, len(runs))
    print(f"  {title:44} {len(runs):4} {sum(worst(r) <= 5 for r in stored):6} {sum(worst(r) <= 10 for r in stored):6} "
          f"{sum(under(r) for r in stored):6} {sum(over(r) for r in stored):6} "
          f"{sum(r['status'] != 0 for r in runs):7} {sum(worst(r) > WRONG_MM for r in stored):6}"
          f"   ({100.0 * sum(worst(r) <= 5 for r in stored) / n:.0f} % within 5)")


def goods_report(runs):
    print(f"  {'':44} {'runs':>4} {'<=5':>6} {'<=10':>6} {'under5':>6} {'over15':>6} {'refused':>7} {'>50mm':>6}")
    goods_line("all", runs)
    for shape in SHAPES:
        mine = [r for r in runs if r["param"] == shape]
        if not mine:
            continue
        goods_line(shape, mine)
        groups = defaultdict(list)
        for r in mine:
            key = r["box"].rsplit("x", 1)[1] + " m high" if shape.startswith("flat") else r["box"]
            groups[(key, r["support"])].append(r)
        for (key, support), group in sorted(groups.items(), key=lambda kv: (float(kv[0][0].split("x")[0].split()[0]),
                                                                            kv[0][1])):
            goods_line(f"  {key} {support}", group)
        cameras = defaultdict(list)
        for r in mine:
            cameras[(r["station"], float(r["sigma1"]))].append(r)
        for (station, sigma), group in sorted(cameras.items()):
            goods_line(f"  station {station} sigma1 {sigma:g} mm", group)
    for reason, count in Counter(kind(r["reason"]) for r in runs if r["status"] != 0).most_common():
        print(f"    refused {count}: {reason}")
    for r in runs:
        if under(r) or over(r):
            print(f"    stored {r['id']} {r['param']} {r['box']} {r['support']} {r['station']} {r['sigma1']}: "
                  + " ".join(f"{d} {e:+.0f}" for d, e in r["error"].items()))


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
        if family == "goods":
            goods_report(mine)
            continue
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
        rest = argv[3:]
        only = rest[rest.index("--family") + 1] if "--family" in rest[:-1] else None
        cases(int(argv[2]), "--quick" in rest, only)
    elif len(argv) == 3 and argv[1] == "report":
        report(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
