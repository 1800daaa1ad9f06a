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
// PLINE: a lightweight polyline. A start point, then next points; "W" asks the start and
// end width of the next segment (the end width carries on), "U" takes back the last
// vertex, "C" closes and ends (after two segments). Enter or Escape ends; a polyline of at
// least two vertices is added.
void plineCommand();
// CIRCLE: a centre, then a radius (a positive number, or a point on the circle).
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
