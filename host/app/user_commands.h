// user_commands.h - the host commands a drafter expects besides drawing: ERASE and OOPS,
// LIST, ID and DIST, and HELP (also "?"). Each works on the working drawing and leaves
// nothing open; without a working drawing each says so and does nothing.
#pragma once

#include "dbid.h"

#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;

namespace host {

// Adds ERASE, OOPS, LIST, ID, DIST, HELP and "?" to the host's commands.
void registerUserCommands();

// The working drawing, or nullptr after saying "No drawing is open."
AcDbDatabase *drawingOrSay();
// Runs "Select objects:" and gives the ids chosen; false (nothing chosen, Escape, or no
// set could be made) leaves ids empty.
bool selectEntityIds(std::vector<AcDbObjectId> &ids);

// Numbers as the host shows them: lengths with four decimals, angles in whole degrees.
std::string lengthText(long double value);
std::string angleText(long double radians);

// What each command does, one line per command: the host's own, and the commands of the
// modules we know by their global names. In English (HELP shows them translated).
struct CommandSummary {
    std::string name;
    std::string help;
};
// The line for a module command's global name; empty when the host does not know it.
std::string moduleCommandHelp(std::string_view globalName);
std::vector<CommandSummary> hostCommandSummaries();
std::vector<CommandSummary> knownModuleCommandSummaries();

void eraseCommand();
void oopsCommand();
void listCommand();
void idCommand();
void distCommand();
void helpCommand();

} // namespace host
