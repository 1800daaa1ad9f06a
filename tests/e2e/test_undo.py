"""U, UNDO and REDO on the sample plan: every command is one step, undone to the very bytes
the drawing was saved with before it and redone to the bytes it had after it."""
import os
import unittest

from e2e_support import SOURCE_DIR, run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover - the suite installs python3-ezdxf
    ezdxf = None

PLAN = os.path.join(SOURCE_DIR, "examples", "plan.dxf")

# (command, script): the module's nine commands and the host's drawing commands.
CHANGING = [
    ("Cl", "Cl\n\n2\n100,100\n200,100\n200,300\n\n"),
    ("Sel", "Sel\n\n3\nALL\n\n\n"),
    ("Lp", "Lp\n12500,0\n13500,4500\n13800,1000\n12500,8000\n12000,9000\n\n"),
    ("Jl", "Jl\n3000,8000\n7500,8000\n"),
    ("Nor", "Nor\n30\n"),
    ("Wpe", "Wpe\nALL\n\n40\n"),
    ("LINE", "LINE\n0,0\n10,0\n10,10\n\n"),
    ("PLINE", "PLINE\n0,0\nW\n5\n10\n100,0\n100,100\n\n"),
    ("-LAYER", "-LAYER\nN\nNEWLAYER\nC\n3\nNEWLAYER\n\n"),
    ("ERASE", "ERASE\nALL\n\n"),
    ("SNAPANG", "SNAPANG\n15\n"),
]
UNCHANGING = [
    ("Lpl", "Lpl\n1500,8000\nALL\n\n"),
    ("En", "En\n5000,1000\n"),
    ("nEn", "nEn\n2100,4970\n"),
    ("LIST", "LIST\nALL\n\n"),
]


def saved(r, name):
    with open(r.path(name), "rb") as f:
        return f.read()


class UndoEachCommand(unittest.TestCase):
    def test_a_changing_command_is_undone_and_redone_to_the_byte(self):
        for name, script in CHANGING:
            with self.subTest(command=name):
                r = run_arxhost("SAVE\nbefore.dxf\n" + script + "SAVE\nafter.dxf\nU\n"
                                "SAVE\nundone.dxf\nREDO\nSAVE\nredone.dxf\nQUIT\n",
                                drawing=PLAN)
                self.assertEqual(r.rc, 0, r.err + r.out)
                self.assertNotIn("left", r.out)  # nothing open after any command
                self.assertIn("\n" + name.upper() + "\n", r.out)  # U names the command
                before, after = saved(r, "before.dxf"), saved(r, "after.dxf")
                self.assertNotEqual(before, after, "the command changed nothing")
                self.assertEqual(saved(r, "undone.dxf"), before)
                self.assertEqual(saved(r, "redone.dxf"), after)

    def test_a_command_that_changes_nothing_makes_no_step(self):
        for name, script in UNCHANGING:
            with self.subTest(command=name):
                r = run_arxhost("LINE\n0,0\n10,0\n\n" + script + "U\nSAVE\nout.dxf\nQUIT\n",
                                drawing=PLAN)
                self.assertEqual(r.rc, 0, r.err + r.out)
                # U takes back the LINE drawn before, not the command that changed nothing.
                self.assertIn("\nLINE\n", r.out)
                r0 = run_arxhost("SAVE\nout.dxf\nQUIT\n", drawing=PLAN)
                self.assertEqual(saved(r, "out.dxf"), saved(r0, "out.dxf"))
                # Nor does it leave the drawing modified (QUIT would ask to save for nothing).
                r = run_arxhost(script + "DBMOD\nQUIT\n", drawing=PLAN)
                self.assertIn("DBMOD = 0", r.out)


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class UndoJourney(unittest.TestCase):
    def audited(self, path):
        doc = ezdxf.readfile(path)
        auditor = doc.audit()
        self.assertEqual(len(auditor.errors), 0, [str(e) for e in auditor.errors])
        return doc

    def test_draw_undo_redo_save_undo_again_save(self):
        r = run_arxhost(
            "SAVE\nplan.dxf\n"
            "UNDO\nM\n"
            "LINE\n0,0\n500,0\n\n"
            "Wpe\nALL\n\n40\n"
            "U\nREDO\n"
            "SAVE\nwide.dxf\n"
            "U\nSAVE\nline.dxf\n"
            "UNDO\nB\nSAVE\nback.dxf\n"
            "REDO\nUNDO\n2\nSAVE\nall.dxf\nU\nQUIT\n",
            drawing=PLAN)
        self.assertEqual(r.rc, 0, r.err + r.out)
        plan = self.audited(r.path("plan.dxf"))
        wide = self.audited(r.path("wide.dxf"))
        line = self.audited(r.path("line.dxf"))
        kinds = lambda doc: sorted(e.dxftype() for e in doc.modelspace())
        handles = lambda doc: sorted(e.dxf.handle for e in doc.modelspace())
        self.assertNotIn("LINE", kinds(wide))  # every line became a wide 2D polyline
        # Undone after the save: the plan's lines are back with their own handles, and
        # the one drawn.
        self.assertEqual(len(kinds(line)), len(kinds(plan)) + 1)
        self.assertTrue(set(handles(plan)) <= set(handles(line)))
        self.assertEqual(saved(r, "back.dxf"), saved(r, "plan.dxf"))  # back to the mark
        self.assertIn("Mark encountered", r.out)
        self.assertEqual(saved(r, "all.dxf"), saved(r, "plan.dxf"))
        # The last U finds nothing left to undo.
        self.assertTrue(r.out.split("Command: U\n")[-1].startswith("\nEverything has been undone"))


if __name__ == "__main__":
    unittest.main()
