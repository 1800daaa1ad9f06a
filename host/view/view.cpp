// view.cpp - starting and stopping the view, and the VIEW command.
#include "view.h"

#include "view_input.h"
#include "http_server.h"
#include "view_server.h"

#include "command_line.h"
#include "i18n.h"
#include "dbapserv.h"
#include "dbmain.h"
#include "selection_sets.h"
#include "spatial.h"

#include <iostream>
#include <memory>

namespace host::view {

namespace {

struct Running {
    std::shared_ptr<Hub> hub;
    std::unique_ptr<ViewServer> server;
};

std::unique_ptr<Running> &running() {
    static std::unique_ptr<Running> s_running;
    return s_running;
}

} // namespace

bool viewAvailable() {
    return true;
}

bool startView(const ViewOptions &options, std::string &error) {
    if (running()) {
        error = "the view is open already";
        return false;
    }
    auto r = std::make_unique<Running>();
    r->hub = std::make_shared<Hub>();
    r->server = std::make_unique<ViewServer>(r->hub);
    if (!r->server->start(options.address, options.port, error))
        return false;
    if (!isLoopback(options.address))
        std::cerr << "arxhost: warning: the view on " << options.address
                  << " is plain HTTP: anyone who sees its traffic has the token, and with it the "
                     "session (any command, any file you may write). Reach it from another "
                     "machine through a tunnel (ssh -L) instead.\n";

    // The page's first picture comes from the spatial index: built now, while the drawing is
    // opened, rather than while the page waits.
    if (AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase()) {
        AcGePoint2d lo, hi;
        (void)tev::db::spaceExtents(*db, db->modelSpaceId(), lo, hi); // an empty drawing: no box
    }
    CommandLine &cl = CommandLine::current();
    std::unique_ptr<InputSource> old = cl.releaseSource();
    std::unique_ptr<TerminalSource> terminal; // its line editor goes on beside the page
    std::unique_ptr<InputSource> first;       // a script (or a test's queue) still goes first
    if (dynamic_cast<TerminalSource *>(old.get()) != nullptr) {
        terminal.reset(static_cast<TerminalSource *>(old.release()));
        r->hub->setWaker(terminal->waker());
    } else if (dynamic_cast<StreamSource *>(old.get()) != nullptr) {
        old.reset(); // standard input is read line by line beside the page from now on
        readStdinInto(r->hub);
    } else {
        first = std::move(old);
    }
    cl.setSource(std::make_unique<ViewSource>(r->hub, std::move(first), std::move(terminal)));
    cl.setTranscriptTap([hub = r->hub](std::string_view utf8) { hub->appendTranscript(utf8); });
    cl.setBreakSource([hub = r->hub](bool clear) { return hub->breakPending(clear); });
    cl.selectionSets().showPending(true);
    cl.printUtf8("\nView: " + r->server->url() + "\n");
    running() = std::move(r);
    return true;
}

bool viewRunning() {
    return running() != nullptr;
}

void stopView() {
    auto &r = running();
    if (!r)
        return;
    r->hub->end();
    r->server->stop();
    CommandLine::current().setTranscriptTap({});
    CommandLine::current().setBreakSource({});
    r.reset();
}

void viewCommand() {
    if (auto &r = running()) { // open already: where it is
        CommandLine::current().printUtf8("\nView: " + r->server->url() + "\n");
        return;
    }
    std::string error;
    if (!startView(ViewOptions{}, error))
        CommandLine::current().refuse(
            i18n::format(i18n::tr("The view cannot start: %s."), {error}));
}

} // namespace host::view
