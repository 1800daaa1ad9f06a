// registry.cpp - registers the module with the demand loader and writes the registry
// tree that lets the host load it when one of its commands is typed.
#include "shell.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#endif
#include <windows.h>

#include <cstring>

namespace {

const char *const kRegistryPath = "Software\\TEV soft";
const char *const kTitle = "Полезные команды для чертежей";
constexpr DWORD kModulePathSize = 512;

// clang-format off
struct RegistryCommand {
    const char *valueName;
    const char *localName;
};
const RegistryCommand kRegistryCommands[] = {
    // value name   data
    {"TEV_CL",     "Cl"},
    {"TEV_SEL",    "Sel"},
    {"TEV_LP",     "Lp"},
    {"TEV_JL",     "Jl"},
    {"TEV_NOR",    "Nor"},
    {"TEV_LPL",    "Lpl"},
    {"TEV_WPE",    "Wpe"},
    {"TEV_EN",     "En"},
    {"TEV_NEN",    "Nen"},
};
// clang-format on

// Creates or opens a stored key below parent with write access.
bool createKey(HKEY parent, const char *name, HKEY &key) {
    DWORD disposition = 0; // created or opened: both are fine
    return RegCreateKeyExA(parent, name, 0, const_cast<char *>(""), REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, &key, &disposition) == ERROR_SUCCESS;
}

// Sets a REG_SZ value of text and its NUL. A value that cannot be set is skipped.
void setText(HKEY key, const char *name, const char *text, DWORD size) {
    (void)RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), size);
}

void setText(HKEY key, const char *name, const char *text) {
    setText(key, name, text, static_cast<DWORD>(std::strlen(text) + 1));
}

// The module's own path into "MODULE". A path that does not fit the buffer with its
// NUL is not written at all: a cut path would name another file.
void writeModulePath(HKEY loader) {
    HMODULE module = GetModuleHandleA("tevcom.arx");
    if (module == nullptr)
        return;
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(module, path, kModulePathSize);
    if (length == 0 || length >= kModulePathSize)
        return;
    setText(loader, "MODULE", path, length + 1);
}

} // namespace

void updateRegistry() {
    (void)acrxRegisterApp(
        static_cast<AcadApp::LoadReasons>(AcadApp::kOnCommandInvocation | AcadApp::kOnLoadRequest),
        "TEVCOM", kRegistryPath, 2, false); // nothing to do if refused
    HKEY soft = nullptr;
    if (!createKey(HKEY_LOCAL_MACHINE, kRegistryPath, soft))
        return;
    HKEY app = nullptr;
    bool haveApp = createKey(soft, "TEVCOM", app);
    (void)RegCloseKey(soft);
    if (!haveApp)
        return;

    HKEY key = nullptr;
    if (createKey(app, "Groups", key)) {
        setText(key, "TEV_TEVCOM", "TEV_TEVCOM");
        (void)RegCloseKey(key);
    }
    if (createKey(app, "Commands", key)) {
        for (const RegistryCommand &command : kRegistryCommands)
            setText(key, command.valueName, command.localName);
        (void)RegCloseKey(key);
    }
    if (createKey(app, "Loader", key)) {
        writeModulePath(key);
        (void)RegCloseKey(key);
    }
    if (createKey(app, "Name", key)) {
        setText(key, "TEVCOM", kTitle);
        (void)RegCloseKey(key);
    }
    (void)RegCloseKey(app);
}
