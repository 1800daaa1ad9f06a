// drawing_io.cpp - the app's seam to the drawing layers: DXF files, pictures, and the
// host commands that use them.
#include "drawing_io.h"
#include "command_line.h"
#include "drawing_commands.h"
#include "dxf_io.h"
#include "progress.h"
#include "host_commands.h"
#include "misuse.h"
#include "picture_facts.h"
#include "svg.h"
#include "undo_commands.h"

#include "dbapserv.h"
#include "dbmain.h"
#include "i18n.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

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

// SAVE and SVG: ask for a file name (the whole line) and write the working drawing.
void fileCommand(const char *prompt,
                 bool (*write)(AcDbDatabase &, const std::string &, std::string &)) {
    CommandLine &cl = CommandLine::current();
    AcDbDatabase *db = workingDatabase();
    if (db == nullptr) {
        cl.print("\n" + std::string(i18n::tr("No drawing is open.")) + "\n");
        return;
    }
    Answer name = cl.ask(prompt, AnswerEnd::LineOnly);
    if (!name.isText() || name.text.empty())
        return;
    std::string path = cp1251ToUtf8(name.text);
    std::string error;
    if (write(*db, path, error))
        cl.printUtf8("\n" + cp1251ToUtf8(i18n::tr("Written")) + " " + path + "\n");
    else
        cl.printUtf8("\n" + error + "\n");
}

void saveCommand() {
    fileCommand(i18n::tr("\nSave drawing as: "), saveDrawing);
}
void svgCommand() {
    fileCommand(i18n::tr("\nPicture file: "), writePicture);
}

} // namespace

std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error,
                                          std::vector<std::string> &repairs) {
    if (path.empty())
        return std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    ProgressNote note("Reading drawing");
    dxf::ReadOptions options;
    options.repairs = &repairs;
    return dxf::readDrawing(path, error, options);
}

bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error) {
    ProgressNote note("Saving drawing");
    return dxf::saveDrawing(db, path, error);
}

bool writePicture(AcDbDatabase &db, const std::string &path, std::string &error) {
    render::FileFacts facts = app::pictureFacts(db);
    return render::writeSvg(db, path, error, &facts);
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
    commands.push_back({"SAVE", saveCommand, i18n::N_("Saves the drawing as a DXF file")});
    commands.push_back({"SVG", svgCommand, i18n::N_("Draws the model space into an SVG picture")});
    commands.push_back({"LINE", lineCommand, i18n::N_("Draws lines from point to point")});
    commands.push_back({"PLINE", plineCommand, i18n::N_("Draws a polyline, with widths")});
    commands.push_back({"CIRCLE", circleCommand, i18n::N_("Draws a circle by centre and radius")});
    commands.push_back({"-LAYER", layerCommand,
                        i18n::N_("Makes, colours, locks, unlocks, sets and lists (?) layers")});
    commands.push_back({"U", uCommand, i18n::N_("Undoes the last command")});
    commands.push_back({"UNDO", undoCommand, i18n::N_("Undoes commands (a number, Mark, Back)")});
    commands.push_back({"REDO", redoCommand, i18n::N_("Redoes what the last undo took back")});
}

} // namespace host
