// Conversions between Windows-1251 and UTF-8, checked against the C library's iconv.
#include "command_line.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

namespace {

// The C library's idea of one Windows-1251 byte in UTF-8 ("" when it has none).
std::string iconvByte(unsigned char b) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "?no-iconv";
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char *ip = in, *op = out;
    size_t il = 1, ol = sizeof out;
    size_t rc = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return "";
    return std::string(out, static_cast<size_t>(op - out));
}

// Test that every byte converts as the C library converts it, and back again.
TEST(Codepage, EveryByteMatchesIconvAndRoundTrips) {
    int compared = 0;
    for (int b = 1; b < 256; ++b) {
        std::string expected = iconvByte(static_cast<unsigned char>(b));
        ASSERT_NE(expected, "?no-iconv");
        std::string one(1, static_cast<char>(b));
        std::string got = host::cp1251ToUtf8(one);
        if (expected.empty()) { // 0x98 has no character: shown as the replacement mark
            EXPECT_EQ(got, "\xEF\xBF\xBD") << "byte " << b;
            continue;
        }
        EXPECT_EQ(got, expected) << "byte " << b;
        EXPECT_EQ(host::utf8ToCp1251(got), one) << "byte " << b;
        ++compared;
    }
    EXPECT_EQ(compared, 254);
}

// Test that Russian text converts both ways.
TEST(Codepage, RussianText) {
    const std::string utf8 = "Укажите первую точку: Ёё №";
    const std::string cp = "\xD3\xEA\xE0\xE6\xE8\xF2\xE5 \xEF\xE5\xF0\xE2\xF3\xFE "
                           "\xF2\xEE\xF7\xEA\xF3: \xA8\xB8 \xB9";
    EXPECT_EQ(host::utf8ToCp1251(utf8), cp);
    EXPECT_EQ(host::cp1251ToUtf8(cp), utf8);
}

// Test that a character the code page lacks travels as \U+XXXX and comes back.
TEST(Codepage, MissingCharactersTravelEscaped) {
    EXPECT_EQ(host::utf8ToCp1251("a\xE4\xB8\xAD"
                                 "b"),
              "a\\U+4E2Db"); // U+4E2D
    EXPECT_EQ(host::cp1251ToUtf8("a\\U+4E2Db"), "a\xE4\xB8\xAD"
                                                "b");
    EXPECT_EQ(host::cp1251ToUtf8("\\U+4E2"), "\\U+4E2");     // too short: as typed
    EXPECT_EQ(host::cp1251ToUtf8("\\U+D800x"), "\\U+D800x"); // a surrogate is no character
    EXPECT_EQ(host::utf8ToCp1251("\xF0\x9F\x98\x80"), "?");  // beyond four hex digits
}

// Test that bytes which are not UTF-8 are kept, never read past the end.
TEST(Codepage, InvalidUtf8KeptByteForByte) {
    EXPECT_FALSE(host::isValidUtf8("\xC3"));
    EXPECT_FALSE(host::isValidUtf8("\xE0\x80\x80")); // overlong
    EXPECT_FALSE(host::isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_TRUE(host::isValidUtf8("plain \xD0\xAF"));
    EXPECT_EQ(host::utf8ToCp1251("x\xC3"), "x\xC3");
    EXPECT_EQ(host::utf8ToCp1251("\xFF\xFE"), "\xFF\xFE");
}

} // namespace
