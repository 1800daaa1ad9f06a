#!/usr/bin/python3
"""Writes a drawing of N splines and N hatches (R2000), the kinds the host keeps as the file's
groups, for the view benchmark: cubic splines of 6 to 12 control points, and hatches with a
polyline boundary of 4 to 8 vertices (a third with bulges), half solid and half ANSI31-like
patterns, on a square grid with 10 layers. Deterministic for a seed.

usage: gen_kept.py N OUT.dxf [seed]"""
import math
import random
import sys


def main():
    n = int(sys.argv[1])
    path = sys.argv[2]
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    side = max(1, math.ceil(math.sqrt(2 * n)))
    cell = 100.0
    handle = 0x100
    out = []
    w = out.append

    def next_handle():
        nonlocal handle
        handle += 1
        return f"{handle:X}"

    def head(kind, layer, colour):
        w(f"  0\n{kind}\n  5\n{next_handle()}\n100\nAcDbEntity\n  8\nL{layer}\n 62\n{colour}\n")

    body = []
    w = body.append
    for i in range(2 * n):
        x0 = (i % side) * cell
        y0 = (i // side) * cell
        layer, colour = rng.randrange(10), rng.randrange(1, 8)
        if i % 2 == 0:
            count = rng.randint(6, 12)
            knots = [0.0] * 4 + [float(k) for k in range(1, count - 3)] + [float(count - 3)] * 4
            head("SPLINE", layer, colour)
            w(f"100\nAcDbSpline\n210\n0.0\n220\n0.0\n230\n1.0\n 70\n8\n 71\n3\n"
              f" 72\n{len(knots)}\n 73\n{count}\n 74\n0\n 42\n0.0000001\n 43\n0.0000001\n")
            w("".join(f" 40\n{k}\n" for k in knots))
            for k in range(count):
                w(f" 10\n{x0 + 5 + k * 85.0 / (count - 1):.4f}\n"
                  f" 20\n{y0 + rng.uniform(5, 95):.4f}\n 30\n0.0\n")
        else:
            count = rng.randint(4, 8)
            bulges = rng.random() < 0.33
            cx, cy, r = x0 + 50, y0 + 50, rng.uniform(20, 45)
            solid = i % 4 == 1
            head("HATCH", layer, colour)
            w(f"100\nAcDbHatch\n 10\n0.0\n 20\n0.0\n 30\n0.0\n210\n0.0\n220\n0.0\n230\n1.0\n"
              f"  2\n{'SOLID' if solid else 'ANSI31'}\n 70\n{1 if solid else 0}\n 71\n0\n"
              f" 91\n1\n 92\n3\n 72\n{1 if bulges else 0}\n 73\n1\n 93\n{count}\n")
            for k in range(count):
                a = 2 * math.pi * k / count
                w(f" 10\n{cx + r * math.cos(a):.4f}\n 20\n{cy + r * math.sin(a):.4f}\n")
                if bulges:
                    w(f" 42\n{0.2 if k % 2 else 0.0}\n")
            w(" 97\n0\n 75\n1\n 76\n1\n")
            if not solid:
                w(" 52\n0.0\n 41\n1.0\n 77\n0\n 78\n1\n 53\n45.0\n 43\n0.0\n 44\n0.0\n"
                  " 45\n-5.0\n 46\n5.0\n 79\n0\n")
            w(" 98\n0\n")
    w = out.append
    w(f"  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$HANDSEED\n  5\n"
      f"{handle + 1:X}\n  0\nENDSEC\n")
    w("  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n100\nAcDbSymbolTable\n"
      " 70\n11\n")
    w("  0\nLAYER\n  5\n10\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n  2\n0\n"
      " 70\n0\n 62\n7\n  6\nCONTINUOUS\n")
    for k in range(10):
        w(f"  0\nLAYER\n  5\n{0x11 + k:X}\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n"
          f"  2\nL{k}\n 70\n0\n 62\n{k + 1}\n  6\nCONTINUOUS\n")
    w("  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n")
    with open(path, "w") as f:
        f.write("".join(out))
        f.write("".join(body))
        f.write("  0\nENDSEC\n  0\nEOF\n")


if __name__ == "__main__":
    main()
