// Tests of the tag layer: reading group code / value pairs, strict numbers, the writer.
#include "tag_writer.h"
#include "tags.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace dxf;

std::vector<Tag> readAll(std::string_view text, const Locator &where) {
    TagReader reader(text, where);
    std::vector<Tag> tags;
    Tag tag;
    while (reader.next(tag))
        tags.push_back(tag);
    return tags;
}

// The message of the DxfError `f` throws, or "" when it throws none.
template <class F> std::string errorOf(F &&f) {
    try {
        f();
    } catch (const DxfError &e) {
        return e.what();
    }
    return "";
}

// Test that codes, values, lines and byte offsets come out as written, with CRLF and LF
// mixed, blanks around the code and a last line without a line end.
TEST(TagReader, ReadsCodesValuesLinesAndOffsets) {
    const std::string text = "  0\r\nSECTION\r\n2\nHEADER\n\t 10 \n1.5\n999\nsome comment  \n"
                             "  0\nEOF";
    Locator where("t.dxf");
    const auto tags = readAll(text, where);
    ASSERT_EQ(tags.size(), 5u);
    EXPECT_EQ(tags[0].code, 0);
    EXPECT_EQ(tags[0].value, "SECTION");
    EXPECT_EQ(tags[0].line, 1u);
    EXPECT_EQ(tags[0].offset, 0u);
    EXPECT_EQ(tags[1].code, 2);
    EXPECT_EQ(tags[1].value, "HEADER");
    EXPECT_EQ(tags[1].line, 3u);
    EXPECT_EQ(tags[1].offset, text.find("2\nHEADER"));
    EXPECT_EQ(tags[2].code, 10);
    EXPECT_EQ(tags[2].value, "1.5");
    EXPECT_EQ(tags[3].code, 999);
    EXPECT_EQ(tags[3].value, "some comment  "); // trailing blanks of text are kept
    EXPECT_EQ(tags[4].value, "EOF");
    EXPECT_EQ(tags[4].line, 9u);
}

// The tags of `text` as the format defines them, the slow and obvious way: lines split at
// LF, one CR before it dropped, the code line's blanks trimmed, then an optional minus and
// one to five digits in [-5, 1071]. "error at line N" where the text breaks those rules.
std::string referenceTags(const std::string &text) {
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); i += 2) {
        std::string_view code = lines[i];
        while (!code.empty() && (code.front() == ' ' || code.front() == '\t'))
            code.remove_prefix(1);
        while (!code.empty() && (code.back() == ' ' || code.back() == '\t'))
            code.remove_suffix(1);
        const std::string_view digits = code.starts_with('-') ? code.substr(1) : code;
        const bool number = !digits.empty() && digits.size() <= 5 &&
                            digits.find_first_not_of("0123456789") == std::string_view::npos;
        const int value = number ? std::stoi(std::string(code)) : 0;
        if (!number || value < kMinGroupCode || value > kMaxGroupCode || i + 1 >= lines.size())
            return out + "error at line " + std::to_string(i + 1);
        out += std::to_string(i + 1) + ":" + std::to_string(value) + "=" +
               std::string(lines[i + 1]) + "\n";
    }
    return out;
}

// The same from the reader, offsets checked against the text.
std::string readerTags(const std::string &text) {
    Locator where("t.dxf");
    TagReader reader(text, where);
    std::string out;
    Tag tag;
    try {
        while (reader.next(tag)) {
            const bool first =
                tag.offset == 0 || (tag.offset == 3 && text.starts_with("\xEF\xBB\xBF"));
            if (!first && text[tag.offset - 1] != '\n')
                return out + "offset " + std::to_string(tag.offset) + " is not a line start";
            out += std::to_string(tag.line) + ":" + std::to_string(tag.code) + "=" +
                   std::string(tag.value) + "\n";
        }
    } catch (const DxfError &e) {
        const std::string message = e.what();
        const std::size_t colon = message.find(':');
        return out + "error at line " +
               message.substr(colon + 1, message.find(':', colon + 1) - colon - 1);
    }
    // A last value line without its line end still counts; a last empty line does not
    // exist for the reader (the file ends with the line end before it).
    return out;
}

// Test the reader against the reference on many texts made of awkward pieces: blanks and
// tabs around codes, CR before LF or alone, codes out of range or of six digits, minus
// signs, empty and long values, a missing last line end, a missing value line.
TEST(TagReader, AgreesWithTheFormatOnOddLines) {
    const std::vector<std::string> codes = {"0",    "  0",   " 10",    "1071", "1072", "-5",
                                            "-6",   "99999", "123456", "\t8",  "8 ",   "",
                                            "1\r0", "x",     "00062",  " -1 ", "10\r"};
    const std::vector<std::string> values = {
        "", "LINE", "1.5", " blanks ", "a\rb", std::string(70, 'v'), "\r"};
    const std::vector<std::string> ends = {"\n", "\r\n", "\n", "\n"};
    std::mt19937 random(7);
    auto pick = [&](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 5 == 0 ? "\xEF\xBB\xBF" : "";
        const int tags = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < tags; ++i)
            text += pick(codes) + pick(ends) + pick(values) + pick(ends);
        if (round % 3 == 0)
            text.pop_back(); // no line end after the last value (or half of a CRLF)
        if (round % 7 == 0)
            text += "0\n"; // a code without its value line
        ASSERT_EQ(readerTags(text), referenceTags(text)) << text;
    }
}

// Test that the reader reports a final line without a line end and the CRLF convention.
TEST(TagReader, NoticesLineEndConventions) {
    Locator where;
    {
        TagReader r("0\r\nEOF", where);
        Tag t;
        ASSERT_TRUE(r.next(t));
        EXPECT_TRUE(r.lastLineUnterminated());
        EXPECT_TRUE(r.usesCrLf());
        EXPECT_FALSE(r.next(t));
    }
    {
        TagReader r("0\nEOF\n", where);
        Tag t;
        ASSERT_TRUE(r.next(t));
        EXPECT_FALSE(r.lastLineUnterminated());
        EXPECT_FALSE(r.usesCrLf());
    }
}

// Test that a byte order mark before the first tag is skipped.
TEST(TagReader, SkipsByteOrderMark) {
    Locator where;
    const auto tags = readAll("\xEF\xBB\xBF  0\nEOF\n", where);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].code, 0);
    EXPECT_EQ(tags[0].value, "EOF");
}

// Test that bad group codes and a code without its value are errors naming file and line.
TEST(TagReader, RefusesBadGroupCodes) {
    Locator where("plan.dxf");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\n1O\nx\n", where); }),
              "plan.dxf:3: group code \"1O\" is not a number");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\n\nx\n", where); }),
              "plan.dxf:3: group code \"\" is not a number");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\n10 5\nx\n", where); }),
              "plan.dxf:3: group code \"10 5\" is not a number");
    EXPECT_EQ(errorOf([&] { readAll("1072\nx\n", where); }),
              "plan.dxf:1: group code 1072 is out of range");
    EXPECT_EQ(errorOf([&] { readAll("-6\nx\n", where); }),
              "plan.dxf:1: group code -6 is out of range");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\n  2\n", where); }),
              "plan.dxf:3: group code 2 has no value (the file ends here)");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\n  2", where); }),
              "plan.dxf:3: group code 2 has no value (the file ends here)");
    EXPECT_EQ(errorOf([&] { readAll("0\nSECTION\nab\x01\n", where); }),
              "plan.dxf:3: group code \"ab\\x01\" is not a number");
    EXPECT_EQ(errorOf([&] { readAll("-5\nx\n1071\ny\n", where); }), "");
}

Tag tagOf(int code, std::string_view value) {
    Tag t;
    t.code = code;
    t.value = value;
    t.line = 7;
    return t;
}

// Test that doubles are parsed exactly and refused when not finite or not wholly a number.
TEST(Numbers, DoublesAreStrict) {
    Locator where("n.dxf");
    EXPECT_EQ(parseDouble(tagOf(10, "1.5"), where), 1.5);
    EXPECT_EQ(parseDouble(tagOf(10, "  -2.25  "), where), -2.25);
    EXPECT_EQ(parseDouble(tagOf(10, "+3"), where), 3.0);
    EXPECT_EQ(parseDouble(tagOf(10, "1e3"), where), 1000.0);
    EXPECT_EQ(parseDouble(tagOf(10, ".5"), where), 0.5);
    EXPECT_EQ(parseDouble(tagOf(10, "1E-400"), where), 0.0); // underflow is zero
    EXPECT_EQ(parseDouble(tagOf(40, "0.1"), where), 0.1);
    for (const char *bad :
         {"nan", "inf", "-inf", "1e999", "1,5", "", "  ", "1.5x", "x", "++1", "0x10", "1 2"}) {
        EXPECT_EQ(errorOf([&] { parseDouble(tagOf(10, bad), where); }),
                  std::string("n.dxf:8: value \"") + bad + "\" of group 10 is not a finite number")
            << bad;
    }
}

// Test that plain decimals ("-123.4567", the form nearly every number in a file takes) read
// to the very double the standard library's parser gives, across lengths where the quick
// way is exact and past them (more digits, values beyond 2^53, many places), and forms
// around it ("5.", ".5", "-0.0", "007").
TEST(Numbers, DecimalsMatchTheStandardParser) {
    std::mt19937_64 random(20261207);
    auto expectSame = [](const std::string &text) {
        double want = 0, got = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), want);
        ASSERT_TRUE(ec == std::errc() && end == text.data() + text.size()) << text;
        ASSERT_TRUE(toDouble(text, got)) << text;
        EXPECT_EQ(std::signbit(got), std::signbit(want)) << text;
        EXPECT_EQ(got, want) << text;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int whole = 1 + static_cast<int>(random() % 12);
        const int places = static_cast<int>(random() % 24);
        for (int d = 0; d < whole; ++d)
            text += static_cast<char>('0' + random() % 10);
        if (places > 0 || random() % 2 == 0)
            text += '.';
        for (int d = 0; d < places; ++d)
            text += static_cast<char>('0' + random() % 10);
        expectSame(text);
    }
    for (const char *text :
         {"5.", ".5", "-0.0", "0.0", "007", "9007199254740993.0", "9007199254740992",
          "0.1000000000000000055511151231257827", "123456789012345678901234567890", "-.25"})
        expectSame(text);
    double v = 0;
    EXPECT_FALSE(toDouble(".", v));
    EXPECT_FALSE(toDouble("-", v));
    EXPECT_FALSE(toDouble("1.2.3", v));
    EXPECT_FALSE(toDouble("--1", v));
}

// Test that parsing does not depend on the locale (a Russian locale writes a comma).
TEST(Numbers, IgnoreTheLocale) {
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    Locator where;
    double value = 0;
    EXPECT_TRUE(toDouble("2.5", value));
    EXPECT_EQ(value, 2.5);
    EXPECT_FALSE(toDouble("2,5", value));
    EXPECT_EQ(formatDouble(2.5), "2.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// Test that integers must fit the type of their group.
TEST(Numbers, IntegersFitTheirGroup) {
    Locator where("n.dxf");
    EXPECT_EQ(parseInteger(tagOf(70, "     1"), where), 1);
    EXPECT_EQ(parseInteger(tagOf(70, "-32768"), where), -32768);
    EXPECT_EQ(parseInteger(tagOf(90, "2147483647"), where), 2147483647);
    EXPECT_EQ(parseInteger(tagOf(160, "-9000000000"), where), -9000000000LL);
    EXPECT_EQ(errorOf([&] { parseInteger(tagOf(70, "32768"), where); }),
              "n.dxf:8: value \"32768\" does not fit group 70 (a 16-bit integer)");
    EXPECT_EQ(errorOf([&] { parseInteger(tagOf(90, "2147483648"), where); }),
              "n.dxf:8: value \"2147483648\" does not fit group 90 (a 32-bit integer)");
    EXPECT_EQ(errorOf([&] { parseInteger(tagOf(62, "1.0"), where); }),
              "n.dxf:8: value \"1.0\" of group 62 is not written as a whole number");
    EXPECT_EQ(errorOf([&] { parseInteger(tagOf(10, "1"), where); }),
              "n.dxf:7: group 10 does not hold an integer");
    // Where repairs are allowed, a whole real is its integer; another real is not.
    Locator mending("n.dxf");
    mending.allowRepairs(true);
    EXPECT_EQ(parseInteger(tagOf(71, "-2.000"), mending), -2);
    EXPECT_EQ(mending.repairs(), std::vector<std::string>{"n.dxf:8: value \"-2.000\" of group 71 "
                                                          "is not written as a whole number: "
                                                          "taken as -2"});
    EXPECT_NE(errorOf([&] { parseInteger(tagOf(71, "1.5"), mending); }), "");
    EXPECT_NE(errorOf([&] { parseInteger(tagOf(70, "40000.0"), mending); }), "");
}

// Test that handles are 1 to 16 hexadecimal digits.
TEST(Numbers, Handles) {
    Locator where("n.dxf");
    EXPECT_EQ(parseHandle(tagOf(5, "1A"), where), 0x1Au);
    EXPECT_EQ(parseHandle(tagOf(330, "ffffffffffffffff"), where), 0xFFFFFFFFFFFFFFFFu);
    EXPECT_EQ(parseHandle(tagOf(330, "0"), where), 0u);
    for (const char *bad : {"", "1G", "-1", "10000000000000000", "0x1"})
        EXPECT_EQ(errorOf([&] { parseHandle(tagOf(5, bad), where); }),
                  std::string("n.dxf:8: value \"") + bad + "\" of group 5 is not a handle");
    EXPECT_EQ(formatHandle(0x2AB), "2AB");
    EXPECT_EQ(formatHandle(0), "0");
}

// Test that an integer or handle parsed ahead (into Tag::number, as the splitting thread does)
// gives what parsing the text gives: the same value, or the same error.
TEST(Numbers, ParsedAheadAgreesWithTheText) {
    Locator where("n.dxf");
    auto outcome = [&](const Tag &t) {
        std::string value;
        const std::string error = errorOf([&] {
            value = valueType(t.code) == ValueType::Handle ? std::to_string(parseHandle(t, where))
                                                           : std::to_string(parseInteger(t, where));
        });
        return error.empty() ? value : error;
    };
    const struct {
        int code;
        const char *text;
    } cases[] = {
        {70, "1"},
        {70, "-32768"},
        {70, "32768"},
        {70, "-0"},
        {62, " 7"},
        {62, "1.0"},
        {90, "2147483647"},
        {90, "2147483648"},
        {160, "-999999999999999"},
        {160, "9999999999999999"},
        {290, "1"},
        {5, "1A"},
        {5, "fffffffffffff"},
        {5, "10000000000000"},
        {330, "0"},
        {330, "1G"},
        {5, " 2B"},
        {5, ""},
    };
    for (const auto &c : cases) {
        Tag plain = tagOf(c.code, c.text);
        Tag ahead = plain;
        const ValueType type = valueType(c.code);
        const bool split = type == ValueType::Handle ? plainHandle(ahead.value, ahead.number)
                                                     : plainInteger(ahead.value, ahead.number);
        EXPECT_EQ(std::isnan(ahead.number), !split) << c.text;
        EXPECT_EQ(outcome(ahead), outcome(plain)) << c.code << " " << c.text;
    }
}

// Test that value types follow the format's code ranges at their edges.
TEST(Numbers, ValueTypesByCodeRange) {
    struct Case {
        int code;
        ValueType type;
    };
    const Case cases[] = {
        {0, ValueType::String},    {5, ValueType::Handle},    {9, ValueType::String},
        {10, ValueType::Double},   {59, ValueType::Double},   {60, ValueType::Int16},
        {79, ValueType::Int16},    {90, ValueType::Int32},    {99, ValueType::Int32},
        {100, ValueType::String},  {102, ValueType::String},  {105, ValueType::Handle},
        {110, ValueType::Double},  {149, ValueType::Double},  {160, ValueType::Int64},
        {170, ValueType::Int16},   {210, ValueType::Double},  {239, ValueType::Double},
        {280, ValueType::Int16},   {290, ValueType::Bool},    {300, ValueType::String},
        {310, ValueType::Binary},  {320, ValueType::Handle},  {330, ValueType::Handle},
        {369, ValueType::Handle},  {370, ValueType::Int16},   {390, ValueType::Handle},
        {410, ValueType::String},  {420, ValueType::Int32},   {1000, ValueType::String},
        {1004, ValueType::Binary}, {1005, ValueType::Handle}, {1010, ValueType::Double},
        {1070, ValueType::Int16},  {1071, ValueType::Int32},  {999, ValueType::String},
    };
    for (const Case &c : cases)
        EXPECT_EQ(valueType(c.code), c.type) << "group " << c.code;
}

// Test that doubles are written shortest, with a decimal point, and read back exactly.
TEST(TagWriter, DoublesRoundTrip) {
    EXPECT_EQ(formatDouble(0.0), "0.0");
    EXPECT_EQ(formatDouble(12.5), "12.5");
    EXPECT_EQ(formatDouble(-3.0), "-3.0");
    EXPECT_EQ(formatDouble(0.1), "0.1");
    EXPECT_EQ(formatDouble(1e20), "1.0e+20");
    EXPECT_EQ(formatDouble(1.5e-7), "1.5e-07");
    std::mt19937_64 random(20240531);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    for (int i = 0; i < 20000; ++i) {
        double v = wide(random);
        if (i % 3 == 0)
            v = std::ldexp(v, static_cast<int>(random() % 200) - 100);
        const std::string text = formatDouble(v);
        double back = 0;
        ASSERT_TRUE(toDouble(text, back)) << text;
        ASSERT_EQ(back, v) << text;
        ASSERT_NE(text.find('.'), std::string::npos) << text;
    }
}

// Test the layout of written tags and that the reader reads them back unchanged.
TEST(TagWriter, LayoutAndReadBack) {
    std::string out;
    TagWriter w(out);
    w.string(0, "LINE");
    w.handle(5, 0x2F);
    w.integer(62, 1);
    w.point(10, 1.0, 2.5, 0.0);
    w.integer(1071, -7);
    w.integer(-1, 3);
    EXPECT_EQ(out, "  0\nLINE\n  5\n2F\n 62\n1\n 10\n1.0\n 20\n2.5\n 30\n0.0\n1071\n-7\n -1\n3\n");
    std::string crlf;
    TagWriter wc(crlf, /*crlf=*/true);
    wc.real(40, 2.0);
    EXPECT_EQ(crlf, " 40\r\n2.0\r\n");
    Locator where;
    const auto tags = readAll(crlf, where);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].code, 40);
    EXPECT_EQ(tags[0].value, "2.0");
}

} // namespace
