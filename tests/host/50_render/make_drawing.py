#!/usr/bin/python3
"""Writes a small drawing with every entity kind the picture shows, made by ezdxf (another
writer than ours), to the path given. Prints facts the test checks, computed by ezdxf:
  arc_start <x> <y>    world start of the arc drawn with a -Z extrusion
  arc_end <x> <y>
"""
import sys
import ezdxf

doc = ezdxf.new('R2000', setup=True)
doc.header['$DWGCODEPAGE'] = 'ANSI_1251'
doc.layers.add('Walls', color=1)
hidden = doc.layers.add('Hidden', color=2)
hidden.off()
msp = doc.modelspace()

msp.add_line((0, 0), (10, 0), dxfattribs={'layer': 'Walls'})
msp.add_line((0, 5), (10, 5), dxfattribs={'layer': 'Hidden'})
msp.add_line((0, 60), (10, 60), dxfattribs={'linetype': 'DASHED'})
msp.add_lwpolyline([(0, 10, 0, 1, 0.5), (10, 10, 0, 0, 0), (10, 20, 0, 0, 0)], format='xyseb')
poly2d = msp.add_polyline2d([(0, 30), (5, 35), (10, 30)], close=True)
poly2d.vertices[0].dxf.bulge = 0.5
msp.add_polyline3d([(20, 0, 0), (25, 5, 3), (30, 0, 6)])
msp.add_circle((40, 40), 5, dxfattribs={'color': 3})
arc = msp.add_arc(center=(-60, 40), radius=5, start_angle=0, end_angle=90,
                  dxfattribs={'extrusion': (0, 0, -1)})
msp.add_text('\u041f\u043b\u0430\u043d & <x>', dxfattribs={'height': 2.5, 'insert': (0, 50)})

block = doc.blocks.new('MARK')
block.add_line((0, 0), (1, 1))
block.add_circle((0, 0), 0.5, dxfattribs={'color': 0})
msp.add_blockref('MARK', (70, 70), dxfattribs={'color': 4, 'rotation': 90, 'xscale': 2,
                                                'yscale': 2})
hatch = msp.add_hatch(color=2)
hatch.paths.add_polyline_path([(0, 0), (1, 0), (1, 1)], is_closed=True)

doc.saveas(sys.argv[1])
s, e = arc.start_point, arc.end_point
print('arc_start', s.x, s.y)
print('arc_end', e.x, e.y)
