// iconv_win.cpp - iconv over the Windows code page tables, one character at a time, so
// that a character the code page lacks stops the conversion exactly where it stands,
// as iconv does.
#include "iconv.h"
#include "text_codec.h"
#include "text_util.h"

#include "windows_api.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

enum class Encoding { CodePage, Utf8, Utf32le };

struct Side {
    Encoding encoding = Encoding::Utf8;
    UINT codePage = 0;
};

// "UTF-8", "UTF-32LE" or "CPnnn" (a code page the system has); false otherwise.
bool parseName(const char *name, Side &side) {
    const std::string upper = host::text::toUpper(name == nullptr ? "" : name);
    if (upper == "UTF-8") {
        side.encoding = Encoding::Utf8;
        return true;
    }
    if (upper == "UTF-32LE") {
        side.encoding = Encoding::Utf32le;
        return true;
    }
    if (upper.size() < 3 || upper.size() > 7 || upper.compare(0, 2, "CP") != 0)
        return false;
    UINT cp = 0;
    for (std::size_t i = 2; i < upper.size(); ++i) {
        if (upper[i] < '0' || upper[i] > '9')
            return false;
        cp = cp * 10 + static_cast<UINT>(upper[i] - '0');
    }
    if (!IsValidCodePage(cp))
        return false;
    side.encoding = Encoding::CodePage;
    side.codePage = cp;
    return true;
}

// Reads one character at in (n bytes available) into cp; its length, 0 when the input
// ends inside it (EINVAL), or -1 when it is not valid (EILSEQ).
int readChar(const Side &side, const unsigned char *in, std::size_t n, std::uint32_t &cp) {
    if (side.encoding == Encoding::Utf32le) {
        if (n < 4)
            return 0;
        cp = in[0] | (in[1] << 8) | (in[2] << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
        return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? -1 : 4;
    }
    if (side.encoding == Encoding::Utf8) {
        char32_t c = 0;
        const std::string_view s(reinterpret_cast<const char *>(in), n);
        if (const std::size_t len = host::text::decodeUtf8(s, 0, c); len > 0) {
            cp = c;
            return static_cast<int>(len);
        }
        // Not valid, or cut short by the end of the input (which iconv calls EINVAL).
        const std::size_t need = in[0] >= 0xF0 ? 4 : in[0] >= 0xE0 ? 3 : in[0] >= 0xC0 ? 2 : 1;
        return n < need ? 0 : -1;
    }
    int len = IsDBCSLeadByteEx(side.codePage, in[0]) ? 2 : 1;
    if (n < static_cast<std::size_t>(len))
        return 0;
    wchar_t w[2];
    int got = MultiByteToWideChar(side.codePage, MB_ERR_INVALID_CHARS,
                                  reinterpret_cast<const char *>(in), len, w, 2);
    if (got == 1)
        cp = w[0];
    else if (got == 2 && w[0] >= 0xD800 && w[0] < 0xDC00)
        cp = 0x10000 + ((w[0] - 0xD800) << 10) + (w[1] - 0xDC00);
    else
        return -1;
    return len;
}

// Writes cp into out (room bytes); its length, 0 when it does not fit (E2BIG), -1 when
// the target cannot hold it (EILSEQ).
int writeChar(const Side &side, std::uint32_t cp, unsigned char *out, std::size_t room) {
    unsigned char buf[8];
    int len = 0;
    if (side.encoding == Encoding::Utf32le) {
        for (int k = 0; k < 4; ++k)
            buf[k] = static_cast<unsigned char>(cp >> (8 * k));
        len = 4;
    } else if (side.encoding == Encoding::Utf8) {
        std::string utf8;
        host::text::appendUtf8(utf8, cp);
        len = static_cast<int>(utf8.size());
        std::memcpy(buf, utf8.data(), utf8.size());
    } else {
        wchar_t w[2];
        int wn = 1;
        if (cp >= 0x10000) {
            w[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            w[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            wn = 2;
        } else {
            w[0] = static_cast<wchar_t>(cp);
        }
        BOOL defaulted = FALSE;
        len = WideCharToMultiByte(side.codePage, WC_NO_BEST_FIT_CHARS, w, wn,
                                  reinterpret_cast<char *>(buf), sizeof buf, nullptr, &defaulted);
        if (len <= 0 || defaulted)
            return -1;
    }
    if (static_cast<std::size_t>(len) > room)
        return 0;
    std::memcpy(out, buf, static_cast<std::size_t>(len));
    return len;
}

} // namespace

struct TevIconv {
    Side from;
    Side to;
};

iconv_t iconv_open(const char *toCode, const char *fromCode) {
    TevIconv cd;
    if (!parseName(toCode, cd.to) || !parseName(fromCode, cd.from)) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    return new TevIconv(cd);
}

std::size_t iconv(iconv_t cd, char **inbuf, std::size_t *inbytesleft, char **outbuf,
                  std::size_t *outbytesleft) {
    if (cd == nullptr || cd == reinterpret_cast<iconv_t>(-1)) {
        errno = EBADF;
        return static_cast<std::size_t>(-1);
    }
    if (inbuf == nullptr || *inbuf == nullptr)
        return 0; // no shift state to reset or flush
    auto *in = reinterpret_cast<unsigned char *>(*inbuf);
    auto *out = reinterpret_cast<unsigned char *>(*outbuf);
    std::size_t result = 0;
    while (*inbytesleft > 0) {
        std::uint32_t cp = 0;
        int took = readChar(cd->from, in, *inbytesleft, cp);
        int put = took > 0 ? writeChar(cd->to, cp, out, *outbytesleft) : took;
        if (put <= 0) {
            errno = took == 0 ? EINVAL : took < 0 || put < 0 ? EILSEQ : E2BIG;
            result = static_cast<std::size_t>(-1);
            break;
        }
        in += took;
        *inbytesleft -= static_cast<std::size_t>(took);
        out += put;
        *outbytesleft -= static_cast<std::size_t>(put);
    }
    *inbuf = reinterpret_cast<char *>(in);
    *outbuf = reinterpret_cast<char *>(out);
    return result;
}

int iconv_close(iconv_t cd) {
    delete cd;
    return 0;
}
