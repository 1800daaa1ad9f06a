#!/usr/bin/python3
"""Writes a benchmark drawing with ezdxf, the other writer the host must read well: DXF R2000,
the same kinds of entity as tev_gen in about the same shares (lines, lightweight polylines
(2..24 vertices, a fifth with bulges), 2D and 3D polylines, circles, arcs, text, block references) on 20
layers with colours, a third ByLayer.

  ezdxf_gen.py --entities N [--seed S] OUT.dxf

Deterministic for one N, seed and ezdxf version except for the header's timestamps and the
drawing's GUIDs, which ezdxf sets itself.
"""
import argparse
import math
import os
import random
import sys

import ezdxf


def build(n, seed):
    rnd = random.Random(seed)
    doc = ezdxf.new("R2000")
    doc.header["$DWGCODEPAGE"] = "ANSI_1251"
    layers = []
    for i in range(20):
        # Latin names: ezdxf 0.18 cannot read back a polyline on a Cyrillic layer it wrote.
        name = "LAYER_%d" % i
        doc.layers.add(name, color=1 + (i * 37) % 255)
        layers.append(name)
    for b in range(3):
        blk = doc.blocks.new("BLOCK_%d" % b)
        blk.add_line((0, 0), (10 + b, 0))
        blk.add_circle((5, 5), 2 + b)
        blk.add_lwpolyline([(0, 0), (5, 0), (5, 5)], close=True)
    msp = doc.modelspace()
    side = math.sqrt(n) * 20.0

    def attribs():
        a = {"layer": layers[rnd.randrange(20)]}
        if rnd.random() >= 1 / 3:
            a["color"] = rnd.randint(1, 255)
        return a

    def r(v):
        return round(v, 3)  # millimetres, as drawings hold them

    def pt():
        return r(rnd.uniform(0, side)), r(rnd.uniform(0, side))

    for _ in range(n):
        k = rnd.random()
        x, y = pt()
        if k < 0.60:
            z = r(rnd.uniform(0, 5)) if rnd.random() < 0.1 else 0.0
            msp.add_line((x, y, z), (r(x + rnd.uniform(-20, 20)), r(y + rnd.uniform(-20, 20)), z),
                         dxfattribs=attribs())
        elif k < 0.85:
            count = rnd.randint(2, 24)
            bulged = rnd.random() < 0.2
            points = []
            for _ in range(count):
                x = r(x + rnd.uniform(-10, 10))
                y = r(y + rnd.uniform(-10, 10))
                points.append((x, y, 0, 0, r(rnd.uniform(-1, 1)) if bulged else 0))
            msp.add_lwpolyline(points, format="xyseb", close=rnd.random() < 0.3,
                               dxfattribs=attribs())
        elif k < 0.90:
            points = [(r(x + rnd.uniform(-30, 30)), r(y + rnd.uniform(-30, 30)))
                      for _ in range(rnd.randint(2, 20))]
            msp.add_polyline2d(points, close=rnd.random() < 0.3, dxfattribs=attribs())
        elif k < 0.92:
            points = [(r(x + rnd.uniform(-30, 30)), r(y + rnd.uniform(-30, 30)), r(rnd.uniform(0, 9)))
                      for _ in range(rnd.randint(2, 20))]
            msp.add_polyline3d(points, dxfattribs=attribs())
        elif k < 0.94:
            msp.add_circle((x, y), r(rnd.uniform(1, 20)), dxfattribs=attribs())
        elif k < 0.96:
            msp.add_arc((x, y), r(rnd.uniform(1, 20)), r(rnd.uniform(0, 360)), r(rnd.uniform(0, 360)),
                        dxfattribs=attribs())
        elif k < 0.97:
            text = "Комната %d" % rnd.randint(1, 999) if rnd.random() < 0.5 else "Room"
            msp.add_text(text, dxfattribs=dict(attribs(), insert=(x, y), height=2.5))
        else:
            msp.add_blockref("BLOCK_%d" % rnd.randrange(3), (x, y), dxfattribs=attribs())
    return doc


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--entities", type=int, required=True)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("out")
    args = ap.parse_args()
    doc = build(args.entities, args.seed)
    # Written beside the target and renamed, so that a run stopped half-way leaves no drawing
    # that a later run would take for a finished one.
    temp = args.out + ".part"
    doc.saveas(temp)
    os.replace(temp, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
