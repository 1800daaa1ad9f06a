// host_commands.cpp - the one table of the host's own commands. Adding a command is one
// row here (its handler declared in the header of the file that holds its body); HELP,
// "arxhost --help" and the command prompt all read this table.
#include "host_commands.h"
#include "command_stack.h"
#include "drawing_commands.h"
#include "drawing_io.h"
#include "i18n.h"
#include "point_snaps.h"
#include "undo_commands.h"
#include "user_commands.h"
#include "view.h"
#include "zoom_commands.h"

namespace host {

namespace {

using i18n::N_;

// Any order: HELP sorts by name. The local names are the names typed in any language.
// clang-format off
constexpr HostCommand kHostCommands[] = {
    // global    local      what it does                                                     handler
    {"ARX",     "ARX",     N_("Loads, unloads and lists modules"),                            arxCommand},
    {"LINE",    "LINE",    N_("Draws lines from point to point"),                             lineCommand},
    {"PLINE",   "PLINE",   N_("Draws a polyline of lines and arcs, with widths"),             plineCommand},
    {"CIRCLE",  "CIRCLE",  N_("Draws a circle (centre, 3P, 2P, Ttr)"),                        circleCommand},
    {"OSNAP",   "OSNAP",   N_("Sets the running object snap modes"),                          osnapCommand},
    {"-OSNAP",  "-OSNAP",  N_("Sets the running object snap modes"),                          osnapCommand},
    {"-LAYER",  "-LAYER",  N_("Makes, colours, turns on and off, freezes, thaws, locks, unlocks, sets and lists (?) layers"), layerCommand},
    {"ZOOM",    "ZOOM",    N_("Moves the view: Extents, All, Window, Previous, Center, a scale"), zoomCommand},
    {"PAN",     "PAN",     N_("Moves the view by two points"),                                panCommand},
    {"-PAN",    "-PAN",    N_("Moves the view by two points"),                                panCommand},
    {"REGEN",   "REGEN",   N_("Draws the whole view anew"),                                   regenCommand},
    {"ERASE",   "ERASE",   N_("Erases the objects selected"),                                 eraseCommand},
    {"OOPS",    "OOPS",    N_("Restores the objects the last ERASE erased"),                  oopsCommand},
    {"LIST",    "LIST",    N_("Lists the properties of the objects selected"),                listCommand},
    {"ID",      "ID",      N_("Shows the coordinates of a point"),                            idCommand},
    {"DIST",    "DIST",    N_("Measures the distance and angles between two points"),         distCommand},
    {"U",       "U",       N_("Undoes the last command"),                                     uCommand,    true},
    {"UNDO",    "UNDO",    N_("Undoes commands (a number, Mark, Back)"),                      undoCommand, true},
    {"REDO",    "REDO",    N_("Redoes what the last undo took back"),                         redoCommand, true},
    {"SAVE",    "SAVE",    N_("Saves the drawing as a DXF file"),                             saveCommand},
    {"QSAVE",   "QSAVE",   N_("Saves the drawing to its own file (asks for a new one)"),      qsaveCommand},
    {"SVG",     "SVG",     N_("Draws the model space into an SVG picture"),                   svgCommand},
    {"VIEW",    "VIEW",    N_("Shows the drawing in the browser; clicks answer the prompts"), view::viewCommand},
    {"HELP",    "HELP",    N_("Lists the commands, each with what it does"),                  helpCommand},
    {"?",       "?",       N_("Same as HELP"),                                                helpCommand},
    {"QUIT",    "QUIT",    N_("Ends the session"),                                            nullptr},
};
// clang-format on

} // namespace

std::span<const HostCommand> hostCommands() {
    return kHostCommands;
}

const HostCommand *findHostCommand(std::string_view typed) {
    const bool global = !typed.empty() && typed.front() == '_';
    if (global)
        typed.remove_prefix(1);
    for (const HostCommand &c : kHostCommands) {
        if (equalsNoCase(global ? c.globalName : c.localName, typed))
            return &c;
    }
    return nullptr;
}

} // namespace host
