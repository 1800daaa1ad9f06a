// registry_file_posix.cpp - the registry file of arxhost: read at start into the
// registry the module's calls see, written back atomically at exit when it changed.
#include "registry_file.h"
#include "files.h"
#include "registry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace host::platform {
namespace {

struct RegistryFile {
    bool open = false;
    bool existed = false; // a file that did not exist is written even when nothing changed
    std::string path;
};

RegistryFile &registryFile() {
    static RegistryFile f;
    return f;
}

// $XDG_CONFIG_HOME/arxhost/registry.reg, else ~/.config/arxhost/registry.reg; empty
// when neither variable gives an absolute folder.
std::string defaultRegistryPath() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/arxhost/registry.reg";
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.config/arxhost/registry.reg";
    return {};
}

bool fail(const std::string &message) {
    std::cerr << "arxhost: " << message << "\n";
    return false;
}

std::string folderOf(const std::string &path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

} // namespace

bool openRegistry(const std::string &path, bool readOnly) {
    RegistryFile &file = registryFile();
    platform::resetRegistry();
    file = RegistryFile{};
    bool isDefault = path.empty();
    std::string where = isDefault ? defaultRegistryPath() : path;
    if (where.empty())
        return fail("no registry file: set HOME or XDG_CONFIG_HOME, or give --registry FILE");

    struct stat st {};
    if (::stat(where.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return fail("registry file " + where + ": " + std::strerror(errno));
        // Not there yet: made at exit. Its folder must be there (the default one is made).
        std::string folder = folderOf(where);
        std::error_code ec;
        if (isDefault)
            std::filesystem::create_directories(folder, ec);
        if (ec || !std::filesystem::is_directory(folder, ec))
            return fail("registry file " + where + ": the folder " + folder +
                        " does not exist and cannot be made");
    } else {
        if (S_ISDIR(st.st_mode))
            return fail("registry file " + where + ": is a folder, not a file");
        std::ifstream in(where, std::ios::binary);
        if (!in)
            return fail("registry file " + where + ": cannot be read: " + std::strerror(errno));
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            return fail("registry file " + where + ": cannot be read");
        std::string error;
        if (!platform::registryTree().parse(text, error)) {
            platform::resetRegistry();
            return fail("registry file " + where + ":" + error);
        }
        file.existed = true;
    }
    platform::setRefuseMachineWrites(readOnly);
    platform::markRegistryUnchanged();
    file.open = true;
    file.path = where;
    return true;
}

bool closeRegistry(std::string &error) {
    RegistryFile &file = registryFile();
    if (!file.open)
        return true;
    file.open = false;
    if (file.existed && !platform::registryChanged())
        return true;
    std::string reason;
    if (!platform::replaceFile(file.path, platform::registryTree().format(), reason)) {
        error = "registry file " + file.path + ": cannot be written: " + reason;
        return false;
    }
    platform::markRegistryUnchanged();
    return true;
}

} // namespace host::platform
