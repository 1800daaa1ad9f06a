// Tests of binary DXF: both group code widths, every value type, and damaged files.
#include "binary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace dxf;

// Builds binary DXF by hand, the way the format lays it out.
class BinaryBuilder {
public:
    explicit BinaryBuilder(bool twoByteCodes) : wide_(twoByteCodes) {
        data_.assign(kBinaryDxfSentinel);
    }
    BinaryBuilder &code(int c) {
        if (wide_) {
            le(static_cast<std::uint16_t>(c), 2);
        } else if (c >= 255) {
            data_ += '\xFF';
            le(static_cast<std::uint16_t>(c), 2);
        } else {
            data_ += static_cast<char>(c);
        }
        return *this;
    }
    BinaryBuilder &str(int c, const std::string &s) {
        code(c);
        data_ += s;
        data_ += '\0';
        return *this;
    }
    BinaryBuilder &real(int c, double v) {
        code(c);
        std::uint64_t raw;
        std::memcpy(&raw, &v, 8);
        le(raw, 8);
        return *this;
    }
    BinaryBuilder &integer(int c, std::int64_t v, int bytes) {
        code(c);
        le(static_cast<std::uint64_t>(v), bytes);
        return *this;
    }
    BinaryBuilder &chunk(int c, const std::string &bytes) {
        code(c);
        data_ += static_cast<char>(bytes.size());
        data_ += bytes;
        return *this;
    }
    const std::string &data() const { return data_; }

private:
    void le(std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            data_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    bool wide_;
    std::string data_;
};

template <class F> std::string errorOf(F &&f) {
    try {
        f();
    } catch (const DxfError &e) {
        return e.what();
    }
    return "";
}

// Test that an R13+ binary file (two-byte codes) becomes the same tags as ASCII text.
TEST(BinaryDxf, TwoByteCodesEveryValueType) {
    BinaryBuilder b(/*twoByteCodes=*/true);
    b.str(0, "SECTION")
        .str(2, "ENTITIES")
        .str(0, "LINE")
        .str(5, "2F")
        .real(10, 1.5)
        .real(20, -0.25)
        .integer(62, -3, 2)
        .integer(90, 70000, 4)
        .integer(160, 1LL << 40, 8)
        .integer(290, 1, 1)
        .chunk(310, std::string("\x00\xAB\x7F", 3))
        .integer(1071, -2, 4)
        .str(1000, "\xC4\xE0")
        .str(0, "ENDSEC")
        .str(0, "EOF");
    std::vector<std::uint64_t> offsets;
    ASSERT_TRUE(isBinaryDxf(b.data()));
    const std::string text = transcodeBinary(b.data(), "b.dxf", offsets);
    EXPECT_EQ(text, "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n2F\n 10\n1.5\n 20\n-0.25\n"
                    " 62\n-3\n 90\n70000\n160\n1099511627776\n290\n1\n310\n00AB7F\n"
                    "1071\n-2\n1000\n\xC4\xE0\n  0\nENDSEC\n  0\nEOF\n");
    ASSERT_EQ(offsets.size(), 15u);
    EXPECT_EQ(offsets[0], 22u);
    EXPECT_EQ(offsets[1], 22u + 2 + 8); // after code 0 and "SECTION\0"
}

// Test that an R12 binary file (one-byte codes, 255 for larger ones) is read too.
TEST(BinaryDxf, OneByteCodes) {
    BinaryBuilder b(/*twoByteCodes=*/false);
    b.str(0, "SECTION")
        .str(2, "ENTITIES")
        .str(0, "POINT")
        .real(10, 2.0)
        .integer(70, 7, 2)
        .str(1001, "APP")
        .integer(1070, 12, 2)
        .str(0, "ENDSEC")
        .str(0, "EOF");
    std::vector<std::uint64_t> offsets;
    EXPECT_EQ(transcodeBinary(b.data(), "b.dxf", offsets),
              "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n2.0\n 70\n7\n1001\nAPP\n1070\n12\n"
              "  0\nENDSEC\n  0\nEOF\n");
}

// Test that damaged binary files are errors that name the byte offset.
TEST(BinaryDxf, DamagedFiles) {
    std::vector<std::uint64_t> offsets;
    BinaryBuilder b(true);
    b.str(0, "SECTION").str(2, "ENTITIES").real(10, 1.0);
    const std::string good = b.data();
    // A double cut short.
    EXPECT_EQ(errorOf([&] { transcodeBinary(good.substr(0, good.size() - 3), "b.dxf", offsets); }),
              "b.dxf: byte 43: the file ends inside group 10");
    // A string without its terminating zero.
    BinaryBuilder s(true);
    s.str(0, "SECTION");
    std::string cut = s.data();
    cut.pop_back();
    EXPECT_EQ(errorOf([&] { transcodeBinary(cut, "b.dxf", offsets); }),
              "b.dxf: byte 22: the string of group 0 has no terminating zero");
    // A string may hold line breaks: the text form spells them ^J and ^M.
    BinaryBuilder nl(true);
    nl.str(0, "SECTION").str(1, "two\nlines\r\nthree");
    EXPECT_EQ(transcodeBinary(nl.data(), "b.dxf", offsets),
              "  0\nSECTION\n  1\ntwo^Jlines^M^Jthree\n");
    // A non-finite double.
    BinaryBuilder inf(true);
    inf.str(0, "SECTION").real(10, 1.0 / 0.0);
    EXPECT_EQ(errorOf([&] { transcodeBinary(inf.data(), "b.dxf", offsets); }),
              "b.dxf: byte 34: value of group 10 is not a finite number");
    // A group code out of range.
    BinaryBuilder big(true);
    big.str(0, "SECTION").code(5000);
    EXPECT_EQ(errorOf([&] { transcodeBinary(big.data(), "b.dxf", offsets); }),
              "b.dxf: byte 32: group code 5000 is out of range");
    // A binary chunk longer than what follows.
    BinaryBuilder chunk(true);
    chunk.str(0, "SECTION").code(310);
    std::string c = chunk.data() + std::string("\x10\x01\x02", 3);
    EXPECT_EQ(errorOf([&] { transcodeBinary(c, "b.dxf", offsets); }),
              "b.dxf: byte 32: the file ends inside group 310");
}

// Test that the sentinel decides what is binary.
TEST(BinaryDxf, Sentinel) {
    EXPECT_FALSE(isBinaryDxf("  0\nSECTION\n"));
    EXPECT_FALSE(isBinaryDxf(kBinaryDxfSentinel.substr(0, 21)));
    EXPECT_TRUE(isBinaryDxf(kBinaryDxfSentinel));
}

} // namespace
