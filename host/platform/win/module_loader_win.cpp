// module_loader_win.cpp - module files through LoadLibraryA.
#include "module_loader.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace host::platform {
namespace {

// The system's text for an error code, without its line end.
std::string systemMessage(DWORD code) {
    char *text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty())
        message = "Windows error " + std::to_string(code);
    return message;
}

} // namespace

void *openModule(const std::string &path, std::string &error) {
    // No error box for a missing dependency: the caller reports the failure itself.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (module == nullptr)
        error = systemMessage(code);
    return reinterpret_cast<void *>(module);
}

void *findSymbol(void *module, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void closeModule(void *module) {
    (void)FreeLibrary(static_cast<HMODULE>(module)); // nothing to do if it fails at exit
}

} // namespace host::platform
