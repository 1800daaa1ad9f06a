// host_commands.cpp - ARX and the table of built-in commands.
#include "host_commands.h"
#include "command_line.h"
#include "command_stack.h"
#include "runtime.h"
#include "text_util.h"

#include <filesystem>

namespace host {

namespace {

using text::toUpper;

void listModules() {
    CommandLine &cl = CommandLine::current();
    for (const auto &m : dynamicLinker().modules())
        cl.print("\n" + m->fileName);
    cl.print("\n");
}

void loadModule() {
    CommandLine &cl = CommandLine::current();
    Answer file = cl.ask("\nRuntime extension file: ", AnswerEnd::LineOnly);
    if (!file.isText() || file.text.empty())
        return;
    std::string error;
    cl.setRunningModule(std::filesystem::path(file.text).filename().string()); // its messages
    if (dynamicLinker().load(file.text, error))
        cl.print("\n" + file.text + " successfully loaded.\n");
    else
        cl.print("\nUnable to load " + file.text + ": " + error + "\n");
}

void unloadModule() {
    CommandLine &cl = CommandLine::current();
    Answer file = cl.ask("\nUnload ObjectARX file: ", AnswerEnd::LineOnly);
    if (!file.isText() || file.text.empty())
        return;
    std::string error;
    if (dynamicLinker().unload(file.text, error))
        cl.print("\n" + file.text + " successfully unloaded.\n");
    else
        cl.print("\nUnable to unload " + file.text + ": " + error + "\n");
}

} // namespace

void arxCommand() {
    CommandLine &cl = CommandLine::current();
    for (;;) {
        Answer option = cl.ask("\nEnter an option [?/Load/Unload]: ");
        if (!option.isText() || option.text.empty())
            return;
        std::string o = toUpper(option.text);
        if (o == "?") {
            listModules();
            return;
        }
        if (o == "L" || o == "LOAD") {
            loadModule();
            return;
        }
        if (o == "U" || o == "UNLOAD") {
            unloadModule();
            return;
        }
        cl.refuse("Invalid option keyword.");
    }
}

std::vector<HostCommand> &hostCommands() {
    static std::vector<HostCommand> s_commands{{"ARX", arxCommand}};
    return s_commands;
}

const HostCommand *findHostCommand(std::string_view typed) {
    if (!typed.empty() && typed.front() == '_')
        typed.remove_prefix(1); // the host's own commands answer to their English names
    for (const HostCommand &c : hostCommands()) {
        if (equalsNoCase(c.name, typed))
            return &c;
    }
    return nullptr;
}

} // namespace host
