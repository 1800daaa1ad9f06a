// command_loop.cpp - the command prompt and the dispatch of a typed command name.
#include "command_loop.h"
#include "command_line.h"
#include "command_stack.h"
#include "host_commands.h"
#include "drawing_io.h"
#include "i18n.h"
#include "text_util.h"
#include "undo_commands.h"

#include <string>

namespace host {

namespace {

using text::toUpper;

} // namespace

bool runCommand(std::string_view typed) {
    CommandLine &cl = CommandLine::current();
    if (equalsNoCase(typed, "QUIT") || equalsNoCase(typed, "_QUIT"))
        return false;
    if (const CommandEntry *entry = commandStack().lookup(typed)) {
        cl.setBreakPending(false); // invoking a command clears a break typed before it
        cl.setRunningModule(entry->module);
        {
            CommandStep step(entry->localName); // all it changes is undone by one U
            entry->function();
        }
        reportLeftOpen(entry->localName);
        return true;
    }
    if (const HostCommand *command = findHostCommand(typed)) {
        if (isUndoCommand(command->name)) {
            command->run();
        } else {
            CommandStep step(command->name);
            command->run();
        }
        reportLeftOpen(command->name);
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

void runCommandLoop() {
    CommandLine &cl = CommandLine::current();
    std::string last;
    for (;;) {
        Answer answer = cl.askCommand();
        if (!answer.isText()) {
            if (cl.endOfInput())
                return;
            continue; // Escape at the command prompt cancels nothing
        }
        std::string name = answer.text;
        if (name.empty()) {
            if (last.empty())
                continue;
            name = last; // Enter at an empty prompt repeats the previous command
        }
        last = name;
        if (!runCommand(name))
            return;
        if (cl.endOfInput())
            return;
    }
}

} // namespace host
