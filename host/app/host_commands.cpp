// host_commands.cpp - ARX and the table of built-in commands.
#include "host_commands.h"
#include "command_line.h"
#include "command_stack.h"
#include "runtime.h"
#include "i18n.h"
#include "text_util.h"

#include <filesystem>

namespace host {

namespace {

using text::toUpper;

bool s_arxFromView = false; // --view-allow-load

// True, with a message, when the answer came from the view's page and ARX may not be run
// from there.
bool refusedFromView(bool fromView) {
    if (!fromView || s_arxFromView)
        return false;
    CommandLine::current().refuse(
        i18n::tr("ARX is refused from the view: a module's code would run in arxhost. Start "
                 "arxhost with --view-allow-load to allow it."));
    return true;
}

void listModules() {
    CommandLine &cl = CommandLine::current();
    for (const auto &m : dynamicLinker().modules())
        cl.print("\n" + m->fileName);
    cl.print("\n");
}

void loadModule() {
    CommandLine &cl = CommandLine::current();
    Answer file = cl.ask(i18n::tr("\nRuntime extension file: "), AnswerEnd::LineOnly);
    if (!file.isText() || file.text.empty() || refusedFromView(file.fromView))
        return;
    std::string error;
    cl.setRunningModule(std::filesystem::path(file.text).filename().string()); // its messages
    if (dynamicLinker().load(file.text, error))
        cl.print("\n" + i18n::format(i18n::tr("%s successfully loaded."), {file.text}) + "\n");
    else
        cl.print("\n" + i18n::format(i18n::tr("Unable to load %s: %s"), {file.text, error}) + "\n");
}

void unloadModule() {
    CommandLine &cl = CommandLine::current();
    Answer file = cl.ask(i18n::tr("\nUnload module file: "), AnswerEnd::LineOnly);
    if (!file.isText() || file.text.empty())
        return;
    std::string error;
    if (dynamicLinker().unload(file.text, error))
        cl.print("\n" + i18n::format(i18n::tr("%s successfully unloaded."), {file.text}) + "\n");
    else
        cl.print("\n" + i18n::format(i18n::tr("Unable to unload %s: %s"), {file.text, error}) +
                 "\n");
}

} // namespace

void allowArxFromView(bool allowed) {
    s_arxFromView = allowed;
}

void arxCommand() {
    CommandLine &cl = CommandLine::current();
    if (refusedFromView(cl.lastAnswerFromView())) // the command's name
        return;
    for (;;) {
        Answer option = cl.ask(i18n::tr("\nEnter an option [?/Load/Unload]: "));
        if (!option.isText() || option.text.empty() || refusedFromView(option.fromView))
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
        cl.refuse(i18n::tr("Invalid option keyword."));
    }
}

std::vector<HostCommand> &hostCommands() {
    static std::vector<HostCommand> s_commands{
        {"ARX", arxCommand, i18n::N_("Loads, unloads and lists modules")}};
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
