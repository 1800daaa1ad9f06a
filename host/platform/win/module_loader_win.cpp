// module_loader_win.cpp - module files through LoadLibraryA.
#include "module_loader.h"
#include "system_error_win.h"

#include "windows_api.h"

namespace host::platform {

void *openModule(const std::string &path, std::string &error) {
    // No error box for a missing dependency: the caller reports the failure itself.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (module == nullptr)
        error = windowsErrorText(code);
    return reinterpret_cast<void *>(module);
}

void *findSymbol(void *module, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void closeModule(void *module) {
    (void)FreeLibrary(static_cast<HMODULE>(module)); // nothing to do if it fails at exit
}

} // namespace host::platform
