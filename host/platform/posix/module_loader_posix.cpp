// module_loader_posix.cpp - module files through dlopen.
#include "module_loader.h"

#include <dlfcn.h>

namespace host::platform {

void *openModule(const std::string &path, std::string &error) {
    // RTLD_LOCAL: two modules may both define helpers of the same name.
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *why = dlerror();
        error = why != nullptr ? why : "unknown error";
    }
    return handle;
}

void *findSymbol(void *module, const char *name) {
    return dlsym(module, name);
}

void closeModule(void *module) {
    (void)dlclose(module);
} // nothing to do if it fails at exit

} // namespace host::platform
