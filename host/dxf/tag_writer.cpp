// tag_writer.cpp - AutoCAD-style tag layout and round-trip number formatting.
#include "tag_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>

namespace dxf {

void appendDouble(std::string &out, double value) {
    assert(std::isfinite(value));
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec; // 64 bytes hold every shortest double
    std::string_view text(buf, end - buf);
    const std::size_t e = text.find('e');
    if (text.find('.') != std::string_view::npos) {
        out.append(text);
    } else if (e == std::string_view::npos) {
        out.append(text);
        out.append(".0");
    } else {
        out.append(text.substr(0, e));
        out.append(".0");
        out.append(text.substr(e));
    }
}

std::string formatDouble(double value) {
    std::string out;
    appendDouble(out, value);
    return out;
}

std::string formatHandle(std::uint64_t handle) {
    char buf[20];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, handle, 16);
    (void)ec;
    std::string out(buf, end);
    for (char &c : out)
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

namespace {

// Every group code line the format has, right-aligned in three columns, made once.
struct CodeLines {
    static constexpr int kFirst = -5, kLast = 1071;
    char text[kLast - kFirst + 1][6];
    unsigned char size[kLast - kFirst + 1];
    CodeLines() {
        for (int c = kFirst; c <= kLast; ++c) {
            char buf[16];
            auto [last, ec] = std::to_chars(buf, buf + sizeof buf, c);
            (void)ec;
            std::size_t n = 0;
            for (auto i = last - buf; i < 3; ++i)
                text[c - kFirst][n++] = ' ';
            for (const char *p = buf; p < last; ++p)
                text[c - kFirst][n++] = *p;
            size[c - kFirst] = static_cast<unsigned char>(n);
        }
    }
};

const CodeLines &codeLines() {
    static const CodeLines lines;
    return lines;
}

} // namespace

void TagWriter::code(int code) {
    if (code >= CodeLines::kFirst && code <= CodeLines::kLast) {
        const CodeLines &lines = codeLines();
        out_.append(lines.text[code - CodeLines::kFirst], lines.size[code - CodeLines::kFirst]);
        end();
        return;
    }
    char buf[16];
    auto [last, ec] = std::to_chars(buf, buf + sizeof buf, code);
    (void)ec;
    for (auto i = last - buf; i < 3; ++i)
        out_.push_back(' ');
    out_.append(buf, last);
    end();
}

void TagWriter::end() {
    if (crlf_)
        out_.push_back('\r');
    out_.push_back('\n');
}

void TagWriter::string(int c, std::string_view value) {
    code(c);
    out_.append(value);
    end();
}

void TagWriter::integer(int c, std::int64_t value) {
    code(c);
    char buf[24];
    auto [e, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    out_.append(buf, e);
    end();
}

void TagWriter::real(int c, double value) {
    code(c);
    appendDouble(out_, value);
    end();
}

void TagWriter::handle(int c, std::uint64_t value) {
    code(c);
    out_.append(formatHandle(value));
    end();
}

void TagWriter::point(int c, double x, double y, double z) {
    real(c, x);
    real(c + 10, y);
    real(c + 20, z);
}

void TagWriter::point2(int c, double x, double y) {
    real(c, x);
    real(c + 10, y);
}

} // namespace dxf
