// terminal_charset.h - text between the host (UTF-8 inside the command line's screen work)
// and a terminal that shows and types whatever character set its locale names: UTF-8,
// KOI8-R, Windows-1251, plain ASCII under the C locale, ...
//
// What the terminal's set lacks is shown readably, never dropped: Cyrillic as a Latin
// transliteration ("Ukazhite tochku"), anything else as "\U+XXXX".
#pragma once

#include "text_codec.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace host {

namespace platform {
class CharsetConverter; // charset.h
}

class TerminalCharset {
public:
    // codeset as the system names it (platform::Terminal::codeset()); an unknown one is
    // taken as ASCII.
    explicit TerminalCharset(std::string codeset);
    ~TerminalCharset();
    TerminalCharset(const TerminalCharset &) = delete;
    TerminalCharset &operator=(const TerminalCharset &) = delete;

    bool isUtf8() const { return utf8_; }

    // How the terminal shows one character: its bytes and how many columns they take.
    struct Shown {
        std::string bytes;
        int width = 1;
    };
    Shown show(char32_t cp) const;

    // UTF-8 text in the terminal's set. Control characters (line ends, escape sequences)
    // and bytes that are not UTF-8 pass through unchanged.
    std::string fromUtf8(std::string_view utf8) const;

    // Decodes what the terminal types, one byte at a time: the characters b completes are
    // appended to out. Bytes no character can be made of come out as U+FFFD; under a
    // UTF-8 or ASCII locale a byte that does not start valid UTF-8 is read as Windows-1251
    // (the host's own code page), as the host reads script files.
    void feed(unsigned char b, std::u32string &out);

private:
    std::string codeset_;
    bool utf8_ = false;
    bool ascii_ = false;
    std::unique_ptr<platform::CharsetConverter> toTerminal_;   // UTF-8 -> codeset
    std::unique_ptr<platform::CharsetConverter> fromTerminal_; // codeset -> UTF-8
    std::string pending_; // bytes of a character not yet complete
    mutable std::unordered_map<char32_t, Shown> cache_;
};

// One UTF-8 sequence at s[i]: the code point, and its length in len (0 when the bytes
// there are not valid UTF-8).
inline char32_t decodeUtf8At(std::string_view s, std::size_t i, std::size_t &len) {
    char32_t cp = 0;
    len = text::decodeUtf8(s, i, cp);
    return cp;
}
// The character a Windows-1251 byte stands for (U+FFFD for the one unassigned byte).
inline char32_t cp1251Char(unsigned char b) {
    char32_t cp = text::cp1251ToUnicode(b);
    return cp == text::kNoChar ? text::kReplacement : cp;
}

// A Latin spelling of a Cyrillic letter or common typographic mark; empty when there is
// none.
std::string_view transliteration(char32_t cp);

} // namespace host
