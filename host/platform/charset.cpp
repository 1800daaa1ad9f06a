// charset.cpp - CharsetConverter over iconv (on Windows, the platform's own iconv over the
// system's code page tables, win/iconv_win.cpp).
#include "charset.h"

#include <iconv.h>

namespace host::platform {

namespace {
iconv_t cdOf(void *handle) {
    return static_cast<iconv_t>(handle);
}
} // namespace

CharsetConverter::CharsetConverter(const std::string &to, const std::string &from) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd != reinterpret_cast<iconv_t>(-1))
        handle_ = cd;
}

CharsetConverter::~CharsetConverter() {
    if (handle_ != nullptr)
        (void)iconv_close(cdOf(handle_)); // nothing is lost if closing fails
}

std::size_t CharsetConverter::convert(char **in, std::size_t *inLeft, char **out,
                                      std::size_t *outLeft) const {
    return iconv(cdOf(handle_), in, inLeft, out, outLeft);
}

void CharsetConverter::reset(char **out, std::size_t *outLeft) const {
    (void)iconv(cdOf(handle_), nullptr, nullptr, out, outLeft); // a reset does not fail
}

} // namespace host::platform
