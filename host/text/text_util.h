// text_util.h - small string helpers shared by every layer of the host.
#pragma once

#include <string>
#include <string_view>

namespace host::text {

// The value of a hexadecimal digit (either case), or -1 when c is none.
int hexDigit(char c);

// ASCII letters in upper case; every other byte (Windows-1251 letters too) as it is. The
// host compares command, option and symbol names this way.
char toUpper(char c);
std::string toUpper(std::string_view s);

// True when a and b are equal but for the case of ASCII letters.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

} // namespace host::text
