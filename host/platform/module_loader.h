// module_loader.h - loading a module file: a POSIX (dlopen) and a Windows (LoadLibraryA)
// implementation.
#pragma once
#include <string>

namespace host::platform {

// Opens a shared object; nullptr and a reason in error when it cannot.
void *openModule(const std::string &path, std::string &error);
// The address of an exported symbol, or nullptr.
void *findSymbol(void *module, const char *name);
void closeModule(void *module);

} // namespace host::platform
