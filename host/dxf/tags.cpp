// tags.cpp - the ASCII tag reader and strict number parsing.
#include "tags.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace dxf {

ValueType valueType(int code) {
    if (code == 5 || code == 105 || code == 1005 || code == 480 || code == 481)
        return ValueType::Handle;
    if (code < 10)
        return ValueType::String;
    if (code < 60)
        return ValueType::Double;
    if (code < 90)
        return ValueType::Int16;
    if (code < 100)
        return ValueType::Int32;
    if (code < 110)
        return ValueType::String; // 100 subclass, 102 control, 105 handle (above)
    if (code < 150)
        return ValueType::Double;
    if (code >= 160 && code < 170)
        return ValueType::Int64;
    if (code >= 170 && code < 180)
        return ValueType::Int16;
    if (code >= 210 && code < 240)
        return ValueType::Double;
    if (code >= 270 && code < 290)
        return ValueType::Int16;
    if (code >= 290 && code < 300)
        return ValueType::Bool;
    if (code >= 300 && code < 310)
        return ValueType::String;
    if (code >= 310 && code < 320)
        return ValueType::Binary;
    if ((code >= 320 && code < 370) || (code >= 390 && code < 400))
        return ValueType::Handle;
    if (code >= 370 && code < 390)
        return ValueType::Int16;
    if (code >= 400 && code < 410)
        return ValueType::Int16;
    if (code >= 420 && code < 430)
        return ValueType::Int32;
    if (code >= 430 && code < 440)
        return ValueType::String; // a true colour's name
    if (code >= 440 && code < 460)
        return ValueType::Int32;
    if (code >= 460 && code < 470)
        return ValueType::Double;
    if (code == 1004)
        return ValueType::Binary;
    if (code >= 1010 && code < 1060)
        return ValueType::Double;
    if (code >= 1060 && code < 1071)
        return ValueType::Int16;
    if (code == 1071)
        return ValueType::Int32;
    return ValueType::String;
}

std::string_view nameText(std::string_view text) {
    text = trimBlanks(text.substr(0, text.find('\0')));
    // A CR at the end would be read as half of a CRLF line end once the name is written on
    // a line of its own: the name would change with the next read.
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string_view trimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    return text.substr(b, e - b);
}

namespace {

// A value as it may appear in a message: quoted, at most 40 bytes, control bytes escaped.
std::string shown(std::string_view text) {
    std::string out = "\"";
    std::size_t n = 0;
    for (unsigned char c : text) {
        if (++n > 40) {
            out += "...";
            break;
        }
        if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char *typeWords(ValueType type) {
    switch (type) {
    case ValueType::Int16:
        return "a 16-bit integer";
    case ValueType::Int32:
        return "a 32-bit integer";
    case ValueType::Int64:
        return "a 64-bit integer";
    case ValueType::Bool:
        return "a 0/1 flag";
    case ValueType::Double:
        return "a number";
    case ValueType::Handle:
        return "a handle";
    case ValueType::String:
    case ValueType::Binary:
        return "an integer";
    }
    return "an integer";
}

} // namespace

TagReader::TagReader(std::string_view text, const Locator &where, std::uint32_t firstLine,
                     std::size_t base)
    : text_(text), where_(where), base_(base), line_(firstLine - 1) {
    // A UTF-8 byte order mark some editors put before the first tag.
    if (base == 0 && text_.size() >= 3 && text_.substr(0, 3) == "\xEF\xBB\xBF")
        pos_ = 3;
}

std::string_view TagReader::nextLine(bool &terminated) {
    const char *begin = text_.data() + pos_;
    std::size_t left = text_.size() - pos_;
    const void *nl = std::memchr(begin, '\n', left);
    ++line_;
    std::size_t len;
    if (nl == nullptr) {
        len = left;
        pos_ = text_.size();
        terminated = false;
    } else {
        len = static_cast<const char *>(nl) - begin;
        pos_ += len + 1;
        terminated = true;
    }
    if (len > 0 && begin[len - 1] == '\r') {
        --len;
        if (!sawLineEnd_)
            crlf_ = true;
    }
    if (terminated)
        sawLineEnd_ = true;
    return {begin, len};
}

namespace {

// A group code line (blanks around it allowed): at most five digits after an optional
// minus, which is every code the format has. False for anything else.
bool parseCode(std::string_view text, int &code) {
    const char *p = text.data(), *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    if (p == end || end - p > 5)
        return false;
    int value = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - '0';
        if (digit > 9)
            return false;
        value = value * 10 + static_cast<int>(digit);
    }
    code = negative ? -value : value;
    return true;
}

} // namespace

bool TagReader::next(Tag &tag) {
    if (pos_ >= text_.size())
        return false;
    if (sawLineEnd_ && nextPlain(tag))
        return true;
    const std::size_t at = pos_;
    bool terminated = false;
    const std::string_view codeLineText = nextLine(terminated);
    const std::uint32_t codeLine = line_;
    int code = 0;
    if (!parseCode(codeLineText, code))
        where_.fail(codeLine, "group code " + shown(trimBlanks(codeLineText)) + " is not a number");
    if (code < kMinGroupCode || code > kMaxGroupCode)
        where_.fail(codeLine, "group code " + std::to_string(code) + " is out of range");
    if (!terminated || pos_ >= text_.size())
        where_.fail(codeLine,
                    "group code " + std::to_string(code) + " has no value (the file ends here)");
    tag.code = code;
    tag.line = codeLine;
    tag.offset = base_ + at;
    tag.number = std::numeric_limits<double>::quiet_NaN();
    tag.value = nextLine(terminated);
    unterminated_ = !terminated;
    return true;
}

namespace {

// The first LF at or after p, or end: eight bytes at a time (a byte-by-byte loop pays a
// mispredicted branch at the end of every short line).
inline const char *lineEnd(const char *p, const char *end) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        while (end - p >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, 8);
            const std::uint64_t x = word ^ (kOnes * '\n'); // an LF byte becomes 0
            // The lowest zero byte sets its top bit here (higher ones may be set wrongly).
            const std::uint64_t zero = (x - kOnes) & ~x & (kOnes * 0x80);
            if (zero != 0)
                return p + (std::countr_zero(zero) >> 3);
            p += 8;
        }
    }
    while (p < end && *p != '\n')
        ++p;
    return p;
}

} // namespace

// Most tags are a code line of blanks and a few digits and a short value line: read in place
// (too short for memchr to pay). Anything else, including every error, is left to the
// general path, which reads the same tag again.
bool TagReader::nextPlain(Tag &tag) {
    const char *const first = text_.data() + pos_;
    const char *const end = text_.data() + text_.size();
    const char *p = first;
    while (p < end && *p == ' ')
        ++p;
    int code = 0;
    const char *const digits = p;
    unsigned digit = 0;
    while (p < end && (digit = static_cast<unsigned char>(*p) - '0') <= 9 && p - digits < 5) {
        code = code * 10 + static_cast<int>(digit);
        ++p;
    }
    if (p == digits || code > kMaxGroupCode)
        return false;
    if (p < end && *p == '\r')
        ++p;
    if (p >= end || *p != '\n')
        return false;
    const char *const value = p + 1;
    if (value >= end)
        return false; // no value line: the general path says so
    const char *v = lineEnd(value, end);
    const bool terminated = v < end;
    pos_ = static_cast<std::size_t>((terminated ? v + 1 : v) - text_.data());
    if (v > value && v[-1] == '\r')
        --v;
    tag.code = code;
    tag.line = line_ + 1;
    tag.offset = base_ + static_cast<std::size_t>(first - text_.data());
    tag.number = std::numeric_limits<double>::quiet_NaN();
    tag.value = std::string_view(value, static_cast<std::size_t>(v - value));
    line_ += 2;
    unterminated_ = !terminated;
    return true;
}

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case of a DXF number, "-123.4567": digits with at most one point and no
// exponent. When the digits make an integer below 2^53 and there are at most 22 after the
// point, both it and the power of ten are exact doubles, so one division gives the
// correctly rounded value (Clinger's fast path), the same as from_chars. False when the
// text is not of that form; the caller then takes the general path.
bool fastDecimal(std::string_view text, double &out) {
    const char *p = text.data(), *end = p + text.size();
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    const char *first = p;
    std::uint64_t mantissa = 0;
    unsigned digit = 0;
    while (p < end && (digit = static_cast<unsigned char>(*p) - '0') <= 9) {
        mantissa = mantissa * 10 + digit;
        ++p;
    }
    std::ptrdiff_t digits = p - first, fraction = 0;
    if (p < end && *p == '.') {
        const char *point = ++p;
        while (p < end && (digit = static_cast<unsigned char>(*p) - '0') <= 9) {
            mantissa = mantissa * 10 + digit;
            ++p;
        }
        fraction = p - point;
        digits += fraction;
    }
    // More than 19 digits may have wrapped the mantissa: the general path then decides.
    if (p != end || digits > 19)
        return false;
    if (digits == 0 || fraction > 22 || mantissa >= (std::uint64_t(1) << 53))
        return false;
    double value = static_cast<double>(mantissa);
    if (fraction > 0)
        value /= kExactPow10[fraction];
    out = negative ? -value : value;
    return true;
}

} // namespace

bool toDouble(std::string_view text, double &out) {
    text = trimBlanks(text);
    if (fastDecimal(text, out))
        return true;
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty() || text[0] == '+')
        return false;
    const char *first = text.data(), *last = first + text.size();
    double value = 0;
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last)
        return false;
    if (ec == std::errc::result_out_of_range) {
        // Underflow is harmless (the value is zero); overflow is not a usable number.
        std::string_view t(first, last - first);
        std::size_t e = t.find_first_of("eE");
        if (e == std::string_view::npos || e + 1 >= t.size() || t[e + 1] != '-')
            return false;
        value = t[0] == '-' ? -0.0 : 0.0;
    } else if (ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool toInteger(std::string_view text, std::int64_t lo, std::int64_t hi, std::int64_t &out) {
    text = trimBlanks(text);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty() || text[0] == '+')
        return false;
    std::int64_t value = 0;
    const char *last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, value);
    if (ec != std::errc() || end != last || value < lo || value > hi)
        return false;
    out = value;
    return true;
}

bool toHandle(std::string_view text, std::uint64_t &out) {
    text = trimBlanks(text);
    if (text.empty() || text.size() > 16)
        return false;
    std::uint64_t value = 0;
    const char *last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, value, 16);
    if (ec != std::errc() || end != last)
        return false;
    out = value;
    return true;
}

double parseDouble(const Tag &tag, const Locator &where) {
    double value = 0;
    if (!toDouble(tag.value, value))
        where.fail(tag.line + 1, "value " + shown(tag.value) + " of group " +
                                     std::to_string(tag.code) + " is not a finite number");
    return value;
}

bool plainInteger(std::string_view text, double &out) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t first = negative ? 1 : 0;
    if (text.size() == first || text.size() - first > 15)
        return false;
    std::int64_t value = 0;
    for (std::size_t i = first; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - '0';
        if (digit > 9)
            return false;
        value = value * 10 + digit;
    }
    out = static_cast<double>(negative ? -value : value);
    return true;
}

bool plainHandle(std::string_view text, double &out) {
    if (text.empty() || text.size() > 13)
        return false;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit = static_cast<unsigned char>(c) - '0';
        if (digit > 9) {
            digit = (static_cast<unsigned char>(c) | 0x20u) - 'a' + 10; // either case
            if (digit < 10 || digit > 15)
                return false;
        }
        value = value << 4 | digit;
    }
    out = static_cast<double>(value);
    return true;
}

bool isIntegerType(ValueType type) {
    return type == ValueType::Int16 || type == ValueType::Int32 || type == ValueType::Int64 ||
           type == ValueType::Bool;
}

namespace {

// The values group `code`'s type holds, as integers.
void integerRange(ValueType type, std::int64_t &lo, std::int64_t &hi) {
    lo = std::numeric_limits<std::int64_t>::min();
    hi = std::numeric_limits<std::int64_t>::max();
    if (type == ValueType::Int16 || type == ValueType::Bool) {
        lo = std::numeric_limits<std::int16_t>::min();
        hi = std::numeric_limits<std::int16_t>::max();
    } else if (type == ValueType::Int32) {
        lo = std::numeric_limits<std::int32_t>::min();
        hi = std::numeric_limits<std::int32_t>::max();
    }
}

} // namespace

bool integralReal(std::string_view text, int code, std::int64_t &out) {
    std::int64_t lo = 0, hi = 0;
    integerRange(valueType(code), lo, hi);
    double value = 0;
    // Within 2^53 every whole double is exact, and the range checks below are too.
    if (!toDouble(text, value) || std::trunc(value) != value || std::fabs(value) > 9.0e15 ||
        value < static_cast<double>(lo) || value > static_cast<double>(hi))
        return false;
    out = static_cast<std::int64_t>(value);
    return true;
}

std::int64_t parseInteger(const Tag &tag, const Locator &where) {
    std::int64_t lo = 0, hi = 0;
    const ValueType type = valueType(tag.code);
    integerRange(type, lo, hi);
    if (type == ValueType::Double || type == ValueType::Handle)
        where.fail(tag.line, "group " + std::to_string(tag.code) + " does not hold an integer");
    // Split on the other thread already (a plain integer of the code's type).
    if (!std::isnan(tag.number) && isIntegerType(type)) {
        const auto value = static_cast<std::int64_t>(tag.number);
        if (value >= lo && value <= hi)
            return value;
    }
    std::int64_t value = 0;
    if (!toInteger(tag.value, lo, hi, value) && integralReal(tag.value, tag.code, value)) {
        where.repair(tag.line + 1,
                     "value " + shown(tag.value) + " of group " + std::to_string(tag.code) +
                         " is not written as a whole number",
                     "taken as " + std::to_string(value));
        return value;
    }
    if (!toInteger(tag.value, lo, hi, value)) {
        std::int64_t any = 0;
        const bool number = toInteger(tag.value, std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::int64_t>::max(), any);
        where.fail(tag.line + 1,
                   "value " + shown(tag.value) +
                       (number ? " does not fit group " : " is not an integer for group ") +
                       std::to_string(tag.code) + " (" + typeWords(type) + ")");
    }
    return value;
}

std::uint64_t parseHandle(const Tag &tag, const Locator &where) {
    if (!std::isnan(tag.number) && valueType(tag.code) == ValueType::Handle)
        return static_cast<std::uint64_t>(tag.number); // split on the other thread already
    std::uint64_t value = 0;
    if (!toHandle(tag.value, value))
        where.fail(tag.line + 1, "value " + shown(tag.value) + " of group " +
                                     std::to_string(tag.code) + " is not a handle");
    return value;
}

} // namespace dxf
