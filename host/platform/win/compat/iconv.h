// iconv.h (Windows) - the part of iconv the DXF code page conversion uses, over the
// system's code page tables (MultiByteToWideChar). Conversions between "CPnnn", "UTF-8"
// and "UTF-32LE"; errors as iconv reports them (EILSEQ, EINVAL, E2BIG in errno).
#pragma once
#include <cstddef>

struct TevIconv;
typedef TevIconv *iconv_t;

// (iconv_t)-1 with errno EINVAL for a pair it cannot convert.
iconv_t iconv_open(const char *toCode, const char *fromCode);
std::size_t iconv(iconv_t cd, char **inbuf, std::size_t *inbytesleft, char **outbuf,
                  std::size_t *outbytesleft);
int iconv_close(iconv_t cd);
