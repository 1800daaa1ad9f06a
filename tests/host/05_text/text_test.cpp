// The host's text against the C library's iconv: the Windows-1251 table both ways, UTF-8 for
// every scalar value, the malformed sequences iconv refuses, and the escapes.
#include "text_codec.h"
#include "text_util.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdint>
#include <cwctype>
#include <limits>
#include <clocale>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace host::text;

// The whole of `in` converted by iconv, or nullopt-like false when iconv refuses any of it.
bool iconvAll(const char *to, const char *from, std::string_view in, std::string &out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.assign(in.size() * 4 + 16, '\0');
    char *ip = const_cast<char *>(in.data());
    char *op = out.data();
    std::size_t il = in.size(), ol = out.size();
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return ok;
}

std::string utf32(char32_t cp) {
    return {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
            static_cast<char>((cp >> 16) & 0xFF), static_cast<char>(cp >> 24)};
}

// Test the code page table against iconv: every byte to its character, and every scalar
// value to its byte or to "none".
TEST(Cp1251, EveryByteAndEveryCodePointAgreeWithIconv) {
    for (int b = 0; b < 256; ++b) {
        std::string u32, u8;
        const std::string byte(1, static_cast<char>(b));
        char32_t expected = kNoChar;
        if (iconvAll("UTF-32LE", "CP1251", byte, u32) && u32.size() == 4)
            expected = static_cast<unsigned char>(u32[0]) |
                       static_cast<unsigned char>(u32[1]) << 8 |
                       static_cast<unsigned char>(u32[2]) << 16;
        EXPECT_EQ(cp1251ToUnicode(static_cast<unsigned char>(b)), expected) << "byte " << b;
        if (b == '\\')
            continue;
        const bool has = iconvAll("UTF-8", "CP1251", byte, u8);
        EXPECT_EQ(cp1251ToUtf8(byte), has ? u8 : "\xEF\xBF\xBD") << "byte " << b;
    }

    iconv_t cd = iconv_open("CP1251", "UTF-32LE");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int mismatches = 0;
    char32_t first = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::string in = utf32(cp);
        char out[8];
        char *ip = in.data(), *op = out;
        std::size_t il = 4, ol = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        // glibc drops the invisible tag characters (U+E0000..) without output: none too.
        const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1);
        const int expected = ok && op == out + 1 ? static_cast<unsigned char>(out[0]) : -1;
        if (unicodeToCp1251(cp) != expected && mismatches++ == 0)
            first = cp;
    }
    iconv_close(cd);
    EXPECT_EQ(mismatches, 0) << "first at U+" << std::hex << static_cast<std::uint32_t>(first);
}

// Test the case folding that symbol table and registry names are compared by against the
// C library's towlower: every Windows-1251 byte folds to the byte of its small letter.
TEST(Cp1251, CaseFoldingAgreesWithTheCLibrary) {
    const char *was = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = was != nullptr ? was : "C";
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = cp1251ToUnicode(static_cast<unsigned char>(b));
        int expected = b;
        if (cp != kNoChar)
            expected =
                unicodeToCp1251(static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp))));
        EXPECT_EQ(static_cast<unsigned char>(foldCase(static_cast<char>(b))), expected)
            << "byte " << b;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

// Test UTF-8 for every scalar value: encoded as iconv encodes it, and decoded back.
TEST(Utf8, EveryScalarValueAgreesWithIconv) {
    std::string all32, ours;
    std::vector<char32_t> values;
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        values.push_back(cp);
        all32 += utf32(cp);
        appendUtf8(ours, cp);
    }
    std::string theirs;
    ASSERT_TRUE(iconvAll("UTF-8", "UTF-32LE", all32, theirs));
    ASSERT_EQ(ours, theirs);
    EXPECT_TRUE(isValidUtf8(ours));
    std::size_t pos = 0, k = 0;
    for (; pos < ours.size() && k < values.size(); ++k) {
        char32_t cp = 0;
        const std::size_t n = decodeUtf8(ours, pos, cp);
        ASSERT_GT(n, 0u) << "at byte " << pos;
        ASSERT_EQ(cp, values[k]);
        pos += n;
    }
    EXPECT_EQ(pos, ours.size());
    EXPECT_EQ(k, values.size());
}

// Test that what iconv refuses as UTF-8 is refused here, never read past its end, and kept
// byte for byte (typed text) or as \U+DCxx marks (file text).
TEST(Utf8, MalformedSequencesRefusedAsIconvRefusesThem) {
    const std::string bad[] = {
        "\xC3",             // cut short
        "\xE2\x82",         // cut short
        "\xC0\xAF",         // overlong '/'
        "\xE0\x80\x80",     // overlong NUL
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\x80",             // a lone continuation byte
        "\xF8\x88\x80\x80\x80",
        "\xFF",
    };
    for (const std::string &s : bad) {
        std::string ignored;
        ASSERT_FALSE(iconvAll("UTF-32LE", "UTF-8", s, ignored)) << testing::PrintToString(s);
        char32_t cp;
        EXPECT_EQ(decodeUtf8(s, 0, cp), 0u) << testing::PrintToString(s);
        EXPECT_FALSE(isValidUtf8("ok " + s));
        EXPECT_EQ(utf8ToCp1251(s), s);
        const std::string marked = utf8ToCp1251(s, InvalidUtf8::Escape);
        EXPECT_EQ(marked.size(), s.size() * kEscapeLength);
        EXPECT_EQ(marked.find_first_of("\x80\xFF"), std::string::npos);
    }
    EXPECT_EQ(utf8ToCp1251("x\xC3", InvalidUtf8::Escape), "x\\U+DCC3");
}

// Test the escapes: one character, a UTF-16 pair, and what is no character (lone
// surrogates, bad digits, too few digits), read and shown both ways.
TEST(Escapes, ReadShownAndTypedBack) {
    struct Case {
        std::string db;
        std::size_t used;      // readEscapedChar at 0
        std::string asWritten; // cp1251ToUtf8, lone surrogates as written
        std::string replaced;  // cp1251ToUtf8, lone surrogates as U+FFFD
        std::string typedBack; // asWritten typed back: the database's own spelling
    };
    const Case cases[] = {
        {"\\U+0416", 7, "\xD0\x96", "\xD0\x96", "\xC6"},
        {"\\u+4e2d!", 7, "\xE4\xB8\xAD!", "\xE4\xB8\xAD!", "\\U+4E2D!"},
        {"\\U+041612", 7,
         "\xD0\x96"
         "12",
         "\xD0\x96"
         "12",
         "\xC6"
         "12"},
        {"\\U+D83D\\U+DE00", 14, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "\\U+D83D\\U+DE00"},
        {"\\U+D83Dx", 0, "\\U+D83Dx", "\xEF\xBF\xBDx", "\\U+D83Dx"},
        {"\\U+DC81", 0, "\\U+DC81", "\xEF\xBF\xBD", "\\U+DC81"},
        {"\\U+DE00\\U+D83D", 0, "\\U+DE00\\U+D83D", "\xEF\xBF\xBD\xEF\xBF\xBD", "\\U+DE00\\U+D83D"},
        {"\\U+000A", 7, "\\U+000A", "\\U+000A", "\\U+000A"}, // kept as text: a line end
        {"\\U+12G4", 0, "\\U+12G4", "\\U+12G4", "\\U+12G4"},
        {"\\U+12", 0, "\\U+12", "\\U+12", "\\U+12"},
        {"\\", 0, "\\", "\\", "\\"},
    };
    for (const Case &c : cases) {
        char32_t cp;
        EXPECT_EQ(readEscapedChar(c.db, 0, cp), c.used) << c.db;
        EXPECT_EQ(cp1251ToUtf8(c.db), c.asWritten) << c.db;
        EXPECT_EQ(cp1251ToUtf8(c.db, LoneSurrogate::Replace), c.replaced) << c.db;
        EXPECT_EQ(utf8ToCp1251(c.asWritten), c.typedBack) << c.db;
    }
}

// Test text of every kind through the database and back: Windows-1251 letters as their
// bytes (as iconv makes them), other characters as escapes, a character beyond U+FFFF as a
// pair, and the same UTF-8 again.
TEST(Codec, TextRoundTripsThroughTheDatabase) {
    const std::string russian = "Укажите первую точку: Ёё № «»";
    std::string expected;
    ASSERT_TRUE(iconvAll("CP1251", "UTF-8", russian, expected));
    EXPECT_EQ(utf8ToCp1251(russian), expected);
    EXPECT_EQ(utf8ToCp1251("a\xF0\x9F\x98\x80"), "a\\U+D83D\\U+DE00");

    const char32_t pool[] = {'a',    'Z',    ' ',    '%',    0x0416,  0x0451,   0x2116, 0x20AC,
                             0x00A0, 0x03A9, 0x4E2D, 0xFFFD, 0x1F600, 0x10FFFF, 0x1D11E};
    std::mt19937 random(2026);
    for (int round = 0; round < 2000; ++round) {
        std::string utf8;
        for (int k = static_cast<int>(random() % 10); k > 0; --k)
            appendUtf8(utf8, pool[random() % std::size(pool)]);
        const std::string db = utf8ToCp1251(utf8);
        ASSERT_EQ(cp1251ToUtf8(db), utf8) << testing::PrintToString(db);
    }
}

// Test numbers as the command line shows them: fixed while no more digits show than a double
// keeps, exponent form beyond (never a string of digits that a double does not hold).
TEST(DecimalText, FixedWhileTrueElseExponent) {
    struct Case {
        long double value;
        int decimals;
        const char *shown;
    };
    const Case cases[] = {
        {0, 4, "0.0000"},
        {-0.00001L, 4, "0.0000"},
        {1234.56789L, 4, "1234.5679"},
        {-99999999999.0L, 4, "-99999999999.0000"},
        {1e11L, 4, "1.0000E+11"},
        {123456789012.5L, 4, "1.234567890125E+11"},
        {1e300L, 4, "1.0000E+300"},
        {-2e300L * 1e300L, 4, "-2.0000E+600"},
        {999999999999999.0L, 0, "999999999999999"},
        {1e15L, 0, "1E+15"},
        {1e16L, 0, "1E+16"},
        {1e300L, 6, "1.000000E+300"},
        {std::numeric_limits<long double>::infinity(), 4, "inf"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(decimalText(c.value, c.decimals), c.shown) << c.shown;
}

} // namespace
