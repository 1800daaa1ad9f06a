// options.h - what the arxhost command line asks for.
#pragma once
#include <string>
#include <vector>

namespace host {

struct Options {
    std::vector<std::string> modules;      // --load; empty: tevcom.arx beside the executable
    std::string script;                    // --script
    std::string output;                    // --output
    std::string svg;                       // --svg
    std::string registry;                  // --registry; empty: the user's configuration folder
    bool registryReadOnly = false;         // --registry-readonly
    bool audit = false;                    // --audit: report the drawing's repairs and exit
    std::string drawing;                   // the drawing to open; empty: a new drawing
    std::string language;                  // --lang: "ru" or "en"; empty: from the locale
    bool view = false;                     // --view [PORT]: the live view in the browser
    int viewPort = 0;                      // 0: any free port
    std::string viewAddress = "127.0.0.1"; // --view-address
    bool viewAllowLoad = false;            // --view-allow-load: ARX from the page
};

// arxhost's exit codes.
enum ExitCode : int {
    kExitDone = 0,
    kExitRepaired = 1,          // --audit: the drawing reads, with repairs
    kExitBadArguments = 2,      // bad arguments, or an unusable file named on the command line
    kExitUnreadableDrawing = 3, // the drawing cannot be read (the message names the line)
    kExitWriteFailed = 4,       // a save, picture or registry file failed; the old file is left
};

// The version --version prints.
extern const char *const kVersion;

// Parses argv. --help names the commands too: the host's, and those the modules (--load, or
// defaultModule) register when loaded. Returns -1 to go on, else the exit code (kExitDone
// after --help, kExitBadArguments after an error, which has been printed to standard error).
int parseOptions(int argc, char **argv, Options &options, const std::string &defaultModule);

} // namespace host
