"""A drawing made from nothing by a script: layers, LINE, PLINE with widths, CIRCLE, then Lp
and Nor, saved and read back by ezdxf (its audit clean), and saved again unchanged."""
import filecmp
import math
import os
import unittest

from e2e_support import run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover
    ezdxf = None

SCRIPT = """-LAYER
New
Walls
Color
3
Walls
Set
Walls

LINE
0,0
100,0

PLINE
0,10
W
2
2
50,10
50,60

CIRCLE
20,20
5
Lp
200,0
210,5
208,1

Nor
30
"""


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class DrawingFromAScript(unittest.TestCase):
    def test_new_drawing_holds_what_the_script_drew(self):
        r = run_arxhost(SCRIPT + "QUIT\n", args=["--output", "new.dxf", "--svg", "new.svg"])
        self.assertEqual(r.rc, 0, r.err + r.out)
        doc = ezdxf.readfile(r.path("new.dxf"))
        self.assertEqual(doc.dxfversion, "AC1015")
        auditor = doc.audit()
        self.assertEqual(len(auditor.errors), 0, [str(e) for e in auditor.errors])
        self.assertEqual(doc.layers.get("Walls").color, 3)
        msp = doc.modelspace()
        kinds = sorted(e.dxftype() for e in msp)
        self.assertEqual(kinds, ["CIRCLE", "LINE", "LINE", "LINE", "LWPOLYLINE"])
        for e in msp:
            self.assertEqual(e.dxf.layer, "Walls")
        corner = sorted((tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2])
                        for e in msp if e.dxftype() == "LINE" and e.dxf.start[0] >= 200)
        # P (200,0), N (210,5), S (208,1): the corner is H = (210,0).
        self.assertEqual(corner, [((200.0, 0.0), (210.0, 0.0)), ((210.0, 0.0), (210.0, 5.0))])
        pline = next(e for e in msp if e.dxftype() == "LWPOLYLINE")
        self.assertEqual([tuple(p[:2]) for p in pline.get_points()],
                         [(0.0, 10.0), (50.0, 10.0), (50.0, 60.0)])
        self.assertAlmostEqual(doc.viewports.get("*ACTIVE")[0].dxf.snap_rotation, 30.0)
        self.assertTrue(os.path.getsize(r.path("new.svg")) > 0)

    def test_read_and_save_without_commands_is_byte_for_byte(self):
        first = run_arxhost(SCRIPT + "QUIT\n", args=["--output", "a.dxf"])
        self.assertEqual(first.rc, 0, first.err)
        again = run_arxhost("QUIT\n", args=["--output", "b.dxf"], drawing=first.path("a.dxf"),
                            workdir=first.workdir)
        self.assertEqual(again.rc, 0, again.err)
        self.assertTrue(filecmp.cmp(first.path("a.dxf"), first.path("b.dxf"), shallow=False))


if __name__ == "__main__":
    unittest.main()
