// text_util.cpp - small string helpers.
#include "text_util.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace host::text {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

char toUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string toUpper(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = toUpper(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toUpper(a[i]) != toUpper(b[i]))
            return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

namespace {

constexpr std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = static_cast<unsigned char>(c + 0x20);
    for (int c = 0xC0; c <= 0xDF; ++c) // А..Я
        t[c] = static_cast<unsigned char>(c + 0x20);
    // The letters outside the two alphabets' runs: Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Ё Є Ї І Ѕ.
    constexpr unsigned char upper[] = {0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0xA1,
                                       0xA3, 0xA5, 0xA8, 0xAA, 0xAF, 0xB2, 0xBD};
    constexpr unsigned char lower[] = {0x90, 0x83, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xA2,
                                       0xBC, 0xB4, 0xB8, 0xBA, 0xBF, 0xB3, 0xBE};
    for (std::size_t i = 0; i < sizeof upper; ++i)
        t[upper[i]] = lower[i];
    return t;
}
constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

} // namespace

char foldCase(char c) {
    return static_cast<char>(kFold[static_cast<unsigned char>(c)]);
}

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = foldCase(c);
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string decimalText(long double value, int decimals) {
    constexpr int kDigits = 15; // what a double keeps of any decimal number
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    decimals = std::clamp(decimals, 0, kDigits - 1);
    char buf[64];
    if (std::fabs(value) < std::pow(10.0L, kDigits - decimals)) {
        std::snprintf(buf, sizeof buf, "%.*Lf", decimals, value);
        std::string s = buf;
        if (s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos)
            s.erase(0, 1); // a negative number that rounds to zero
        return s;
    }
    std::snprintf(buf, sizeof buf, "%.*LE", kDigits - 1, value);
    std::string s = buf;
    std::size_t e = s.find('E');
    std::size_t point = s.find('.');
    std::size_t keep = point + 1 + static_cast<std::size_t>(decimals);
    std::size_t last = s.find_last_not_of('0', e - 1);
    s.erase(std::max(keep, last + 1), e - std::max(keep, last + 1)); // trailing zeros
    if (decimals == 0 && s[point + 1] == 'E')
        s.erase(point, 1);
    return s;
}

std::optional<double> parseNumber(std::string_view text) {
    bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-'))
        return std::nullopt;
    // from_chars would also take "inf", "nan" and hex forms; only decimal digits may start
    // a number here (after an optional '-').
    std::size_t first = text.front() == '-' ? 1 : 0;
    if (first >= text.size())
        return std::nullopt;
    char c = text[first];
    if (!(c >= '0' && c <= '9') && c != '.')
        return std::nullopt;
    double value = 0;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace host::text
