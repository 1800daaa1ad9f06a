// charset.h - the system's conversion between character sets: iconv where there is one,
// the Windows code page tables where there is not. One handle per direction, closed when
// it goes out of scope; conversions behave as iconv's do.
#pragma once
#include <cstddef>
#include <string>

namespace host::platform {

class CharsetConverter {
public:
    // A converter from one set to another ("UTF-8", "UTF-32LE", "CP1251", "SHIFT_JIS", ...);
    // ok() is false when the system cannot convert between them.
    CharsetConverter(const std::string &to, const std::string &from);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter &) = delete;
    CharsetConverter &operator=(const CharsetConverter &) = delete;

    bool ok() const { return handle_ != nullptr; }
    // Converts as iconv(3): moves the pointers past what was done; (size_t)-1 with errno
    // EILSEQ (a character it cannot convert), EINVAL (an incomplete one at the end) or
    // E2BIG (no room left).
    std::size_t convert(char **in, std::size_t *inLeft, char **out, std::size_t *outLeft) const;
    // Back to the initial state; with out given, writes what a held character leaves.
    void reset(char **out = nullptr, std::size_t *outLeft = nullptr) const;

private:
    void *handle_ = nullptr;
};

} // namespace host::platform
