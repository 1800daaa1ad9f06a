// terminal_charset.cpp - the terminal's character set through the platform's converter,
// with a readable stand-in for what the set cannot show.
#include "terminal_charset.h"
#include "charset.h"
#include "command_line.h"
#include "terminal.h"
#include "text_util.h"

#include <cerrno>
#include <cstdio>

namespace host {
namespace {

using text::equalsIgnoreCase;

// Converts in through cd; false when the converter refuses any of it.
bool convertAll(const platform::CharsetConverter &cd, std::string_view in, std::string &out) {
    cd.reset(); // a fresh shift state
    out.clear();
    char buf[64];
    auto *src = const_cast<char *>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char *dst = buf;
        std::size_t room = sizeof buf;
        std::size_t rc = cd.convert(&src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG)
            return false;
    }
    char *dst = buf;
    std::size_t room = sizeof buf;
    cd.reset(&dst, &room); // back to the initial shift state
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
}

std::string escaped(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(cp));
    return buf;
}

} // namespace

std::string_view transliteration(char32_t cp) {
    // Russian letters А..я (U+0410..U+044F), as Russian passports spell them.
    static constexpr std::string_view kUpper[32] = {
        "A", "B", "V", "G", "D", "E",  "Zh", "Z",  "I",  "Y",    "K",  "L", "M", "N", "O",  "P",
        "R", "S", "T", "U", "F", "Kh", "Ts", "Ch", "Sh", "Shch", "Ie", "Y", "",  "E", "Iu", "Ia"};
    static constexpr std::string_view kLower[32] = {
        "a", "b", "v", "g", "d", "e",  "zh", "z",  "i",  "y",    "k",  "l", "m", "n", "o",  "p",
        "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "ie", "y", "",  "e", "iu", "ia"};
    if (cp >= 0x0410 && cp < 0x0430)
        return kUpper[cp - 0x0410].empty() ? std::string_view("'") : kUpper[cp - 0x0410];
    if (cp >= 0x0430 && cp < 0x0450)
        return kLower[cp - 0x0430].empty() ? std::string_view("'") : kLower[cp - 0x0430];
    switch (cp) {
    case 0x0401: // Ё
        return "E";
    case 0x0451: // ё
        return "e";
    case 0x0404:
        return "Ie";
    case 0x0454:
        return "ie";
    case 0x0406:
        return "I";
    case 0x0456:
        return "i";
    case 0x0407:
        return "Yi";
    case 0x0457:
        return "yi";
    case 0x0490:
        return "G";
    case 0x0491:
        return "g";
    case 0x00A0:
        return " ";
    case 0x00AB: // «
        return "<<";
    case 0x00BB: // »
        return ">>";
    case 0x2013:
    case 0x2014:
        return "-";
    case 0x2018:
    case 0x2019:
        return "'";
    case 0x201C:
    case 0x201D:
    case 0x201E:
        return "\"";
    case 0x2026:
        return "...";
    case 0x2116: // №
        return "No.";
    case 0x00B0: // °
        return "deg";
    default:
        return {};
    }
}

TerminalCharset::TerminalCharset(std::string codeset) : codeset_(std::move(codeset)) {
    if (equalsIgnoreCase(codeset_, "UTF-8") || equalsIgnoreCase(codeset_, "UTF8")) {
        utf8_ = true;
        return;
    }
    auto to = std::make_unique<platform::CharsetConverter>(codeset_, "UTF-8");
    auto from = std::make_unique<platform::CharsetConverter>("UTF-8", codeset_);
    if (!to->ok() || !from->ok()) {
        ascii_ = true; // a set the system does not know: show only what ASCII can
        return;
    }
    toTerminal_ = std::move(to);
    fromTerminal_ = std::move(from);
    ascii_ = equalsIgnoreCase(codeset_, "ANSI_X3.4-1968") || equalsIgnoreCase(codeset_, "ASCII") ||
             equalsIgnoreCase(codeset_, "US-ASCII");
}

TerminalCharset::~TerminalCharset() = default;

TerminalCharset::Shown TerminalCharset::show(char32_t cp) const {
    if (cp < 0x80)
        return {std::string(1, static_cast<char>(cp)), 1};
    if (auto it = cache_.find(cp); it != cache_.end())
        return it->second;
    Shown shown;
    std::string utf8;
    text::appendUtf8(utf8, cp);
    int columns = platform::Terminal::charColumns(cp);
    if (utf8_) {
        shown = {utf8, columns >= 0 ? columns : 1};
    } else if (!ascii_ && toTerminal_ && convertAll(*toTerminal_, utf8, shown.bytes)) {
        shown.width = columns >= 0 ? columns : 1;
    } else {
        std::string_view latin = transliteration(cp);
        shown.bytes = latin.empty() ? escaped(cp) : std::string(latin);
        shown.width = static_cast<int>(shown.bytes.size());
    }
    cache_.emplace(cp, shown);
    return shown;
}

std::string TerminalCharset::fromUtf8(std::string_view utf8) const {
    if (utf8_)
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += utf8[i++];
            continue;
        }
        std::size_t len;
        char32_t cp = decodeUtf8At(utf8, i, len);
        if (len == 0) {
            out += utf8[i++];
            continue;
        }
        out += show(cp).bytes;
        i += len;
    }
    return out;
}

void TerminalCharset::feed(unsigned char b, std::u32string &out) {
    if (utf8_ || ascii_) {
        auto asHostBytes = [&] {
            for (char p : pending_)
                out += cp1251Char(static_cast<unsigned char>(p));
            pending_.clear();
        };
        if (!pending_.empty() && (b & 0xC0) != 0x80)
            asHostBytes(); // the sequence broke off
        if (pending_.empty()) {
            if (b < 0x80)
                out += static_cast<char32_t>(b);
            else if (b >= 0xC2 && b <= 0xF4)
                pending_ += static_cast<char>(b);
            else
                out += cp1251Char(b);
            return;
        }
        pending_ += static_cast<char>(b);
        auto lead = static_cast<unsigned char>(pending_[0]);
        std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (pending_.size() < need)
            return;
        std::size_t len;
        char32_t cp = decodeUtf8At(pending_, 0, len);
        if (len != need) {
            asHostBytes();
            return;
        }
        out += cp;
        pending_.clear();
        return;
    }
    pending_ += static_cast<char>(b);
    const platform::CharsetConverter &cd = *fromTerminal_;
    cd.reset();
    auto *src = pending_.data();
    std::size_t left = pending_.size();
    char buf[16];
    char *dst = buf;
    std::size_t room = sizeof buf;
    std::size_t rc = cd.convert(&src, &left, &dst, &room);
    if (rc == static_cast<std::size_t>(-1) && errno == EINVAL && pending_.size() < 8)
        return; // an incomplete sequence: wait for its next byte
    pending_.clear();
    if (rc == static_cast<std::size_t>(-1) || left != 0 || dst == buf) {
        out += text::kReplacement;
        return;
    }
    std::size_t len;
    char32_t cp = decodeUtf8At(std::string_view(buf, static_cast<std::size_t>(dst - buf)), 0, len);
    out += len == 0 ? text::kReplacement : cp;
}

} // namespace host
