// module_loader.h - the operating system's side of loading a module file: one narrow
// seam, with a POSIX (dlopen) and a Windows (LoadLibraryA) implementation.
#pragma once
#include <string>

namespace host::os {

// Opens a shared object; nullptr and a reason in error when it cannot.
void *openModule(const std::string &path, std::string &error);
// The address of an exported symbol, or nullptr.
void *findSymbol(void *module, const char *name);
void closeModule(void *module);

} // namespace host::os
