"""The host's own drafting commands, one journey per family, on small drawings made with
ezdxf: ERASE and OOPS (handles checked in the saved files), LIST, ID and DIST, -LAYER ?,
HELP and --help; and the host's texts in Russian or English by --lang and the locale."""
import math
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from e2e_support import ARXHOST, SOURCE_DIR

try:
    import ezdxf
except ImportError:  # pragma: no cover - the suite installs python3-ezdxf
    ezdxf = None

MODULE_COMMANDS = ["Cl", "Sel", "Lp", "Jl", "Nor", "Lpl", "Wpe", "En", "nEn"]


def run(script, drawing=None, args=(), lang_env=None):
    """Runs arxhost on script in a fresh folder with a chosen locale (English by default)."""
    workdir = tempfile.mkdtemp(prefix="tev-cmds-")
    with open(os.path.join(workdir, "run.scr"), "w", encoding="utf-8") as f:
        f.write(script)
    env = {k: v for k, v in os.environ.items()
           if k not in ("LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES")}
    env.update(lang_env or {"LANG": "C.UTF-8"})
    cmd = [ARXHOST, "--registry", os.path.join(workdir, "r.reg"), "--script",
           os.path.join(workdir, "run.scr"), *args]
    if drawing:
        cmd.append(drawing)
    proc = subprocess.run(cmd, capture_output=True, text=True, cwd=workdir, env=env,
                          stdin=subprocess.DEVNULL, timeout=120)
    return proc, workdir


def handles(path):
    return {e.dxf.handle: e for e in ezdxf.readfile(path).modelspace()}


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class HostCommands(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tev-cmds-src-")
        doc = ezdxf.new("R2000")
        doc.layers.add("WALLS", color=1)
        doc.layers.add("FIXED", color=3).lock()
        doc.layers.add("HIDDEN", color=5).off()
        doc.layers.add("ICE").freeze()
        msp = doc.modelspace()
        cls.line = msp.add_line((0, 0), (3, 4), dxfattribs={"color": 1, "linetype": "DASHED"})
        cls.circle = msp.add_circle((20, 20), 5, dxfattribs={"layer": "WALLS"})
        # A 10 x 10 square whose top side bulges outward as a half circle of radius 5.
        cls.pline = msp.add_lwpolyline([(0, 30, 0, 0, 0), (10, 30, 0, 0, 0),
                                        (10, 40, 0, 0, 1), (0, 40, 0, 0, 0)],
                                       format="xyseb", close=True)
        cls.text = msp.add_text("Plan A", dxfattribs={"height": 2.5, "insert": (50, 0)})
        cls.locked = msp.add_line((0, 60), (5, 60), dxfattribs={"layer": "FIXED"})
        cls.path = os.path.join(cls.dir, "small.dxf")
        doc.saveas(cls.path)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    # Test that ERASE takes what it may, reports the locked, and OOPS brings the erased back
    # with their handles, once.
    def test_erase_and_oops_keep_handles(self):
        proc, wd = run("ERASE ALL\n\nSAVE erased.dxf\nOOPS\nSAVE restored.dxf\nOOPS\nQUIT\n",
                       drawing=self.path)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn("1 was on a locked layer.", proc.stdout)
        self.assertIn("Nothing has been erased to restore.", proc.stdout)
        original = handles(self.path)
        erased = handles(os.path.join(wd, "erased.dxf"))
        self.assertEqual(set(erased), {self.locked.dxf.handle})
        restored = handles(os.path.join(wd, "restored.dxf"))
        self.assertEqual(set(restored), set(original))
        self.assertEqual(restored[self.line.dxf.handle].dxf.color, 1)
        self.assertEqual(tuple(restored[self.circle.dxf.handle].dxf.center), (20, 20, 0))
        doc = ezdxf.readfile(os.path.join(wd, "restored.dxf"))
        self.assertEqual(len(doc.audit().errors), 0)

    # Test that LIST describes each kind in words with the values a drafter checks, and that
    # ID and DIST measure (3D distance, angles in whole degrees, any quadrant).
    def test_list_id_and_dist(self):
        proc, _ = run("LIST ALL\n\nID 3,4,5\nDIST 0,0,0 3,4,12\nDIST 0,0 -1,-1\nQUIT\n",
                      drawing=self.path)
        out = proc.stdout
        self.assertEqual(proc.returncode, 0, proc.stderr)
        blocks = {}
        for block in re.split(r"\n(?=\s+[A-Z]+\s+Layer:)", out):
            m = re.search(r"Handle = (\w+)", block)
            if m:
                blocks[m.group(1)] = block
        line = blocks[self.line.dxf.handle]
        self.assertIn("LINE", line)
        self.assertIn('Color: 1 (red)', line)
        self.assertIn('Linetype: "DASHED"', line)
        self.assertIn("Length = 5.0000,  Angle in XY Plane = 53", line)
        circle = blocks[self.circle.dxf.handle]
        self.assertIn('Layer: "WALLS"', circle)
        self.assertNotIn("Color:", circle)  # BYLAYER is not shown
        self.assertRegex(circle, r"area\s+78\.5398")
        pline = blocks[self.pline.dxf.handle]
        self.assertIn("Closed", pline)
        self.assertRegex(pline, r"area\s+%.4f" % (100 + math.pi * 25 / 2))
        self.assertRegex(pline, r"perimeter\s+%.4f" % (30 + 5 * math.pi))
        self.assertEqual(pline.count("at point"), 4)
        self.assertIn("text Plan A", blocks[self.text.dxf.handle])
        self.assertIn("X = 3.0000     Y = 4.0000     Z = 5.0000", out)
        self.assertIn("Distance = 13.0000,  Angle in XY Plane = 53,  Angle from XY Plane = 67",
                      out)
        self.assertIn("Delta X = 3.0000,  Delta Y = 4.0000,  Delta Z = 12.0000", out)
        self.assertIn("Angle in XY Plane = 225", out)

    # Test that a coordinate or distance beyond 1E15 is refused at the prompt and asked again,
    # and that LIST, ID and DIST show the huge values a file may hold as they are, not as a
    # string of digits a double does not hold, nor as inf.
    def test_huge_numbers(self):
        doc = ezdxf.new("R2000")
        msp = doc.modelspace()
        msp.add_line((200, 300), (1e300, 5))
        msp.add_circle((0, 0), 1e300)
        huge = os.path.join(self.dir, "huge.dxf")
        doc.saveas(huge)
        proc, wd = run("LINE 200,300 1e300,5 @1e15<0 10,10 \nCIRCLE 500,500 1e300 -1e15,0 5\n"
                       "ID 1e300,0 1,2\nDIST 0,0 1e300,1e300 -1e15,-1e15\nLIST ALL\n\nQUIT\n",
                       drawing=huge, args=["--output", "out.dxf"])
        out = proc.stdout
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual(out.count("Coordinates and distances must lie between -1E15 and 1E15."),
                         6, out)
        self.assertIn("X = 1.0000     Y = 2.0000", out)
        self.assertIn("Distance = 1.4142135623731E+15", out)
        self.assertIn("Delta X = -1.0000E+15", out)
        self.assertRegex(out, r"to point,\s+X=1\.0000E\+300\s+Y=\s+5\.0000")
        self.assertIn("Length = 1.0000E+300", out)
        self.assertRegex(out, r"circumference\s+6\.28318530717959E\+300")
        self.assertRegex(out, r"area\s+3\.14159265358979E\+600")
        self.assertNotRegex(out, r"\d{17}|inf|nan")
        drawn = ezdxf.readfile(os.path.join(wd, "out.dxf")).modelspace()
        self.assertIn(((200, 300), (10, 10)),
                      [(tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2]) for e in drawn.query("LINE")])
        self.assertIn(5, [e.dxf.radius for e in drawn.query("CIRCLE")])

    # Test that -LAYER ? lists states, colours and linetypes, filters by wildcard, and that
    # the other options still work around it.
    def test_layer_listing(self):
        proc, _ = run("-LAYER N new1 ?\n\n? w*,ic?\n\nQUIT\n", drawing=self.path)
        rows = {}
        listings = proc.stdout.split("Layer name")
        self.assertEqual(len(listings), 3, proc.stdout)
        for row in listings[1].splitlines():
            parts = row.split()
            if len(parts) >= 6:
                rows[parts[0]] = parts[1:]
        self.assertEqual(rows["FIXED"][:3], ["On", "Thawed", "Locked"])
        self.assertEqual(rows["HIDDEN"][0], "Off")
        self.assertEqual(rows["ICE"][1], "Frozen")
        self.assertEqual(rows["WALLS"][3:5], ["1", "(red)"])
        self.assertIn("new1", rows)
        filtered = listings[2].split("Current layer")[0]
        self.assertIn("WALLS", filtered)
        self.assertIn("ICE", filtered)
        self.assertNotIn("FIXED", filtered)

    # Test that HELP, ? and --help name every command with a line of what it does, the
    # module's nine included, and that --version answers.
    def test_help_names_every_command(self):
        proc, _ = run("HELP\n?\nQUIT\n")
        for name in ["ERASE", "OOPS", "LIST", "ID", "DIST", "HELP", "-LAYER", "SAVE", "QUIT"]:
            self.assertRegex(proc.stdout, r"\n  %s +\S" % re.escape(name))
        for name in MODULE_COMMANDS:
            self.assertEqual(len(re.findall(r"\n  %s +\S" % name, proc.stdout)), 2, name)
        self.assertNotIn("(no description)", proc.stdout)
        usage = subprocess.run([ARXHOST, "--help"], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 0)
        for name in ["--lang", "--version", "ERASE", "LIST", "DIST", "HELP", *MODULE_COMMANDS]:
            self.assertIn(name, usage.stdout)
        version = subprocess.run([ARXHOST, "--version"], capture_output=True, text=True)
        self.assertRegex(version.stdout, r"^arxhost \d+\.\d+")


class HostLanguage(unittest.TestCase):
    SCRIPT = "ERASE 0,0\n\nNor\n^C\nFOO\nQUIT\n"

    # Test that Russian comes from --lang or a Russian locale (installed or not), English from
    # any other locale or --lang en, and that the module's own texts stay as they are.
    def test_language_by_option_and_locale(self):
        cases = [
            ({"LANG": "C.UTF-8"}, ["--lang", "ru"], True),
            ({"LANG": "ru_RU.UTF-8"}, [], True),
            ({"LC_ALL": "C", "LANG": "C"}, ["--lang", "RU"], True),
            ({"LANG": "de_DE.UTF-8"}, [], False),
            ({"LANG": "ru_RU.UTF-8"}, ["--lang", "en"], False),
            ({"LC_ALL": "de_DE.UTF-8", "LANG": "ru_RU.UTF-8"}, [], False),
        ]
        for env, args, russian in cases:
            with self.subTest(env=env, args=args):
                proc, _ = run(self.SCRIPT, args=args, lang_env=env)
                self.assertEqual(proc.returncode, 0, proc.stderr)
                out = proc.stdout
                if russian:
                    for text in ["Команда: ", "Выберите объекты: ", "Неизвестная команда"]:
                        self.assertIn(text, out)
                    self.assertNotIn("Command:", out)
                else:
                    for text in ["Command: ", "Select objects: ", 'Unknown command "FOO".']:
                        self.assertIn(text, out)
                    self.assertNotIn("Команда", out)
                self.assertIn("Введите угол:", out)  # the module's own prompt, unchanged

    # Test that every text the host marks for translation has a Russian one in po/ru.po.
    @unittest.skipIf(shutil.which("xgettext") is None, "gettext is not installed")
    def test_catalogue_is_complete(self):
        check = subprocess.run(["bash", os.path.join(SOURCE_DIR, "scripts", "update-po.sh"),
                                "--check"], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)


if __name__ == "__main__":
    unittest.main()
