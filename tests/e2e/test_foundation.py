"""arxhost end to end: loading the module, Nor and SNAPANG, ARX Unload, unknown commands,
and the exit codes for files that cannot be used."""
import math
import os
import re
import subprocess
import tempfile
import unittest

from e2e_support import ARXHOST, run_arxhost


def snapang_shown(out):
    """The degrees the SNAPANG prompt shows as the current value."""
    m = re.findall(r"SNAPANG[^\n]*<([-0-9.eE+]+)>", out)
    return [float(v) for v in m]


class NorAndSnapAngle(unittest.TestCase):
    def test_nor_sets_snapang_shown_in_degrees(self):
        # Nor with 30 degrees, then SNAPANG shows 30 and is left as it is (Enter).
        r = run_arxhost("Nor\n30\nSNAPANG\n\nQUIT\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertIn("Введите угол:", r.out)
        shown = snapang_shown(r.out)
        self.assertEqual(len(shown), 1, r.out)
        self.assertAlmostEqual(shown[0], 30.0, places=6)

    def test_negative_angle_is_normalised_and_second_run_replaces(self):
        r = run_arxhost("Nor\n-30\nSNAPANG\n\nNor\n45\nSNAPANG\n\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertEqual([round(v, 6) for v in snapang_shown(r.out)], [330.0, 45.0])

    def test_empty_answer_is_refused_and_escape_leaves_it(self):
        # The empty answer is refused and asked again; ^C then cancels.
        r = run_arxhost("Nor\n\n^C\nSNAPANG\n\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertGreaterEqual(r.out.count("Введите угол:"), 2, r.out)
        self.assertEqual(snapang_shown(r.out), [0.0])


class ModuleLoading(unittest.TestCase):
    def test_unloaded_module_commands_are_unknown(self):
        r = run_arxhost("ARX\nUnload\ntevcom.arx\nNor\nQUIT\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertIn("tevcom.arx successfully unloaded.", r.out)
        self.assertIn('Unknown command "NOR".', r.out)

    def test_global_name_with_underscore_runs_the_command(self):
        r = run_arxhost("_tevNor\n90\nSNAPANG\n\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertAlmostEqual(snapang_shown(r.out)[0], 90.0, places=6)

    def test_unknown_command_and_end_of_input_at_a_prompt(self):
        # End of input while Nor waits is Escape; arxhost still ends cleanly with 0.
        r = run_arxhost("XYZ\nNor\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertIn('Unknown command "XYZ".', r.out)
        self.assertIn("*Cancel*", r.out)


class BadArguments(unittest.TestCase):
    def run_raw(self, *args):
        return subprocess.run([ARXHOST, *args], capture_output=True, text=True, timeout=60,
                              stdin=subprocess.DEVNULL)

    def test_missing_script_drawing_and_module_exit_2(self):
        d = tempfile.mkdtemp()
        for args in (["--script", os.path.join(d, "none.scr")],
                     [os.path.join(d, "none.dxf")],
                     ["--load", os.path.join(d, "none.arx")],
                     ["--script", d]):
            p = self.run_raw("--registry", os.path.join(d, "r.reg"), *args)
            self.assertEqual(p.returncode, 2, (args, p.stderr))
            self.assertTrue(p.stderr.strip(), args)

    def test_unknown_option_exits_2(self):
        p = self.run_raw("--no-such-option")
        self.assertEqual(p.returncode, 2)


if __name__ == "__main__":
    unittest.main()
