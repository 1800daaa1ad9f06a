// Tests of text conversion for pictures: code page, the host's escapes, control codes and
// XML escaping.
#include "text.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <string>

namespace {

using namespace host::render;

// Test every byte of Windows-1251 against glibc's iconv (an independent table); 0x98,
// which the code page leaves undefined, becomes U+FFFD.
TEST(Cp1251, EveryByteMatchesIconv) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 1; b < 256; ++b) {
        std::string in(1, static_cast<char>(b));
        std::string got = cp1251ToUtf8(in);
        char inBuf[1] = {static_cast<char>(b)};
        char outBuf[8] = {};
        char *ip = inBuf, *op = outBuf;
        size_t il = 1, ol = sizeof outBuf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
            EXPECT_EQ(got, "\xEF\xBF\xBD") << "byte " << b; // U+FFFD
            continue;
        }
        EXPECT_EQ(got, std::string(outBuf, op)) << "byte " << b;
    }
    iconv_close(cd);
}

// Test that a Cyrillic string converts as a whole, ASCII kept.
TEST(Cp1251, CyrillicWord) {
    // "План 1" in Windows-1251.
    EXPECT_EQ(cp1251ToUtf8("\xCF\xEB\xE0\xED 1"), "\xD0\x9F\xD0\xBB\xD0\xB0\xD0\xBD 1");
}

// Test the host's \U+XXXX escapes: a single one, a UTF-16 pair, a lone surrogate, and
// malformed ones left alone.
TEST(Cp1251, UnicodeEscapes) {
    EXPECT_EQ(cp1251ToUtf8("a\\U+20ACb"), "a\xE2\x82\xAC"
                                          "b");                      // euro
    EXPECT_EQ(cp1251ToUtf8("\\U+D83D\\U+DE00"), "\xF0\x9F\x98\x80"); // emoji
    EXPECT_EQ(cp1251ToUtf8("\\U+DC81x"), "\xEF\xBF\xBDx");           // lone
    EXPECT_EQ(cp1251ToUtf8("\\U+12G4"), "\\U+12G4");                 // not hex
    EXPECT_EQ(cp1251ToUtf8("\\U+12"), "\\U+12");                     // too short
    EXPECT_EQ(cp1251ToUtf8("\\U+041612"), "\xD0\x96"
                                          "12"); // four digits
}

// Test the %% control codes: symbols, percent, dropped switches, character numbers, and
// a lone %% left alone.
TEST(ControlCodes, SymbolsAndSwitches) {
    EXPECT_EQ(cp1251ToUtf8(expandControlCodes("%%c50")), "\xE2\x8C\x80"
                                                         "50");
    EXPECT_EQ(cp1251ToUtf8(expandControlCodes("90%%d")), "90\xC2\xB0");
    EXPECT_EQ(cp1251ToUtf8(expandControlCodes("%%p0.5")), "\xC2\xB1"
                                                          "0.5");
    EXPECT_EQ(expandControlCodes("100%%%"), "100%");
    EXPECT_EQ(expandControlCodes("%%uunder%%u"), "under");
    EXPECT_EQ(expandControlCodes("%%065"), "A");
    EXPECT_EQ(expandControlCodes("50%%"), "50%%");
    EXPECT_EQ(expandControlCodes("%%z"), "%%z");
}

// Test XML escaping of the five special characters and the removal of control characters
// XML does not allow, while tabs and UTF-8 pass.
TEST(XmlEscape, SpecialAndControlCharacters) {
    EXPECT_EQ(xmlEscape("a<b & \"c\" > 'd'"), "a&lt;b &amp; &quot;c&quot; &gt; &apos;d&apos;");
    EXPECT_EQ(xmlEscape(std::string("x\x01y\x1Fz\tw", 8)), "xyz\tw");
    EXPECT_EQ(xmlEscape("\xD0\x96"), "\xD0\x96");
    EXPECT_EQ(drawingTextToXml("R&D <\xC6>"), "R&amp;D &lt;\xD0\x96&gt;");
}

} // namespace
