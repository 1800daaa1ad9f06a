// drawing_commands.h - the host's own drawing commands, so that a script can make a
// drawing to work on: LINE, PLINE, CIRCLE and -LAYER. Plain functions; the command
// loop runs them by name. Each works on the working drawing's current space and leaves
// nothing open; without a working drawing each says so and does nothing.
#pragma once

class AcDbDatabase;

namespace host {

// LINE: a first point, then next points (each makes a line from the one before); "U"
// takes back the last line, "C" closes to the first point (after two lines) and ends;
// Enter or Escape ends, keeping the lines drawn.
void lineCommand();
// PLINE (pline_command.cpp): a lightweight polyline of line and arc segments. A start point,
// then next points; Arc switches to arcs (tangent to the last segment, or by Angle, CEnter,
// Direction, Radius or Second pt) and Line back; Width and Halfwidth set the next segment's
// start and end width (the end width carries on); Length goes on along the last segment;
// Undo takes back the last vertex; Close (after two segments; in arc mode CLose, with an arc,
// after one) closes and ends. Enter or Escape ends; a polyline of at least one segment is
// added.
void plineCommand();
// CIRCLE (circle_command.cpp): a centre, then a radius or Diameter (a positive number, or a
// point on the circle; Enter takes the last radius drawn); or 3P (three points on it), 2P
// (the two ends of a diameter), Ttr (tangent to two picked lines, circles or arcs, nearest
// where they were picked, with a radius).
void circleCommand();
// -LAYER: options until Enter: New (names, comma-separated), Color (a colour, then names),
// LOck / Unlock (names), Set (a name: the current layer), ? (list the layers matching a
// name pattern), and ON, OFF, Freeze, Thaw, Make, Ltype (layer_states.h). Unknown layers
// are reported.
void layerCommand();
// "-LAYER ?": asks for name patterns (wildcards, comma-separated; Enter: all) and lists the
// matching layers with their state, colour and linetype, then the current layer.
void listLayers(AcDbDatabase &db);

} // namespace host
