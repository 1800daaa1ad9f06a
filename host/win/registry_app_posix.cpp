// registry_app_posix.cpp - the registry file of arxhost: read at start into the
// registry the module's calls see, written back atomically at exit when it changed.
#include "drawing_io.h"
#include "win_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace host {
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

// Writes all of text to fd; false with errno set on failure.
bool writeAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes text to a temporary file beside path and renames it over path, so that a
// failed write leaves the old file as it was.
bool replaceFile(const std::string &path, const std::string &text, std::string &error) {
    std::string temp = path + ".tmp." + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "registry file " + path + ": cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    saved = saved != 0 ? saved : errno;
    ::unlink(temp.c_str());
    error = "registry file " + path + ": cannot be written: " + std::strerror(saved);
    return false;
}

} // namespace

bool openRegistry(const std::string &path, bool readOnly) {
    RegistryFile &file = registryFile();
    win::resetRegistry();
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
        if (!win::registryTree().parse(text, error)) {
            win::resetRegistry();
            return fail("registry file " + where + ":" + error);
        }
        file.existed = true;
    }
    win::setRefuseMachineWrites(readOnly);
    win::markRegistryUnchanged();
    file.open = true;
    file.path = where;
    return true;
}

bool closeRegistry(std::string &error) {
    RegistryFile &file = registryFile();
    if (!file.open)
        return true;
    file.open = false;
    if (file.existed && !win::registryChanged())
        return true;
    if (!replaceFile(file.path, win::registryTree().format(), error))
        return false;
    win::markRegistryUnchanged();
    return true;
}

} // namespace host
