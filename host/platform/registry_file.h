// registry_file.h - the registry file of arxhost: where there is no system registry, the
// registry the module's calls see is read from a REGEDIT4 file at start and written back
// atomically at exit. On Windows the system registry serves and these do nothing.
#pragma once
#include <string>

namespace host::platform {

// The registry file behind the module's registry calls (empty path: the default one).
// False, with a message on standard error, when the file exists but cannot be read.
bool openRegistry(const std::string &path, bool readOnly);
// Writes the registry file back atomically.
bool closeRegistry(std::string &error);

} // namespace host::platform
