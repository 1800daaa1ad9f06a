"""PLINE's arcs (every way of giving one), widths, lengths, undo and close, and CIRCLE's 3P, 2P,
Ttr and Diameter, drawn by script and read back with ezdxf; then the same options typed by
their Russian names in a Russian session, and "_" before a global keyword in either language."""
import math
import os
import unittest

from e2e_support import run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover
    ezdxf = None

T15, T22, T45 = (math.tan(math.radians(a)) for a in (15, 22.5, 45))
TWO_LINES = "LINE 0,0 100,0\n\nLINE 0,0 0,100\n\n"
ARC_LINE_CLOSED = [(True, [(0, 0, 0, 0, 0), (10, 0, 0, 0, 1), (10, 10, 0, 0, 0), (5, 10, 0, 0, 0)])]
CLOCKWISE = [(False, [(0, 0, 0, 0, -T22), (-10, 10, 0, 0, 0)])]

# (what, script, the model space as facts(): polylines as (closed, [(x, y, start width,
# end width, bulge), ...]), circles as (x, y, radius); layers are checked by name)
CASES = [
    ("tangent arc, line, length, close",
     "PLINE 0,0 10,0 A 10,10 L L 5 C\n", ARC_LINE_CLOSED),
    ("_ before each keyword", "PLINE 0,0 10,0 _A 10,10 _L _L 5 _C\n", ARC_LINE_CLOSED),
    ("close after one line: back along it", "PLINE 0,0 10,0 C\n",
     [(True, [(0, 0, 0, 0, 0), (10, 0, 0, 0, 0)])]),
    ("arc closed with an arc", "PLINE 0,0 10,0 A 10,10 CL\n",
     [(True, [(0, 0, 0, 0, 0), (10, 0, 0, 0, 1), (10, 10, 0, 0, T22)])]),
    ("angle, endpoint", "PLINE 0,0 A A 90 10,0\n\n", [(False, [(0, 0, 0, 0, T22), (10, 0, 0, 0, 0)])]),
    ("angle, centre (clockwise)", "PLINE 0,0 A A -90 CE 0,10\n\n", CLOCKWISE),
    ("angle, radius, the chord's default direction", "PLINE 0,0 A A 180 R 5\n\n\n",
     [(False, [(0, 0, 0, 0, 1), (0, 10, 0, 0, 0)])]),
    ("centre, endpoint on the ray", "PLINE 10,0 A CE 0,0 0,5\n\n",
     [(False, [(10, 0, 0, 0, T22), (0, 10, 0, 0, 0)])]),
    ("centre, angle", "PLINE 10,0 A CE 0,0 A 180\n\n", [(False, [(10, 0, 0, 0, 1), (-10, 0, 0, 0, 0)])]),
    ("centre, chord length", "PLINE 10,0 A CE 0,0 L 10\n\n",
     [(False, [(10, 0, 0, 0, T15), (5, 5 * math.sqrt(3), 0, 0, 0)])]),
    ("direction, endpoint", "PLINE 0,0 A D 90 10,0\n\n", [(False, [(0, 0, 0, 0, -1), (10, 0, 0, 0, 0)])]),
    ("radius, endpoint", "PLINE 0,0 A R 10 10,0\n\n", [(False, [(0, 0, 0, 0, T15), (10, 0, 0, 0, 0)])]),
    ("radius, angle, chord direction", "PLINE 0,0 A R 10 A 60 90\n\n",
     [(False, [(0, 0, 0, 0, T15), (0, 10, 0, 0, 0)])]),
    ("second point", "PLINE 0,0 A S 5,5 10,0\n\n", [(False, [(0, 0, 0, 0, -1), (10, 0, 0, 0, 0)])]),
    ("halfwidth, width, length taken back", "PLINE 0,0 H 1 2 10,0 L 5 U W 3\n\n0,10\n\n",
     [(False, [(0, 0, 2, 4, 0), (10, 0, 3, 3, 0), (0, 10, 0, 0, 0)])]),
    ("a tangent arc's width tapers", "PLINE 0,0 W 0 2 A 0,10\n\n",
     [(False, [(0, 0, 0, 2, 1), (0, 10, 0, 0, 0)])]),
    ("circle 3P", "CIRCLE 3P 0,0 10,0 0,10\n", [(5, 5, math.sqrt(50))]),
    ("circle 2P", "CIRCLE 2P 0,0 10,0\n", [(5, 0, 5)]),
    ("circle diameter, then the last radius by Enter", "CIRCLE 5,5 D 4\nCIRCLE 1,1\n\n",
     [(5, 5, 2), (1, 1, 2)]),
    ("circle Ttr: two lines", TWO_LINES + "CIRCLE T 30,0 0,30 10\n", [(10, 10, 10)]),
    ("circle Ttr: a polyline's segment and a circle, nearest the picks",
     "PLINE 0,0 100,0 100,-9\n\nCIRCLE 60,50 10\nCIRCLE T 30,0 60,40 25\n",
     [(False, [(0, 0, 0, 0, 0), (100, 0, 0, 0, 0), (100, -9, 0, 0, 0)]), (60, 50, 10),
      (60 - math.sqrt(600), 25, 25)]),
]

# The same in a Russian session: localised names, their capitals, "_" and the global name.
RUSSIAN = [
    ("Дуга, Линейный, длИна by its capital, Замкнуть", "PLINE 0,0 10,0 Д 10,10 Л И 5 З\n",
     ARC_LINE_CLOSED),
    ("lower case and whole names", "PLINE 0,0 10,0 дуга 10,10 линейный дли 5 замкнуть\n", ARC_LINE_CLOSED),
    ("_ keeps the global keywords", "PLINE 0,0 10,0 _A 10,10 _L _L 5 _C\n", ARC_LINE_CLOSED),
    ("the English keywords still answer", "PLINE 0,0 10,0 A 10,10 L L 5 C\n", ARC_LINE_CLOSED),
    ("Угол, Центр", "PLINE 0,0 Д У -90 Ц 0,10\n\n", CLOCKWISE),
    ("3Т, Диаметр", "CIRCLE 3т 0,0 10,0 0,10\nCIRCLE 5,5 Д 4\n",
     [(5, 5, math.sqrt(50)), (5, 5, 2)]),
    ("ККР", TWO_LINES + "CIRCLE ККР 30,0 0,30 10\n", [(10, 10, 10)]),
    ("-LAYER Новый, then UNDO Назад and Да to undo it all",
     "-LAYER Н Walls\n\nLINE 0,0 1,0\n\nUNDO Н Д\n", []),
]


def facts(msp):
    out = []
    for e in msp:
        if e.dxftype() == "LWPOLYLINE":
            out.append((e.closed, [tuple(p) for p in e.get_points("xyseb")]))
        elif e.dxftype() == "CIRCLE":
            out.append((e.dxf.center.x, e.dxf.center.y, e.dxf.radius))
    return out  # lines are what the tangents were drawn to


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class DrawOptions(unittest.TestCase):
    def check(self, rows, lang):
        for what, script, expected in rows:
            with self.subTest(what, lang=lang):
                r = run_arxhost(script + "QUIT\n", args=["--lang", lang, "--output", "out.dxf"])
                self.assertEqual(r.rc, 0, r.err + r.out)
                doc = ezdxf.readfile(r.path("out.dxf"))
                self.assertEqual(len(doc.audit().errors), 0)
                got = facts(doc.modelspace())
                self.assertEqual(len(got), len(expected), (got, r.out))
                for g, want in zip(got, expected):
                    flat_g = [g[0], *[v for p in g[1] for v in p]] if isinstance(want[1], list) else g
                    flat_w = [want[0], *[v for p in want[1] for v in p]] if isinstance(want[1], list) else want
                    self.assertEqual(len(flat_g), len(flat_w), (g, r.out))
                    for a, b in zip(flat_g, flat_w):
                        self.assertAlmostEqual(a, b, places=9, msg=(g, r.out))
                if "-LAYER" in script:
                    self.assertNotIn("Walls", [layer.dxf.name for layer in doc.layers], r.out)

    def test_pline_arcs_and_circle_variants(self):
        self.check(CASES, "en")

    def test_russian_keywords_and_underscore(self):
        self.check(RUSSIAN, "ru")

    def test_refusals_keep_asking(self):
        # Three points on one line, a chord beyond the diameter, a pick that finds nothing, an
        # included angle of a full turn: each is refused and asked again.
        r = run_arxhost("CIRCLE 3P 0,0 1,1 2,2 0,2\n" "PLINE 10,0 A CE 0,0 L 30 L 10\n\n"
                        "CIRCLE T 500,500 ^C\n" "PLINE 0,0 A A 360 90 10,0\n\nQUIT\n",
                        args=["--output", "out.dxf"])
        self.assertEqual(r.rc, 0, r.err + r.out)
        for message in ("Circle does not exist.", "The chord is longer than the diameter.",
                        "No object found.", "The included angle must lie between"):
            self.assertEqual(r.out.count(message), 1, r.out)
        kinds = sorted(e.dxftype() for e in ezdxf.readfile(r.path("out.dxf")).modelspace())
        self.assertEqual(kinds, ["CIRCLE", "LWPOLYLINE", "LWPOLYLINE"])

    def test_a_bracket_in_a_shown_name_is_no_keyword_list(self):
        # "Save drawing as <a[1].dxf>:": "_1" is a file name here, not the keyword "1".
        first = run_arxhost("LINE 0,0 1,0\n\nQUIT\n", args=["--output", "a[1].dxf"])
        again = run_arxhost("SAVE\n_1\nQUIT\n", drawing=first.path("a[1].dxf"),
                            workdir=first.workdir)
        self.assertEqual(again.rc, 0, again.err + again.out)
        self.assertTrue(os.path.exists(again.path("_1.dxf")), again.out)


if __name__ == "__main__":
    unittest.main()
