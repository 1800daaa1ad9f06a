"""The properties the drawing database models, as python3-ezdxf reads them from a file.

    ezdxf_facts.py make OUT.dxf   writes a drawing with every modelled property away from its
                                  default (and one line's common groups after its subclass
                                  marker, as some writers put them)
    ezdxf_facts.py dump FILE.dxf  prints "HANDLE key=value" for every model-space entity

The keys and the number format are the ones model_to_file_test.cpp writes for the database.
"""
import math
import sys

import ezdxf


def num(x):
    s = "%.9g" % x
    return "0" if s == "-0" else s


def pt(v, dims=3):
    return ",".join(num(c) for c in tuple(v)[:dims])


def common(e):
    d = e.dxf
    return [
        ("layer", d.layer),
        ("color", str(d.color)),
        ("rgb", str(d.true_color) if d.hasattr("true_color") else "-"),
        ("lineweight", str(d.lineweight)),
        ("ltscale", num(d.ltscale)),
        ("invisible", str(d.invisible)),
    ]


def facts(e):
    t, d = e.dxftype(), e.dxf
    out = common(e)
    if t == "LINE":
        out += [("start", pt(d.start)), ("end", pt(d.end)), ("thickness", num(d.thickness))]
    elif t in ("CIRCLE", "ARC"):
        out += [("center", pt(d.center)), ("radius", num(d.radius)),
                ("thickness", num(d.thickness))]
        if t == "ARC":
            out += [("start_angle", num(d.start_angle)), ("end_angle", num(d.end_angle))]
    elif t == "TEXT":
        out += [("text", d.text), ("insert", pt(d.insert)), ("height", num(d.height)),
                ("width", num(d.width)), ("oblique", num(d.oblique)),
                ("rotation", num(d.rotation)), ("halign", str(d.halign)),
                ("valign", str(d.valign)), ("generation", str(d.text_generation_flag)),
                ("thickness", num(d.thickness))]
        if d.halign != 0 or d.valign != 0:
            out.append(("align_point", pt(d.align_point)))
    elif t == "INSERT":
        out += [("name", d.name), ("insert", pt(d.insert)), ("xscale", num(d.xscale)),
                ("yscale", num(d.yscale)), ("zscale", num(d.zscale)),
                ("rotation", num(d.rotation))]
    elif t == "LWPOLYLINE":
        const = d.const_width if d.hasattr("const_width") else 0
        out += [("closed", str(int(e.closed))), ("elevation", num(d.elevation)),
                ("thickness", num(d.thickness))]
        for i, (x, y, s, w, b) in enumerate(e.get_points("xyseb")):
            if s == 0 and w == 0:
                s = w = const  # a vertex without widths takes the constant width
            out.append(("v%d" % i, "%s,%s w%s,%s b%s" % (num(x), num(y), num(s), num(w), num(b))))
    elif t == "POLYLINE" and e.is_2d_polyline:
        out += [("closed", str(int(e.is_closed))),
                ("default_widths", "%s,%s" % (num(d.default_start_width),
                                              num(d.default_end_width))),
                ("elevation", num(d.elevation[2]))]
        for i, v in enumerate(e.vertices):
            out.append(("v%d" % i, "%s w%s,%s b%s" % (
                pt(v.dxf.location, 2), num(v.dxf.start_width), num(v.dxf.end_width),
                num(v.dxf.bulge))))
    return out


def dump(path):
    doc = ezdxf.readfile(path)
    for e in doc.modelspace():
        for k, v in facts(e):
            print("%s %s=%s" % (e.dxf.handle, k, v))


def make(path):
    doc = ezdxf.new("R2010")
    doc.layers.add("WALLS", color=2)
    doc.linetypes.add("DASHED", pattern=[0.5, 0.25, -0.25])
    doc.blocks.new("TAG").add_line((0, 0), (1, 1))
    msp = doc.modelspace()
    msp.add_line((1, 2, 3), (4, 5, 6), dxfattribs={
        "layer": "WALLS", "color": 1, "thickness": 5, "ltscale": 2, "lineweight": 35})
    tc = msp.add_line((-1e9, 0), (1e-9, 7), dxfattribs={"color": 5})
    tc.dxf.true_color = ezdxf.colors.rgb2int((10, 200, 30))
    msp.add_line((0, 0), (3, 4), dxfattribs={"layer": "WALLS", "color": 6, "invisible": 1})
    msp.add_circle((1, 1), 2.5, dxfattribs={"thickness": 3, "color": 3})
    msp.add_arc((1, 1), 2.5, 30, 300, dxfattribs={"color": 4})
    msp.add_text("abc", dxfattribs={
        "insert": (1, 2), "align_point": (5, 2), "halign": 2, "valign": 1, "height": 2.5,
        "width": 0.8, "oblique": 15, "rotation": 30, "text_generation_flag": 2,
        "thickness": 0.5})
    msp.add_blockref("TAG", (3, 4), dxfattribs={
        "xscale": 2, "yscale": -3, "zscale": 4, "rotation": 45})
    lw = msp.add_lwpolyline([(0, 0, 1, 2, 0.5), (10, 0, 3, 4, 0), (20, 5, 0, 0, -1)],
                            format="xyseb", dxfattribs={"elevation": 2, "thickness": 1})
    lw.closed = True
    p2 = msp.add_polyline2d([(0, 40), (10, 40), (20, 45)],
                            dxfattribs={"default_start_width": 2, "default_end_width": 3})
    for i, v in enumerate(p2.vertices):
        v.dxf.start_width, v.dxf.end_width, v.dxf.bulge = 1 + i, 2 + i, 0.25 * i
    doc.saveas(path)
    # Move the first line's layer and colour after its subclass marker.
    text = open(path, encoding="utf-8").read()
    start = text.index("\nLINE\n", text.index("ENTITIES"))
    marker = text.index("AcDbLine\n", start) + len("AcDbLine\n")
    head = text[start:marker]
    entity = head.index("AcDbEntity\n") + len("AcDbEntity\n")
    groups_end = head.rindex("100\n")
    moved = head[:entity] + head[groups_end:] + head[entity:groups_end]
    open(path, "w", encoding="utf-8").write(text[:start] + moved + text[marker:])


if __name__ == "__main__":
    {"dump": dump, "make": make}[sys.argv[1]](sys.argv[2])
