// drawing_vars.h - the system variables kept in the working drawing, read and written
// through its database. Every call answers nullopt / false when there is no working
// database, or, for a write, when the value does not fit the drawing (no such layer or
// linetype, a frozen layer, a colour out of range); nothing is changed then.
#pragma once

#include <optional>
#include <string>

namespace host::detail {

std::optional<short> getTileMode();
bool setTileMode(short value);
// 0 ByBlock, 1..255, 256 ByLayer.
std::optional<int> getCurrentColor();
bool setCurrentColor(int color);
std::optional<std::string> getCurrentLayer();
bool setCurrentLayer(const std::string &name);
std::optional<std::string> getCurrentLinetype();
bool setCurrentLinetype(const std::string &name);
// DBMOD: 1 when the drawing changed since it was opened or saved, else 0.
std::optional<short> getDrawingModified();
// Radians.
std::optional<double> getSnapAngle();
bool setSnapAngle(double radians);

} // namespace host::detail
