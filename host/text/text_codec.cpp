// text_codec.cpp - Windows-1251, UTF-8 and the escapes. A table, not iconv, so that the
// result never depends on the machine's locale data.
#include "text_codec.h"

#include "text_util.h"

#include <array>
#include <cstdint>

namespace host::text {
namespace {

// The code points of the bytes 0x80..0xBF (0 where none); 0xC0..0xFF are U+0410..U+044F.
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

bool isSurrogate(long unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

} // namespace

char32_t cp1251ToUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    const std::uint16_t cp = kHighHalf[byte - 0x80];
    return cp == 0 ? kNoChar : cp;
}

int unicodeToCp1251(char32_t cp) {
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(cp - 0x0410 + 0xC0);
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] != 0 && kHighHalf[i] == cp)
            return static_cast<int>(0x80 + i);
    return -1;
}

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

std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t &cp) {
    const auto *s = reinterpret_cast<const unsigned char *>(text.data()) + pos;
    const std::size_t left = text.size() - pos;
    const unsigned char b0 = s[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (left < n || s[1] < lo || s[1] > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (s[k] < 0x80 || s[k] > 0xBF)
            return 0;
    char32_t v = b0 & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k)
        v = (v << 6) | (s[k] & 0x3F);
    cp = v;
    return n;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        const std::size_t n = decodeUtf8(s, i, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

long escapeUnitAt(std::string_view s, std::size_t pos) {
    if (pos > s.size() || s.size() - pos < kEscapeLength || s[pos] != '\\' ||
        (s[pos + 1] != 'U' && s[pos + 1] != 'u') || s[pos + 2] != '+')
        return -1;
    long unit = 0;
    for (std::size_t k = pos + 3; k < pos + kEscapeLength; ++k) {
        const int d = hexDigit(s[k]);
        if (d < 0)
            return -1;
        unit = unit * 16 + d;
    }
    return unit;
}

void appendEscape(std::string &out, char32_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 15];
}

void appendEscapedChar(std::string &out, char32_t cp) {
    if (cp >= 0x10000) {
        appendEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
        appendEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
        appendEscape(out, cp);
    }
}

std::size_t readEscapedChar(std::string_view s, std::size_t pos, char32_t &cp) {
    const long unit = escapeUnitAt(s, pos);
    if (unit < 0)
        return 0;
    if (!isSurrogate(unit)) {
        cp = static_cast<char32_t>(unit);
        return kEscapeLength;
    }
    if (unit > 0xDBFF)
        return 0;
    const long low = escapeUnitAt(s, pos + kEscapeLength);
    if (low < 0xDC00 || low > 0xDFFF)
        return 0;
    cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
         (static_cast<char32_t>(low) - 0xDC00);
    return 2 * kEscapeLength;
}

bool isKeptEscape(char32_t unit) {
    return unit == 0 || unit == '\n' || unit == '\r';
}

void appendCp1251(std::string &out, char32_t cp) {
    const int b = unicodeToCp1251(cp);
    if (b >= 0)
        out += static_cast<char>(b);
    else
        appendEscapedChar(out, cp);
}

std::string cp1251ToUtf8(std::string_view db, LoneSurrogate lone) {
    std::string out;
    out.reserve(db.size() + db.size() / 2);
    for (std::size_t i = 0; i < db.size();) {
        if (db[i] == '\\') {
            char32_t cp;
            if (const std::size_t n = readEscapedChar(db, i, cp); n > 0 && !isKeptEscape(cp)) {
                appendUtf8(out, cp);
                i += n;
                continue;
            }
            if (lone == LoneSurrogate::Replace && isSurrogate(escapeUnitAt(db, i))) {
                appendUtf8(out, kReplacement);
                i += kEscapeLength;
                continue;
            }
        }
        const char32_t cp = cp1251ToUnicode(static_cast<unsigned char>(db[i++]));
        appendUtf8(out, cp == kNoChar ? kReplacement : cp);
    }
    return out;
}

void utf8ToCp1251(std::string_view utf8, std::string &out, InvalidUtf8 invalid) {
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        const std::size_t n = decodeUtf8(utf8, i, cp);
        if (n > 0) {
            appendCp1251(out, cp);
            i += n;
        } else if (invalid == InvalidUtf8::Escape) {
            appendEscape(out, 0xDC00 | static_cast<unsigned char>(utf8[i++]));
        } else {
            out += utf8[i++];
        }
    }
}

std::string utf8ToCp1251(std::string_view utf8, InvalidUtf8 invalid) {
    std::string out;
    out.reserve(utf8.size());
    utf8ToCp1251(utf8, out, invalid);
    return out;
}

std::string escapeControls(std::string_view utf8) {
    auto isControl = [](char32_t cp) {
        return (cp < 0x20 && cp != '\n') || (cp >= 0x7F && cp <= 0x9F);
    };
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        std::size_t n = decodeUtf8(utf8, i, cp);
        if (n == 0) { // not UTF-8: the byte as the character an 8-bit terminal takes it for
            cp = static_cast<unsigned char>(utf8[i]);
            n = 1;
        }
        if (isControl(cp))
            appendEscape(out, cp);
        else
            out.append(utf8.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace host::text
