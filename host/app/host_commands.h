// host_commands.h - the commands the host itself offers at the command prompt.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct HostCommand {
    std::string name;
    std::function<void()> run;
    std::string help; // one line of what it does, in English (HELP shows it translated)
};

// The built-in commands: ARX, and whatever the drawing layers add (LINE, SAVE, ...).
std::vector<HostCommand> &hostCommands();
const HostCommand *findHostCommand(std::string_view typed);

// ARX: Load a module by path, Unload one by file name, ? to list. From the view's page it is
// refused unless allowed (--view-allow-load): a module's code runs in the host.
void arxCommand();
void allowArxFromView(bool allowed);

} // namespace host
