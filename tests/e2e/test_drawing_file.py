"""The drawing's file under a session: another session has it (the lock, read-only, a stale
lock taken over), another program rewrites or shortens it mid-session, and files that are no
drawing at all (a FIFO, a huge file that is not DXF) named on the command line."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from e2e_support import ARXHOST, SOURCE_DIR, run_arxhost

PLAN = os.path.join(SOURCE_DIR, "examples", "plan.dxf")
DRAW = "LINE\n0,0\n10,10\n\n"


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Session:
    """arxhost on a drawing, fed command by command through standard input."""

    def __init__(self, workdir, drawing="plan.dxf"):
        self.proc = subprocess.Popen(
            [ARXHOST, "--registry", os.path.join(workdir, "registry.reg"), drawing],
            cwd=workdir, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            text=True)

    def send(self, text):
        self.proc.stdin.write(text)
        self.proc.stdin.flush()

    def end(self, text="QUIT\n"):
        out, err = self.proc.communicate(text, timeout=120)
        return self.proc.returncode, out, err


def wait_for(path):
    for _ in range(600):
        if os.path.exists(path):
            return
        time.sleep(0.05)
    raise AssertionError(path + " never appeared")


class DrawingFile(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tev-file-")
        shutil.copy(PLAN, os.path.join(self.dir, "plan.dxf"))
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    # Test two sessions on one drawing: the second opens it read-only, says who has it, and
    # its QSAVE asks for another name; the first saves as usual and its lock goes with it. A
    # lock whose process is gone is taken over.
    def test_two_sessions(self):
        first = Session(self.dir)
        wait_for(self.path("plan.dxf.lock"))
        original = read(self.path("plan.dxf"))
        second = run_arxhost(DRAW + "QSAVE\nmine.dxf\nQUIT\n", drawing="plan.dxf",
                             workdir=self.dir)
        self.assertEqual(second.rc, 0, second.err)
        self.assertIn("opened read-only", second.err)
        self.assertIn("(process %d)" % first.proc.pid, second.err)
        self.assertIn("open read-only: save the drawing under another name", second.out)
        self.assertIn("Drawing saved to " + self.path("mine.dxf"), second.out)
        self.assertEqual(read(self.path("plan.dxf")), original)
        rc, out, err = first.end(DRAW + "QSAVE\nQUIT\n")
        self.assertEqual(rc, 0, err)
        self.assertIn("Drawing saved to " + self.path("plan.dxf"), out)
        self.assertNotEqual(read(self.path("plan.dxf")), original)
        self.assertFalse(os.path.exists(self.path("plan.dxf.lock")))

        gone = subprocess.Popen(["true"])
        gone.wait()
        with open(self.path("plan.dxf.lock"), "w") as f:
            f.write("user=someone\nmachine=%s\npid=%d\n" % (socket.gethostname(), gone.pid))
        third = run_arxhost(DRAW + "QSAVE\nQUIT\n", drawing="plan.dxf", workdir=self.dir)
        self.assertEqual(third.rc, 0, third.err)
        self.assertNotIn("read-only", third.err + third.out)
        self.assertIn("Drawing saved to " + self.path("plan.dxf"), third.out)
        self.assertFalse(os.path.exists(self.path("plan.dxf.lock")))

    # Test another program rewriting the drawing (same length) or shortening it while a
    # session has it: QSAVE refuses to replace it, and SAVE elsewhere writes what the
    # session holds, as a session on the untouched file does.
    def test_changed_mid_session(self):
        reference = run_arxhost(DRAW + "SAVE\nref.dxf\nQUIT\n", drawing="plan.dxf",
                                workdir=self.dir)
        self.assertEqual(reference.rc, 0, reference.err)
        text = read(self.path("plan.dxf"))
        changes = {
            "rewritten": lambda f: f.write(bytes(b if b in b"\r\n" else 0x78 for b in text)),
            "shortened": lambda f: f.truncate(len(text) // 3),
            "emptied": lambda f: f.truncate(0),
        }
        for name, change in changes.items():
            with self.subTest(name):
                with open(self.path("plan.dxf"), "wb") as f:
                    f.write(text)
                session = Session(self.dir)
                session.send(DRAW)
                wait_for(self.path("plan.dxf.lock"))
                time.sleep(0.5)
                with open(self.path("plan.dxf"), "r+b") as f:
                    change(f)
                changed = read(self.path("plan.dxf"))
                rc, out, err = session.end("QSAVE\nSAVE\nelse.dxf\nQUIT\n")
                self.assertEqual(rc, 4, err)  # a save of the run failed
                self.assertIn("was changed by another program", out)
                self.assertEqual(read(self.path("plan.dxf")), changed)
                self.assertEqual(read(self.path("else.dxf")),
                                 read(self.path("ref.dxf")))

    # Test files that are no drawing: a FIFO is refused at once (nothing waits for a
    # writer), and a 2 GB file that is not DXF is refused by its first kilobytes, without
    # reading the rest.
    def test_not_a_drawing(self):
        os.mkfifo(self.path("pipe.dxf"))
        r = run_arxhost("QUIT\n", drawing="pipe.dxf", workdir=self.dir, timeout=30)
        self.assertEqual(r.rc, 2)
        self.assertIn("is a FIFO, not a regular file", r.err)

        with open(self.path("sparse.dxf"), "wb") as f:
            f.truncate(2 << 30)
        probe = ("import resource, subprocess, sys\n"
                 "r = subprocess.run(sys.argv[1:], capture_output=True, text=True)\n"
                 "print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n"
                 "print(r.stderr)\n")
        out = subprocess.run([sys.executable, "-c", probe, ARXHOST, "--audit",
                              self.path("sparse.dxf")], capture_output=True, text=True,
                             timeout=120).stdout
        first, message = out.split("\n", 1)
        rc, peak_kb = (int(x) for x in first.split())
        self.assertEqual(rc, 3, message)
        self.assertIn("sparse.dxf:1: not a DXF file", message)
        self.assertLess(peak_kb, 400 * 1024)


if __name__ == "__main__":
    unittest.main()
