// drawing_io.h - the app's seam to the drawing layers: opening and saving drawings,
// pictures, and the check that a command closed what it opened.
#pragma once
#include "files.h"
#include "session_lock.h"

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
    // The lock beside the drawing's file, while this session has it.
    std::shared_ptr<platform::SessionLock> lock;
    // Why the drawing's own file may not be replaced (another session has it, or it is
    // read-only); empty when it may.
    std::string readOnly;
    // The file as it was read or last saved: a save over it refuses a file that another
    // program has written since.
    bool known = false;
    platform::FileIdentity identity;
};
DrawingState &drawingState();
// What the drawing is called in questions: its file, or "Drawing1.dxf" for a new one.
std::string drawingName();
// Saves the working drawing to path (UTF-8; ".dxf" added when it has no extension),
// which becomes its file; says on the command line where it was written, or why not.
bool saveWorkingDrawing(std::string path);

// Reads path (empty: a new drawing). nullptr and a message naming the place on failure.
// Opens a drawing (a new one for an empty path). Harmless damage is repaired, each repair
// said in a line in `repairs`. With `lock`, the session takes the drawing's lock: a drawing
// another session has, or a read-only file, is opened read-only, said in `notes`.
std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error,
                                          std::vector<std::string> &repairs, bool lock = false,
                                          std::vector<std::string> *notes = nullptr);
// Saves atomically; on failure the old file is untouched and error says why. Refused: the
// drawing's own file when the session has it read-only or another program wrote it since
// it was read, and a file another session has open.
bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error);
// Draws the model space as SVG.
bool writePicture(AcDbDatabase &db, const std::string &path, std::string &error);

// After a command: names any object the command left open, and closes nothing itself.
void reportLeftOpen(std::string_view command);

// SAVE (asks for a name), QSAVE (the drawing's own file at once) and SVG (a picture).
void saveCommand();
void qsaveCommand();
void svgCommand();

} // namespace host
