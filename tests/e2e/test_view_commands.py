"""ZOOM, PAN and REGEN moving the view kept in the *ACTIVE viewport (read back by ezdxf and by
arxhost on reopening), and the -LAYER options that change layers, as one table."""
import os
import shutil
import subprocess
import tempfile
import unittest

from e2e_support import ARXHOST

try:
    import ezdxf
except ImportError:  # pragma: no cover - the suite installs python3-ezdxf
    ezdxf = None


def run(script, drawing=None, workdir=None, lang="en"):
    workdir = workdir or tempfile.mkdtemp(prefix="tev-viewcmd-")
    with open(os.path.join(workdir, "run.scr"), "w", encoding="utf-8") as f:
        f.write(script)
    cmd = [ARXHOST, "--lang", lang, "--registry", os.path.join(workdir, "r.reg"), "--script",
           os.path.join(workdir, "run.scr")] + ([drawing] if drawing else [])
    proc = subprocess.run(cmd, capture_output=True, text=True, cwd=workdir,
                          stdin=subprocess.DEVNULL, timeout=120)
    return proc, workdir


def active_view(path):
    vp = ezdxf.readfile(path).viewports.get("*ACTIVE")[0]
    return vp.dxf.center[0], vp.dxf.center[1], vp.dxf.height


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class ViewCommands(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tev-viewcmd-src-")
        doc = ezdxf.new("R2000", setup=["linetypes"])
        doc.layers.add("WALLS", color=1)
        doc.layers.add("HIDDEN", color=5).off()
        doc.layers.add("ICE").freeze()
        msp = doc.modelspace()
        msp.add_line((0, 0), (100, 50))
        msp.add_circle((20, 20), 5, dxfattribs={"layer": "WALLS"})
        cls.aspect = doc.viewports.get("*ACTIVE")[0].dxf.aspect_ratio
        cls.path = os.path.join(cls.dir, "plan.dxf")
        doc.saveas(cls.path)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    # Test that each ZOOM option and PAN leave the view they should in the saved viewport, that
    # ZOOM Previous walks back, and that a reopened drawing zooms from the view it was saved with.
    def test_zoom_and_pan_are_kept_in_the_active_viewport(self):
        steps = [
            ("ZOOM E", (50, 25, max(50, 100 / self.aspect))),
            ("ZOOM W 10,10 30,20", (20, 15, max(10, 20 / self.aspect))),
            ("ZOOM 2X", (20, 15, max(10, 20 / self.aspect) / 2)),
            ("ZOOM P", (20, 15, max(10, 20 / self.aspect))),
            ("PAN 0,0 5,-5", (15, 20, max(10, 20 / self.aspect))),
            ("ZOOM C 40,30 8", (40, 30, 8)),
            ("ZOOM C 40,30 4X", (40, 30, 2)),
            ("ZOOM 50,50 60,52", (55, 51, max(2, 10 / self.aspect))),
        ]
        script = "".join(f"{cmd}\nSAVE s{i}.dxf\n" for i, (cmd, _) in enumerate(steps))
        proc, wd = run(script + "REGEN\nQUIT\n", self.path)
        self.assertEqual(proc.returncode, 0, proc.stderr + proc.stdout)
        self.assertIn("Regenerating model.", proc.stdout)
        for i, (cmd, want) in enumerate(steps):
            with self.subTest(cmd):
                for got, exp in zip(active_view(os.path.join(wd, f"s{i}.dxf")), want):
                    self.assertAlmostEqual(got, exp, places=9)
        # Read on open: 2X halves the saved height about the saved centre.
        proc, wd2 = run("ZOOM 2X\nSAVE again.dxf\nZOOM P\nZOOM P\nQUIT\n",
                        os.path.join(wd, "s5.dxf"))
        self.assertEqual(proc.returncode, 0, proc.stderr)
        for got, exp in zip(active_view(os.path.join(wd2, "again.dxf")), (40, 30, 4)):
            self.assertAlmostEqual(got, exp, places=9)
        self.assertEqual(proc.stdout.count("No previous view saved."), 1, proc.stdout)
        # A new drawing gets the view in the viewport it is given.
        proc, wd3 = run("LINE 0,0 10,10\n\nZOOM E\nSAVE new.dxf\nQUIT\n")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        for got, exp in zip(active_view(os.path.join(wd3, "new.dxf")), (5, 5, 10)):
            self.assertAlmostEqual(got, exp, places=9)
        for d in (wd, wd2, wd3):
            shutil.rmtree(d, ignore_errors=True)

    # Test that ON, OFF, Freeze, Thaw, Make and LType change what they should, refuse what the
    # host refuses, are undone by one U, and that off and frozen layers leave windows as they
    # should (ALL takes off layers, not frozen ones).
    def test_layer_options(self):
        def layer(doc, name):
            return doc.layers.get(name)

        cases = [
            ("-LAYER OFF WALLS\n\n", lambda d: layer(d, "WALLS").is_off(), None),
            ("-LAYER ON HIDDEN\n\n", lambda d: layer(d, "HIDDEN").is_on(), None),
            ("-LAYER F W*,ICE\n\n", lambda d: layer(d, "WALLS").is_frozen(), None),
            ("-LAYER T ICE\n\n", lambda d: not layer(d, "ICE").is_frozen(), None),
            ("-LAYER M NEWL\n\n", lambda d: d.header["$CLAYER"] == "NEWL", None),
            ("-LAYER M HIDDEN\n\n",
             lambda d: d.header["$CLAYER"] == "HIDDEN" and layer(d, "HIDDEN").is_on(), None),
            ("-LAYER L DASHED WALLS\n\n", lambda d: layer(d, "WALLS").dxf.linetype == "DASHED",
             None),
            ("-LAYER L NOSUCH ^C\n", lambda d: layer(d, "WALLS").dxf.linetype == "Continuous",
             'Linetype "NOSUCH" is not loaded.'),
            ("-LAYER F 0\n\n", lambda d: not layer(d, "0").is_frozen(),
             'Cannot freeze layer "0".  It is the CURRENT layer.'),
            ("-LAYER OFF 0 N\n\n", lambda d: layer(d, "0").is_on(),
             "Really want layer 0 (the CURRENT layer) off? <N>"),
            ("-LAYER OFF 0 Y\n\n", lambda d: layer(d, "0").is_off(), None),
            ("-LAYER OFF NOSUCH\n\n", lambda d: True, "No matching layer names found: NOSUCH"),
            ("-LAYER OFF WALLS\n\nU\n", lambda d: layer(d, "WALLS").is_on(), None),
            ("-LAYER OFF WALLS\n\nERASE C -100,-100 200,200\n\n",
             lambda d: [e.dxftype() for e in d.modelspace()] == ["CIRCLE"], None),
            ("-LAYER OFF WALLS\n\nERASE ALL\n\n", lambda d: len(d.modelspace()) == 0, None),
            ("-LAYER F WALLS\n\nERASE ALL\n\n",
             lambda d: [e.dxftype() for e in d.modelspace()] == ["CIRCLE"], None),
        ]
        for script, check, message in cases:
            with self.subTest(script):
                proc, wd = run(script + "SAVE out.dxf\nQUIT\n", self.path)
                self.assertEqual(proc.returncode, 0, proc.stderr)
                if message:
                    self.assertIn(message, proc.stdout)
                doc = ezdxf.readfile(os.path.join(wd, "out.dxf"))
                self.assertFalse(doc.audit().has_errors)
                self.assertTrue(check(doc), proc.stdout)
                shutil.rmtree(wd, ignore_errors=True)

    # Test that a Russian session takes the local names of the options of "Select objects:",
    # ZOOM and -LAYER (and of the yes/no question), and "_" with the global ones.
    def test_russian_keywords(self):
        script = ("ZOOM Г\nERASE ВСЕ У Р 10,10 30,30 Д _W 200,200 300,300\n\n"
                  "-LAYER О 0 Д Б WALLS разб WALLS\n\nSAVE out.dxf\nQUIT\n")
        proc, wd = run(script, self.path, lang="ru")
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertNotIn("Неверн", proc.stdout)
        for found in ("Найдено: 1, удалено: 1, всего: 1", "Найдено: 0, всего: 1"):
            self.assertIn(found, proc.stdout)
        doc = ezdxf.readfile(os.path.join(wd, "out.dxf"))
        self.assertEqual([e.dxftype() for e in doc.modelspace()], ["CIRCLE"])
        self.assertTrue(doc.layers.get("0").is_off())
        self.assertFalse(doc.layers.get("WALLS").is_locked())
        for got, exp in zip(active_view(os.path.join(wd, "out.dxf")),
                            (50, 25, max(50, 100 / self.aspect))):
            self.assertAlmostEqual(got, exp, places=9)
        shutil.rmtree(wd, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
