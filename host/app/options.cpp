// options.cpp - arxhost's command-line options (CLI11).
#include "options.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace host {

int parseOptions(int argc, char **argv, Options &options) {
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
    app.add_option("drawing", options.drawing, "DXF drawing to open (default: a new drawing)");
    app.footer("Batch mode: arxhost --batch SCRIPT --output-dir DIR [--jobs N] [--report FILE] "
               "DRAWING|FOLDER... (see arxhost --batch --help)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::cerr << "arxhost: " << e.what() << "\n";
        return 2;
    }
    return -1;
}

} // namespace host
