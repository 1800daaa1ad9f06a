// main.cpp - arxhost: loads the module, opens a drawing, runs commands from a script,
// standard input or a terminal, and saves the result.
//
// Exit codes: 0 done; 2 bad arguments or a file named on the command line that cannot be
// used; 3 a drawing that cannot be read; 4 a save or picture that could not be written
// (at the end, or by a command during the run).
#include "batch.h"
#include "command_line.h"
#include "command_loop.h"
#include "drawing_io.h"
#include "registry_file.h"
#include "i18n.h"
#include "options.h"
#include "picture_facts.h"
#include "process.h"
#include "host_commands.h"
#include "unsaved_work.h"
#include "runtime.h"
#include "shape.h"
#include "user_commands.h"
#include "zoom_commands.h"
#include "text_codec.h"
#include "view.h"

#include "dbapserv.h"
#include "dbmain.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

namespace {

// A file named on the command line must exist, be readable and not be a folder; a drawing
// must be a regular file (a FIFO or a device is refused before an open could wait on it).
bool usableFile(const std::string &path, const char *what, bool regularOnly = false) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st)) {
        std::cerr << "arxhost: " << what << " " << path << ": no such file\n";
        return false;
    }
    if (std::filesystem::is_directory(st)) {
        std::cerr << "arxhost: " << what << " " << path << ": is a folder, not a file\n";
        return false;
    }
    if (regularOnly && !std::filesystem::is_regular_file(st)) {
        std::cerr << "arxhost: " << what << " " << path << ": is "
                  << (std::filesystem::is_fifo(st) ? "a FIFO" : "a device or socket")
                  << ", not a regular file\n";
        return false;
    }
    if (!std::ifstream(path, std::ios::binary)) {
        std::cerr << "arxhost: " << what << " " << path << ": cannot be read\n";
        return false;
    }
    return true;
}

std::filesystem::path programFolder(const char *argv0) {
    return std::filesystem::path(host::platform::selfExecutable(argv0)).parent_path();
}

std::string defaultModule(const char *argv0) {
    return (programFolder(argv0) / "tevcom.arx").string();
}

// The host's texts in the language asked for (--lang) or the locale's; the message
// catalogue lies in "locale" beside the executable. Russian that cannot be given is said
// on standard error when it was asked for by name, and the host goes on in English.
void chooseLanguage(const std::string &asked, const char *argv0) {
    host::i18n::Language language = host::i18n::chooseLanguage(asked);
    std::string warning;
    if (!host::i18n::setLanguage(language, (programFolder(argv0) / "locale").string(), warning) &&
        !asked.empty())
        std::cerr << "arxhost: " << warning << "\n";
}

// Freeing a drawing of a million entities one object at a time takes longer than the
// process takes to end, and gives nothing back that the exit would not. The drawing stays
// reachable, so leak checkers do not count it; sanitizer builds free it to check the
// database's own teardown.
void releaseAtExit(std::unique_ptr<AcDbDatabase> db) {
#if defined(__SANITIZE_ADDRESS__)
    db.reset();
#else
    static AcDbDatabase *s_kept = nullptr;
    s_kept = db.release();
    (void)s_kept;
#endif
}

std::unique_ptr<host::InputSource> makeSource(const host::Options &options, bool &terminal) {
    terminal = false;
    if (!options.script.empty()) {
        std::string error;
        auto script = host::ScriptSource::fromFile(options.script, error);
        if (!script)
            std::cerr << "arxhost: " << error << "\n";
        return script;
    }
    if (host::TerminalSource::stdinIsTerminal()) {
        terminal = true;
        return std::make_unique<host::TerminalSource>();
    }
    return std::make_unique<host::StreamSource>(std::cin);
}

// --audit: reads the drawing, says what had to be repaired, and saves nothing.
int audit(const std::string &drawing) {
    if (drawing.empty()) {
        std::cerr << "arxhost: --audit needs a drawing\n";
        return host::kExitBadArguments;
    }
    std::string error;
    std::vector<std::string> repairs;
    std::unique_ptr<AcDbDatabase> db = host::openDrawing(drawing, error, repairs);
    if (!db) {
        std::cerr << "arxhost: " << host::text::escapeControls(error) << "\n";
        return host::kExitUnreadableDrawing;
    }
    for (const std::string &r : repairs)
        std::cerr << "arxhost: repaired: " << host::text::escapeControls(r) << "\n";
    // Found, not repaired: the drawing is kept as it is, and only part of such a block is
    // ever looked at.
    std::vector<std::string> oversized = tev::db::oversizedBlocks(*db);
    for (const std::string &name : oversized)
        std::cerr << "arxhost: block \"" << host::text::escapeControls(name)
                  << "\" nests references past " << tev::db::kMaxExpandedEntities
                  << " entities: picks, windows and pictures expand only part of it\n";
    std::string summary = repairs.empty() ? std::string("no problems found")
                                          : std::to_string(repairs.size()) +
                                                (repairs.size() == 1 ? " problem" : " problems") +
                                                " repaired on reading (nothing saved)";
    if (!oversized.empty())
        summary = (repairs.empty() ? std::string() : summary + "; ") +
                  std::to_string(oversized.size()) + " block structure(s) too large to expand";
    std::cout << drawing << ": " << summary << "\n";
    releaseAtExit(std::move(db));
    return repairs.empty() && oversized.empty() ? host::kExitDone : host::kExitRepaired;
}

} // namespace

int main(int argc, char **argv) {
    if (int rc = host::runBatchIfAsked(argc, argv); rc >= 0)
        return rc;
    host::registerDrawingCommands();
    host::registerUserCommands();
    host::registerViewCommands();
    host::view::setPictureFacts(host::app::pictureFacts);
    host::hostCommands().push_back(
        {"VIEW", host::view::viewCommand,
         host::i18n::N_("Shows the drawing in the browser; clicks answer the prompts")});
    host::Options options;
    if (int rc = host::parseOptions(argc, argv, options); rc >= 0)
        return rc;
    chooseLanguage(options.language, argv[0]);
    if (options.modules.empty())
        options.modules.push_back(defaultModule(argv[0]));
    for (const std::string &m : options.modules) {
        if (!usableFile(m, "module"))
            return host::kExitBadArguments;
    }
    if (!options.script.empty() && !usableFile(options.script, "script"))
        return host::kExitBadArguments;
    if (!options.drawing.empty() && !usableFile(options.drawing, "drawing", true))
        return host::kExitBadArguments;
    if (options.audit)
        return audit(options.drawing);
    if (!host::platform::openRegistry(options.registry, options.registryReadOnly))
        return host::kExitBadArguments;

    host::installRuntime();
    host::CommandLine &cl = host::CommandLine::reset();
    bool terminal = false;
    std::unique_ptr<host::InputSource> source = makeSource(options, terminal);
    if (!source)
        return host::kExitBadArguments;
    cl.setSource(std::move(source));
    cl.setTranscript(&std::cout, terminal);

    std::string error;
    std::vector<std::string> repairs, notes;
    std::unique_ptr<AcDbDatabase> db =
        host::openDrawing(options.drawing, error, repairs, /*lock=*/true, &notes);
    if (!db) {
        std::cerr << "arxhost: " << host::text::escapeControls(error) << "\n";
        return host::kExitUnreadableDrawing;
    }
    for (const std::string &r : repairs)
        std::cerr << "arxhost: repaired: " << host::text::escapeControls(r) << "\n";
    for (const std::string &n : notes)
        std::cerr << "arxhost: " << host::text::escapeControls(n) << "\n";
    acdbHostApplicationServices()->setWorkingDatabase(db.get());

    for (const std::string &m : options.modules) {
        cl.setRunningModule(std::filesystem::path(m).filename().string()); // for its messages
        if (!host::dynamicLinker().load(m, error)) {
            std::cerr << "arxhost: cannot load module " << m << ": " << error << "\n";
            acdbHostApplicationServices()->setWorkingDatabase(nullptr);
            return host::kExitBadArguments;
        }
    }

    host::allowArxFromView(options.viewAllowLoad);
    if (options.view) {
        if (!host::view::startView({options.viewPort, options.viewAddress}, error)) {
            std::cerr << "arxhost: the view cannot start: " << error << "\n";
            host::dynamicLinker().unloadAll();
            acdbHostApplicationServices()->setWorkingDatabase(nullptr);
            return 2;
        }
    }
    host::setAskBeforeQuit(terminal && options.output.empty());
    host::runCommandLoop();
    host::view::stopView();

    int rc = host::drawingState().saveFailed ? host::kExitWriteFailed : host::kExitDone;
    if (!options.output.empty()) {
        if (!host::saveDrawing(*db, options.output, error)) {
            std::cerr << "arxhost: " << error << "\n";
            rc = host::kExitWriteFailed;
        }
    } else if (host::changesLeftUnsaved()) {
        std::cerr << "arxhost: the drawing has changes that were not saved (save them with "
                     "SAVE, or name a file with --output)\n";
    }
    if (!options.svg.empty() && !host::writePicture(*db, options.svg, error)) {
        std::cerr << "arxhost: " << error << "\n";
        rc = host::kExitWriteFailed;
    }
    host::dynamicLinker().unloadAll();
    if (!host::platform::closeRegistry(error)) {
        std::cerr << "arxhost: " << error << "\n";
        rc = host::kExitWriteFailed;
    }
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    std::cout.flush();
    releaseAtExit(std::move(db));
    return rc;
}
