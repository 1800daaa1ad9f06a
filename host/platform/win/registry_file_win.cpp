// registry_file_win.cpp - on Windows the module writes to the system registry itself;
// the registry file options of arxhost have nothing to do there.
#include "registry_file.h"

#include <iostream>

namespace host::platform {

bool openRegistry(const std::string &path, bool readOnly) {
    if (!path.empty())
        std::cerr << "arxhost: --registry is ignored on Windows: the system registry is used\n";
    if (readOnly)
        std::cerr << "arxhost: --registry-readonly is ignored on Windows: the rights of the "
                     "user decide\n";
    return true;
}

bool closeRegistry(std::string &) {
    return true;
}

} // namespace host::platform
