// binary.cpp - binary DXF into ASCII tag text.
#include "binary.h"

#include "tag_writer.h"
#include "tags.h"

#include <cmath>
#include <cstring>

namespace dxf {

namespace {

constexpr std::string_view kSentinel = kBinaryDxfSentinel;

[[noreturn]] void failAt(const std::string &name, std::size_t offset, const std::string &what) {
    throw DxfError(name + ": byte " + std::to_string(offset) + ": " + what);
}

// Little-endian reads; the caller has checked that the bytes are there.
std::uint64_t readLe(const unsigned char *p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

bool isBinaryDxf(std::string_view data) {
    return data.size() >= kSentinel.size() && data.substr(0, kSentinel.size()) == kSentinel;
}

std::string transcodeBinary(std::string_view data, const std::string &name,
                            std::vector<std::uint64_t> &tagOffsets) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.data());
    const std::size_t size = data.size();
    std::size_t pos = kSentinel.size();
    // The first tag is (0, "SECTION"): a second zero byte means two-byte group codes.
    const bool twoByteCodes = size > pos + 1 && bytes[pos] == 0 && bytes[pos + 1] == 0;
    std::string text;
    text.reserve(size * 2);
    TagWriter out(text);
    tagOffsets.clear();

    auto need = [&](std::size_t n, std::size_t tagAt, const char *what) {
        if (size - pos < n)
            failAt(name, tagAt, std::string("the file ends inside ") + what);
    };
    while (pos < size) {
        const std::size_t tagAt = pos;
        int code;
        if (twoByteCodes) {
            need(2, tagAt, "a group code");
            code = static_cast<std::int16_t>(readLe(bytes + pos, 2));
            pos += 2;
        } else if (bytes[pos] == 255) {
            need(3, tagAt, "a group code");
            code = static_cast<std::int16_t>(readLe(bytes + pos + 1, 2));
            pos += 3;
        } else {
            code = bytes[pos++];
        }
        if (code < kMinGroupCode || code > kMaxGroupCode)
            failAt(name, tagAt, "group code " + std::to_string(code) + " is out of range");
        tagOffsets.push_back(tagAt);
        const std::string group = "group " + std::to_string(code);
        switch (valueType(code)) {
        case ValueType::Double: {
            need(8, tagAt, group.c_str());
            std::uint64_t raw = readLe(bytes + pos, 8);
            double value;
            std::memcpy(&value, &raw, sizeof value);
            if (!std::isfinite(value))
                failAt(name, pos, "value of " + group + " is not a finite number");
            pos += 8;
            out.real(code, value);
            break;
        }
        case ValueType::Int16:
            need(2, tagAt, group.c_str());
            out.integer(code, static_cast<std::int16_t>(readLe(bytes + pos, 2)));
            pos += 2;
            break;
        case ValueType::Int32:
            need(4, tagAt, group.c_str());
            out.integer(code, static_cast<std::int32_t>(readLe(bytes + pos, 4)));
            pos += 4;
            break;
        case ValueType::Int64:
            need(8, tagAt, group.c_str());
            out.integer(code, static_cast<std::int64_t>(readLe(bytes + pos, 8)));
            pos += 8;
            break;
        case ValueType::Bool:
            need(1, tagAt, group.c_str());
            out.integer(code, bytes[pos]);
            pos += 1;
            break;
        case ValueType::Binary: {
            need(1, tagAt, group.c_str());
            const std::size_t n = bytes[pos++];
            need(n, tagAt, group.c_str());
            static const char hex[] = "0123456789ABCDEF";
            std::string value;
            for (std::size_t i = 0; i < n; ++i) {
                value += hex[bytes[pos + i] >> 4];
                value += hex[bytes[pos + i] & 15];
            }
            pos += n;
            out.string(code, value);
            break;
        }
        case ValueType::String:
        case ValueType::Handle: {
            const void *zero = std::memchr(bytes + pos, 0, size - pos);
            if (zero == nullptr)
                failAt(name, tagAt, "the string of " + group + " has no terminating zero");
            const std::size_t n = static_cast<const unsigned char *>(zero) - (bytes + pos);
            std::string_view value(data.data() + pos, n);
            pos += n + 1;
            if (value.find_first_of("\r\n") == std::string_view::npos) {
                out.string(code, value);
            } else {
                // A binary string may hold any byte but NUL; a line of text cannot hold a
                // line break, which the text form spells as its control character: ^J, ^M.
                std::string spelled;
                for (const char c : value) {
                    if (c == '\n' || c == '\r') {
                        spelled += '^';
                        spelled += c == '\n' ? 'J' : 'M';
                    } else {
                        spelled += c;
                    }
                }
                out.string(code, spelled);
            }
            if (code == 0 && value == "EOF")
                return text; // whatever follows is not part of the drawing
            break;
        }
        }
    }
    return text;
}

} // namespace dxf
