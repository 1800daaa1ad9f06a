// codepage.cpp - Windows-1251 <-> UTF-8 for the command line. The host's strings are
// Windows-1251; the terminal, script files and the transcript are UTF-8. A table, not
// iconv, so that the result never depends on the machine's locale data.
#include "command_line.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace host {
namespace {

// Unicode of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
// 0x98 is not assigned in Windows-1251 (0 here).
constexpr std::array<std::uint16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

constexpr char32_t kReplacement = 0xFFFD;

char32_t unicodeOf(unsigned char b) {
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return 0x0410 + (b - 0xC0);
    std::uint16_t u = kHighHalf[b - 0x80];
    return u ? u : kReplacement;
}

// The Windows-1251 byte of a code point, or -1 when the code page lacks it.
int byteOf(char32_t cp) {
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(0xC0 + (cp - 0x0410));
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == cp)
            return static_cast<int>(0x80 + i);
    return -1;
}

} // namespace

void appendUtf8(std::string &out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// Decodes one UTF-8 sequence at s[i]; its length in len, or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF are not valid).
char32_t decodeUtf8(std::string_view s, std::size_t i, std::size_t &len) {
    len = 0;
    auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t n;
    char32_t cp;
    if (b0 < 0x80) {
        len = 1;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        n = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    len = n;
    return cp;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "\U+XXXX" at s[i]: the code point, or 0 when there is none.
char32_t escapedAt(std::string_view s, std::size_t i) {
    if (s.size() - i < 7 || s.compare(i, 3, "\\U+") != 0)
        return 0;
    char32_t cp = 0;
    for (std::size_t k = 3; k < 7; ++k) {
        int h = hexValue(s[i + k]);
        if (h < 0)
            return 0;
        cp = cp * 16 + static_cast<char32_t>(h);
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return cp;
}

} // namespace

std::string cp1251ToUtf8(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (char32_t cp = in[i] == '\\' ? escapedAt(in, i) : 0) {
            appendUtf8(out, cp);
            i += 6;
            continue;
        }
        appendUtf8(out, unicodeOf(static_cast<unsigned char>(in[i])));
    }
    return out;
}

std::string utf8ToCp1251(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        std::size_t len;
        char32_t cp = decodeUtf8(in, i, len);
        if (len == 0) { // not UTF-8: keep the byte as it is
            out += in[i++];
            continue;
        }
        i += len;
        int b = byteOf(cp);
        if (b >= 0) {
            out += static_cast<char>(b);
            continue;
        }
        if (cp > 0xFFFF) { // "\U+XXXX" has four digits: such characters cannot travel
            out += '?';
            continue;
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(cp));
        out += buf;
    }
    return out;
}

char32_t decodeUtf8At(std::string_view s, std::size_t i, std::size_t &len) {
    return decodeUtf8(s, i, len);
}

char32_t cp1251Char(unsigned char b) {
    return unicodeOf(b);
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len;
        (void)decodeUtf8(s, i, len);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

} // namespace host
