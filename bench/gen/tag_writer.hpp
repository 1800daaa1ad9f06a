// A small ASCII DXF tag writer for the benchmark drawings: group code lines right-aligned in
// three columns as the host writes them, values formatted without allocation, output gathered in a
// buffer and handed to a sink in large blocks. It knows nothing of entities or sections.
#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tevbench {

class TagWriter {
public:
    // The sink receives the buffered bytes; it returns false when it could not take them, after
    // which the writer drops everything and reports failure from ok().
    using Sink = std::function<bool(std::string_view)>;

    // A counting writer formats nothing and calls no sink: the generator runs once with it to
    // learn how many handles the drawing needs before it writes $HANDSEED at the top.
    explicit TagWriter(Sink sink, bool counting = false)
        : sink_(std::move(sink)), counting_(counting) {
        buf_.reserve(kFlushAt + 4096);
    }
    ~TagWriter() = default;
    TagWriter(const TagWriter &) = delete;
    TagWriter &operator=(const TagWriter &) = delete;

    void str(int code, std::string_view value) {
        if (counting_)
            return;
        code_(code);
        buf_.append(value);
        buf_.push_back('\n');
        maybeFlush();
    }
    void integer(int code, long long value) {
        if (counting_)
            return;
        code_(code);
        char tmp[24];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
        buf_.append(tmp, r.ptr);
        buf_.push_back('\n');
        maybeFlush();
    }
    // Shortest text that reads back to the same double; a whole number keeps a ".0" so that
    // every real group looks like a real, as the host writes them.
    void real(int code, double value) {
        if (counting_)
            return;
        code_(code);
        char tmp[40];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, value);
        std::string_view text(tmp, static_cast<size_t>(r.ptr - tmp));
        buf_.append(text);
        if (text.find_first_of(".eEn") == std::string_view::npos)
            buf_.append(".0");
        buf_.push_back('\n');
        maybeFlush();
    }
    // Handles are upper-case hex without leading zeros.
    void handle(int code, uint64_t value) {
        if (counting_)
            return;
        code_(code);
        char tmp[20];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, value, 16);
        for (char *p = tmp; p != r.ptr; ++p)
            if (*p >= 'a' && *p <= 'f')
                *p = static_cast<char>(*p - 'a' + 'A');
        buf_.append(tmp, r.ptr);
        buf_.push_back('\n');
        maybeFlush();
    }
    void point(int code, double x, double y, double z) {
        real(code, x);
        real(code + 10, y);
        real(code + 20, z);
    }

    // Hands the rest of the buffer to the sink; false when any write failed.
    [[nodiscard]] bool finish() {
        flush();
        return ok_;
    }
    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] uint64_t bytesWritten() const { return written_ + buf_.size(); }

private:
    static constexpr size_t kFlushAt = 1 << 20;

    void code_(int code) {
        char tmp[16];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, code);
        for (auto n = r.ptr - tmp; n < 3; ++n)
            buf_.push_back(' ');
        buf_.append(tmp, r.ptr);
        buf_.push_back('\n');
    }
    void maybeFlush() {
        if (buf_.size() >= kFlushAt)
            flush();
    }
    void flush() {
        if (buf_.empty())
            return;
        if (ok_ && !sink_(buf_))
            ok_ = false;
        written_ += buf_.size();
        buf_.clear();
    }

    Sink sink_;
    bool counting_;
    bool ok_ = true;
    uint64_t written_ = 0;
    std::string buf_;
};

} // namespace tevbench
