// help.cpp - HELP and "?": the commands that exist. The host's own come from its command
// table with their lines; a module's from the command stack, by the local and global names
// it registered them under (a module carries no help text the host could show).
#include "command_line.h"
#include "command_stack.h"
#include "host_commands.h"
#include "i18n.h"
#include "runtime.h"
#include "user_commands.h"

#include <algorithm>
#include <filesystem>

namespace host {

namespace {

using i18n::tr;

void printRow(CommandLine &cl, const std::string &name, const std::string &help) {
    std::string padded = name.size() < 10 ? name + std::string(10 - name.size(), ' ') : name + " ";
    cl.print("\n  " + padded + help);
}

} // namespace

std::vector<CommandSummary> hostCommandSummaries() {
    std::vector<CommandSummary> out;
    for (const HostCommand &c : hostCommands())
        out.push_back({c.localName, c.help});
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return out;
}

std::vector<ModuleCommands> registeredModuleCommands() {
    std::vector<ModuleCommands> out;
    CommandStack &stack = commandStack();
    for (const std::string &group : stack.groupNames()) {
        std::vector<CommandEntry> entries = stack.commandsInGroup(group);
        if (entries.empty())
            continue;
        ModuleCommands &m = out.emplace_back();
        m.module = entries.front().module.empty() ? group : entries.front().module;
        m.group = group;
        for (const CommandEntry &e : entries)
            m.commands.push_back({e.localName, "_" + e.globalName});
    }
    return out;
}

std::vector<ModuleCommands> moduleCommandsOf(const std::vector<std::string> &files,
                                             std::vector<std::string> &errors) {
    installRuntime();
    for (const std::string &file : files) {
        std::string error;
        if (!dynamicLinker().load(file, error))
            errors.push_back(std::filesystem::path(file).filename().string() + ": " + error);
    }
    std::vector<ModuleCommands> out = registeredModuleCommands();
    dynamicLinker().unloadAll();
    return out;
}

void helpCommand() {
    CommandLine &cl = CommandLine::current();
    cl.print("\n" + std::string(tr("Commands of the host:")));
    for (const CommandSummary &s : hostCommandSummaries())
        printRow(cl, s.name, tr(s.help.c_str()));
    for (const ModuleCommands &m : registeredModuleCommands()) {
        cl.print("\n" + i18n::format(tr("Commands of %s (group %s), by local and global name:"),
                                     {m.module, m.group}));
        for (const CommandSummary &s : m.commands)
            printRow(cl, s.name, s.help);
    }
    cl.print("\n" +
             std::string(tr("A system variable's name shows its value and asks for a new "
                            "one; \"_\" before a name runs the command by its global "
                            "(English) name.")) +
             "\n");
}

} // namespace host
