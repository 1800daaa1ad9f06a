// tag_writer.cpp - the host's tag layout and round-trip number formatting.
#include "tag_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dxf {

namespace {

// Writes the shortest text of `value` at p (room for 40 bytes), with a decimal point; returns
// the end.
char *putDouble(char *p, double value) {
    assert(std::isfinite(value));
    if (value == 0 && !std::signbit(value)) {
        std::memcpy(p, "0.0", 3); // the commonest number of all (elevations, widths, z)
        return p + 3;
    }
    char buf[40];
    auto [last, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec; // 40 bytes hold every shortest double
    const std::string_view text(buf, static_cast<std::size_t>(last - buf));
    const std::size_t e = text.find('e');
    const std::size_t mantissa = e == std::string_view::npos ? text.size() : e;
    std::memcpy(p, buf, mantissa);
    p += mantissa;
    if (text.substr(0, mantissa).find('.') == std::string_view::npos) {
        *p++ = '.';
        *p++ = '0';
    }
    std::memcpy(p, buf + mantissa, text.size() - mantissa);
    return p + (text.size() - mantissa);
}

// Uppercase hexadecimal at p (room for 16 bytes); returns the end.
char *putHandle(char *p, std::uint64_t handle) {
    auto [last, ec] = std::to_chars(p, p + 16, handle, 16);
    (void)ec;
    for (char *c = p; c < last; ++c)
        if (*c >= 'a' && *c <= 'f')
            *c = static_cast<char>(*c - 'a' + 'A');
    return last;
}

// Every group code line the format has, right-aligned in three columns, with its line end
// (LF, and CR LF), made as the program is compiled.
struct CodeLines {
    static constexpr int kFirst = -5, kLast = 1071;
    char text[2][kLast - kFirst + 1][8] = {};
    unsigned char size[2][kLast - kFirst + 1] = {};
    constexpr CodeLines() {
        for (int crlf = 0; crlf < 2; ++crlf)
            for (int c = kFirst; c <= kLast; ++c) {
                char digits[8] = {};
                int count = 0;
                for (int v = c < 0 ? -c : c; count == 0 || v != 0; v /= 10)
                    digits[count++] = static_cast<char>('0' + v % 10);
                if (c < 0)
                    digits[count++] = '-';
                char *line = text[crlf][c - kFirst];
                int n = 0;
                for (int i = count; i < 3; ++i)
                    line[n++] = ' ';
                while (count > 0)
                    line[n++] = digits[--count];
                if (crlf != 0)
                    line[n++] = '\r';
                line[n++] = '\n';
                size[crlf][c - kFirst] = static_cast<unsigned char>(n);
            }
    }
};

constexpr CodeLines kCodeLines;

} // namespace

void appendDouble(std::string &out, double value) {
    char buf[48];
    out.append(buf, static_cast<std::size_t>(putDouble(buf, value) - buf));
}

std::string formatDouble(double value) {
    std::string out;
    appendDouble(out, value);
    return out;
}

std::string formatHandle(std::uint64_t handle) {
    char buf[16];
    return std::string(buf, putHandle(buf, handle));
}

char *TagWriter::putCode(char *p, int code) const {
    if (code >= CodeLines::kFirst && code <= CodeLines::kLast) {
        const int i = code - CodeLines::kFirst;
        std::memcpy(p, kCodeLines.text[crlf_][i], 8);
        return p + kCodeLines.size[crlf_][i];
    }
    char buf[16];
    auto [last, ec] = std::to_chars(buf, buf + sizeof buf, code);
    (void)ec;
    for (auto i = last - buf; i < 3; ++i)
        *p++ = ' ';
    std::memcpy(p, buf, static_cast<std::size_t>(last - buf));
    return putEnd(p + (last - buf));
}

char *TagWriter::putEnd(char *p) const {
    if (crlf_)
        *p++ = '\r';
    *p++ = '\n';
    return p;
}

void TagWriter::string(int c, std::string_view value) {
    char buf[24];
    out_.append(buf, static_cast<std::size_t>(putCode(buf, c) - buf));
    out_.append(value);
    out_.append(crlf_ ? "\r\n" : "\n", crlf_ ? 2 : 1);
}

void TagWriter::integer(int c, std::int64_t value) {
    char buf[64];
    char *p = putCode(buf, c);
    auto [e, ec] = std::to_chars(p, buf + sizeof buf, value);
    (void)ec;
    out_.append(buf, static_cast<std::size_t>(putEnd(e) - buf));
}

void TagWriter::real(int c, double value) {
    char buf[80];
    out_.append(buf, static_cast<std::size_t>(putEnd(putDouble(putCode(buf, c), value)) - buf));
}

void TagWriter::handle(int c, std::uint64_t value) {
    char buf[48];
    out_.append(buf, static_cast<std::size_t>(putEnd(putHandle(putCode(buf, c), value)) - buf));
}

void TagWriter::point(int c, double x, double y, double z) {
    char buf[240];
    char *p = putEnd(putDouble(putCode(buf, c), x));
    p = putEnd(putDouble(putCode(p, c + 10), y));
    p = putEnd(putDouble(putCode(p, c + 20), z));
    out_.append(buf, static_cast<std::size_t>(p - buf));
}

void TagWriter::point2(int c, double x, double y) {
    char buf[160];
    char *p = putEnd(putDouble(putCode(buf, c), x));
    p = putEnd(putDouble(putCode(p, c + 10), y));
    out_.append(buf, static_cast<std::size_t>(p - buf));
}

} // namespace dxf
