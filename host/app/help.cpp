// help.cpp - HELP and "?": the commands that exist, each with one line of what it does. The
// host's commands describe themselves where they are registered; a module's commands come
// from the command stack, and their lines from the table below, kept by the host and keyed
// by global name so that the module itself carries no help text.
#include "command_line.h"
#include "command_stack.h"
#include "host_commands.h"
#include "i18n.h"
#include "user_commands.h"

#include <algorithm>

namespace host {

namespace {

using i18n::N_;
using i18n::tr;

struct KnownCommand {
    const char *globalName;
    const char *help;
};

struct ModuleCommand {
    const char *globalName;
    const char *localName;
    const char *help;
};

// clang-format off
constexpr ModuleCommand kModuleCommands[] = {
    // global   local   what it does
    {"tevCl",   "Cl",   N_("Draws a chain of lines in a colour picked from an entity or a layer")},
    {"tevSel",  "Sel",  N_("Gives the entities of one selection after another a picked colour")},
    {"tevLp",   "Lp",   N_("Draws a chain of axis-parallel lines turning right-angle corners")},
    {"tevJl",   "Jl",   N_("Replaces two picked lines by one line through their far endpoints")},
    {"tevNor",  "Nor",  N_("Sets the snap angle (SNAPANG)")},
    {"tevLpl",  "Lpl",  N_("Totals the XY length of the lines and polylines of one colour")},
    {"tevWpe",  "Wpe",  N_("Gives polylines a width and turns lines into wide 2D polylines")},
    {"tevEn",   "En",   N_("Lists the DXF data of a picked entity")},
    {"tevnEn",  "nEn",  N_("Lists the DXF data of a picked entity, reaching into blocks")},
};
// clang-format on

// Host commands registered elsewhere without a line of their own, and QUIT, which the
// command loop handles itself.
// clang-format off
constexpr KnownCommand kHostFallbacks[] = {
    {"QUIT",  N_("Ends the session")},
    {"QSAVE", N_("Saves the drawing under its own name")},
    {"U",     N_("Undoes the last command")},
    {"UNDO",  N_("Undoes commands (a number, Mark, Back)")},
    {"REDO",  N_("Redoes what the last undo took back")},
};
// clang-format on

std::string fallbackHelp(std::string_view name) {
    for (const KnownCommand &k : kHostFallbacks) {
        if (equalsNoCase(k.globalName, name))
            return k.help;
    }
    return {};
}

void printRow(CommandLine &cl, const std::string &name, const std::string &help) {
    std::string padded = name.size() < 10 ? name + std::string(10 - name.size(), ' ') : name + " ";
    cl.print("\n  " + padded +
             (help.empty() ? std::string(tr("(no description)")) : tr(help.c_str())));
}

} // namespace

std::string moduleCommandHelp(std::string_view globalName) {
    for (const ModuleCommand &k : kModuleCommands) {
        if (globalName == k.globalName)
            return k.help;
    }
    return {};
}

std::vector<CommandSummary> hostCommandSummaries() {
    std::vector<CommandSummary> out;
    for (const HostCommand &c : hostCommands())
        out.push_back({c.name, c.help.empty() ? fallbackHelp(c.name) : c.help});
    if (std::none_of(out.begin(), out.end(), [](const auto &s) { return s.name == "QUIT"; }))
        out.push_back({"QUIT", fallbackHelp("QUIT")});
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return out;
}

std::vector<CommandSummary> knownModuleCommandSummaries() {
    std::vector<CommandSummary> out;
    for (const ModuleCommand &k : kModuleCommands)
        out.push_back({k.localName, k.help});
    return out;
}

void helpCommand() {
    CommandLine &cl = CommandLine::current();
    cl.print("\n" + std::string(tr("Commands of the host:")));
    for (const CommandSummary &s : hostCommandSummaries())
        printRow(cl, s.name, s.help);
    CommandStack &stack = commandStack();
    for (const std::string &group : stack.groupNames()) {
        std::vector<CommandEntry> entries = stack.commandsInGroup(group);
        if (entries.empty())
            continue;
        std::string module = entries.front().module.empty() ? group : entries.front().module;
        cl.print("\n" + i18n::format(tr("Commands of %s (group %s):"), {module, group}));
        for (const CommandEntry &e : entries)
            printRow(cl, e.localName, moduleCommandHelp(e.globalName));
    }
    cl.print("\n" +
             std::string(tr("A system variable's name shows its value and asks for a new "
                            "one; \"_\" before a name runs the command by its global "
                            "(English) name.")) +
             "\n");
}

void registerUserCommands() {
    std::vector<HostCommand> &commands = hostCommands();
    commands.push_back({"ERASE", eraseCommand, i18n::N_("Erases the objects selected")});
    commands.push_back(
        {"OOPS", oopsCommand, i18n::N_("Restores the objects the last ERASE erased")});
    commands.push_back(
        {"LIST", listCommand, i18n::N_("Lists the properties of the objects selected")});
    commands.push_back({"ID", idCommand, i18n::N_("Shows the coordinates of a point")});
    commands.push_back(
        {"DIST", distCommand, i18n::N_("Measures the distance and angles between two points")});
    commands.push_back(
        {"HELP", helpCommand, i18n::N_("Lists the commands, each with what it does")});
    commands.push_back({"?", helpCommand, i18n::N_("Same as HELP")});
}

} // namespace host
