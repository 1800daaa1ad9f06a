// zoom_commands.h - ZOOM, PAN and REGEN: they move the model space's view, which the drawing
// keeps in its *ACTIVE viewport and the live page follows.
#pragma once

namespace host {

void zoomCommand();
void panCommand();
void regenCommand();

} // namespace host
