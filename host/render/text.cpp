// text.cpp - code page conversion and escaping for the text of pictures.
#include "text.h"

#include <array>
#include <cstdint>

namespace host::render {
namespace {

// Windows-1251 0x80..0xBF as Unicode (0xC0..0xFF are U+0410..U+044F in order).
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

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

char32_t fromCp1251(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte < 0xC0)
        return kHigh[byte - 0x80];
    return 0x0410 + (byte - 0xC0);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The 16-bit unit of a `\U+XXXX` escape (exactly four hex digits) at text[pos], or -1.
long escapeUnit(std::string_view text, std::size_t pos) {
    if (pos + 7 > text.size() || text[pos] != '\\' ||
        (text[pos + 1] != 'U' && text[pos + 1] != 'u') || text[pos + 2] != '+')
        return -1;
    long value = 0;
    for (std::size_t k = pos + 3; k < pos + 7; ++k) {
        int h = hexValue(text[k]);
        if (h < 0)
            return -1;
        value = value * 16 + h;
    }
    return value;
}

// Reads an escaped character at text[pos]: one `\U+XXXX`, or two making a UTF-16 pair for
// a character beyond the basic plane. A lone surrogate (the host's mark for a byte that was
// not valid text) becomes U+FFFD, since UTF-8 cannot carry it. Returns the bytes used, or
// 0 when there is no escape there.
std::size_t readUnicodeEscape(std::string_view text, std::size_t pos, char32_t &cp) {
    long unit = escapeUnit(text, pos);
    if (unit < 0)
        return 0;
    if (unit < 0xD800 || unit > 0xDFFF) {
        cp = static_cast<char32_t>(unit);
        return 7;
    }
    long low = unit <= 0xDBFF ? escapeUnit(text, pos + 7) : -1;
    if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
             (static_cast<char32_t>(low) - 0xDC00);
        return 14;
    }
    cp = 0xFFFD;
    return 7;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (std::size_t used = readUnicodeEscape(text, i, cp)) {
            appendUtf8(out, cp);
            i += used;
            continue;
        }
        appendUtf8(out, fromCp1251(static_cast<unsigned char>(text[i])));
        ++i;
    }
    return out;
}

std::string expandControlCodes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out += text[i++];
            continue;
        }
        char code = text[i + 2];
        switch (code) {
        case 'c':
        case 'C':
            out += "\\U+2300";
            i += 3;
            continue; // diameter sign
        case 'd':
        case 'D':
            out += '\xB0';
            i += 3;
            continue; // degree sign in 1251
        case 'p':
        case 'P':
            out += '\xB1';
            i += 3;
            continue; // plus-minus in 1251
        case '%':
            out += '%';
            i += 3;
            continue;
        case 'u':
        case 'U':
        case 'o':
        case 'O':
            i += 3;
            continue;
        default:
            break;
        }
        if (isDigit(code)) {
            std::size_t end = i + 2;
            int value = 0;
            while (end < text.size() && end < i + 5 && isDigit(text[end]))
                value = value * 10 + (text[end++] - '0');
            if (value > 0 && value < 256) {
                out += static_cast<char>(value);
                i = end;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::string xmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                break;
            out += c;
        }
    }
    return out;
}

std::string drawingTextToXml(std::string_view cp1251) {
    return xmlEscape(cp1251ToUtf8(expandControlCodes(cp1251)));
}

} // namespace host::render
