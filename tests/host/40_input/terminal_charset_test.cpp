// The terminal's character set: what each kind of terminal is shown and what its typing
// reads as.
#include "terminal_charset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u32string typed(host::TerminalCharset &cs, std::string_view bytes) {
    std::u32string out;
    for (char b : bytes)
        cs.feed(static_cast<unsigned char>(b), out);
    return out;
}

TEST(TerminalCharset, EachSetShowsAndReadsItsOwnBytes) {
    struct Case {
        const char *codeset;
        std::string shown;  // "Укажите € 1" as the terminal shows it
        std::string typing; // "Ук" as the terminal sends it
    };
    const Case cases[] = {
        {"UTF-8", "Укажите € 1", "Ук"},
        {"KOI8-R", "\xF5\xCB\xC1\xD6\xC9\xD4\xC5 \\U+20AC 1", "\xF5\xCB"},
        {"CP1251", "\xD3\xEA\xE0\xE6\xE8\xF2\xE5 \x88 1", "\xD3\xEA"},
        // ASCII: Cyrillic spelled in Latin letters; typed UTF-8 is still understood.
        {"ANSI_X3.4-1968", "Ukazhite \\U+20AC 1", "Ук"},
        {"NO-SUCH-SET", "Ukazhite \\U+20AC 1", "Ук"},
    };
    for (const Case &c : cases) {
        host::TerminalCharset cs(c.codeset);
        EXPECT_EQ(cs.fromUtf8("Укажите € 1"), c.shown) << c.codeset;
        EXPECT_EQ(typed(cs, c.typing), U"Ук") << c.codeset;
    }
}

TEST(TerminalCharset, BrokenTypingIsKeptNotDropped) {
    host::TerminalCharset ascii("ANSI_X3.4-1968");
    // A lone Windows-1251 byte, and a UTF-8 lead cut short by an ASCII letter.
    EXPECT_EQ(typed(ascii, "\xC0x\xD0y"), U"Аx\u0420y");
    host::TerminalCharset koi("KOI8-R");
    EXPECT_EQ(koi.show(U'Ы').width, 1);
    EXPECT_EQ(ascii.show(U'Щ').bytes, "Shch");
    EXPECT_EQ(ascii.show(U'Щ').width, 4);
}

} // namespace
