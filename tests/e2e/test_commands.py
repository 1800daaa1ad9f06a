"""Each command run by a script on the sample plan, the saved drawing read back by ezdxf:
colours, lines, polylines and widths as the commands left them, and ezdxf's audit clean."""
import os
import unittest

from e2e_support import SOURCE_DIR, run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover - the suite installs python3-ezdxf
    ezdxf = None

PLAN = os.path.join(SOURCE_DIR, "examples", "plan.dxf")


def lines_of(doc):
    return [e for e in doc.modelspace() if e.dxftype() == "LINE"]


def find_line(doc, start, end):
    for e in lines_of(doc):
        s, t = tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2]
        if (s, t) in ((start, end), (end, start)):
            return e
    return None


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class CommandsOnThePlan(unittest.TestCase):
    def run_script(self, script):
        r = run_arxhost(script + "QUIT\n", args=["--output", "out.dxf"], drawing=PLAN)
        self.assertEqual(r.rc, 0, r.err + r.out)
        doc = ezdxf.readfile(r.path("out.dxf"))
        auditor = doc.audit()
        self.assertEqual(len(auditor.errors), 0, [str(e) for e in auditor.errors])
        return r, doc

    def test_sel_recolours_every_selection(self):
        # Colour 3 typed in the colour prompt (Enter at the pick), then all, then Enter.
        r, doc = self.run_script("Sel\n\n3\nALL\n\n\n")
        self.assertIn("Ничего не выбрано", r.out)
        colours = {e.dxf.color for e in doc.modelspace()}
        self.assertEqual(colours, {3})

    def test_sel_with_colour_picked_from_a_bylayer_entity(self):
        # The inner wall (5000,0)-(5000,5200) is ByLayer on WALLS (colour 7).
        r, doc = self.run_script("Sel\n5000,1000\nC\n1400,7900\n3600,8100\n\n\n")
        self.assertIn("Выбран индекс цвета - 7", r.out)
        window = find_line(doc, (1500.0, 8000.0), (3500.0, 8000.0))
        self.assertIsNotNone(window)
        self.assertEqual(window.dxf.color, 7)

    def test_cl_draws_lines_in_the_dialog_colour(self):
        r, doc = self.run_script("Cl\n\n2\n100,100\n200,100\n200,300\n\n")
        a = find_line(doc, (100.0, 100.0), (200.0, 100.0))
        b = find_line(doc, (200.0, 100.0), (200.0, 300.0))
        self.assertIsNotNone(a)
        self.assertIsNotNone(b)
        self.assertEqual((a.dxf.color, b.dxf.color), (2, 2))

    def test_jl_joins_two_lines_and_erases_them(self):
        # The two window lines on y = 8000: far ends (1500,8000) and (10000,8000).
        r, doc = self.run_script("Jl\n3000,8000\n7500,8000\n")
        self.assertIsNone(find_line(doc, (1500.0, 8000.0), (3500.0, 8000.0)))
        self.assertIsNone(find_line(doc, (7000.0, 8000.0), (10000.0, 8000.0)))
        joined = find_line(doc, (1500.0, 8000.0), (10000.0, 8000.0))
        self.assertIsNotNone(joined, r.out)
        self.assertEqual(joined.dxf.color, 5)
        self.assertEqual(joined.dxf.layer, "0")

    def test_wpe_widens_polylines_and_turns_lines_into_2d_polylines(self):
        before = len(lines_of(ezdxf.readfile(PLAN)))
        r, doc = self.run_script("Wpe\nALL\n\n40\n")
        self.assertEqual(lines_of(doc), [], r.out)
        polys = [e for e in doc.modelspace() if e.dxftype() == "POLYLINE"]
        self.assertEqual(len(polys), before)
        for p in polys:
            self.assertEqual((p.dxf.default_start_width, p.dxf.default_end_width), (40, 40))
            self.assertEqual(len(list(p.vertices)), 2)
        widened = 0
        for lw in (e for e in doc.modelspace() if e.dxftype() == "LWPOLYLINE"):
            # Equal widths everywhere may be written as the constant width (group 43).
            const = lw.dxf.get("const_width", 0)
            for v in lw.get_points():
                self.assertEqual((v[2] or const, v[3] or const), (40, 40))
            widened += 1
        self.assertEqual(widened, 1)

    def test_lpl_totals_one_colour(self):
        # The windows are colour 5: 2000 + 3000.
        r, _ = self.run_script("Lpl\n1500,8000\nALL\n\n")
        self.assertIn("Длина  = 5000.000000", r.out)

    def test_en_lists_the_picked_line(self):
        r, _ = self.run_script("En\n5000,1000\n")
        self.assertIn('(0 . "LINE")', r.out)
        self.assertIn("(10 5000.000 0.000 0.000)", r.out)
        self.assertIn("(11 5000.000 5200.000 0.000)", r.out)

    def test_nen_lists_the_entity_inside_the_block(self):
        # A chair of the table inserted at (2500,4000): circle centre (-400,750), r 220.
        r, _ = self.run_script("nEn\n2100,4970\n")
        self.assertIn('(0 . "CIRCLE")', r.out)
        self.assertIn("(10 -400.000 750.000 0.000)", r.out)


if __name__ == "__main__":
    unittest.main()
