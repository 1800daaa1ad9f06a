"""Drawings that cannot be read: arxhost names the place and what is wrong on standard
error, exits with 3 and writes nothing."""
import os
import tempfile
import unittest

from e2e_support import SOURCE_DIR, run_arxhost

PLAN = os.path.join(SOURCE_DIR, "examples", "plan.dxf")


def plan_text():
    with open(PLAN, "rb") as f:
        return f.read()


def entities_section(body):
    return (b"  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
            b"  0\nSECTION\n  2\nENTITIES\n" + body + b"  0\nENDSEC\n  0\nEOF\n")


LWPOLYLINE_HUGE_COUNT = (b"  0\nLWPOLYLINE\n  5\n20\n  8\n0\n 90\n2000000000\n 70\n0\n"
                         b" 10\n0.0\n 20\n0.0\n 10\n1.0\n 20\n1.0\n")


class BadDrawings(unittest.TestCase):
    def check_refused(self, name, data, wanted):
        d = tempfile.mkdtemp(prefix="tev-bad-")
        path = os.path.join(d, name)
        with open(path, "wb") as f:
            f.write(data)
        r = run_arxhost("QUIT\n", args=["--output", "out.dxf", "--svg", "out.svg"], drawing=path,
                        workdir=d)
        self.assertEqual(r.rc, 3, (name, r.err))
        self.assertIn(name, r.err)
        self.assertRegex(r.err, wanted)
        self.assertFalse(os.path.exists(r.path("out.dxf")), name)
        self.assertFalse(os.path.exists(r.path("out.svg")), name)

    def test_truncated_file(self):
        data = plan_text()
        self.check_refused("cut.dxf", data[: len(data) // 2], r"cut\.dxf")

    def test_group_code_not_a_number(self):
        self.check_refused("code.dxf", entities_section(b"  0\nLINE\n 1O\n0\n"),
                           r"code\.dxf:\d+: .*1O")

    def test_missing_eof_after_a_cut_line(self):
        # Without EOF alone the file is mended; its last line cut short as well, it is not.
        data = plan_text().replace(b"  0\nEOF\n", b"")[:-1]
        self.check_refused("noeof.dxf", data, r"EOF")

    def test_not_dxf_at_all(self):
        self.check_refused("letter.dxf", b"Dear drafter,\nthis is no drawing.\n", r"letter\.dxf")

    def test_count_larger_than_what_follows(self):
        self.check_refused("count.dxf", entities_section(LWPOLYLINE_HUGE_COUNT),
                           r"count\.dxf:\d+")

    def test_non_finite_number(self):
        body = (b"  0\nLINE\n  5\n20\n  8\n0\n 10\nnan\n 20\n0.0\n 30\n0.0\n"
                b" 11\n1.0\n 21\n1.0\n 31\n0.0\n")
        self.check_refused("nan.dxf", entities_section(body), r"nan\.dxf:\d+")


if __name__ == "__main__":
    unittest.main()
