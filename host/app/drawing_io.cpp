// drawing_io.cpp - the app's seam to the drawing layers: DXF files, pictures, and the
// host commands that use them.
#include "drawing_io.h"
#include "command_line.h"
#include "drawing_commands.h"
#include "dxf_io.h"
#include "progress.h"
#include "host_commands.h"
#include "misuse.h"
#include "svg.h"

#include "dbapserv.h"
#include "dbmain.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace host {

namespace {

// Shows a person at a terminal how far a read or save has come: nothing for work that ends
// within a second, then a line on standard error rewritten as the reader or writer reports
// (a percentage of the file read, or the megabytes written), and the time it took.
class ProgressNote {
public:
    explicit ProgressNote(const char *what) : mWhat(what) {
        if (!::isatty(STDERR_FILENO))
            return;
        dxf::setProgressHook([this](std::size_t done, std::size_t total) { show(done, total); });
    }
    ~ProgressNote() {
        dxf::setProgressHook({});
        if (mShown)
            std::fprintf(stderr, "\r%s: done in %.1f s%20s\n", mWhat, elapsed(), "");
    }
    ProgressNote(const ProgressNote &) = delete;
    ProgressNote &operator=(const ProgressNote &) = delete;

private:
    using Clock = std::chrono::steady_clock;
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - mStart).count(); }
    void show(std::size_t done, std::size_t total) {
        if (!mShown && elapsed() < 1.0)
            return;
        mShown = true;
        if (total > 0)
            std::fprintf(stderr, "\r%s: %3d%%", mWhat, static_cast<int>(100.0 * done / total));
        else
            std::fprintf(stderr, "\r%s: %zu MB written", mWhat, done >> 20);
        std::fflush(stderr);
    }

    const char *mWhat;
    Clock::time_point mStart = Clock::now();
    bool mShown = false;
};

AcDbDatabase *workingDatabase() {
    return acdbHostApplicationServices()->workingDatabase();
}

// path with extension added when it has none.
std::string withExtension(std::string path, const char *extension) {
    if (std::filesystem::path(path).extension().empty())
        path += extension;
    return path;
}

// The file name in full, for messages that say where a file went.
std::string fullName(const std::string &path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : full.string();
}

// Asks for a file name (the whole line) offering fallback; Enter takes it. Empty when
// the question was cancelled.
std::string askFileName(const char *question, const std::string &fallback) {
    CommandLine &cl = CommandLine::current();
    std::string prompt = std::string("\n") + question + " <" + fallback + ">: ";
    Answer name = cl.ask(utf8ToCp1251(prompt), AnswerEnd::LineOnly);
    if (!name.isText())
        return {};
    return name.text.empty() ? fallback : cp1251ToUtf8(name.text);
}

// The drawing's file with another extension, or Drawing1 with it for a new drawing.
std::string defaultFile(const char *extension) {
    std::filesystem::path p(drawingName());
    p.replace_extension(extension);
    return p.string();
}

void saveCommand() {
    if (workingDatabase() == nullptr) {
        CommandLine::current().printUtf8("\nNo drawing is open.\n");
        return;
    }
    std::string path = askFileName("Save drawing as", defaultFile(".dxf"));
    if (!path.empty())
        (void)saveWorkingDrawing(path); // it says how it went
}

void qsaveCommand() {
    if (workingDatabase() != nullptr && !drawingState().path.empty())
        (void)saveWorkingDrawing(drawingState().path); // it says how it went
    else
        saveCommand();
}

void svgCommand() {
    CommandLine &cl = CommandLine::current();
    AcDbDatabase *db = workingDatabase();
    if (db == nullptr) {
        cl.printUtf8("\nNo drawing is open.\n");
        return;
    }
    std::string path = askFileName("Picture file", defaultFile(".svg"));
    if (path.empty())
        return;
    path = withExtension(path, ".svg");
    std::string error;
    if (writePicture(*db, path, error)) {
        cl.printUtf8("\nPicture written to " + fullName(path) + "\n");
    } else {
        drawingState().saveFailed = true;
        cl.printUtf8("\n" + error + "\n");
    }
}

} // namespace

DrawingState &drawingState() {
    static DrawingState s_state;
    return s_state;
}

std::string drawingName() {
    const std::string &path = drawingState().path;
    return path.empty() ? std::string("Drawing1.dxf") : path;
}

bool saveWorkingDrawing(std::string path) {
    CommandLine &cl = CommandLine::current();
    AcDbDatabase *db = workingDatabase();
    if (db == nullptr) {
        cl.printUtf8("\nNo drawing is open.\n");
        return false;
    }
    path = withExtension(std::move(path), ".dxf");
    std::string error;
    if (!saveDrawing(*db, path, error)) {
        drawingState().saveFailed = true;
        cl.printUtf8("\nThe drawing was not saved: " + error + "\n");
        return false;
    }
    drawingState().path = fullName(path);
    cl.printUtf8("\nDrawing saved to " + drawingState().path + "\n");
    return true;
}

std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error) {
    std::unique_ptr<AcDbDatabase> db;
    if (path.empty()) {
        db = std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    } else {
        ProgressNote note("Reading drawing");
        db = dxf::readDrawing(path, error);
    }
    if (db) {
        db->clearChanges(); // what was read is the drawing as it stands on disk
        drawingState().path = path.empty() ? std::string() : fullName(path);
    }
    return db;
}

bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error) {
    ProgressNote note("Saving drawing");
    if (!dxf::saveDrawing(db, path, error))
        return false;
    db.clearChanges();
    return true;
}

bool writePicture(AcDbDatabase &db, const std::string &path, std::string &error) {
    return render::writeSvg(db, path, error);
}

void reportLeftOpen(std::string_view command) {
    AcDbDatabase *db = workingDatabase();
    if (db == nullptr)
        return;
    for (const std::string &line : tev::db::objectsLeftOpen(*db))
        CommandLine::current().printUtf8("\n** " + std::string(command) + " left " + line + "\n");
}

void registerDrawingCommands() {
    std::vector<HostCommand> &commands = hostCommands();
    commands.push_back({"SAVE", saveCommand});
    commands.push_back({"QSAVE", qsaveCommand});
    commands.push_back({"SVG", svgCommand});
    commands.push_back({"LINE", lineCommand});
    commands.push_back({"PLINE", plineCommand});
    commands.push_back({"CIRCLE", circleCommand});
    commands.push_back({"-LAYER", layerCommand});
}

} // namespace host
