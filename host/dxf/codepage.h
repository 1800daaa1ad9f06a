// codepage.h - text between a DXF file's encoding and the database's Windows-1251 bytes.
//
// Files before AC1021 are 8-bit text in the code page their $DWGCODEPAGE names; AC1021 and
// later are UTF-8. The database keeps Windows-1251; a character Windows-1251 lacks is kept as
// the DXF escape \U+XXXX (two escapes, a UTF-16 pair, above U+FFFF) and written back as the
// same character. A byte that is not valid text in the file's encoding is kept as \U+DCxx
// (xx = the byte, a lone low surrogate no real text holds) and written back as that byte,
// so even a damaged string survives a round trip unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dxf {

class TextCodec {
public:
    // The codec of a file of DXF version `acadver` ("AC1015") whose $DWGCODEPAGE is
    // `codePage` ("ANSI_1251"; empty when the header lacks it). A code page this system
    // cannot convert falls back to ANSI_1252, the format's default.
    static TextCodec forFile(std::string_view acadver, std::string_view codePage);
    // Windows-1251 on both sides: the host's own files.
    TextCodec();
    ~TextCodec();
    TextCodec(TextCodec &&) noexcept;
    TextCodec &operator=(TextCodec &&) noexcept;

    // True when file bytes and database bytes are the same thing (an ANSI_1251 file).
    bool identity() const;
    // True for UTF-8 files.
    bool utf8() const;
    // The code page name in effect ("ANSI_1251", "UTF-8").
    const std::string &name() const;

    // File text to database text, appended to `out`.
    void toDatabase(std::string_view fileText, std::string &out) const;
    // Database text to file text, appended to `out`.
    void toFile(std::string_view dbText, std::string &out) const;

    std::string toDatabase(std::string_view fileText) const;
    std::string toFile(std::string_view dbText) const;

    struct Impl;

private:
    // toDatabase without resolving the file's own escapes.
    void toDatabasePlain(std::string_view fileText, std::string &out) const;
    // db with every escape in its one spelling: the character's byte where it has one.
    void canonicalEscapes(std::string_view db, std::string &out) const;
    std::unique_ptr<Impl> impl_;
};

} // namespace dxf
