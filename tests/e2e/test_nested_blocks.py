"""A few kilobytes of blocks nested 20 deep, each placing the one below 10 times: every look
at it (a pick, a window, the picture, the audit) ends promptly, in bounded memory, and says
that the structure was only partly expanded."""
import os
import resource
import tempfile
import time
import unittest

from e2e_support import run_arxhost

LEVELS = 20


def bomb():
    """B0 is one line from (0,0) to (1,0); Bk places B(k-1) ten times in a row, 2 apart;
    model space places the last block at the origin."""
    handles = iter(range(0x100, 0x10000))
    out = ["  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n",
           "  0\nSECTION\n  2\nBLOCKS\n"]

    def insert(name, x):
        return (f"  0\nINSERT\n  5\n{next(handles):X}\n  8\n0\n  2\n{name}\n"
                f" 10\n{x}\n 20\n0.0\n 30\n0.0\n")

    for k in range(LEVELS):
        out.append(f"  0\nBLOCK\n  5\n{next(handles):X}\n  8\n0\n  2\nB{k}\n 70\n0\n"
                   f" 10\n0.0\n 20\n0.0\n 30\n0.0\n  3\nB{k}\n")
        if k == 0:
            out.append(f"  0\nLINE\n  5\n{next(handles):X}\n  8\n0\n"
                       " 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n")
        else:
            out.extend(insert(f"B{k - 1}", 2.0 * i) for i in range(10))
        out.append(f"  0\nENDBLK\n  5\n{next(handles):X}\n  8\n0\n")
    out.append("  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n")
    out.append(insert(f"B{LEVELS - 1}", 0.0))
    out.append("  0\nENDSEC\n  0\nEOF\n")
    return "".join(out)


MESSAGE = "nested too deeply to expand"


class NestedBlocks(unittest.TestCase):
    def test_every_look_ends_promptly_with_its_message(self):
        d = tempfile.mkdtemp(prefix="tev-bomb-")
        drawing = os.path.join(d, "bomb.dxf")
        with open(drawing, "w") as f:
            f.write(bomb())
        cases = [
            # name, script, arguments, exit code, what standard output or error says
            ("LIST at a point", "LIST\n0.5,0\n\nQUIT\n", [], 0, MESSAGE),
            ("LIST by window", "LIST\nW\n-1,-1\n3,1\n\nQUIT\n", [], 0, MESSAGE),
            ("LIST by crossing", "LIST\nC\n-1,-1\n0.5,0.5\n\nQUIT\n", [], 0, MESSAGE),
            ("nested pick", "nEn\n0.5,0\nQUIT\n", [], 0, MESSAGE),
            ("picture", "QUIT\n", ["--svg", "bomb.svg"], 4,
             "block references nest too many times"),
            ("audit", "", ["--audit"], 1, 'block "B19" nests references past 1000000 entities'),
        ]
        for name, script, args, rc, wanted in cases:
            with self.subTest(name):
                start = time.monotonic()
                r = run_arxhost(script, args=args, drawing=drawing, workdir=d, timeout=30)
                self.assertLess(time.monotonic() - start, 20)
                self.assertEqual(r.rc, rc, r.err)
                self.assertIn(wanted, r.out + r.err)
        # The largest any of the runs grew to (kilobytes): no expansion held in memory.
        self.assertLess(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, 1 << 20)


if __name__ == "__main__":
    unittest.main()
