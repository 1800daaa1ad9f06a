#!/usr/bin/python3
"""Length by colour over ALL with Debian's python3-ezdxf: the same totals tev_tagscan prints,
reached through a full document model. Used side by side in the benchmark and as an
independent check of the tag-scan pass in the tests.

usage: ezdxf_total.py DRAWING.dxf
"""
import math
import sys

import ezdxf


def xy(a, b):
    return math.hypot(a[0] - b[0], a[1] - b[1])


def length(e):
    t = e.dxftype()
    if t == "LINE":
        return xy(e.dxf.start, e.dxf.end)
    if t == "LWPOLYLINE":
        pts = [(p[0], p[1]) for p in e.get_points("xy")]
        total = sum(xy(pts[i - 1], pts[i]) for i in range(1, len(pts)))
        if e.closed and pts:
            total += xy(pts[-1], pts[0])
        return total
    if t == "POLYLINE" and e.get_mode() == "AcDb2dPolyline":
        pts = [v.dxf.location for v in e.vertices]
        return sum(xy(pts[i - 1], pts[i]) for i in range(1, len(pts)))
    return None


def main(path):
    doc = ezdxf.readfile(path)
    layers = {l.dxf.name.upper(): l for l in doc.layers}
    by_colour = {}
    counts = {"LINE": 0, "LWPOLYLINE": 0, "POLYLINE": 0}
    selected = 0
    for e in doc.modelspace():
        layer = layers.get(e.dxf.layer.upper())
        if layer is not None and layer.is_frozen():
            continue
        selected += 1
        n = length(e)
        if n is None:
            continue
        counts[e.dxftype()] += 1
        colour = e.dxf.color
        if colour == 256:
            colour = abs(layer.dxf.color) if layer is not None else 7
        by_colour[colour] = by_colour.get(colour, 0.0) + n
    print("selected %d entities; measured %d LINE, %d LWPOLYLINE, %d 2D POLYLINE"
          % (selected, counts["LINE"], counts["LWPOLYLINE"], counts["POLYLINE"]))
    for c in sorted(by_colour):
        print("colour %d: %f" % (c, by_colour[c]))
    print("all colours: %f" % sum(by_colour.values()))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
