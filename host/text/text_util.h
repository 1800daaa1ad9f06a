// text_util.h - small string helpers shared by every layer of the host.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace host::text {

// The value of a hexadecimal digit (either case), or -1 when c is none.
int hexDigit(char c);

// ASCII letters in upper case; every other byte (Windows-1251 letters too) as it is. The
// host compares command, option and symbol names this way.
char toUpper(char c);
std::string toUpper(std::string_view s);

// True when a and b are equal but for the case of ASCII letters; the same for the start of s.
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view s, std::string_view prefix);

// The small letter of a Windows-1251 capital, Latin or Cyrillic (Ё, Ї, Ў and the other
// letters outside the alphabet's run too); every other byte as it is. Symbol table and
// registry names are told apart this way.
char foldCase(char c);
std::string foldCase(std::string_view s);

// s without the spaces and tabs at either end (and a carriage return at its end).
std::string_view trim(std::string_view s);

// A number as the command line shows it: fixed, with decimals decimals, while that shows no
// more significant digits than a double keeps (15); beyond that in exponent form, with up to
// 15 significant digits and at least decimals decimals ("1.0000E+300"). Never "-0.0000";
// "inf", "-inf" and "nan" as they are.
std::string decimalText(long double value, int decimals);

// The one way the host reads a number from text (an answer, the page's requests, an
// option): a whole text as a finite number, an optional sign, digits with an optional '.'
// part and exponent, nothing else; locale-free. nullopt for anything else ("inf", "nan",
// hex forms, spaces, trailing characters).
std::optional<double> parseNumber(std::string_view text);

} // namespace host::text
