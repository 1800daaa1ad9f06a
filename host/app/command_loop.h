// command_loop.h - the command prompt: reads command names and runs them until QUIT or
// the end of input.
#pragma once
#include <string_view>

namespace host {

// Runs commands until QUIT or the end of input (a command waiting at a prompt then gets
// Escape first).
void runCommandLoop();
// Runs one command by the name typed: a module command, a host command, or a system
// variable. Unknown names get the host's message. Returns false for QUIT.
bool runCommand(std::string_view typed);

} // namespace host
