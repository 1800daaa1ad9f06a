// user_commands.h - the host commands a drafter expects besides drawing: ERASE and OOPS,
// LIST, ID and DIST, and HELP (also "?"). Each works on the working drawing and leaves
// nothing open; without a working drawing each says so and does nothing. The command
// table (host_commands.cpp) names them.
#pragma once

#include "dbid.h"

#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;

namespace host {

// The working drawing, or nullptr after saying "No drawing is open."
AcDbDatabase *drawingOrSay();
// Runs "Select objects:" and gives the ids chosen; false (nothing chosen, Escape, or no
// set could be made) leaves ids empty.
bool selectEntityIds(std::vector<AcDbObjectId> &ids);

// Numbers as the host shows them: lengths with four decimals, angles in whole degrees.
std::string lengthText(long double value);
std::string angleText(long double radians);

// The commands HELP lists: the host's (help in English; HELP shows it translated), sorted
// by name, and each module's as it registered them (local name, then "_" and the global
// name).
struct CommandSummary {
    std::string name;
    std::string help;
};
struct ModuleCommands {
    std::string module; // its file name
    std::string group;
    std::vector<CommandSummary> commands;
};
std::vector<CommandSummary> hostCommandSummaries();
std::vector<ModuleCommands> registeredModuleCommands();
// For "arxhost --help", before any session: loads the module files as a session would (no
// drawing, and no registry file opened, so nothing they register is kept), gives their
// commands and unloads them. A file that cannot be loaded adds a line to errors.
std::vector<ModuleCommands> moduleCommandsOf(const std::vector<std::string> &files,
                                             std::vector<std::string> &errors);

void eraseCommand();
void oopsCommand();
void listCommand();
void idCommand();
void distCommand();
void helpCommand();

} // namespace host
