// host_commands.h - the commands the host itself offers at the command prompt: one table
// (host_commands.cpp) of every command's global name, local name, help line and handler.
#pragma once
#include <span>
#include <string_view>

namespace host {

struct HostCommand {
    const char *globalName; // typed with "_" before it in any language
    const char *localName;  // typed as it is
    const char *help;       // one line of what it does, in English (HELP shows it translated)
    void (*run)();          // nullptr: QUIT, which the command loop ends on itself
    bool ownUndo = false;   // U, UNDO, REDO: not a step of their own
};

// The built-in commands, in the order HELP lists them.
std::span<const HostCommand> hostCommands();
// The command a typed name runs: its local name, or its global name after "_".
const HostCommand *findHostCommand(std::string_view typed);

// ARX: Load a module by path, Unload one by file name, ? to list. From the view's page it is
// refused unless allowed (--view-allow-load): a module's code runs in the host.
void arxCommand();
void allowArxFromView(bool allowed);

} // namespace host
