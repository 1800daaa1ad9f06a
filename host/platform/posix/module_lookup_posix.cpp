// module_lookup_posix.cpp - GetModuleHandleA and GetModuleFileNameA over the shared
// objects loaded in the process. A module handle is the address its file is mapped at,
// as on Windows; a name is matched by file name without regard to case, or by full path.
#include "registry_tree.h"

#include <windows.h>

#include <link.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct LoadedObject {
    std::uintptr_t base = 0;
    std::string path; // absolute
};

std::string executablePath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

// The file the kernel has mapped at address, from /proc/self/maps; empty if none.
std::string mappedFileAt(std::uintptr_t address) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx %*s %*s %*s %*s %n", &start, &end, &pathAt) < 2 ||
            pathAt == 0)
            continue;
        if (address >= start && address < end && line[pathAt] == '/')
            return line.substr(static_cast<std::size_t>(pathAt));
    }
    return {};
}

// The absolute path an object was loaded from. A name given whole is answered as it
// was given, links and all, as Windows answers the name a module was loaded by; a
// relative one no longer says where it led once the working folder changed, so the
// kernel's mapping tells.
std::string absolutePath(const char *name, std::uintptr_t base) {
    if (name == nullptr || name[0] == '\0')
        return executablePath();
    if (name[0] == '/')
        return std::filesystem::path(name).lexically_normal().string();
    std::string mapped = mappedFileAt(base);
    if (!mapped.empty())
        return mapped;
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(name, ec);
    return ec ? std::string(name) : p.lexically_normal().string();
}

std::uintptr_t baseOf(const dl_phdr_info *info) {
    std::uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto &ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD)
            lowest = std::min<std::uintptr_t>(lowest, ph.p_vaddr);
    }
    return info->dlpi_addr + (lowest == UINTPTR_MAX ? 0 : lowest);
}

// Calls visit(object) for every loaded object until it answers true.
template <typename Visit> bool forEachObject(Visit visit) {
    struct Walk {
        Visit *visit;
        bool found = false;
    } walk{&visit};
    dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *data) -> int {
            auto *w = static_cast<Walk *>(data);
            std::uintptr_t base = baseOf(info);
            LoadedObject object{base, absolutePath(info->dlpi_name, base)};
            w->found = (*w->visit)(object);
            return w->found ? 1 : 0;
        },
        &walk);
    return walk.found;
}

std::string_view fileNameOf(std::string_view path) {
    std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The name a module is looked up by: ".dll" added when there is no extension, a final
// dot (which says "no extension") taken off.
std::string lookupName(std::string name) {
    std::string_view file = fileNameOf(name);
    if (!file.empty() && file.back() == '.')
        name.pop_back();
    else if (file.find('.') == std::string_view::npos)
        name += ".dll";
    return name;
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    std::uintptr_t found = 0;
    if (lpModuleName == nullptr) {
        // The first object the loader reports is the executable.
        forEachObject([&](const LoadedObject &o) {
            found = o.base;
            return true;
        });
        return reinterpret_cast<HMODULE>(found);
    }
    std::string wanted = lookupName(lpModuleName);
    bool byPath = wanted.find_first_of("/\\") != std::string::npos;
    if (byPath) {
        std::error_code ec;
        wanted = std::filesystem::absolute(wanted, ec).lexically_normal().string();
    }
    forEachObject([&](const LoadedObject &o) {
        std::string_view candidate = byPath ? std::string_view(o.path) : fileNameOf(o.path);
        if (!o.path.empty() && host::platform::sameName(candidate, wanted)) {
            found = o.base;
            return true;
        }
        return false;
    });
    return reinterpret_cast<HMODULE>(found);
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (lpFilename == nullptr || nSize == 0)
        return 0;
    std::uintptr_t wanted = reinterpret_cast<std::uintptr_t>(hModule);
    std::string path;
    bool first = true;
    bool found = forEachObject([&](const LoadedObject &o) {
        bool match = wanted == 0 ? first : o.base == wanted;
        first = false;
        if (match)
            path = o.path;
        return match;
    });
    if (!found || path.empty())
        return 0;
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // Too small: cut to nSize - 1 characters and a NUL, and answer nSize.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    return nSize;
}
