// tag_writer.h - writes DXF tags as the host writes them: the group code right-aligned
// in three columns on one line, the value on the next. Doubles are written in the shortest
// form that reads back to the same value, always with a decimal point ("0.0", "12.5").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dxf {

// The shortest text that reads back as `value`, with a decimal point ("1.0", "1.5e+20").
// `value` must be finite.
std::string formatDouble(double value);
// Appends formatDouble(value) to `out`, without building a temporary string.
void appendDouble(std::string &out, double value);
// Uppercase hexadecimal, no leading zeros ("0" for zero).
std::string formatHandle(std::uint64_t handle);

// Appends tags to a byte buffer; the caller drains the buffer (to a file) when it grows.
class TagWriter {
public:
    explicit TagWriter(std::string &out, bool crlf = false) : out_(out), crlf_(crlf) {}

    void string(int code, std::string_view value);
    void integer(int code, std::int64_t value);
    void real(int code, double value);
    void handle(int code, std::uint64_t value);
    // The x, y (and z) of a point group: code, code+10 (, code+20).
    void point(int code, double x, double y, double z);
    void point2(int code, double x, double y);
    // Bytes already in file form (an untouched object's source), copied as they are.
    void raw(std::string_view bytes) { out_.append(bytes); }

    std::string &buffer() { return out_; }
    bool crlf() const { return crlf_; }

private:
    // The code line at p, with its line end (room for 24 bytes); returns the end.
    char *putCode(char *p, int code) const;
    // The line end at p; returns the end.
    char *putEnd(char *p) const;

    std::string &out_;
    bool crlf_;
};

} // namespace dxf
