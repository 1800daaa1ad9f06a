"""arxhost at a real pseudo-terminal: the module's commands in any locale, Escape, history,
the question before unsaved work is dropped; and the same rules for scripts."""
import fcntl
import os
import pty
import re
import select
import shutil
import struct
import tempfile
import termios
import time
import unittest
import urllib.parse
import urllib.request

from e2e_support import ARXHOST, SOURCE_DIR, run_arxhost

ESC, UP, DOWN, LEFT, CTRL_D, CTRL_C = b"\x1b", b"\x1b[A", b"\x1b[B", b"\x1b[D", b"\x04", b"\x03"


class Terminal:
    """arxhost on the slave side of a pty, LC_ALL set to locale."""

    def __init__(self, locale, args=(), cwd=None):
        self.cwd = cwd or tempfile.mkdtemp(prefix="tev-pty-")
        argv = [ARXHOST, "--registry", os.path.join(self.cwd, "r.reg"), *args]
        env = {"PATH": "/usr/bin:/bin", "TERM": "xterm", "LC_ALL": locale}
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(self.cwd)
            os.execve(ARXHOST, argv, env)
        fcntl.ioctl(self.fd, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 200, 0, 0))
        self.seen = b""  # everything the terminal showed
        self.mark = 0    # where the next expect starts looking

    def send(self, data):
        os.write(self.fd, data)

    def expect(self, text, timeout=10):
        """Waits until text (bytes) is shown after the previous match; returns what came
        before it."""
        end = time.time() + timeout
        while True:
            at = self.seen.find(text, self.mark)
            if at >= 0:
                before = self.seen[self.mark:at]
                self.mark = at + len(text)
                return before
            left = end - time.time()
            if left <= 0 or not self._read(left):
                raise AssertionError(f"{text!r} never shown; the screen ended with "
                                     f"{self.seen[-600:]!r}")

    def _read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 4096)
        except OSError:  # the slave side closed: the process ended
            return False
        self.seen += data
        return bool(data)

    def wait(self, timeout=20):
        """The exit status once the process ends (reading what it still shows)."""
        end = time.time() + timeout
        while time.time() < end:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                while self._read(0.1):
                    pass
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            self._read(0.1)
        os.kill(self.pid, 9)
        raise AssertionError(f"arxhost did not end; the screen ended with {self.seen[-600:]!r}")


# Each module command and the start of its first prompt, in UTF-8 and as an ASCII
# terminal shows it.
COMMANDS = [
    ("Cl", "Укажите цвет", "Ukazhite tsvet"),
    ("Sel", "Укажите цвет", "Ukazhite tsvet"),
    ("Lp", "Укажите первую точку", "Ukazhite pervuiu tochku"),
    ("Jl", "Укажите первую линию", "Ukazhite pervuiu liniiu"),
    ("Nor", "Введите угол", "Vvedite ugol"),
    ("Lpl", "Укажите цвет", "Ukazhite tsvet"),
    ("Wpe", "Select objects", "Select objects"),
    ("En", "Выберите примитив", "Vyberite primitiv"),
    ("nEn", "Выберите примитив", "Vyberite primitiv"),
]


class EveryLocale(unittest.TestCase):
    def test_each_command_prompts_and_escape_lets_the_next_name_through(self):
        # The Escape and the next command's name go in one write: a lone Escape must
        # cancel at once and leave the name whole.
        # A locale this system lacks still says UTF-8 by its name.
        for locale, ascii_only in (("C", True), ("C.UTF-8", False), ("xx_YY.utf8", False)):
            with self.subTest(locale=locale):
                t = Terminal(locale)
                t.expect(b"Command: ")
                typed = b""
                for name, utf8, latin in COMMANDS:
                    t.send(typed + name.encode() + b"\r")
                    if typed:
                        # The editor shows a prompt again as it ends it: wait for the
                        # cancel, so that the next match is the next command's own prompt.
                        t.expect(b"*Cancel*")
                    t.expect((latin if ascii_only else utf8).encode())
                    typed = ESC
                t.send(ESC + "Ыы\r".encode())
                shown = "Yy" if ascii_only else "Ыы"
                t.expect(f'Unknown command "{shown}".'.encode())
                t.send(b"QUIT\r")
                self.assertEqual(t.wait(), 0, t.seen[-600:])
                self.assertEqual(t.seen.count(b"*Cancel*"), len(COMMANDS), t.seen)
                if ascii_only:
                    self.assertTrue(all(b < 0x80 for b in t.seen), t.seen)


class Editing(unittest.TestCase):
    def test_history_arrows_repeat_and_ctrl_d(self):
        t = Terminal("C.UTF-8")
        t.send(b"XYZ\r")
        t.expect(b'Unknown command "XYZ"')
        t.send(b"Nor\r")
        t.expect("Введите угол".encode())
        t.send(ESC)
        t.expect(b"*Cancel*")
        # Up, Up reaches XYZ, Down comes back to Nor.
        t.send(UP + UP + DOWN + b"\r")
        t.expect("Введите угол".encode())
        t.send(b"5" + LEFT + b"4\r")  # typed as 54, edited into 45
        t.send(b"SNAPANG\r")
        t.expect(b"<45>")
        t.send(b"\r")  # Enter keeps the value
        t.send(b"\r")  # Enter at the empty prompt repeats SNAPANG
        t.expect(b"Repeating SNAPANG")
        t.expect(b"<45>")
        t.send(ESC)
        t.expect(b"*Cancel*")
        t.send(CTRL_D)  # SNAPANG is kept in the drawing: it changed
        t.expect(b"Save changes to Drawing1.dxf?")
        t.send(CTRL_D)  # Ctrl-D at the question is Cancel: nothing is dropped unasked
        t.expect(b"Command: ")
        t.send(CTRL_D)
        t.expect(b"Save changes")
        t.send(b"N\r")
        self.assertEqual(t.wait(), 0, t.seen[-600:])


def draw_a_line(t):
    t.send(b"LINE\r")
    t.send(b"0,0\r")
    t.send(b"10,0\r")
    t.send(b"\r")
    t.send(b"DBMOD\r")
    t.expect(b"DBMOD = 1")


class SaveQuestion(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tev-pty-")
        os.mkdir(os.path.join(self.dir, "sub"))
        self.plan = os.path.join(self.dir, "sub", "plan.dxf")
        shutil.copy(os.path.join(SOURCE_DIR, "examples", "plan.dxf"), self.plan)
        with open(self.plan, "rb") as f:
            self.original = f.read()

    def plan_now(self):
        with open(self.plan, "rb") as f:
            return f.read()

    def test_cancel_returns_and_yes_saves(self):
        t = Terminal("C", [self.plan], cwd=self.dir)
        draw_a_line(t)
        t.send(b"QUIT\r")
        t.expect(b"Save changes to " + self.plan.encode() + b"?")
        t.send(b"C\r")
        t.send(b"DBMOD\r")  # still running, still modified
        t.expect(b"DBMOD = 1")
        t.send(CTRL_D)  # the end of input asks too
        t.expect(b"Save changes to")
        t.send(b"Y\r")
        self.assertEqual(t.wait(), 0, t.seen[-600:])
        self.assertNotEqual(self.plan_now(), self.original)

    def test_no_discards(self):
        t = Terminal("C", [self.plan], cwd=self.dir)
        draw_a_line(t)
        t.send(b"QUIT\r")
        t.expect(b"Save changes to")
        t.send(b"N\r")
        self.assertEqual(t.wait(), 0, t.seen[-600:])
        self.assertEqual(self.plan_now(), self.original)

    def test_russian_initials_answer_in_a_locale_not_installed(self):
        # "О" is Отмена (Cancel), "Н" Нет (No), as the prompt shows them, in UTF-8.
        t = Terminal("ru_XX.UTF-8", [self.plan], cwd=self.dir)
        draw_a_line(t)
        t.send(b"QUIT\r")
        t.expect("Сохранить изменения в ".encode())
        t.send("О\r".encode())
        t.expect("Команда: ".encode())
        t.send(b"QUIT\r")
        t.expect("Сохранить изменения в ".encode())
        t.send("Н\r".encode())
        self.assertEqual(t.wait(), 0, t.seen[-600:])
        self.assertEqual(self.plan_now(), self.original)

    def test_failed_save_keeps_the_drawing_and_says_why(self):
        t = Terminal("C", [self.plan], cwd=self.dir)
        draw_a_line(t)
        shutil.rmtree(os.path.join(self.dir, "sub"))  # nowhere to save to now
        t.send(b"QUIT\r")
        t.expect(b"Save changes to")
        t.send(b"\r")  # Yes, the default
        t.expect(b"The drawing was not saved: ")
        t.send(b"DBMOD\r")
        t.expect(b"DBMOD = 1")
        t.send(b"SAVE\r")
        t.expect(b"Save drawing as <")
        t.send(b"kept\r")
        t.expect(b"Drawing saved to " + os.path.join(self.dir, "kept.dxf").encode())
        t.send(b"QUIT\r")  # saved now: no question
        self.assertEqual(t.wait(), 4, t.seen[-600:])  # one save failed on the way
        self.assertNotIn(b"Save changes", t.seen[t.seen.rfind(b"Drawing saved"):])


class ViewOpen(unittest.TestCase):
    """The view open (--view, or VIEW typed): the terminal keeps its line editor beside the
    page, Ctrl-C cancels the prompt and never ends the session."""

    def answer_from_the_page(self, t, line):
        url = re.search(rb"View: (http://[^/]+)/\?token=([0-9a-f]+)", t.seen)
        self.assertIsNotNone(url, t.seen)
        base, token = url.group(1).decode(), url.group(2).decode()
        body = urllib.parse.urlencode({"a": "L" + line}).encode()
        request = urllib.request.Request(f"{base}/api/answer?token={token}", data=body)
        direct = urllib.request.build_opener(urllib.request.ProxyHandler({}))  # loopback
        with direct.open(request, timeout=10) as reply:
            self.assertEqual(reply.status, 204)

    def test_ctrl_c_cancels_and_the_line_editor_stays(self):
        for how in ("--view", "VIEW"):
            with self.subTest(how):
                t = Terminal("C.UTF-8", ["--view", "0"] if how == "--view" else [])
                if how == "VIEW":
                    t.expect(b"Command: ")
                    t.send(b"VIEW\r")
                t.expect(b"View: http://")
                t.expect(b"Command: ")
                t.send(b"LINE\r")
                t.expect(b"Specify first point")
                t.send(CTRL_C)
                t.expect(b"*Cancel*")
                t.send(CTRL_C)  # at the command prompt too
                t.expect(b"*Cancel*")
                t.send(b"LINE\r")
                t.expect(b"Specify first point")
                t.send(b"5,5" + ESC)
                t.expect(b"*Cancel*")
                t.send(b"XYZ\r")
                t.expect(b'Unknown command "XYZ"')
                t.send(UP + b"W\r")  # the last line again, edited
                t.expect(b'Unknown command "XYZW"')
                # The page answers while a line is half typed at the terminal: the page's
                # answer takes the prompt, and the terminal shows it there.
                t.send(b"ab")
                time.sleep(0.3)
                self.answer_from_the_page(t, "PAGE")
                t.expect(b'Command: PAGE')
                t.expect(b'Unknown command "PAGE"')
                t.send(b"QUIT\r")
                self.assertEqual(t.wait(), 0, t.seen[-600:])
                self.assertNotIn(b"Save changes", t.seen)
                self.assertNotIn(b"^[", t.seen)  # no key came in as a raw sequence


class Scripts(unittest.TestCase):
    LINE = "LINE\n0,0\n10,0\n\n"

    def test_unsaved_changes_are_reported_and_a_failed_save_exits_4(self):
        r = run_arxhost(self.LINE + "QUIT\n")
        self.assertEqual(r.rc, 0, r.err)
        self.assertIn("changes that were not saved", r.err)
        self.assertNotIn("Save changes", r.out)  # a script is never asked
        r = run_arxhost(self.LINE, args=["--output", "out.dxf"])
        self.assertEqual((r.rc, r.err), (0, ""))
        r = run_arxhost(self.LINE + "SAVE\n/nonexistent/dir/x.dxf\nSAVE\nfine\n")
        self.assertEqual(r.rc, 4, r.out)
        self.assertIn("The drawing was not saved", r.out)
        self.assertTrue(os.path.exists(r.path("fine.dxf")))
        self.assertEqual(r.err, "")  # saved in the end

    def test_save_qsave_and_svg_offer_the_drawing_name(self):
        d = tempfile.mkdtemp(prefix="tev-e2e-")
        plan = os.path.join(d, "plan.dxf")
        shutil.copy(os.path.join(SOURCE_DIR, "examples", "plan.dxf"), plan)
        with open(plan, "rb") as f:
            original = f.read()
        r = run_arxhost(self.LINE + "SVG\n\nSAVE\ncopy\n" + self.LINE + "QSAVE\n",
                        drawing=plan, workdir=d)
        self.assertEqual((r.rc, r.err), (0, ""), r.out)
        self.assertIn("Picture file <" + os.path.join(d, "plan.svg") + ">", r.out)
        self.assertTrue(os.path.exists(os.path.join(d, "plan.svg")))
        copy = os.path.join(d, "copy.dxf")
        self.assertEqual(r.out.count("Drawing saved to " + copy), 2, r.out)  # SAVE, QSAVE
        with open(plan, "rb") as f:
            self.assertEqual(f.read(), original)  # SAVE made copy.dxf the drawing's file


if __name__ == "__main__":
    unittest.main()
