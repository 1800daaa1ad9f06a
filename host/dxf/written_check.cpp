// written_check.cpp - the save's structural check of the bytes written.
#include "written_check.h"
#include "dxf_error.h"
#include "tags.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dxf {

namespace {

// Binary data: pairs of hexadecimal digits.
bool isHexBytes(std::string_view s) {
    s = trimBlanks(s);
    if (s.size() % 2 != 0)
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

// "-12.5", "3", "0.125": digits with at most one point, no blanks or exponent, short enough
// that the value is finite. The writer spells nearly every number so; anything else goes to
// the reader's own parser.
bool plainNumber(std::string_view s, bool point) {
    std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() > 300)
        return false;
    bool digit = false, seenPoint = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.' && point && !seenPoint)
            seenPoint = true;
        else
            return false;
    }
    return digit;
}

// The next LF at or after p (end when there is none); cr is set when a CR comes before it.
// Eight bytes at a time where the machine allows: most lines are a few bytes long.
const char *lineFeed(const char *p, const char *end, bool &cr) {
    cr = false;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    // A byte of w equal to c sets the high bit of its byte in the answer; the lowest bit set
    // is always a true match (those above it may not be).
    auto matches = [](std::uint64_t w, std::uint64_t c) {
        const std::uint64_t x = w ^ (c * kOnes);
        return (x - kOnes) & ~x & kHighs;
    };
    while (end - p >= 8) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, 8);
        const std::uint64_t lf = matches(w, '\n'), crs = matches(w, '\r');
        if (lf != 0) {
            const int at = __builtin_ctzll(lf) >> 3;
            cr |= crs != 0 && (__builtin_ctzll(crs) >> 3) < at;
            return p + at;
        }
        cr |= crs != 0;
        p += 8;
    }
#endif
    while (p < end && *p != '\n') {
        cr |= *p == '\r';
        ++p;
    }
    return p;
}

// A group code as the reader takes it: blanks around digits, within the codes files use.
bool groupCode(std::string_view text, int &code) {
    // Most codes are written as up to three digits after blanks: no need of the general path.
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && text.size() - i <= 3) {
        int value = 0;
        for (std::size_t k = i; k < text.size() && value >= 0; ++k) {
            const unsigned digit = static_cast<unsigned char>(text[k]) - '0';
            value = digit <= 9 ? value * 10 + static_cast<int>(digit) : -1;
        }
        if (value >= 0) {
            code = value;
            return true;
        }
    }
    std::int64_t value = 0;
    if (!toInteger(text, kMinGroupCode, kMaxGroupCode, value))
        return false;
    code = static_cast<int>(value);
    return true;
}

// "  8", " 10", "100": a group code as writers spell it, three bytes right-aligned. False for
// anything else (groupCode then decides).
inline bool threeByteCode(std::string_view t, int &code) {
    if (t.size() != 3)
        return false;
    const unsigned a = static_cast<unsigned char>(t[0]) - '0';
    const unsigned b = static_cast<unsigned char>(t[1]) - '0';
    const unsigned c = static_cast<unsigned char>(t[2]) - '0';
    if (c > 9)
        return false;
    if (a <= 9 && b <= 9)
        code = static_cast<int>(a * 100 + b * 10 + c);
    else if (t[0] == ' ' && b <= 9)
        code = static_cast<int>(b * 10 + c);
    else if (t[0] == ' ' && t[1] == ' ')
        code = static_cast<int>(c);
    else
        return false;
    return true;
}

#if defined(__SSE2__)
// Bit i set where p[i] is a line feed, for the 64 bytes at p.
std::uint64_t lineFeeds64(const char *p) {
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
        const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
        mask |= std::uint64_t{bits} << (16 * k);
    }
    return mask;
}
#endif

} // namespace

// A value copied as read that the check only counts: neither structure nor a handle.
bool WrittenCheck::isPlainValue(int code) {
    return code != kNoCode && code != 0 && code != 5 && code != 105;
}

void WrittenCheck::write(std::string_view bytes) {
    next_.write(bytes);
    lines(bytes);
}

void WrittenCheck::writeWithRead(std::string_view bytes, std::span<const ByteSpan> asRead) {
    next_.write(bytes);
    std::size_t at = 0;
    for (const ByteSpan &span : asRead) {
        if (span.offset < at || span.offset + span.size > bytes.size())
            break; // not a span of these bytes: what is left is checked in full
        lines(bytes.substr(at, span.offset - at));
        asRead_ = true;
        linesAsRead(bytes.substr(span.offset, span.size));
        asRead_ = false;
        at = span.offset + span.size;
    }
    lines(bytes.substr(at));
}

void WrittenCheck::lines(std::string_view bytes) {
    // Lines are a few bytes each: one pass over the bytes finds their ends and notes carriage
    // returns, where a call per line to a library search would cost more than the search.
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        bool cr = false;
        const char *q = lineFeed(p, end, cr);
        if (q == end) {
            partial_.append(p, static_cast<std::size_t>(end - p));
            return;
        }
        const std::string_view text(p, static_cast<std::size_t>(q - p));
        if (asRead_ && !cr && isPlainValue(code_) && lineEnd_ == 1 && place_ == Place::InSection &&
            partial_.empty()) {
            // A value copied as read that is neither structure nor a handle: counted only.
            ++lineNo_;
            code_ = kNoCode;
        } else if (partial_.empty()) {
            line(text, cr);
        } else {
            partial_.append(text);
            line(partial_, partial_.find('\r') != std::string::npos);
            partial_.clear();
        }
        p = q + 1;
    }
}

void WrittenCheck::linesAsRead(std::string_view bytes) {
#if defined(__SSE2__)
    // Most of a save that changed little is bytes copied as read, and most of their lines are
    // values that are only counted: the line feeds are found 64 bytes at a time, and a line
    // goes the common way (line) only when it is structure, a handle, or not a plain group
    // code. Bytes with a carriage return, or after a line not yet ended, go the common way
    // whole.
    if (!partial_.empty() || lineEnd_ != 1 ||
        std::memchr(bytes.data(), '\r', bytes.size()) != nullptr) {
        lines(bytes);
        return;
    }
    const char *const base = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t start = 0; // where the line under way begins
    for (std::size_t block = 0; block < n; block += 64) {
        std::uint64_t feeds = 0;
        if (n - block >= 64) {
            feeds = lineFeeds64(base + block);
        } else {
            char tail[64] = {};
            std::memcpy(tail, base + block, n - block);
            feeds = lineFeeds64(tail);
        }
        for (; feeds != 0; feeds &= feeds - 1) {
            const std::size_t end = block + static_cast<std::size_t>(__builtin_ctzll(feeds));
            const std::string_view text(base + start, end - start);
            start = end + 1;
            if (place_ != Place::InSection) {
                line(text, /*cr=*/false);
            } else if (isPlainValue(code_)) {
                ++lineNo_; // a value copied as read that is neither structure nor a handle
                code_ = kNoCode;
            } else if (int code = 0;
                       code_ == kNoCode && (threeByteCode(text, code) || groupCode(text, code))) {
                ++lineNo_;
                code_ = code;
            } else {
                line(text, /*cr=*/false);
            }
        }
    }
    if (start < n)
        partial_.append(base + start, n - start);
#else
    lines(bytes);
#endif
}

void WrittenCheck::line(std::string_view text, bool cr) {
    ++lineNo_;
    const int end = cr && text.back() == '\r' ? 2 : 1;
    if (end == 2)
        text.remove_suffix(1);
    if (lineEnd_ == 0)
        lineEnd_ = end;
    else if (end != lineEnd_)
        fail("the line ends change from one kind to the other");
    const bool crInside = cr && text.find('\r') != std::string_view::npos;
    if (code_ != kNoCode) {
        // A value copied as read matters here only where it is structure or a handle.
        if (!asRead_ || !isPlainValue(code_) || place_ == Place::SectionName) {
            if (crInside)
                fail("a carriage return inside a line");
            tag(text);
        }
        code_ = kNoCode;
        return;
    }
    if (crInside)
        fail("a carriage return inside a line");
    if (place_ == Place::AfterEof)
        fail("something written after EOF");
    int code = 0;
    if (!groupCode(text, code))
        fail("the group code '" + std::string(text) + "' is not a number");
    code_ = code;
}

const char *valueFault(int code, std::string_view value, bool dataFive) {
    // Numbers as the reader takes them, but no stricter: an integer is checked as one, not
    // against its type's range, as values passed through from the file read are never read.
    const ValueType type = code == 5 && dataFive ? ValueType::String : valueType(code);
    switch (type) {
    case ValueType::Double: {
        double unused = 0;
        if (!plainNumber(value, /*point=*/true) && !toDouble(value, unused))
            return "not a finite number";
        break;
    }
    case ValueType::Int16:
    case ValueType::Int32:
    case ValueType::Int64:
    case ValueType::Bool: {
        std::int64_t unused = 0;
        if ((value.size() > 18 || !plainNumber(value, /*point=*/false)) &&
            !toInteger(value, std::numeric_limits<std::int64_t>::min(),
                       std::numeric_limits<std::int64_t>::max(), unused))
            return "not a whole number";
        break;
    }
    case ValueType::Handle: {
        std::uint64_t unused = 0;
        if (!toHandle(value, unused))
            return "not a handle";
        break;
    }
    case ValueType::Binary:
        if (!isHexBytes(value))
            return "not bytes in hexadecimal pairs";
        break;
    case ValueType::String:
        break;
    }
    return nullptr;
}

void WrittenCheck::tag(std::string_view value) {
    const int code = code_;
    // A record's handle is its first group 5 (105 in a DIMSTYLE); a later group 5 is data (a
    // draw-order table's sort handle, which may equal another object's handle, or a filter's
    // text), written as the record holds it.
    const bool dataFive = inDimstyle_ || handleSeen_;
    if (const char *fault = valueFault(code, value, dataFive))
        fail("group " + std::to_string(code) + " holds '" + std::string(value) + "', " + fault);
    // The header's values name no object ($HANDSEED is the next handle free): not counted.
    if (((code == 5 && !dataFive) || (code == 105 && inDimstyle_ && !handleSeen_)) && !inHeader_) {
        std::uint64_t h = 0;
        (void)toHandle(value, h); // a handle: valueFault said so
        handles_.push_back(h);
        handleSeen_ = true;
    }
    if (place_ == Place::SectionName) {
        if (code != 2)
            fail("SECTION without its name");
        inHeader_ = trimBlanks(value) == "HEADER";
        place_ = Place::InSection;
        return;
    }
    if (code != 0)
        return;
    const std::string_view v = trimBlanks(value);
    inDimstyle_ = v == "DIMSTYLE";
    handleSeen_ = false;
    inHeader_ = false; // a record, even in the HEADER section, is no variable
    if (place_ == Place::BeforeSection) {
        if (v == "SECTION")
            place_ = Place::SectionName;
        else if (v == "EOF")
            place_ = Place::AfterEof;
        else
            fail("'" + std::string(v) + "' outside any section");
    } else if (v == "ENDSEC") {
        place_ = Place::BeforeSection;
    } else if (v == "SECTION" || v == "EOF") {
        fail(std::string(v) + " inside a section");
    }
}

void WrittenCheck::finish() {
    if (!partial_.empty())
        fail("the last line has no line end");
    if (code_ != kNoCode)
        fail("group code " + std::to_string(code_) + " without its value");
    if (place_ != Place::AfterEof)
        fail(place_ == Place::BeforeSection ? "no EOF at the end" : "a section is not closed");
    std::sort(handles_.begin(), handles_.end());
    auto twice = std::adjacent_find(handles_.begin(), handles_.end());
    if (twice != handles_.end()) {
        char hex[20];
        std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(*twice));
        lineNo_ = 0;
        fail(std::string("handle ") + hex + " is given to two objects");
    }
}

void WrittenCheck::fail(const std::string &what) const {
    if (lineNo_ == 0)
        throw DxfError(context_ + ": " + what);
    throw DxfError(context_ + " at line " + std::to_string(lineNo_) + ": " + what);
}

} // namespace dxf
