// options.cpp - arxhost's command-line options (CLI11).
#include "options.h"
#include "user_commands.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>

#ifndef TEV_VERSION
#define TEV_VERSION "0.0"
#endif

namespace host {

const char *const kVersion = TEV_VERSION;

namespace {

std::string rows(const std::vector<CommandSummary> &summaries) {
    std::string out;
    for (const CommandSummary &s : summaries) {
        std::string name = s.name;
        name.resize(std::max<std::size_t>(name.size() + 1, 10), ' ');
        out += "  " + name + s.help + "\n";
    }
    return out;
}

// The commands at the prompt, for the end of --help: the host's, then those of the modules
// a session would load.
std::string commandsFooter(const std::vector<std::string> &modules) {
    std::string out = "\nCommands at the prompt (HELP or ? lists them in a session):\n" +
                      rows(hostCommandSummaries());
    std::vector<std::string> errors;
    for (const ModuleCommands &m : moduleCommandsOf(modules, errors))
        out += "Commands of " + m.module + " (group " + m.group + "), by local and global name:\n" +
               rows(m.commands);
    for (const std::string &e : errors)
        out += "Module " + e + "\n";
    return out + "A system variable's name shows its value and asks for a new one.\n";
}

} // namespace

int parseOptions(int argc, char **argv, Options &options, const std::string &defaultModule) {
    CLI::App app{"arxhost: a host for tevcom.arx that opens DXF drawings, runs commands from "
                 "a terminal or a script, and saves the result.",
                 "arxhost"};
    app.add_option("--load", options.modules,
                   "Module file to load (repeatable; default: tevcom.arx beside arxhost)");
    app.add_option("--script", options.script, "Run the commands of this script file");
    app.add_option("--output", options.output, "Save the drawing to this DXF file at the end");
    app.add_option("--svg", options.svg, "Draw the model space into this SVG file at the end");
    app.add_option("--registry", options.registry,
                   "Registry file (REGEDIT4 text) the module's registry calls use");
    app.add_flag("--registry-readonly", options.registryReadOnly,
                 "Refuse writes below HKEY_LOCAL_MACHINE, as for a user without admin rights");
    app.add_flag("--audit", options.audit,
                 "Read the drawing, report what had to be repaired, and exit without running "
                 "commands or saving (exit 0: nothing to repair, 1: repaired, 3: unreadable)");
    app.add_option("--lang", options.language,
                   "Language of the host's own texts (default: Russian for a ru_* locale, "
                   "else English)")
        ->check(CLI::IsMember({"ru", "en"}, CLI::ignore_case));
    app.add_option("drawing", options.drawing, "DXF drawing to open (default: a new drawing)");
    std::string viewArg;
    auto *view = app.add_option("--view", viewArg,
                                "Show the drawing in the browser and take answers from the "
                                "page (on PORT, default: any free port)")
                     ->expected(0, 1)
                     ->type_name("[PORT]");
    app.add_option("--view-address", options.viewAddress,
                   "Address the view listens on (default: 127.0.0.1, and ::1 beside it; any "
                   "other is plain HTTP, to be reached through a tunnel)");
    app.add_flag("--view-allow-load", options.viewAllowLoad,
                 "Let the page run ARX (a module's code then runs at the page's word)");
    app.set_version_flag("--version", std::string("arxhost ") + kVersion);
    // Built when asked for: the modules are loaded to name their commands.
    app.footer([&options, &defaultModule] {
        return commandsFooter(options.modules.empty() ? std::vector<std::string>{defaultModule}
                                                      : options.modules) +
               "\nBatch mode: arxhost --batch SCRIPT --output-dir DIR [--jobs N] [--report "
               "FILE] DRAWING|FOLDER... (see arxhost --batch --help)\n";
    });
    try {
        app.parse(argc, argv);
        options.view = view->count() > 0;
        if (!viewArg.empty()) {
            // "--view plan.dxf": the option's value is the drawing, not a port.
            char *end = nullptr;
            long port = std::strtol(viewArg.c_str(), &end, 10);
            if (end != viewArg.c_str() && *end == '\0') {
                if (port < 0 || port > 65535)
                    throw CLI::ValidationError("--view", "the port must be 0 to 65535");
                options.viewPort = static_cast<int>(port);
            } else if (options.drawing.empty()) {
                options.drawing = viewArg;
            } else {
                throw CLI::ValidationError("--view", "the port must be a number: " + viewArg);
            }
        }
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::cerr << "arxhost: " << e.what() << "\n";
        return kExitBadArguments;
    }
    return -1;
}

} // namespace host
