#!/usr/bin/python3
"""Checks the benchmark tools against Debian's ezdxf, an independent DXF reader:
the generated drawing and its recoloured copy pass ezdxf's auditor with no errors, the
tag-scan totals per colour equal ezdxf's, and the copy has every model space entity (and
vertex) in the new colour with the same total.

usage: ezdxf_crosscheck.py TEV_GEN TEV_TAGSCAN EZDXF_TOTAL_PY
Exit 77 (skipped) when ezdxf is not installed.
"""
import os
import subprocess
import sys
import tempfile

try:
    import ezdxf
except ImportError:
    sys.exit(77)


def totals(text):
    """{colour: length} and the all-colours total from a totals listing."""
    per = {}
    total = None
    for line in text.splitlines():
        if line.startswith("colour "):
            c, v = line[len("colour "):].split(":")
            per[int(c)] = float(v)
        elif line.startswith("all colours:"):
            total = float(line.split(":")[1])
    assert total is not None, "no total in:\n" + text
    return per, total


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def main(gen, tagscan, ezdxf_total):
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        drawing = os.path.join(tmp, "g10k.dxf")
        copy = os.path.join(tmp, "r10k.dxf")
        run(gen, "--entities", "10000", "--seed", "1", drawing)
        run(tagscan, "--recolor", "5", drawing, copy)

        for path in (drawing, copy):
            doc = ezdxf.readfile(path)
            audit = doc.audit()
            if audit.errors:
                failures.append("%s: %d audit errors, first: %s"
                                % (path, len(audit.errors), audit.errors[0].message))
            if path == copy:
                for e in doc.modelspace():
                    subs = list(e.vertices) if e.dxftype() == "POLYLINE" else []
                    for x in [e] + subs:
                        if x.dxf.color != 5:
                            failures.append("%s %s has colour %d" % (x.dxftype(),
                                                                      x.dxf.handle, x.dxf.color))

        ours, our_total = totals(run(tagscan, drawing))
        theirs, their_total = totals(run("/usr/bin/python3", ezdxf_total, drawing))
        if set(ours) != set(theirs):
            failures.append("colours differ: %s" % sorted(set(ours) ^ set(theirs)))
        for c in sorted(set(ours) & set(theirs)):
            if not close(ours[c], theirs[c]):
                failures.append("colour %d: tag-scan %f, ezdxf %f" % (c, ours[c], theirs[c]))
        if not close(our_total, their_total):
            failures.append("total: tag-scan %f, ezdxf %f" % (our_total, their_total))
        if len(ours) < 100:
            failures.append("only %d colours in use: the drawing lacks its colour mix" % len(ours))

        copied, copied_total = totals(run(tagscan, copy))
        if list(copied) != [5] or not close(copied_total, our_total):
            failures.append("recoloured copy: colours %s, total %f (want [5], %f)"
                            % (sorted(copied), copied_total, our_total))

    for f in failures[:20]:
        print("FAIL:", f)
    print("%d failures; tag-scan total %f over %d colours" % (len(failures), our_total, len(ours)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
