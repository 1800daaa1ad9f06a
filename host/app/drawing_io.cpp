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
#include "terminal.h"

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
        if (!platform::isTerminal(platform::Stream::Error))
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

// Asks for a file name (the whole line) offering fallback (UTF-8); Enter takes it.
// question has one "%s" for the fallback. Empty when the question was cancelled.
std::string askFileName(const char *question, const std::string &fallback) {
    CommandLine &cl = CommandLine::current();
    Answer name = cl.ask(i18n::format(question, {utf8ToCp1251(fallback)}), AnswerEnd::LineOnly);
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

// A host message with one path (UTF-8) in its "%s", on a line of its own.
void sayWithPath(const char *message, const std::string &path) {
    CommandLine::current().print("\n" + i18n::format(i18n::tr(message), {utf8ToCp1251(path)}) +
                                 "\n");
}

void saveCommand() {
    if (workingDatabase() == nullptr) {
        CommandLine::current().print("\n" + std::string(i18n::tr("No drawing is open.")) + "\n");
        return;
    }
    std::string path = askFileName(i18n::tr("\nSave drawing as <%s>: "), defaultFile(".dxf"));
    if (!path.empty())
        (void)saveWorkingDrawing(path); // it says how it went
}

void qsaveCommand() {
    const DrawingState &state = drawingState();
    if (workingDatabase() != nullptr && !state.path.empty() && !state.readOnly.empty()) {
        // The drawing's own file is not this session's to replace: another name is asked.
        sayWithPath(i18n::N_("%s is open read-only: save the drawing under another name."),
                    state.path);
        saveCommand();
    } else if (workingDatabase() != nullptr && !state.path.empty()) {
        (void)saveWorkingDrawing(state.path); // it says how it went
    } else {
        saveCommand();
    }
}

void svgCommand() {
    CommandLine &cl = CommandLine::current();
    AcDbDatabase *db = workingDatabase();
    if (db == nullptr) {
        cl.print("\n" + std::string(i18n::tr("No drawing is open.")) + "\n");
        return;
    }
    std::string path = askFileName(i18n::tr("\nPicture file <%s>: "), defaultFile(".svg"));
    if (path.empty())
        return;
    path = withExtension(path, ".svg");
    std::string error;
    if (writePicture(*db, path, error)) {
        sayWithPath(i18n::N_("Picture written to %s"), fullName(path));
    } else {
        drawingState().saveFailed = true;
        cl.printUtf8("\n" + error + "\n");
    }
}

// Whether path is the drawing's own file (through links, and whatever its spelling).
bool isOwnFile(const std::string &path) {
    const DrawingState &state = drawingState();
    if (state.path.empty())
        return false;
    platform::FileIdentity a, b;
    const std::string mine = platform::resolveLinks(state.path);
    const std::string other = platform::resolveLinks(fullName(path));
    if (platform::identify(mine, a) && platform::identify(other, b))
        return a.device == b.device && a.inode == b.inode;
    return fullName(mine) == fullName(other);
}

// Saves db to path when nothing says it must not be replaced. A file other than the
// drawing's own is locked for the save: the lock comes back in `lock`.
bool saveChecked(AcDbDatabase &db, const std::string &path, std::string &error,
                 std::string &warning, std::shared_ptr<platform::SessionLock> &lock) {
    const DrawingState &state = drawingState();
    const std::string shown = utf8ToCp1251(path);
    if (isOwnFile(path)) {
        platform::FileIdentity now;
        if (!state.readOnly.empty()) {
            error = cp1251ToUtf8(i18n::format(
                i18n::tr("%s is opened read-only (%s): save the drawing under another name"),
                {shown, utf8ToCp1251(state.readOnly)}));
            return false;
        }
        if (state.known && platform::identify(platform::resolveLinks(path), now) &&
            !(now == state.identity)) {
            error = cp1251ToUtf8(i18n::format(
                i18n::tr("%s was changed by another program since this session read or saved it: "
                         "it is not replaced (save the drawing under another name)"),
                {shown}));
            return false;
        }
    } else {
        platform::SessionLock::Outcome outcome{};
        platform::LockHolder holder;
        lock = platform::SessionLock::take(path, outcome, holder);
        if (outcome == platform::SessionLock::Outcome::HeldByOther) {
            error = cp1251ToUtf8(
                i18n::format(i18n::tr("%s is open in another session (%s): it is not replaced"),
                             {shown, utf8ToCp1251(holder.describe())}));
            return false;
        }
    }
    ProgressNote note("Saving drawing");
    if (!dxf::saveDrawing(db, path, error, &warning)) {
        lock.reset();
        return false;
    }
    db.clearChanges();
    return true;
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
        cl.print("\n" + std::string(i18n::tr("No drawing is open.")) + "\n");
        return false;
    }
    path = withExtension(std::move(path), ".dxf");
    std::string error, warning;
    std::shared_ptr<platform::SessionLock> lock;
    const bool otherFile = !isOwnFile(path);
    if (!saveChecked(*db, path, error, warning, lock)) {
        drawingState().saveFailed = true;
        sayWithPath(i18n::N_("The drawing was not saved: %s"), error);
        return false;
    }
    DrawingState &state = drawingState();
    if (otherFile) { // it is the drawing's file now, and this session's
        state.lock = std::move(lock);
        state.readOnly.clear();
    }
    state.path = fullName(path);
    state.known = platform::identify(platform::resolveLinks(state.path), state.identity);
    sayWithPath(i18n::N_("Drawing saved to %s"), state.path);
    if (!warning.empty())
        sayWithPath(i18n::N_("The backup was not kept: %s"), warning);
    return true;
}

std::unique_ptr<AcDbDatabase> openDrawing(const std::string &path, std::string &error,
                                          std::vector<std::string> &repairs, bool lock,
                                          std::vector<std::string> *notes) {
    std::unique_ptr<AcDbDatabase> db;
    std::shared_ptr<platform::SessionLock> held;
    std::string readOnly;
    platform::FileIdentity identity;
    if (path.empty()) {
        db = std::make_unique<AcDbDatabase>(/*buildDefaultDrawing=*/true);
    } else {
        if (lock) {
            platform::SessionLock::Outcome outcome{};
            platform::LockHolder holder;
            held = platform::SessionLock::take(path, outcome, holder);
            if (outcome == platform::SessionLock::Outcome::HeldByOther)
                readOnly = cp1251ToUtf8(i18n::format(i18n::tr("another session has it: %s"),
                                                     {utf8ToCp1251(holder.describe())}));
        }
        ProgressNote note("Reading drawing");
        dxf::ReadOptions options;
        options.repairs = &repairs;
        options.identity = &identity;
        db = dxf::readDrawing(path, error, options);
    }
    if (db) {
        db->clearChanges(); // what was read is the drawing as it stands on disk
        DrawingState &state = drawingState();
        state.path = path.empty() ? std::string() : fullName(path);
        state.lock = std::move(held);
        state.known = !path.empty();
        state.identity = identity;
        if (lock && readOnly.empty() && !path.empty() && !platform::writable(path))
            readOnly = cp1251ToUtf8(i18n::tr("the file is read-only"));
        state.readOnly = readOnly;
        if (!readOnly.empty() && notes != nullptr)
            notes->push_back(cp1251ToUtf8(i18n::format(
                i18n::tr("%s is opened read-only (%s): save the drawing under another name"),
                {utf8ToCp1251(path), utf8ToCp1251(readOnly)})));
    }
    return db;
}

bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error) {
    std::string warning;
    std::shared_ptr<platform::SessionLock> lock;
    if (!saveChecked(db, path, error, warning, lock))
        return false;
    if (!warning.empty())
        std::fprintf(stderr, "arxhost: %s\n", warning.c_str());
    return true;
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
    commands.push_back({"QSAVE", qsaveCommand,
                        i18n::N_("Saves the drawing to its own file (asks for a new one)")});
    commands.push_back({"SVG", svgCommand, i18n::N_("Draws the model space into an SVG picture")});
    commands.push_back({"LINE", lineCommand, i18n::N_("Draws lines from point to point")});
    commands.push_back({"PLINE", plineCommand, i18n::N_("Draws a polyline, with widths")});
    commands.push_back({"CIRCLE", circleCommand, i18n::N_("Draws a circle by centre and radius")});
    commands.push_back(
        {"-LAYER", layerCommand,
         i18n::N_("Makes, colours, turns on and off, freezes, thaws, locks, unlocks, "
                  "sets and lists (?) layers")});
    commands.push_back({"U", uCommand, i18n::N_("Undoes the last command")});
    commands.push_back({"UNDO", undoCommand, i18n::N_("Undoes commands (a number, Mark, Back)")});
    commands.push_back({"REDO", redoCommand, i18n::N_("Redoes what the last undo took back")});
}

} // namespace host
