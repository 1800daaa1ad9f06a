// Tests of text conversion between a file's encoding and the database's Windows-1251.
#include "codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace dxf;

// Test that a UTF-8 file's Cyrillic becomes Windows-1251 and comes back unchanged.
TEST(Utf8Codec, CyrillicRoundTrip) {
    const TextCodec codec = TextCodec::forFile("AC1021", "ANSI_1251");
    EXPECT_TRUE(codec.utf8());
    const std::string utf8 = "Слой Ёж №1";
    const std::string db = codec.toDatabase(utf8);
    EXPECT_EQ(db, "\xD1\xEB\xEE\xE9 \xA8\xE6 \xB9"
                  "1");
    EXPECT_EQ(codec.toFile(db), utf8);
}

// Test that characters Windows-1251 lacks travel as \U+XXXX (a pair above U+FFFF).
TEST(Utf8Codec, CharactersOutsideCp1251AreEscaped) {
    const TextCodec codec = TextCodec::forFile("AC1032", "");
    EXPECT_EQ(codec.toDatabase("Ω-Я"), "\\U+03A9-\xDF");
    EXPECT_EQ(codec.toFile("\\U+03A9-\xDF"), "Ω-Я");
    EXPECT_EQ(codec.toDatabase("\xF0\x9F\x98\x80"), "\\U+D83D\\U+DE00");
    EXPECT_EQ(codec.toFile("\\U+D83D\\U+DE00"), "\xF0\x9F\x98\x80");
    // An escape the database holds for a character Windows-1251 has is that character.
    EXPECT_EQ(codec.toFile("\\U+0416"), "Ж");
    // Text that only looks like an escape stays as it is.
    EXPECT_EQ(codec.toFile("\\U+04"), "\\U+04");
    EXPECT_EQ(codec.toFile("C:\\Users"), "C:\\Users");
    EXPECT_EQ(codec.toFile("\\U+D83D alone"), "\\U+D83D alone");
}

// Test that bytes that are not UTF-8 are kept and written back as the same bytes.
TEST(Utf8Codec, InvalidBytesSurvive) {
    const TextCodec codec = TextCodec::forFile("AC1027", "ANSI_1252");
    const std::string bad = "a\xFF\xC3(\xE2\x82\xED\xA0\x80\xC0\xAF";
    const std::string db = codec.toDatabase(bad);
    EXPECT_EQ(db.substr(0, 8), "a\\U+DCFF");
    EXPECT_EQ(codec.toFile(db), bad);
}

// Test that any byte string without a backslash survives file -> database -> file.
TEST(Codecs, RandomBytesRoundTrip) {
    std::mt19937 random(7);
    const TextCodec codecs[] = {
        TextCodec::forFile("AC1021", ""), TextCodec::forFile("AC1015", "ANSI_1252"),
        TextCodec::forFile("AC1015", "ANSI_1250"), TextCodec::forFile("AC1015", "ANSI_1251")};
    for (const TextCodec &codec : codecs) {
        for (int i = 0; i < 3000; ++i) {
            std::string s(random() % 12, ' ');
            for (char &c : s) {
                c = static_cast<char>(random() % 256);
                if (c == '\\')
                    c = '/';
            }
            ASSERT_EQ(codec.toFile(codec.toDatabase(s)), s) << codec.name();
        }
    }
}

// Test that the database holds a character one way however the file spells it (a byte or
// a \U+XXXX escape, upper or lower case), so that names match and a save reads back as it
// was: database text written and read again is the same text, escapes and all.
TEST(Codecs, EscapesReadToOneSpelling) {
    const TextCodec codecs[] = {
        TextCodec::forFile("AC1021", ""), TextCodec::forFile("AC1015", "ANSI_1252"),
        TextCodec::forFile("AC1015", "ANSI_1251"), TextCodec::forFile("AC1009", "")};
    for (const TextCodec &codec : codecs) {
        SCOPED_TRACE(codec.name());
        EXPECT_EQ(codec.toDatabase("A\\U+001DB"), codec.toDatabase("A\x1D"
                                                                   "B"));
        EXPECT_EQ(codec.toDatabase("\\U+0416"), "\xC6"); // Cyrillic Zhe, a 1251 byte
        EXPECT_EQ(codec.toDatabase("\\u+20ac"), "\x88"); // the euro sign is 1251's 0x88
        EXPECT_EQ(codec.toDatabase("\\u+4e2d"), "\\U+4E2D");
        EXPECT_EQ(codec.toDatabase("\\U+0U\\01+D7"), "\\U+0U\\01+D7"); // no escape: text
        // A NUL, CR or LF stays its escape, read and written: as a character it would end
        // the name in the database or the value's line in the file.
        for (const char *kept : {"A\\U+0000B", "A\\U+000AB", "A\\U+000DB"}) {
            EXPECT_EQ(codec.toDatabase(kept), kept);
            const std::string file = codec.toFile(kept);
            EXPECT_EQ(file.find_first_of(std::string("\0\n\r", 3)), std::string::npos);
            EXPECT_EQ(codec.toDatabase(file), kept);
        }
    }
    std::mt19937 random(11);
    const char pieces[][8] = {"\\U+001D", "\\u+017d", "\\U+4E2D", "\\U+DC80", "\\U+D83D",
                              "\\U+DE00", "\\U+0",    "\\",       "A",        "\x8E",
                              "\\U+0000", "\\U+000A", "\\u+000d"};
    for (const TextCodec &codec : codecs) {
        for (int i = 0; i < 2000; ++i) {
            std::string file;
            for (int k = static_cast<int>(random() % 6); k > 0; --k)
                file += pieces[random() % std::size(pieces)];
            const std::string db = codec.toDatabase(file);
            ASSERT_EQ(codec.toDatabase(codec.toFile(db)), db) << codec.name() << ": " << file;
        }
    }
}

TEST(TableCodec, WesternEuropean) {
    const TextCodec codec = TextCodec::forFile("AC1015", "ansi_1252");
    EXPECT_EQ(codec.name(), "ANSI_1252");
    EXPECT_FALSE(codec.identity());
    EXPECT_EQ(codec.toDatabase("caf\xE9"), "caf\\U+00E9");
    EXPECT_EQ(codec.toFile("caf\\U+00E9"), "caf\xE9");
    // The euro sign is in both code pages, at different bytes.
    EXPECT_EQ(codec.toDatabase("\x80"), "\x88");
    // Cyrillic is not in 1252: the file gets the escape.
    EXPECT_EQ(codec.toFile("\xC0"), "\\U+0410");
}

// Test that a multi-byte Asian code page converts through iconv.
TEST(IconvCodec, Japanese) {
    const TextCodec codec = TextCodec::forFile("AC1018", "ANSI_932");
    EXPECT_EQ(codec.name(), "ANSI_932");
    const std::string sjis = "\x93\xFA\x96\x7B"; // "日本" in Shift_JIS
    EXPECT_EQ(codec.toDatabase(sjis), "\\U+65E5\\U+672C");
    EXPECT_EQ(codec.toFile("\\U+65E5\\U+672C"), sjis);
    EXPECT_EQ(codec.toFile("\xC0"), "\x84\x40");     // Cyrillic is in JIS X 0208
    EXPECT_EQ(codec.toFile("\\U+0E01"), "\\U+0E01"); // Thai is not
}

// Test the choice of codec by version and code page name.
TEST(Codecs, ChosenByVersionAndName) {
    EXPECT_TRUE(TextCodec::forFile("AC1015", "ANSI_1251").identity());
    EXPECT_TRUE(TextCodec().identity());
    EXPECT_TRUE(TextCodec::forFile("AC1021", "ANSI_1251").utf8());
    EXPECT_FALSE(TextCodec::forFile("AC1018", "ANSI_1251").utf8());
    EXPECT_EQ(TextCodec::forFile("AC1009", "").name(), "ANSI_1252");
    EXPECT_EQ(TextCodec::forFile("AC1015", "NONSENSE").name(), "ANSI_1252");
    EXPECT_EQ(TextCodec::forFile("AC1015", "DOS866").name(), "DOS866");
    EXPECT_EQ(TextCodec::forFile("AC1015", "DOS866").toDatabase("\x80"), "\xC0");
}

} // namespace
