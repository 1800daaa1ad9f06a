#!/usr/bin/python3
"""Writes a drawing (R2018, made by ezdxf) that holds one of every kind with a picture, laid
out on a grid, to the path given: hatches (solid with a hole, a pattern, edge paths with
arcs, elliptic arcs and a spline), paragraph text, ellipses, splines, a dimension, a leader,
solid, trace, 3D face, point (drawn as an oblique cross in a circle), ray, construction line,
polyface and polygon meshes, a block reference with an attribute, an attribute definition on
its own, lines with a true colour and a lineweight of their own and from their layers. Prints facts computed by ezdxf that the test checks:
  spline_mid <x> <y>     the spline's point at the middle of its parameter range
"""
import sys
import ezdxf
from ezdxf.math import Vec3

doc = ezdxf.new('R2018', setup=True)
msp = doc.modelspace()
doc.layers.add('Heavy', color=5, lineweight=70)

# Row 1: hatches
solid = msp.add_hatch(color=1)
solid.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
solid.paths.add_polyline_path([(3, 3), (7, 3), (7, 7), (3, 7)], is_closed=True)
pattern = msp.add_hatch(color=3)
pattern.set_pattern_fill('ANSI31', scale=0.5)
pattern.paths.add_polyline_path([(15, 0), (25, 0, 0.5), (25, 10), (15, 10)], is_closed=True)
edges = msp.add_hatch(color=5)
path = edges.paths.add_edge_path()
path.add_line((30, 0), (40, 0))
path.add_arc((40, 5), 5, -90, 90)
path.add_ellipse((35, 10), (5, 0), 0.4, 0, 180)
path.add_spline(control_points=[(30, 10), (28, 7), (32, 3), (30, 0)], degree=3)
edges.set_solid_fill(color=5)

# Row 2: text and curves
mtext = msp.add_mtext('{\\fArial|b1;Plan}\\Pline two \\H2;big\\~x %%c10 \\U+2205 \\S1^2;',
                      dxfattribs={'char_height': 1.5, 'insert': (0, 30), 'width': 12})
mtext.dxf.attachment_point = 1
msp.add_ellipse((20, 25), major_axis=(5, 0), ratio=0.5, dxfattribs={'color': 6})
msp.add_ellipse((32, 25), major_axis=(0, 4), ratio=0.5, start_param=0, end_param=3.14159265)
spline = msp.add_spline(dxfattribs={'color': 4})
spline.set_open_uniform([(45, 20), (50, 30), (55, 20), (60, 30), (65, 20)], degree=3)
fit = msp.add_spline([(45, 35), (50, 40), (55, 35), (60, 40)])

# Row 3: dimension, leader, solid, trace, 3D face, point
dim = msp.add_linear_dim(base=(0, 52), p1=(0, 45), p2=(12, 45), dimstyle='EZDXF')
dim.render()
msp.add_leader([(20, 45), (24, 50), (28, 50)])
msp.add_solid([(32, 45), (38, 45), (32, 50), (38, 50)], dxfattribs={'color': 2})
msp.add_trace([(40, 45), (46, 45), (40, 48), (46, 48)])
msp.add_3dface([(50, 45, 0), (56, 45, 0), (56, 50, 2), (50, 50, 2)],
               dxfattribs={'invisible': 2})
msp.add_point((60, 47))
doc.header['$PDMODE'] = 35  # an oblique cross in a circle
doc.header['$PDSIZE'] = 2

# Row 4: unbounded lines, meshes
msp.add_ray((0, 65), (1, 0.2), dxfattribs={'color': 1})
msp.add_xline((10, 70), (0, 1), dxfattribs={'color': 3})
pface = msp.add_polyface()
pface.append_face([(20, 60, 0), (26, 60, 0), (26, 66, 1), (20, 66, 1)])
pface.append_face([(26, 60, 0), (30, 63, 0), (26, 66, 1)])
mesh = msp.add_polymesh((3, 3))
for m in range(3):
    for n in range(3):
        mesh.set_mesh_vertex((m, n), (35 + m * 3, 60 + n * 3, m * n))

# Row 5: attributes, true colour, lineweight
block = doc.blocks.new('TAG')
block.add_circle((0, 0), 2)
block.add_attdef('NAME', (0, -4), dxfattribs={'height': 1})
ref = msp.add_blockref('TAG', (5, 80), dxfattribs={'color': 1})
ref.add_attrib('NAME', 'Room 1', (5, 76), dxfattribs={'height': 1})
msp.add_attdef('FREE', (35, 76), dxfattribs={'height': 1})
msp.add_line((15, 80), (30, 80), dxfattribs={'true_color': ezdxf.rgb2int((255, 128, 0)),
                                             'lineweight': 50})
msp.add_line((15, 84), (30, 84), dxfattribs={'layer': 'Heavy'})
doc.layers.add('Tinted').rgb = (0, 128, 255)
msp.add_line((15, 88), (30, 88), dxfattribs={'layer': 'Tinted'})

doc.saveas(sys.argv[1])
from ezdxf.math import BSpline
bs = spline.construction_tool()
mid = bs.point(bs.max_t / 2)
print('spline_mid', mid.x, mid.y)
