// codepage.cpp - Windows-1251, UTF-8, other single-byte code pages (tables built once through
// glibc's iconv) and the multi-byte Asian code pages (iconv, one bounded step at a time).
#include "codepage.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <unordered_map>
#include <vector>

namespace dxf {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Windows-1251, bytes 0x80..0xBF (0xC0..0xFF are U+0410..U+044F).
constexpr std::uint16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

enum class Kind { Cp1251, Utf8, Table, Iconv };

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

void appendUtf8(std::string &out, std::uint32_t cp) {
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

void appendEscape(std::string &out, std::uint32_t unit) {
    static const char hex[] = "0123456789ABCDEF";
    out += "\\U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += hex[(unit >> shift) & 15];
}

// A code point as database text: its Windows-1251 byte, or \U+XXXX escapes.
void appendToDb(std::string &out, std::uint32_t cp) {
    const int b = unicodeToCp1251(cp);
    if (b >= 0) {
        out += static_cast<char>(b);
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        appendEscape(out, 0xD800 + (cp >> 10));
        appendEscape(out, 0xDC00 + (cp & 0x3FF));
    } else {
        appendEscape(out, cp);
    }
}

// A byte that is not valid text: kept as a lone low surrogate so it comes back as itself.
void appendInvalidByte(std::string &out, unsigned char byte) {
    appendEscape(out, 0xDC00 | byte);
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the byte at i does
// not start a valid, shortest-form sequence of a scalar value.
std::size_t decodeUtf8(std::string_view text, std::size_t i, std::uint32_t &cp) {
    const auto *s = reinterpret_cast<const unsigned char *>(text.data()) + i;
    const std::size_t left = text.size() - i;
    const unsigned char b0 = s[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
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
    std::uint32_t v = b0 & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k)
        v = (v << 6) | (s[k] & 0x3F);
    cp = v;
    return n;
}

void utf8ToDb(std::string_view text, std::string &out) {
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp;
        const std::size_t n = decodeUtf8(text, i, cp);
        if (n == 0) {
            appendInvalidByte(out, static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            appendToDb(out, cp);
            i += n;
        }
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The 16-bit unit of a \U+XXXX escape at text[i], or -1 when there is none.
long escapeAt(std::string_view text, std::size_t i) {
    if (i + 7 > text.size() || text[i] != '\\' || (text[i + 1] != 'U' && text[i + 1] != 'u') ||
        text[i + 2] != '+')
        return -1;
    long v = 0;
    for (std::size_t k = 3; k < 7; ++k) {
        const int d = hexDigit(text[i + k]);
        if (d < 0)
            return -1;
        v = v * 16 + d;
    }
    return v;
}

// One item of database text: a character, a raw byte to write as it is, or literal text.
struct Item {
    enum { Char, Byte, Literal } kind;
    std::uint32_t value;   // code point or byte
    std::string_view text; // the literal
};

// Walks database text item by item, resolving \U+XXXX escapes.
// Escapes the database keeps as text: a NUL would end a C string, a CR or LF would end the
// value's line in a file. Read and written the same way, so that such a name reads back.
bool isKeptEscape(long u) {
    return u == 0 || u == '\n' || u == '\r';
}

template <class F> void forEachDbItem(std::string_view text, F &&f) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            const long u = escapeAt(text, i);
            if (u >= 0xD800 && u <= 0xDBFF) {
                const long low = escapeAt(text, i + 7);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    f(Item{Item::Char,
                           0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) +
                               (static_cast<std::uint32_t>(low) - 0xDC00),
                           {}});
                    i += 14;
                    continue;
                }
            } else if (u >= 0xDC80 && u <= 0xDCFF) {
                f(Item{Item::Byte, static_cast<std::uint32_t>(u & 0xFF), {}});
                i += 7;
                continue;
            } else if (u >= 0 && !isKeptEscape(u) && (u < 0xD800 || u > 0xDFFF)) {
                f(Item{Item::Char, static_cast<std::uint32_t>(u), {}});
                i += 7;
                continue;
            }
            // Not an escape, a lone surrogate that stands for nothing, or a character the
            // database keeps as its escape: plain text.
            f(Item{Item::Literal, 0, text.substr(i, 1)});
            ++i;
            continue;
        }
        const std::uint32_t cp = cp1251ToUnicode(c);
        if (cp == kNone)
            f(Item{Item::Byte, c, {}});
        else
            f(Item{Item::Char, cp, {}});
        ++i;
    }
}

std::string iconvNameOf(std::string_view codePage, bool &singleByte) {
    std::string upper(codePage);
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    singleByte = true;
    std::string digits;
    if (upper.rfind("ANSI_", 0) == 0)
        digits = upper.substr(5);
    else if (upper.rfind("DOS", 0) == 0)
        digits = upper.substr(3);
    else
        return {};
    for (char c : digits)
        if (c < '0' || c > '9')
            return {};
    if (digits == "932" || digits == "936" || digits == "949" || digits == "950")
        singleByte = false;
    return digits.empty() ? std::string() : "CP" + digits;
}

} // namespace

std::uint32_t cp1251ToUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    const std::uint16_t cp = kCp1251High[byte - 0x80];
    return cp == 0 ? kNone : cp;
}

int unicodeToCp1251(std::uint32_t cp) {
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(cp - 0x0410 + 0xC0);
    for (int i = 0; i < 64; ++i)
        if (kCp1251High[i] == cp && cp != 0)
            return 0x80 + i;
    return -1;
}

struct TextCodec::Impl {
    Kind kind = Kind::Cp1251;
    std::string name = "ANSI_1251";
    std::array<std::uint32_t, 256> table{};                   // Table: byte to code point
    std::unordered_map<std::uint32_t, unsigned char> reverse; // Table: code point to byte
    iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);           // Iconv: file to UTF-8
    iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);         // Iconv: UTF-8 to file

    ~Impl() {
        if (toUtf8 != reinterpret_cast<iconv_t>(-1))
            iconv_close(toUtf8);
        if (fromUtf8 != reinterpret_cast<iconv_t>(-1))
            iconv_close(fromUtf8);
    }

    // Builds the byte table of a single-byte code page; false when iconv lacks it.
    bool buildTable(const std::string &iconvName) {
        iconv_t cd = iconv_open("UTF-32LE", iconvName.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1))
            return false;
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char *inp = &in;
            std::size_t inLeft = 1;
            unsigned char outBuf[16];
            char *outp = reinterpret_cast<char *>(outBuf);
            std::size_t outLeft = sizeof outBuf;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
            iconv(cd, nullptr, nullptr, &outp, &outLeft); // flush a held base character
            const std::size_t produced = sizeof outBuf - outLeft;
            if (r == static_cast<std::size_t>(-1) || produced != 4) {
                table[b] = kNone;
                continue;
            }
            const std::uint32_t cp = outBuf[0] | (outBuf[1] << 8) | (outBuf[2] << 16) |
                                     (static_cast<std::uint32_t>(outBuf[3]) << 24);
            table[b] = cp;
            reverse.emplace(cp, static_cast<unsigned char>(b));
        }
        iconv_close(cd);
        return true;
    }

    bool openIconv(const std::string &iconvName) {
        toUtf8 = iconv_open("UTF-8", iconvName.c_str());
        fromUtf8 = iconv_open(iconvName.c_str(), "UTF-8");
        return toUtf8 != reinterpret_cast<iconv_t>(-1) && fromUtf8 != reinterpret_cast<iconv_t>(-1);
    }

    // Multi-byte file text to UTF-8; a byte iconv refuses is kept as \U+DCxx later, so it
    // is passed through as an invalid UTF-8 byte (which utf8ToDb turns into that escape).
    std::string iconvToUtf8(std::string_view text) const {
        std::string out;
        iconv(toUtf8, nullptr, nullptr, nullptr, nullptr);
        char *inp = const_cast<char *>(text.data());
        std::size_t inLeft = text.size();
        char buf[256];
        while (inLeft > 0) {
            char *outp = buf;
            std::size_t outLeft = sizeof buf;
            const std::size_t r = iconv(toUtf8, &inp, &inLeft, &outp, &outLeft);
            out.append(buf, outp - buf);
            if (r != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: keep the offending byte (0x80 and above cannot be valid
            // UTF-8 on its own; below that iconv does not fail) and go on after it.
            out += *inp;
            ++inp;
            --inLeft;
            iconv(toUtf8, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

    // One code point into a multi-byte file text, or false when the code page lacks it.
    bool iconvFromCodePoint(std::uint32_t cp, std::string &out) const {
        std::string utf8;
        appendUtf8(utf8, cp);
        iconv(fromUtf8, nullptr, nullptr, nullptr, nullptr);
        char *inp = utf8.data();
        std::size_t inLeft = utf8.size();
        char buf[16];
        char *outp = buf;
        std::size_t outLeft = sizeof buf;
        if (iconv(fromUtf8, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1))
            return false;
        iconv(fromUtf8, nullptr, nullptr, &outp, &outLeft);
        out.append(buf, outp - buf);
        return true;
    }
};

TextCodec::TextCodec() : impl_(std::make_unique<Impl>()) {}
TextCodec::~TextCodec() = default;
TextCodec::TextCodec(TextCodec &&) noexcept = default;
TextCodec &TextCodec::operator=(TextCodec &&) noexcept = default;

TextCodec TextCodec::forFile(std::string_view acadver, std::string_view codePage) {
    TextCodec codec;
    Impl &impl = *codec.impl_;
    if (acadver.size() == 6 && acadver.substr(0, 2) == "AC" && acadver >= "AC1021") {
        impl.kind = Kind::Utf8;
        impl.name = "UTF-8";
        return codec;
    }
    bool singleByte = true;
    std::string iconvName = iconvNameOf(codePage, singleByte);
    if (iconvName == "CP1251")
        return codec;
    if (iconvName.empty())
        iconvName = "CP1252";
    std::string upper(codePage);
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (singleByte && impl.buildTable(iconvName)) {
        impl.kind = Kind::Table;
        impl.name = iconvName == "CP1252" ? "ANSI_1252" : upper;
        return codec;
    }
    if (!singleByte && impl.openIconv(iconvName)) {
        impl.kind = Kind::Iconv;
        impl.name = upper;
        return codec;
    }
    // Nothing can convert it: the format's default code page.
    codec.impl_ = std::make_unique<Impl>();
    codec.impl_->buildTable("CP1252");
    codec.impl_->kind = Kind::Table;
    codec.impl_->name = "ANSI_1252";
    return codec;
}

bool TextCodec::identity() const {
    return impl_->kind == Kind::Cp1251;
}
bool TextCodec::utf8() const {
    return impl_->kind == Kind::Utf8;
}
const std::string &TextCodec::name() const {
    return impl_->name;
}

void TextCodec::toDatabase(std::string_view text, std::string &out) const {
    if (text.find('\\') != std::string_view::npos) {
        // The file spells some characters as \U+XXXX escapes: the database holds each
        // character one way only (its byte when it has one), so that a name reads the same
        // however a file spells it, and what a save writes reads back as it was.
        std::string plain;
        toDatabasePlain(text, plain);
        canonicalEscapes(plain, out);
        return;
    }
    toDatabasePlain(text, out);
}

void TextCodec::canonicalEscapes(std::string_view db, std::string &out) const {
    for (std::size_t i = 0; i < db.size();) {
        const long u = db[i] == '\\' ? escapeAt(db, i) : -1;
        if (u < 0) {
            out += db[i++];
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            const long low = escapeAt(db, i + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendToDb(out, 0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) +
                                    (static_cast<std::uint32_t>(low) - 0xDC00));
                i += 14;
                continue;
            }
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            // A byte of the file that is no text: as the file's code page reads that byte.
            const char byte = static_cast<char>(u & 0xFF);
            toDatabasePlain(std::string_view(&byte, 1), out);
            i += 7;
            continue;
        } else if (u >= 0 && !isKeptEscape(u) && (u < 0xD800 || u > 0xDFFF)) {
            appendToDb(out, static_cast<std::uint32_t>(u));
            i += 7;
            continue;
        }
        // A lone surrogate stands for nothing, a NUL would end the text in the database and
        // a line end would split the value when written: plain text, as written.
        out += db[i++];
    }
}

void TextCodec::toDatabasePlain(std::string_view text, std::string &out) const {
    if (impl_->kind == Kind::Cp1251 || isAscii(text)) {
        out.append(text);
        return;
    }
    switch (impl_->kind) {
    case Kind::Cp1251:
        break;
    case Kind::Utf8:
        utf8ToDb(text, out);
        break;
    case Kind::Table:
        for (unsigned char c : text) {
            const std::uint32_t cp = impl_->table[c];
            if (cp == kNone)
                appendInvalidByte(out, c);
            else
                appendToDb(out, cp);
        }
        break;
    case Kind::Iconv:
        utf8ToDb(impl_->iconvToUtf8(text), out);
        break;
    }
}

void TextCodec::toFile(std::string_view text, std::string &out) const {
    if (impl_->kind == Kind::Cp1251 ||
        (isAscii(text) && text.find('\\') == std::string_view::npos)) {
        out.append(text);
        return;
    }
    const Impl &impl = *impl_;
    forEachDbItem(text, [&](const Item &item) {
        if (item.kind == Item::Literal) {
            out.append(item.text);
            return;
        }
        if (item.kind == Item::Byte) {
            out += static_cast<char>(item.value);
            return;
        }
        const std::uint32_t cp = item.value;
        switch (impl.kind) {
        case Kind::Cp1251:
            break;
        case Kind::Utf8:
            appendUtf8(out, cp);
            return;
        case Kind::Table: {
            if (cp < 0x80) {
                out += static_cast<char>(cp);
                return;
            }
            auto it = impl.reverse.find(cp);
            if (it != impl.reverse.end()) {
                out += static_cast<char>(it->second);
                return;
            }
            break;
        }
        case Kind::Iconv:
            if (cp < 0x80) {
                out += static_cast<char>(cp);
                return;
            }
            if (impl.iconvFromCodePoint(cp, out))
                return;
            break;
        }
        // The file's code page lacks it: the format's escape.
        if (cp >= 0x10000) {
            appendEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
            appendEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            appendEscape(out, cp);
        }
    });
}

std::string TextCodec::toDatabase(std::string_view fileText) const {
    std::string out;
    toDatabase(fileText, out);
    return out;
}

std::string TextCodec::toFile(std::string_view dbText) const {
    std::string out;
    toFile(dbText, out);
    return out;
}

} // namespace dxf
