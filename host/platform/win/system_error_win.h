// system_error_win.h - the system's own words for a Windows error code.
#pragma once

#include <string>

namespace host::platform {

// The system's text for code (a GetLastError value) without its line end or last full stop;
// "Windows error N" when the system has none.
std::string windowsErrorText(unsigned long code);

} // namespace host::platform
