// codepage.cpp - Windows-1251, UTF-8, other single-byte code pages (tables built once through
// the system's character set conversion) and the multi-byte Asian code pages (the same,
// one bounded step at a time).
#include "codepage.h"
#include "tags.h"

#include "charset.h"
#include "text_codec.h"
#include "text_util.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace dxf {

namespace {

using Converter = host::platform::CharsetConverter;
using host::text::appendCp1251;
using host::text::appendEscape;
using host::text::appendEscapedChar;
using host::text::appendUtf8;
using host::text::cp1251ToUnicode;
using host::text::escapeUnitAt;
using host::text::InvalidUtf8;
using host::text::isKeptEscape;
using host::text::kEscapeLength;
using host::text::kNoChar;
using host::text::readEscapedChar;

constexpr std::uint32_t kNone = kNoChar;

enum class Kind { Cp1251, Utf8, Table, Iconv };

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// A byte that is not valid text: kept as a lone low surrogate so it comes back as itself.
void appendInvalidByte(std::string &out, unsigned char byte) {
    appendEscape(out, 0xDC00 | byte);
}

void utf8ToDb(std::string_view text, std::string &out) {
    host::text::utf8ToCp1251(text, out, InvalidUtf8::Escape);
}

// One item of database text: a character, a raw byte to write as it is, or literal text.
struct Item {
    enum { Char, Byte, Literal } kind;
    std::uint32_t value;   // code point or byte
    std::string_view text; // the literal
};

// Walks database text item by item, resolving \U+XXXX escapes.
template <class F> void forEachDbItem(std::string_view text, F &&f) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            char32_t cp;
            const long u = escapeUnitAt(text, i);
            if (const std::size_t n = readEscapedChar(text, i, cp); n > 0 && !isKeptEscape(cp)) {
                f(Item{Item::Char, cp, {}});
                i += n;
                continue;
            }
            if (u >= 0xDC80 && u <= 0xDCFF) {
                f(Item{Item::Byte, static_cast<std::uint32_t>(u & 0xFF), {}});
                i += kEscapeLength;
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
    const std::string upper = host::text::toUpper(codePage);
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

struct TextCodec::Impl {
    Kind kind = Kind::Cp1251;
    std::string name = "ANSI_1251";
    std::array<std::uint32_t, 256> table{};                   // Table: byte to code point
    std::unordered_map<std::uint32_t, unsigned char> reverse; // Table: code point to byte
    std::unique_ptr<Converter> toUtf8;                        // Iconv: file to UTF-8
    std::unique_ptr<Converter> fromUtf8;                      // Iconv: UTF-8 to file

    // Builds the byte table of a single-byte code page; false when iconv lacks it.
    bool buildTable(const std::string &iconvName) {
        const Converter cd("UTF-32LE", iconvName);
        if (!cd.ok())
            return false;
        for (int b = 0; b < 256; ++b) {
            char in = static_cast<char>(b);
            char *inp = &in;
            std::size_t inLeft = 1;
            unsigned char outBuf[16];
            char *outp = reinterpret_cast<char *>(outBuf);
            std::size_t outLeft = sizeof outBuf;
            cd.reset();
            const std::size_t r = cd.convert(&inp, &inLeft, &outp, &outLeft);
            cd.reset(&outp, &outLeft); // flush a held base character
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
        return true;
    }

    bool openIconv(const std::string &iconvName) {
        toUtf8 = std::make_unique<Converter>("UTF-8", iconvName);
        fromUtf8 = std::make_unique<Converter>(iconvName, "UTF-8");
        return toUtf8->ok() && fromUtf8->ok();
    }

    // Multi-byte file text to UTF-8; a byte iconv refuses is kept as \U+DCxx later, so it
    // is passed through as an invalid UTF-8 byte (which utf8ToDb turns into that escape).
    std::string iconvToUtf8(std::string_view text) const {
        std::string out;
        toUtf8->reset();
        char *inp = const_cast<char *>(text.data());
        std::size_t inLeft = text.size();
        char buf[256];
        while (inLeft > 0) {
            char *outp = buf;
            std::size_t outLeft = sizeof buf;
            const std::size_t r = toUtf8->convert(&inp, &inLeft, &outp, &outLeft);
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
            toUtf8->reset();
        }
        return out;
    }

    // One code point into a multi-byte file text, or false when the code page lacks it.
    bool iconvFromCodePoint(std::uint32_t cp, std::string &out) const {
        std::string utf8;
        appendUtf8(utf8, cp);
        fromUtf8->reset();
        char *inp = utf8.data();
        std::size_t inLeft = utf8.size();
        char buf[16];
        char *outp = buf;
        std::size_t outLeft = sizeof buf;
        if (fromUtf8->convert(&inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1))
            return false;
        fromUtf8->reset(&outp, &outLeft);
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
    if (versionAtLeast(acadver, "AC1021")) {
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
    const std::string upper = host::text::toUpper(codePage);
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
        char32_t cp;
        if (db[i] != '\\') {
            out += db[i++];
        } else if (const std::size_t n = readEscapedChar(db, i, cp); n > 0 && !isKeptEscape(cp)) {
            appendCp1251(out, cp);
            i += n;
        } else if (const long u = escapeUnitAt(db, i); u >= 0xDC80 && u <= 0xDCFF) {
            // A byte of the file that is no text: as the file's code page reads that byte.
            const char byte = static_cast<char>(u & 0xFF);
            toDatabasePlain(std::string_view(&byte, 1), out);
            i += kEscapeLength;
        } else {
            // A lone surrogate stands for nothing, a NUL would end the text in the database
            // and a line end would split the value when written: plain text, as written.
            out += db[i++];
        }
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
                appendCp1251(out, cp);
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
        appendEscapedChar(out, cp);
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
