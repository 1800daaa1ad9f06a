// arx_command.cpp - ARX: loading, unloading and listing modules.
#include "host_commands.h"
#include "command_line.h"
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

} // namespace host
