"""The view's server under abuse, on loopback: header floods, a huge body and slow clients
without the token leave arxhost's memory bounded and the page's own requests answered; the
page's answers arrive as sent; ARX from the page is refused unless arxhost allows it."""
import os
import re
import socket
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse
import urllib.request

from e2e_support import ARXHOST


class View:
    """arxhost with the view open on a free port, its transcript collected as it comes."""

    def __init__(self, *args):
        workdir = tempfile.mkdtemp(prefix="tev-view-")
        self.proc = subprocess.Popen(
            [ARXHOST, "--registry", os.path.join(workdir, "registry.reg"), "--lang", "en",
             "--view", *args], cwd=workdir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True)
        self.out = ""
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        m = self.wait_for(r"View: http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)")
        self.port, self.token = int(m.group(1)), m.group(2)

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.out += line

    def wait_for(self, pattern, count=1, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            with self.lock:
                found = list(re.finditer(pattern, self.out))
            if len(found) >= count:
                return found[-1]
            time.sleep(0.05)
        raise AssertionError(f"{pattern!r} x{count} not in the transcript:\n{self.out}")

    def page(self, path, method="GET", timeout=5, **params):
        """A request as the page makes it: with the token, answered within timeout."""
        query = urllib.parse.urlencode({**params, "token": self.token}, doseq=True)
        url = f"http://127.0.0.1:{self.port}{path}?{query}"
        with urllib.request.urlopen(urllib.request.Request(url, method=method),
                                    timeout=timeout) as r:
            return r.status, r.read()

    def peak_kb(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))

    def quit(self):
        try:
            self.page("/api/answer", "POST", a="LQUIT")
        except OSError:
            pass  # the session ended before the answer's reply went out
        self.proc.wait(timeout=30)

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()
        self.proc.stderr.close()


def flood(port, head, chunk, total):
    """Sends head, then chunk until total bytes went or the server cut the connection off;
    returns whether it did."""
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    try:
        s.sendall(head)
        sent = 0
        while sent < total:
            s.sendall(chunk)
            sent += len(chunk)
        return False
    except OSError:
        return True
    finally:
        s.close()


class ServerUnderAbuse(unittest.TestCase):
    def test_floods_and_slow_clients_neither_grow_arxhost_nor_keep_the_page_out(self):
        view = View()
        try:
            host = f"Host: 127.0.0.1:{view.port}\r\n".encode()
            before = view.peak_kb()
            # 3 x 24 MB of header lines, and a 1.5 GB body, all without the token.
            line = b"X-Filler: " + b"a" * 8000 + b"\r\n"
            cut = []
            floods = [threading.Thread(target=lambda: cut.append(flood(
                view.port, b"GET /api/state HTTP/1.1\r\n" + host, line, 24 << 20)))
                for _ in range(3)]
            floods.append(threading.Thread(target=lambda: cut.append(flood(
                view.port, b"POST /api/answer HTTP/1.1\r\n" + host +
                b"Content-Type: application/x-www-form-urlencoded\r\n"
                b"Content-Length: 1500000000\r\n\r\n", b"a=L" * 20000, 48 << 20))))
            for t in floods:
                t.start()
            for t in floods:
                t.join()
            self.assertEqual(cut, [True] * 4, "the server read a flood whole")

            # 150 clients trickling a header line each every half second.
            stop = threading.Event()

            def trickle():
                try:
                    with socket.create_connection(("127.0.0.1", view.port), timeout=5) as s:
                        s.sendall(b"GET /index.html HTTP/1.1\r\n" + host)
                        while not stop.wait(0.5):
                            s.sendall(b"X-Slow: 1\r\n")
                except OSError:
                    pass  # cut off: as it should be

            slow = [threading.Thread(target=trickle) for _ in range(150)]
            for t in slow:
                t.start()
            time.sleep(1)
            try:
                for path, params in [("/", {}), ("/api/drawing", {}),
                                     ("/api/state", {"since": 0}), ("/view.js", {})]:
                    status, body = view.page(path, **params)
                    self.assertEqual(status, 200, path)
                    self.assertTrue(body, path)
            finally:
                stop.set()
                for t in slow:
                    t.join()
            grown = view.peak_kb() - before
            self.assertLess(grown, 48 * 1024, f"arxhost grew by {grown} KB")
            view.quit()
            self.assertEqual(view.proc.returncode, 0)
        finally:
            view.close()

    def test_page_answers_arrive_as_sent_and_arx_needs_the_option(self):
        for args, arx_result in [((), "ARX is refused from the view"),
                                 (("--view-allow-load",), "Unable to load /nonexistent/m.arx")]:
            view = View(*args)
            try:
                # Two identical answers are two answers.
                view.page("/api/answer", "POST", a=["LNOSUCH", "LNOSUCH"])
                view.wait_for(r'Unknown command "NOSUCH"', count=2)
                view.page("/api/answer", "POST", a=["LARX", "LL", "L/nonexistent/m.arx"])
                view.wait_for(re.escape(arx_result))
                view.quit()
                self.assertEqual(view.proc.returncode, 0)
            finally:
                view.close()


if __name__ == "__main__":
    unittest.main()
