"""A character outside the Basic Multilingual Plane on its whole way: read from a UTF-8 drawing
into the database, shown in the transcript, typed back as an answer, saved, read by ezdxf, and
drawn in the picture."""
import os
import tempfile
import unittest

from e2e_support import run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover
    ezdxf = None

CLEF = "\U0001D11E"  # MUSICAL SYMBOL G CLEF, beyond U+FFFF
LAYER = "План" + CLEF
NEW_LAYER = "Ноты" + CLEF + "中"
TEXT = "Дом " + CLEF + " №5"


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class TextOutsideTheBasicPlane(unittest.TestCase):
    def test_file_database_transcript_answer_file_and_picture(self):
        workdir = tempfile.mkdtemp(prefix="tev-e2e-")
        source = os.path.join(workdir, "in.dxf")
        doc = ezdxf.new("R2018")  # UTF-8 file
        doc.layers.add(LAYER, color=3)
        doc.modelspace().add_text(TEXT, dxfattribs={"layer": LAYER, "height": 5})
        doc.modelspace().add_line((0, 0), (50, 0), dxfattribs={"layer": LAYER})
        doc.saveas(source)

        # The layer's name typed back as the answer to -LAYER Set, a new layer named with
        # such characters too, a line drawn on each, and CLAYER shown.
        script = (f"-LAYER\nSet\n{LAYER}\n\nLINE\n0,10\n50,10\n\n"
                  f"-LAYER\nNew\n{NEW_LAYER}\nSet\n{NEW_LAYER}\n\nLINE\n0,20\n50,20\n\n"
                  f"-LAYER\nSet\n{LAYER}\n\nCLAYER\n\nQUIT\n")
        r = run_arxhost(script, args=["--output", "out.dxf", "--svg", "out.svg"],
                        drawing=source, workdir=workdir)
        self.assertEqual(r.rc, 0, r.err + r.out)
        self.assertNotIn("Cannot find layer", r.out)
        self.assertNotIn("\\U+", r.out)
        self.assertIn(LAYER, r.out)  # CLAYER's value, shown as itself

        saved = ezdxf.readfile(r.path("out.dxf"))
        self.assertEqual(len(saved.audit().errors), 0)
        self.assertEqual(saved.layers.get(NEW_LAYER).dxf.name, NEW_LAYER)
        by_y = {round(e.dxf.start[1]): e.dxf.layer for e in saved.modelspace().query("LINE")}
        self.assertEqual(by_y, {0: LAYER, 10: LAYER, 20: NEW_LAYER})
        texts = [e.dxf.text for e in saved.modelspace().query("TEXT")]
        self.assertEqual(texts, [TEXT])
        self.assertEqual(saved.header.get("$CLAYER"), LAYER)

        with open(r.path("out.svg"), encoding="utf-8") as f:
            svg = f.read()
        self.assertIn(TEXT, svg)
        self.assertNotIn("\ufffd", svg)


if __name__ == "__main__":
    unittest.main()
