// batch_process_win.cpp - the Windows build has no batch mode yet: it says so, and starts
// nothing.
#include "batch_process.h"

#include <filesystem>

namespace host::batch {

bool processesAvailable(std::string &why) {
    why = "batch mode is not available in this build (Windows); run arxhost once per drawing";
    return false;
}

std::string selfExecutable(const char *argv0) {
    std::error_code ec;
    return std::filesystem::absolute(argv0, ec).string();
}

std::string processTag() {
    return "0";
}

bool stderrIsTerminal() {
    return false;
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

void watchInterrupt() {}

bool interrupted() {
    return false;
}

} // namespace host::batch
