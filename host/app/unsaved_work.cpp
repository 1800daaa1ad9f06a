// unsaved_work.cpp - the question before the host ends with unsaved changes.
#include "unsaved_work.h"
#include "command_line.h"
#include "command_stack.h"
#include "drawing_io.h"
#include "i18n.h"

#include "dbapserv.h"
#include "dbmain.h"

#include <string>

namespace host {
namespace {

bool gAsk = false;
bool gDropped = false; // the user answered No

bool modified() {
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    return db != nullptr && db->changeCount() != 0;
}

enum class Choice { Yes, No, Cancel, Unanswerable };

Choice askSaveChanges() {
    CommandLine &cl = CommandLine::current();
    std::string prompt = i18n::format(i18n::tr("\nSave changes to %s? [Yes/No/Cancel] <Yes>: "),
                                      {utf8ToCp1251(drawingName())});
    for (;;) {
        Answer a = cl.ask(prompt);
        if (!a.isText()) // Escape, or Ctrl-D at a terminal still there: back to work
            return cl.endOfInput() && !cl.resumeInput() ? Choice::Unanswerable : Choice::Cancel;
        const std::string &t = a.text;
        if (t.empty() || equalsNoCase(t, "Y") || equalsNoCase(t, "YES"))
            return Choice::Yes;
        if (equalsNoCase(t, "N") || equalsNoCase(t, "NO"))
            return Choice::No;
        if (equalsNoCase(t, "C") || equalsNoCase(t, "CANCEL"))
            return Choice::Cancel;
        cl.refuse(i18n::tr("Invalid option keyword."));
    }
}

} // namespace

void setAskBeforeQuit(bool ask) {
    gAsk = ask;
}

bool mayQuit() {
    CommandLine &cl = CommandLine::current();
    if (!gAsk || !modified())
        return true;
    if (cl.endOfInput() && !cl.resumeInput())
        return true; // nobody left to ask: the changes are reported as unsaved
    switch (askSaveChanges()) {
    case Choice::Unanswerable:
        return true;
    case Choice::No:
        gDropped = true;
        return true;
    case Choice::Cancel:
        return false;
    case Choice::Yes:
        break;
    }
    if (!drawingState().path.empty() && drawingState().readOnly.empty())
        return saveWorkingDrawing(drawingState().path);
    Answer name =
        cl.ask(i18n::format(i18n::tr("\nSave drawing as <%s>: "), {utf8ToCp1251(drawingName())}),
               AnswerEnd::LineOnly);
    if (!name.isText()) // Escape: back to the command line, unless nobody is left
        return cl.endOfInput() && !cl.resumeInput();
    return saveWorkingDrawing(name.text.empty() ? drawingName() : cp1251ToUtf8(name.text));
}

bool changesLeftUnsaved() {
    return modified() && !gDropped;
}

} // namespace host
