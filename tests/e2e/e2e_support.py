"""Helpers for the end-to-end tests: run arxhost with a script and collect what it did."""
import os
import subprocess
import tempfile

ARXHOST = os.environ.get("ARXHOST", "arxhost")
SOURCE_DIR = os.environ.get("TEV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


class Run:
    def __init__(self, proc, workdir):
        self.rc = proc.returncode
        self.out = proc.stdout
        self.err = proc.stderr
        self.workdir = workdir

    def path(self, name):
        return os.path.join(self.workdir, name)


def run_arxhost(script, args=(), drawing=None, workdir=None, timeout=120):
    """Runs arxhost on a script (a string of lines) in workdir (a fresh folder by default).
    The registry goes to a file in workdir so that no test touches the user's."""
    workdir = workdir or tempfile.mkdtemp(prefix="tev-e2e-")
    script_path = os.path.join(workdir, "run.scr")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write(script)
    cmd = [ARXHOST, "--registry", os.path.join(workdir, "registry.reg"), "--script", script_path]
    cmd += list(args)
    if drawing:
        cmd.append(drawing)
    proc = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout, cwd=workdir,
                          stdin=subprocess.DEVNULL)
    return Run(proc, workdir)
