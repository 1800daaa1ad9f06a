#!/usr/bin/python3
"""Writes the DXF seed corpus of fuzz_dxf_reader that an independent writer (ezdxf) makes:
several file versions, each with a different mix of entity kinds, code pages, extended data,
blocks inside blocks and one binary file. The hand-made seeds and the one our own writer
makes sit beside them and are not touched.

usage: make_dxf_seeds.py [OUTPUT_DIR]   (default: fuzz/corpus/fuzz_dxf_reader)
"""
import os
import sys

import ezdxf

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "corpus", "fuzz_dxf_reader")


def layers(doc):
    doc.layers.add("RED", color=1)
    locked = doc.layers.add("LOCKED", color=3)
    locked.lock()
    doc.layers.add("Стены", color=5, linetype="DASHED")


def r12_polylines():
    doc = ezdxf.new("R12", setup=["linetypes"])
    doc.header["$DWGCODEPAGE"] = "ANSI_1251"
    layers(doc)
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "RED"})
    msp.add_polyline2d([(0, 0), (5, 5), (10, 0)], dxfattribs={"layer": "LOCKED"})
    pl = msp.add_polyline2d([(0, 10, 0, 0, 0.5), (10, 10, 1, 1, -0.5), (10, 20, 0, 0, 0)],
                            format="xyseb")
    pl.close()
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    msp.add_circle((50, 50), 5, dxfattribs={"color": 5})
    msp.add_arc((0, 0), 3, 10, 200)
    msp.add_text("Привет", dxfattribs={"height": 2.5}).set_placement((1, 1))
    blk = doc.blocks.new("POST")
    blk.add_line((0, 0), (5, 0))
    blk.add_attdef("TAG", (0, 1))
    ref = msp.add_blockref("POST", (100, 0))
    ref.add_attrib("TAG", "value", (100, 1))
    doc.saveas(os.path.join(OUT, "r12_polylines.dxf"))


def r2000_lwpolyline_xdata():
    doc = ezdxf.new("R2000", setup=["linetypes"])
    layers(doc)
    doc.appids.new("TEVTEST")
    msp = doc.modelspace()
    lw = msp.add_lwpolyline([(0, 0, 0.5, 0.5, 0.3), (10, 0, 1, 1, 0), (10, 10, 0, 0, -1)],
                            format="xyseb")
    lw.closed = True
    line = msp.add_line((0, 0, 0), (3, 4, 5), dxfattribs={"color": 2, "linetype": "DASHED"})
    line.set_xdata("TEVTEST", [(1000, "note"), (1040, 2.5), (1070, 7), (1010, (1, 2, 3))])
    msp.add_point((7, 7))
    msp.add_mtext("Line one\\PLine two")
    inner = doc.blocks.new("INNER")
    inner.add_circle((0, 0), 1)
    outer = doc.blocks.new("OUTER")
    outer.add_blockref("INNER", (5, 5))
    outer.add_line((0, 0), (1, 1))
    msp.add_blockref("OUTER", (20, 20), dxfattribs={"xscale": 2, "rotation": 30})
    doc.layout("Layout1").add_line((0, 0), (100, 100))
    doc.saveas(os.path.join(OUT, "r2000_lwpolyline_xdata.dxf"))


def r2004_unknown_kinds():
    doc = ezdxf.new("R2004")
    msp = doc.modelspace()
    hatch = msp.add_hatch(color=3)
    hatch.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
    msp.add_spline([(0, 0), (1, 2), (3, 1), (5, 4)])
    msp.add_ellipse((0, 0), major_axis=(5, 0), ratio=0.5)
    msp.add_line((0, 0), (1, 0))
    doc.saveas(os.path.join(OUT, "r2004_unknown_kinds.dxf"))


def r2010_meshes():
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    mesh = msp.add_polymesh((3, 3))
    for m in range(3):
        for n in range(3):
            mesh.set_mesh_vertex((m, n), (m, n, m * n))
    face = msp.add_polyface()
    face.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)])
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 1)])
    doc.saveas(os.path.join(OUT, "r2010_meshes.dxf"))


def r2018_utf8():
    doc = ezdxf.new("R2018", setup=["linetypes"])
    layers(doc)
    msp = doc.modelspace()
    msp.add_text("Стена 中 €", dxfattribs={"layer": "Стены"})
    msp.add_line((0, 0), (1e6, -1e-6), dxfattribs={"layer": "Стены", "lineweight": 35})
    msp.add_lwpolyline([(0, 0), (1, 1)], dxfattribs={"const_width": 0.5})
    doc.saveas(os.path.join(OUT, "r2018_utf8.dxf"))


def r2000_binary():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0))
    msp.add_circle((5, 5), 2)
    msp.add_lwpolyline([(0, 0), (3, 0), (3, 3)])
    doc.saveas(os.path.join(OUT, "r2000_binary.dxf"), fmt="bin")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for make in (r12_polylines, r2000_lwpolyline_xdata, r2004_unknown_kinds, r2010_meshes,
                 r2018_utf8, r2000_binary):
        make()
