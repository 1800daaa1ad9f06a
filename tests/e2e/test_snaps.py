"""Object snaps, ortho and grid snap at the point prompts: modifiers typed in a script (the
Russian edition's names too) land on the geometry, typed coordinates stay as typed, and
clicks from the page follow running snaps, ortho, the grid and polar tracking under a 30 degree snap angle
set by Nor. The drawings are read back by ezdxf."""
import json
import math
import os
import subprocess
import unittest

from e2e_support import run_arxhost
from test_view_abuse import View

READ_LINES = """
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
print(json.dumps([[*e.dxf.start.vec2, *e.dxf.end.vec2] for e in doc.modelspace().query('LINE')]))
"""


def lines(path):
    out = subprocess.run(["/usr/bin/python3", "-c", READ_LINES, path], capture_output=True,
                         text=True, check=True).stdout
    return json.loads(out)

READ_AIDS = """
import ezdxf, sys
doc = ezdxf.readfile(sys.argv[1])
vp = doc.viewports.get('*ACTIVE')[0].dxf
xy = lambda p: '%g,%g' % (p[0], p[1])
print(doc.header['$ORTHOMODE'], doc.header['$OSMODE'], xy(vp.snap_spacing), xy(vp.snap_base),
      xy(vp.grid_spacing), vp.snap_on, vp.grid_on)
"""


class Snaps(unittest.TestCase):
    def assertLine(self, got, want, what):
        for g, w in zip(got, want):
            self.assertAlmostEqual(g, w, places=6, msg=f"{what}: {got} != {want}")

    def test_modifiers_in_a_script(self):
        # A line and a circle to snap to; then lines drawn by modifiers, each checked.
        script = "\n".join([
            "LINE", "0,0", "100,0", "",
            "CIRCLE", "50,50", "20",
            "LINE", "END", "99.5,0.5", "MID", "49.5,0.5", "",  # (100,0) to (50,0)
            "LINE", "CEN", "70.5,50", "КВА", "50,70.6", "",    # (50,50) to (50,70)
            "LINE", "10,30", "PER", "10,0.5", "",              # a foot on the first line
            "LINE", "0,50", "TAN", "42.2,68.5", "",            # tangent from (0,50), upper side
            "LINE", "_NEA", "30,0.7", "НИЧ", "31,0.7", "",   # nearest; none: as typed
            "OSMODE", "1", "ORTHOMODE", "1",
            "LINE", "99.8,0.2", "10,17", "",                 # typed: no running snap, no ortho
            "LINE", "END", "3,3", "",                        # nothing there: asked again
            "QUIT", ""])
        run = run_arxhost(script, ["--lang", "en", "--output", "out.dxf"])
        self.assertEqual(run.rc, 0, run.err + run.out)
        self.assertIn("No object snap point found there.", run.out)
        got = lines(run.path("out.dxf"))
        # The tangent point from (0,50) to the circle: at angle 180 - acos(20/50) from the centre.
        a = math.pi - math.acos(20 / 50)
        want = [
            [0, 0, 100, 0],
            [100, 0, 50, 0],
            [50, 50, 50, 70],
            [10, 30, 10, 0],
            [0, 50, 50 + 20 * math.cos(a), 50 + 20 * math.sin(a)],
            [30, 0, 31, 0.7],
            [99.8, 0.2, 10, 17],
        ]
        self.assertEqual(len(got), len(want), got)
        for g, w in zip(got, want):
            self.assertLine(g, w, "line")

    # Test that the drafting settings are saved with the drawing (ORTHOMODE and OSMODE in the
    # header, grid snap and grid in the *ACTIVE viewport), read back on opening, and that a
    # drawing saved unchanged stays byte for byte what it was.
    def test_drafting_settings_are_kept_in_the_drawing(self):
        names = ["SNAPUNIT", "SNAPBASE", "GRIDUNIT", "SNAPMODE", "GRIDMODE", "ORTHOMODE", "OSMODE"]
        values = ["2,3", "1,-1", "5,0", "1", "1", "1", "7"]
        setting = "".join(f"{n} {v}\n" for n, v in zip(names, values))
        first = run_arxhost(setting + "SAVE a.dxf\nQUIT\n", ["--lang", "en"])
        self.assertEqual(first.rc, 0, first.err + first.out)
        saved = first.path("a.dxf")
        facts = subprocess.run(["/usr/bin/python3", "-c", READ_AIDS, saved], capture_output=True,
                               text=True, check=True).stdout.split()
        self.assertEqual(facts, ["1", "7", "2,3", "1,-1", "5,0", "1", "1"])
        shown = "".join(f"{n}\n\n" for n in names)
        again = run_arxhost(shown + "SAVE b.dxf\nSNAPMODE 0\nSAVE c.dxf\nQUIT\n",
                            ["--lang", "en"], drawing=saved)
        self.assertEqual(again.rc, 0, again.err + again.out)
        for n, v in zip(names, values):
            self.assertIn(f"Enter new value for {n} <{v}>: ", again.out)
        with open(saved, "rb") as a, open(again.path("b.dxf"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        with open(saved) as a, open(again.path("c.dxf")) as c:
            changed = [(x, y) for x, y in zip(a.read().split("\n"), c.read().split("\n")) if x != y]
        self.assertEqual(changed, [("1", "0")])

    def test_clicks_follow_snaps_ortho_grid_and_polar_at_30_degrees(self):
        view = View()
        try:
            c30, s30 = math.cos(math.radians(30)), math.sin(math.radians(30))
            out = os.path.join(os.path.dirname(view.proc.args[2]), "clicks.dxf")

            def send(*items):
                view.page("/api/answer", "POST", a=list(items))

            send("LNor", "L30", "LORTHOMODE", "L1", "LAUTOSNAP", "L0")
            # Ortho: a click at (30,3) keeps to the 30 degree axis through (0,0); a typed point
            # stays where it is.
            send("LLINE", "L0,0", "P1 30,3", "L40,5", "L")
            # Running snap (END) wins over ortho: a click beside (40,5) lands on it.
            send("LLINE", "L0,-20", "P1 40.4,4.6", "L")
            # NON before a click: no running snap, ortho still keeps it on the axis.
            send("LLINE", "L0,-40", "LNON", "P0.5 0.5,-20", "L")
            # Grid snap (10 apart from the origin along 30 degrees), ortho off.
            send("LORTHOMODE", "L0", "LSNAPMODE", "L1", "LSNAPUNIT", "L10,10")
            send("LLINE", "P0.5 21,9", "P0.5 3,19", "L")
            # Polar tracking (45 degree steps from the snap angle): a click within the aperture
            # of the 75 degree ray lands on it; one between the rays stays where it is.
            ray = (100 + 20 * math.cos(math.radians(75)) + math.cos(math.radians(165)),
                   100 + 20 * math.sin(math.radians(75)) + math.sin(math.radians(165)))
            send("LSNAPMODE", "L0", "LAUTOSNAP", "L63", "LPOLARANG", "L45")
            send("LLINE", "L100,100", "P2 %.6f,%.6f" % ray, "L", "LLINE", "L100,100",
                 "P2 97.4,119.8", "L")
            send("LSAVE", "L" + out)
            view.wait_for(r"Drawing saved to .*clicks\.dxf")
            view.quit()
        finally:
            view.close()
        along = 30 * c30 + 3 * s30
        want = [
            [0, 0, along * c30, along * s30],
            [along * c30, along * s30, 40, 5],
            [0, -20, 40, 5],
            # from (0,-40) the click (0.5,-20) is 20 across the axis: on the turned Y axis
            [0, -40, -s30 * (0.5 * -s30 + 20 * c30), -40 + c30 * (0.5 * -s30 + 20 * c30)],
            [20 * c30, 20 * s30, -10 * s30 + 10 * c30 * 1, 10 * c30 + 10 * s30],
            [100, 100, 100 + 20 * math.cos(math.radians(75)), 100 + 20 * math.sin(math.radians(75))],
            [100, 100, 97.4, 119.8],
        ]
        got = lines(out)
        self.assertEqual(len(got), len(want), got)
        for g, w in zip(got, want):
            self.assertLine(g, w, "line")


if __name__ == "__main__":
    unittest.main()
