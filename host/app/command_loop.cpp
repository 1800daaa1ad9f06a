// command_loop.cpp - the command prompt and the dispatch of a typed command name.
#include "command_loop.h"
#include "command_line.h"
#include "command_stack.h"
#include "host_commands.h"
#include "drawing_io.h"
#include "i18n.h"
#include "prompt_band.h"
#include "shape.h"
#include "text_util.h"
#include "undo_commands.h"
#include "unsaved_work.h"

#include <string>

namespace host {

namespace {

using text::toUpper;

bool dispatch(std::string_view typed);

} // namespace

// Runs a command, then says so when it met block references too large to expand whole.
bool runCommand(std::string_view typed) {
    std::size_t cutBefore = tev::db::cutShapes();
    bool more = dispatch(typed);
    if (tev::db::cutShapes() != cutBefore)
        CommandLine::current().print(
            "\n" +
            i18n::format(i18n::tr("Block references nested too deeply to expand: only the first "
                                  "%s entities of each were looked at."),
                         {std::to_string(tev::db::kMaxExpandedEntities)}) +
            "\n");
    return more;
}

namespace {

bool dispatch(std::string_view typed) {
    CommandLine &cl = CommandLine::current();
    const HostCommand *command = findHostCommand(typed);
    if (command != nullptr && command->run == nullptr)
        return false; // QUIT
    if (const CommandEntry *entry = commandStack().lookup(typed)) {
        cl.setBreakPending(false); // invoking a command clears a break typed before it
        cl.setRunningModule(entry->module);
        cl.bands().start(entry->globalName);
        {
            CommandStep step(entry->localName); // all it changes is undone by one U
            entry->function();
        }
        reportLeftOpen(entry->localName);
        return true;
    }
    if (command != nullptr) {
        cl.bands().start({});
        if (command->ownUndo) {
            command->run();
        } else {
            CommandStep step(command->globalName);
            command->run();
        }
        reportLeftOpen(command->globalName);
        return true;
    }
    if (isSystemVariable(typed)) {
        CommandStep step(typed);
        runSystemVariableCommand(typed);
        return true;
    }
    cl.print("\n" +
             i18n::format(i18n::tr("Unknown command \"%s\".  HELP or ? lists the commands."),
                          {toUpper(typed)}) +
             "\n");
    return true;
}

} // namespace

void runCommandLoop() {
    CommandLine &cl = CommandLine::current();
    std::string last;
    for (;;) {
        Answer answer = cl.askCommand();
        if (!answer.isText()) {
            if (cl.endOfInput() && mayQuit())
                return;
            continue; // Escape at the command prompt cancels nothing
        }
        std::string name = answer.text;
        if (name.empty()) {
            if (last.empty())
                continue;
            name = last; // Enter at an empty prompt repeats the previous command
            cl.print(i18n::format(i18n::tr("Repeating %s"), {name}) + "\n");
        }
        last = name;
        bool quit = !runCommand(name) || cl.endOfInput();
        if (quit && mayQuit())
            return;
    }
}

} // namespace host
