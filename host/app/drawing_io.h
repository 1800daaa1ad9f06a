// drawing_io.h - the app's seam to the drawing layers: opening and saving drawings,
// pictures, and the check that a command closed what it opened.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include <string_view>

class AcDbDatabase;

namespace host {

// Reads path (empty: a new drawing). nullptr and a message naming the place on failure.
// Opens a drawing (a new one for an empty path). Harmless damage is repaired, each repair
// said in a line in `repairs`.
std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error,
                                          std::vector<std::string> &repairs);
// Saves atomically; on failure the old file is untouched and error says why.
bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error);
// Draws the model space as SVG.
bool writePicture(AcDbDatabase &db, const std::string &path, std::string &error);

// After a command: names any object the command left open, and closes nothing itself.
void reportLeftOpen(std::string_view command);

// Adds SAVE, SVG and the drawing commands to the host's commands.
void registerDrawingCommands();

} // namespace host
