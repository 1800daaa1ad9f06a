"""Batch mode: one script over a folder of drawings, each in its own process. A broken drawing
and an output that cannot be written fail with their reasons, the rest are done, and nothing
half-written is left in the output folder."""
import csv
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from e2e_support import ARXHOST, SOURCE_DIR

try:
    import ezdxf
except ImportError:  # pragma: no cover
    ezdxf = None

PLAN = os.path.join(SOURCE_DIR, "examples", "plan.dxf")
# Draws one line in every drawing, so that each result shows the script ran on it.
SCRIPT = "LINE\n-500,-500\n-400,-450\n\nQUIT\n"


def batch(workdir, *args):
    cmd = [ARXHOST, "--batch", os.path.join(workdir, "run.scr"),
           "--registry", os.path.join(workdir, "registry.reg")] + list(args)
    return subprocess.run(cmd, capture_output=True, text=True, timeout=300, cwd=workdir,
                          stdin=subprocess.DEVNULL)


class Batch(unittest.TestCase):
    def setUp(self):
        self.d = tempfile.mkdtemp(prefix="tev-batch-")
        with open(os.path.join(self.d, "run.scr"), "w") as f:
            f.write(SCRIPT)
        self.src = os.path.join(self.d, "drawings")
        os.mkdir(self.src)
        for name in ("a.dxf", "b.dxf", "blocked.dxf"):
            shutil.copy(PLAN, os.path.join(self.src, name))
        with open(PLAN, "rb") as f:
            data = f.read()
        with open(os.path.join(self.src, "broken.dxf"), "wb") as f:
            f.write(data[: len(data) // 2])
        with open(os.path.join(self.src, "notes.txt"), "w") as f:
            f.write("not a drawing\n")

    def tearDown(self):
        shutil.rmtree(self.d, ignore_errors=True)

    def test_folder_with_failures(self):
        out = os.path.join(self.d, "out")
        os.makedirs(os.path.join(out, "blocked.dxf"))  # a folder where a result must go
        report = os.path.join(self.d, "report.csv")
        r = batch(self.d, "--output-dir", out, "--jobs", "3", "--report", report, self.src)
        self.assertEqual(r.returncode, 1, r.stderr)

        with open(report, newline="") as f:
            rows = {os.path.basename(row["drawing"]): row for row in csv.DictReader(f)}
        self.assertEqual(sorted(rows), ["a.dxf", "b.dxf", "blocked.dxf", "broken.dxf"])
        self.assertEqual(rows["a.dxf"]["result"], "done")
        self.assertEqual(rows["b.dxf"]["result"], "done")
        self.assertEqual(rows["broken.dxf"]["result"], "failed")
        self.assertEqual(rows["broken.dxf"]["exit_code"], "3")
        self.assertRegex(rows["broken.dxf"]["reason"], r"broken\.dxf:\d+")
        self.assertEqual(rows["blocked.dxf"]["result"], "failed")
        self.assertIn("cannot write", rows["blocked.dxf"]["reason"])
        self.assertRegex(r.stdout, r"4 drawings: 2 done, 2 failed")
        self.assertRegex(r.stderr, r"FAILED .*broken\.dxf: exit 3")

        # Only whole results: the two done, the folder that was in the way, nothing else.
        self.assertEqual(sorted(os.listdir(out)), ["a.dxf", "b.dxf", "blocked.dxf"])
        self.assertEqual(os.listdir(os.path.join(out, "blocked.dxf")), [])
        if ezdxf is not None:
            before = len(ezdxf.readfile(PLAN).modelspace().query("LINE"))
            for name in ("a.dxf", "b.dxf"):
                lines = ezdxf.readfile(os.path.join(out, name)).modelspace().query("LINE")
                self.assertEqual(len(lines), before + 1, name)

    # Test that a result replaces an older one as a save does: through a symbolic link (the
    # link stays, the file it names gets the result) and keeping the old file's permissions.
    def test_result_replaces_an_older_one_as_a_save_does(self):
        out = os.path.join(self.d, "out")
        kept = os.path.join(self.d, "kept")
        os.makedirs(out)
        os.makedirs(kept)
        for name in ("a.dxf", "b.dxf"):
            with open(os.path.join(kept, name), "w") as f:
                f.write("older result\n")
        os.symlink(os.path.join(kept, "a.dxf"), os.path.join(out, "a.dxf"))
        shutil.copy(os.path.join(kept, "b.dxf"), os.path.join(out, "b.dxf"))
        os.chmod(os.path.join(out, "b.dxf"), 0o640)
        src = [os.path.join(self.src, n) for n in ("a.dxf", "b.dxf")]
        r = batch(self.d, "--output-dir", out, "--jobs", "2", *src)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(os.path.islink(os.path.join(out, "a.dxf")))
        with open(os.path.join(kept, "a.dxf")) as f:
            self.assertIn("SECTION", f.read())
        self.assertEqual(os.stat(os.path.join(out, "b.dxf")).st_mode & 0o777, 0o640)
        self.assertEqual(sorted(os.listdir(out)), ["a.dxf", "b.dxf"])

    def test_refused_before_anything_runs(self):
        file_in_the_way = os.path.join(self.d, "file")
        with open(file_in_the_way, "w") as f:
            f.write("x")
        other = os.path.join(self.d, "other")
        os.mkdir(other)
        shutil.copy(PLAN, os.path.join(other, "a.dxf"))
        cases = [
            ("output folder is a file", [file_in_the_way, self.src], r"output folder"),
            ("two drawings of one name", [os.path.join(self.d, "o1"), self.src, other],
             r"two drawings are named a\.dxf"),
            ("output over the drawings", [self.src, self.src], r"overwritten"),
            ("no such drawing", [os.path.join(self.d, "o2"), os.path.join(self.d, "none.dxf")],
             r"no such file"),
        ]
        for what, (outdir, *inputs), wanted in cases:
            with self.subTest(what):
                r = batch(self.d, "--output-dir", outdir, *inputs)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertRegex(r.stderr, wanted)
        self.assertFalse(os.path.exists(os.path.join(self.d, "o1", "a.dxf")))
        self.assertEqual(sorted(os.listdir(self.src)),
                         ["a.dxf", "b.dxf", "blocked.dxf", "broken.dxf", "notes.txt"])

    def test_report_cells_are_never_formulas(self):
        # Drawings and an output folder named as a spreadsheet formula would start.
        names = ["=1+2.dxf", "+3.dxf", "@sum.dxf", "-4.dxf"]
        for name in names:
            shutil.copy(PLAN, os.path.join(self.d, name))
        report = os.path.join(self.d, "report.csv")
        r = batch(self.d, "--output-dir", "=out", "--report", report, "--", *names)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(report, newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(sorted(row["drawing"] for row in rows), sorted("'" + n for n in names))
        for row in rows:
            for column, cell in row.items():
                self.assertFalse(cell[:1] and cell[0] in "=+-@", (column, cell))

    def test_a_drawing_that_never_ends_is_stopped_and_the_batch_goes_on(self):
        with open(os.path.join(self.d, "run.scr"), "w") as f:
            f.write("VIEW\n")  # the view then waits for its page for ever
        out = os.path.join(self.d, "out")
        report = os.path.join(self.d, "report.csv")
        started = time.monotonic()
        r = batch(self.d, "--output-dir", out, "--timeout", "1", "--jobs", "1", "--report", report,
                  os.path.join(self.src, "a.dxf"), os.path.join(self.src, "broken.dxf"))
        self.assertLess(time.monotonic() - started, 60)
        self.assertEqual(r.returncode, 1, r.stderr)
        with open(report, newline="") as f:
            rows = {os.path.basename(row["drawing"]): row for row in csv.DictReader(f)}
        self.assertEqual(rows["a.dxf"]["result"], "failed")
        self.assertIn("timed out", rows["a.dxf"]["reason"])
        self.assertEqual(rows["broken.dxf"]["exit_code"], "3")  # run after the one stopped
        self.assertEqual(os.listdir(out), [])  # nothing of the stopped run is left


if __name__ == "__main__":
    unittest.main()
