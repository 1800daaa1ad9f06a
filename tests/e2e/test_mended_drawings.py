"""Drawings as other writers write them, and drawings damaged a little: arxhost reads each group
as its code says, mends what has a sound repair (one note a repair on standard error), and
the drawing saved after a command holds what the file held. Each saved drawing is read again
by arxhost (nothing left to repair) and by ezdxf (its audit finds nothing)."""
import os
import re
import tempfile
import unittest

from e2e_support import run_arxhost

try:
    import ezdxf
except ImportError:  # pragma: no cover - the suite installs python3-ezdxf
    ezdxf = None

ADD_LINE = "LINE\n0,0\n5,5\n\n"
RECOLOUR = "Sel\n\n3\nALL\n\n\n"
WIDEN = "Wpe\nALL\n\n0.5\n"


def drawing(version="R2000", fmt="asc", build=None):
    """A drawing ezdxf writes: a line, a circle, and what build adds; its bytes."""
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0))
    msp.add_circle((5, 5), 2)
    if build:
        build(doc)
    path = os.path.join(tempfile.mkdtemp(prefix="tev-mend-"), "in.dxf")
    doc.saveas(path, fmt=fmt)
    with open(path, "rb") as f:
        return f.read()


def edit(data, pattern, replacement, count=1):
    """data with the first `count` matches of a regular expression replaced; one must match."""
    out, n = re.subn(pattern, replacement, data, count=count)
    assert n > 0, pattern
    return out


R12_DIMSTYLE = (b"  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
                b"  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nDIMSTYLE\n 70\n1\n"
                b"  0\nDIMSTYLE\n  2\nSTANDARD\n 70\n0\n  3\n\n  4\n\n  5\n\n  6\n\n  7\n\n"
                b" 40\n1.0\n 41\n0.18\n  0\nENDTAB\n  0\nENDSEC\n"
                b"  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
                b" 11\n10.0\n 21\n0.0\n 31\n0.0\n  0\nENDSEC\n  0\nEOF\n")


def filter_strings(doc):
    doc.rootdict.add_xrecord("TEV_FILTER").reset([(1, "filter"), (5, "*"), (5, "INSERT")])


def colour_name(doc):
    doc.modelspace().add_lwpolyline([(0, 2), (9, 2)], dxfattribs={
        "true_color": ezdxf.colors.rgb2int((40, 114, 51)), "color_name": "RAL CLASSIC$RAL 6018"})


def marked_text(doc):
    doc.modelspace().add_text("FIRSTxLINE", dxfattribs={"insert": (0, 8)})


def hatch_of_a_line(doc):
    msp = doc.modelspace()
    edge = msp.add_line((0, 20), (1, 20))
    path = msp.add_hatch(color=2).paths.add_polyline_path([(0, 20), (1, 20), (1, 21)], flags=1)
    path.source_boundary_objects = [edge.dxf.handle]


def polyline(doc):
    doc.modelspace().add_polyline2d([(0, 3), (1, 4), (2, 3)])


def owned_by(data, kind, owner_kind, count=1):
    """data with the owner of the first `count` records of a kind made the first record of
    owner_kind (both written by ezdxf: a handle, then the owner)."""
    head = rb"\n  0\r?\n%s\r?\n  5\r?\n(\w+)\r?\n"
    owner = re.search(head % owner_kind, data).group(1)
    return edit(data, (head % kind) + rb"330\r?\n\w+", rb"\n  0\n%s\n  5\n\1\n330\n%s" %
                (kind, owner), count)


def given_twice(data, kind, earlier_kind):
    """data with the first record of a kind given the handle of the first of earlier_kind."""
    head = rb"\n  0\r?\n%s\r?\n  5\r?\n"
    handle = re.search((head % earlier_kind) + rb"(\w+)", data).group(1)
    return edit(data, (head % kind) + rb"\w+", rb"\n  0\n%s\n  5\n%s" % (kind, handle))


def two_parts(doc):
    doc.blocks.new("PART").add_line((0, 9), (1, 9))
    doc.blocks.new("PARTX").add_circle((0, 9), 3)
    doc.modelspace().add_blockref("PART", (0, 9))
    doc.modelspace().add_blockref("PARTX", (5, 9))


def tagged(doc):
    doc.blocks.new("TAG").add_attdef("T", (0, 0))
    doc.modelspace().add_blockref("TAG", (2, 2)).add_attrib("T", "v", (2, 2))


def owned_by_insert(data):
    """data with the attributes of the first insert and their SEQEND owned by it."""
    insert = re.search(rb"\n  0\r?\nINSERT\r?\n  5\r?\n(\w+)", data).group(1)
    return edit(data, rb"(\n  0\r?\n(?:ATTRIB|SEQEND)\r?\n  5\r?\n\w+\r?\n330\r?\n)\w+",
                rb"\g<1>" + insert, 2)


def entities_only(data):
    """The ENTITIES section of data alone, without handles or owners, as exporters write it."""
    body = re.search(rb"  0\r?\nSECTION\r?\n  2\r?\nENTITIES\r?\n(?:.*\n)*?  0\r?\nENDSEC\r?\n",
                     data).group(0)
    return re.sub(rb"(?<=\n)(?:  5|330)\r?\n\w+\r?\n", b"", body) + b"  0\nEOF\n"


def toleranced_style(doc):
    doc.dimstyles.get("Standard").dxf.dimtol = 1


def saved(test, name, data, script):
    """Runs script on the drawing and saves; the saved drawing's text and ezdxf document, and
    arxhost's standard error."""
    d = tempfile.mkdtemp(prefix="tev-mend-")
    path = os.path.join(d, name)
    with open(path, "wb") as f:
        f.write(data)
    r = run_arxhost(script + "QUIT\n", args=["--output", "out.dxf"], drawing=path, workdir=d)
    test.assertEqual(r.rc, 0, (name, r.err[-1500:]))
    again = run_arxhost("QUIT\n", args=["--audit"], drawing=r.path("out.dxf"), workdir=d)
    test.assertEqual(again.rc, 0, (name, "the saved drawing needs repairs", again.err[-1500:]))
    doc = ezdxf.readfile(r.path("out.dxf"))
    errors = [e.message for e in doc.audit().errors]
    test.assertEqual(errors, [], name)
    with open(r.path("out.dxf"), "rb") as f:
        return f.read(), doc, r.err


def tags(text):
    """(code, value) pairs of an ASCII DXF text."""
    ls = text.replace(b"\r\n", b"\n").split(b"\n")
    return [(int(ls[i]), ls[i + 1].strip()) for i in range(0, len(ls) - 1, 2)]


def records(text, kind):
    """The tags of each record of a kind, in file order."""
    found, current = [], []
    for t in tags(text) + [(0, b"")]:
        if t[0] == 0:
            if current and current[0] == (0, kind):
                found.append(current)
            current = []
        current.append(t)
    return found


def record(text, kind, having):
    """The tags of the first record of a kind holding the (code, value) pair `having`."""
    found = [r for r in records(text, kind) if having in r]
    return found[0] if found else []


@unittest.skipIf(ezdxf is None, "python3-ezdxf is not installed")
class MendedDrawings(unittest.TestCase):
    def test_groups_read_as_their_code_says(self):
        """A group means what its code means where it stands: a DIMSTYLE's group 5 names a
        block, a later group 5 is data, a true colour's name is text (in binary files too), a
        binary string may hold a line break (a CR within a line of text is read as ^M), a 330
        in a hatch's boundary names its source, and an integer written "1.0" is that integer."""
        def dimblk(text, doc):
            self.assertEqual(doc.dimstyles.get("STANDARD").dxf.dimblk, "")
            self.assertIn((5, b""), record(text, b"DIMSTYLE", (2, b"STANDARD")))

        def filters(text, doc):
            xrec = record(text, b"XRECORD", (1, b"filter"))
            self.assertEqual([v for c, v in xrec if c == 5][1:], [b"*", b"INSERT"])

        def named(text, doc):
            pline = doc.modelspace().query("LWPOLYLINE")[0]
            self.assertEqual(pline.dxf.color_name, "RAL CLASSIC$RAL 6018")
            self.assertEqual(pline.dxf.true_color, ezdxf.colors.rgb2int((40, 114, 51)))
            widths = {pline.dxf.get("const_width", 0)} | {p[2] for p in pline.get_points()}
            self.assertEqual(max(widths), 0.5)

        def line_break(text, doc):
            self.assertEqual(doc.modelspace().query("TEXT")[0].dxf.text, "FIRST^JLINE")

        def carriage_return(text, doc):
            self.assertEqual(doc.modelspace().query("TEXT")[0].dxf.text, "FIRST^MLINE")

        def sourced(text, doc):
            hatch = doc.modelspace().query("HATCH")[0]
            edge = [e for e in doc.modelspace().query("LINE") if e.dxf.start.y == 20]
            self.assertEqual(hatch.dxf.owner, doc.modelspace().block_record_handle)
            self.assertEqual(hatch.paths[0].source_boundary_objects, [edge[0].dxf.handle])

        def whole(text, doc):
            self.assertEqual(doc.dimstyles.get("Standard").dxf.dimtol, 1)
            self.assertEqual(doc.header["$DIMTOL"], 1)
            self.assertIn((71, b"1"), record(text, b"DIMSTYLE", (2, b"Standard")))
            self.assertEqual(doc.modelspace().query("CIRCLE")[0].dxf.color, 1)

        cases = [
            ("r12-dimstyle.dxf", R12_DIMSTYLE, ADD_LINE, dimblk, None),
            ("filters.dxf", drawing(build=filter_strings), RECOLOUR, filters, None),
            ("colour-name.dxf", drawing("R2004", build=colour_name), WIDEN, named, None),
            ("colour-name-bin.dxf", drawing("R2004", "bin", colour_name), WIDEN, named, None),
            ("line-break-bin.dxf",
             edit(drawing(fmt="bin", build=marked_text), rb"FIRSTxLINE", b"FIRST\nLINE"),
             ADD_LINE, line_break, None),
            ("cr-inside.dxf", edit(drawing(build=marked_text), rb"FIRSTxLINE", b"FIRST\rLINE"),
             ADD_LINE, carriage_return, r"a carriage return within a line: read as the text \^M"),
            ("hatch-source.dxf",
             edit(drawing(build=hatch_of_a_line), rb"(HATCH\r?\n  5\r?\n\w+\r?\n)330\r?\n\w+\r?\n",
                  rb"\1"), ADD_LINE, sourced, None),
            ("whole-real.dxf",
             edit(edit(edit(drawing(build=toleranced_style), rb"(\n 71\r?\n)1\r?\n",
                            rb"\g<1>1.0\n"),
                       rb"(CIRCLE\r?\n(?:.*\r?\n)*? 62\r?\n)?(100\r?\nAcDbCircle)",
                       rb" 62\n1.0\n\2"),
                  rb"(\$DIMTOL\r?\n 70\r?\n)0\r?\n", rb"\g<1>1.0\n"),
             ADD_LINE, whole, r"\$DIMTOL group 70 holds '1\.0'.*taken as 1(?s:.*)group 71.*'1\.0'.*"
             r"taken as 1(?s:.*)group 62 is not written as a whole number: taken as 1"),
        ]
        for name, data, script, check, repaired in cases:
            with self.subTest(name):
                text, doc, err = saved(self, name, data, script)
                check(text, doc)
                if repaired:
                    self.assertRegex(err, r"repaired: .*" + repaired)
                else:
                    self.assertNotIn("repaired", err)

    def test_damage_with_a_sound_repair_is_mended(self):
        """What ezdxf and the host's recovery open is mended, one note a repair, and the
        drawing saved after a command is whole: a missing EOF, groups before the first
        SECTION, a layer or a linetype defined twice, lines ending in LF and CRLF mixed, a
        group code -1, a second ENTITIES section, an owner of the wrong kind, a handle given
        twice (an insert's attributes follow it), a block record defined twice (its block
        follows the later one's new name), a second CLASSES section (each class once), an
        insert's attributes without handles in a drawing of entities alone (given handles and
        their insert as owner); a file of the oldest versions is written back in R12 form."""
        plain = drawing()

        def ends_with_eof(text, doc):
            self.assertTrue(text.endswith(b"  0\nEOF\n") or text.endswith(b"0\nEOF\n"))

        def two_layers(text, doc):
            self.assertEqual(doc.layers.get("WALLS").color, 1)
            self.assertEqual(doc.layers.get("WALLS_2").color, 5)

        def two_linetypes(text, doc):
            self.assertEqual(len([r for r in doc.linetypes if r.dxf.name.upper() == "DASHED"]),
                             1)
            self.assertTrue(doc.linetypes.has_entry("DASHED_2"))

        def crlf(text, doc):
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))

        def lf(text, doc):
            self.assertNotIn(b"\r", text)

        def both_lines(text, doc):
            self.assertEqual(len(doc.modelspace().query("LINE")), 3)

        def r12_form(text, doc):
            self.assertNotIn(b"AcDbEntity", text)
            self.assertIn(b"AC2.10", text)
            self.assertEqual(len(doc.modelspace().query("LINE")), 2)

        def owned(text, doc):
            # As written: ezdxf's audit would mend an owner before it could be looked at.
            space = doc.modelspace().block_record_handle.encode()
            self.assertEqual({dict(r)[330] for kind in (b"LINE", b"CIRCLE", b"POLYLINE")
                              for r in records(text, kind)}, {space})
            plines = [dict(r)[5] for r in records(text, b"POLYLINE")]
            self.assertEqual({dict(r)[330] for r in records(text, b"VERTEX")}, set(plines[:1]))

        def apart(text, doc):
            owned(text, doc)
            handles = [dict(r)[5] for kind in (b"LINE", b"CIRCLE", b"POLYLINE", b"VERTEX")
                       for r in records(text, kind)]
            self.assertEqual(len(set(handles)), len(handles), handles)

        def blocks_apart(text, doc):
            self.assertEqual([e.dxftype() for e in doc.blocks.get("PART")], ["LINE"])
            self.assertEqual([e.dxftype() for e in doc.blocks.get("PART_2")], ["CIRCLE"])
            self.assertEqual({e.dxf.name for e in doc.modelspace().query("INSERT")}, {"PART"})

        def attributes_follow(text, doc):
            insert = doc.modelspace().query("INSERT")[0]
            self.assertNotEqual(insert.dxf.handle, doc.modelspace().query("CIRCLE")[0].dxf.handle)
            owners = [dict(r)[330] for kind in (b"ATTRIB", b"SEQEND") for r in records(text, kind)]
            self.assertEqual(owners, [insert.dxf.handle.encode()] * 2)

        def classes_once(text, doc):
            names = [dict(r)[1] for r in records(text, b"CLASS")]
            self.assertEqual(sorted(names), sorted({dict(r)[1] for r in records(plain, b"CLASS")}))

        def children_whole(text, doc):
            insert = dict(records(text, b"INSERT")[0])[5]
            for kind in (b"ATTRIB", b"SEQEND"):
                child = dict(records(text, kind)[0])
                self.assertIn(5, child, kind)
                self.assertEqual(child.get(330), insert, kind)

        def with_layers(doc):
            doc.layers.add("WALLS", color=1)
            doc.layers.add("WALLS_X", color=5)

        def dashed(doc):
            doc.linetypes.add("DASHED", [0.75, 0.5, -0.25])
            doc.linetypes.add("DASHED_X", [0.75, 0.5, -0.25])

        classes = re.search(rb"  0\r?\nSECTION\r?\n  2\r?\nCLASSES\r?\n"
                            rb"(?:.*\n)*?  0\r?\nENDSEC\r?\n", plain).group(0)
        second = edit(plain, rb"(\n  0\r?\nENDSEC\r?\n)(  0\r?\nSECTION\r?\n  2\r?\nOBJECTS)",
                      rb"\1  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n0\n 20\n0\n"
                      rb" 30\n0\n 11\n1\n 21\n1\n 31\n0\n  0\nENDSEC\n\2")
        crlf_mixed = plain.replace(b"\n", b"\r\n")
        crlf_mixed = crlf_mixed[:len(crlf_mixed) // 2] + crlf_mixed[len(crlf_mixed) // 2:].replace(
            b"\r\n", b"\n", 40)
        cases = [
            ("no-eof.dxf", edit(plain, rb"  0\r?\nEOF\r?\n$", b""), ends_with_eof,
             r"ends without EOF: EOF added"),
            ("stray.dxf", b"  1\nwritten by a script\n 70\n3\n" + plain, None,
             r":1: 2 groups before the first SECTION: left out"),
            ("layers.dxf", drawing(build=with_layers).replace(b"WALLS_X", b"WALLS"), two_layers,
             r'layer "WALLS" is defined twice: the later one renamed "WALLS_2"'),
            ("linetypes.dxf", drawing(build=dashed).replace(b"DASHED_X", b"DASHED"),
             two_linetypes, r'linetype "DASHED" is defined twice'),
            ("mixed.dxf", crlf_mixed, crlf, r"lines end in LF and CRLF mixed: all read as "
             r"ending in CRLF"),
            ("mixed-lf.dxf", plain[:999] + plain[999:].replace(b"\n", b"\r\n", 3), lf,
             r"lines end in LF and CRLF mixed: all read as ending in LF"),
            ("minus-one.dxf", edit(plain, rb"(AcDbLine\r?\n)", rb"\1 -1\nname\n"), None, None),
            ("entities-twice.dxf", second, both_lines,
             r"a second ENTITIES section: its entities joined to the first's"),
            ("ac210.dxf", R12_DIMSTYLE.replace(b"AC1009", b"AC2.10"), r12_form, None),
            ("vertex-owner.dxf", owned_by(drawing(build=polyline), b"VERTEX", b"CIRCLE", 3),
             owned, r"owner \w+ is not a block record, polyline or insert: given the block record, "
             r"polyline or insert it is in"),
            ("appid-owner.dxf", owned_by(plain, b"LINE", b"APPID"), owned,
             r"owner \w+ is not a block record: given"),
            ("handle-twice.dxf", given_twice(drawing(build=polyline), b"POLYLINE", b"CIRCLE"),
             apart, r"duplicate handle \w+ \(also at line \d+\): the later object given "
             r"handle \w+"),
            ("block-twice.dxf", drawing(build=two_parts).replace(b"PARTX", b"PART"), blocks_apart,
             r'block record "PART" is defined twice: the later one renamed "PART_2"'),
            ("insert-twice.dxf",
             owned_by_insert(given_twice(drawing(build=tagged), b"INSERT", b"CIRCLE")),
             attributes_follow,
             r"duplicate handle \w+ \(also at line \d+\): the later object given"),
            ("classes-twice.dxf", plain.replace(classes, classes * 2), classes_once,
             r"a second CLASSES section: its classes joined to the first's(?s:.*)class \w+ is "
             r"defined twice: the later one left out"),
            ("entities-attribs.dxf", entities_only(drawing(build=tagged)), children_whole, None),
            ("block-owner.dxf", owned_by(owned_by(plain, b"LINE", b"BLOCK"), b"CIRCLE", b"BLOCK"),
             owned, r"owner \w+ is not a block record: given"),
        ]
        for name, data, check, repaired in cases:
            with self.subTest(name):
                text, doc, err = saved(self, name, data, ADD_LINE)
                if check:
                    check(text, doc)
                if repaired:
                    self.assertRegex(err, r"repaired: .*" + repaired)


if __name__ == "__main__":
    unittest.main()
