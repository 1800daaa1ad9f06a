// view_absent.cpp - builds without the view (Windows): the option and the command say so.
#include "view.h"

#include "command_line.h"
#include "i18n.h"

namespace host::view {

bool viewAvailable() {
    return false;
}

void setPictureFacts(PictureFacts) {}

bool startView(const ViewOptions &, std::string &error) {
    error = "the view is not part of this build";
    return false;
}

bool viewRunning() {
    return false;
}

void stopView() {}

void viewCommand() {
    CommandLine::current().refuse(i18n::tr("The view is not part of this build."));
}

} // namespace host::view
