// view.h - the live view: a page in the browser that shows the drawing, follows every
// change and turns clicks into answers for the command line.
#pragma once

#include "svg.h"

#include <functional>
#include <string>

namespace host::view {

// What the file behind a drawing tells its picture (text encoding, true colours, ...), given
// by whoever read the file; without it the view draws as for a drawing made here.
using PictureFacts = std::function<render::FileFacts(AcDbDatabase &)>;
void setPictureFacts(PictureFacts facts);

struct ViewOptions {
    int port = 0;                      // 0: any free port
    std::string address = "127.0.0.1"; // where the server listens (and ::1 beside it)
};

// Whether this build has the view.
bool viewAvailable();
// Starts the server and hands the command line to the view: from now on answers come from
// the page and from standard input (a script still running goes first), and the transcript
// shows in both. Prints the page's address. False with error when it cannot start.
bool startView(const ViewOptions &options, std::string &error);
bool viewRunning();
// Tells the page the session is over and stops the server.
void stopView();
// The VIEW command: starts the view on a free port, or shows its address again.
void viewCommand();

} // namespace host::view
