// process_win.cpp - the Windows build has no child processes (and so no batch mode) yet: it
// says so, and starts nothing.
#include "process.h"

#include <cstdlib>
#include <filesystem>

namespace host::platform {

bool processesAvailable(std::string &why) {
    why = "batch mode is not available in this build (Windows); run arxhost once per drawing";
    return false;
}

std::string selfExecutable(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::absolute(_pgmptr, ec); // the program's path
    if (ec)
        self = std::filesystem::absolute(argv0, ec);
    return self.string();
}

std::string processTag() {
    return "0";
}

Children::~Children() = default;

std::vector<std::size_t> Children::stopAll() {
    return {};
}

bool Children::start(const std::vector<std::string> &, const std::string &, std::size_t,
                     std::string &error) {
    (void)processesAvailable(error);
    return false;
}

std::optional<ChildExit> Children::waitAny() {
    return std::nullopt;
}

void watchStopSignals() {}

bool stopSignalled() {
    return false;
}

} // namespace host::platform
