// drawing_io.h - the app's seam to the drawing layers: opening and saving drawings,
// pictures, and the check that a command closed what it opened.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include <string_view>

class AcDbDatabase;

namespace host {

// The working drawing's own file (empty for a new drawing, until it is saved), and
// whether any save or picture of this run failed (the exit status tells).
struct DrawingState {
    std::string path;
    bool saveFailed = false;
};
DrawingState &drawingState();
// What the drawing is called in questions: its file, or "Drawing1.dxf" for a new one.
std::string drawingName();
// Saves the working drawing to path (UTF-8; ".dxf" added when it has no extension),
// which becomes its file; says on the command line where it was written, or why not.
bool saveWorkingDrawing(std::string path);

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

// Adds SAVE, QSAVE, SVG and the drawing commands to the host's commands.
void registerDrawingCommands();

} // namespace host
