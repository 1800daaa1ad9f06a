// text_codec.h - the host's text: Windows-1251 bytes, UTF-8, and the \U+XXXX escapes.
//
// The drawing database keeps text as Windows-1251 bytes. A character the code page lacks is
// kept as the escape \U+XXXX (four hex digits, either case of U on reading), and one beyond
// U+FFFF as two escapes, its UTF-16 pair. Three escapes stay text wherever they stand: NUL,
// LF and CR would end a C string or a file's line. A lone low surrogate \U+DCxx marks a byte
// of a file that was no valid text (see the DXF code pages).
//
// Every conversion of the host (terminal, transcript, script files, DXF files, pictures) goes
// through the functions here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace host::text {

// No character: what the one byte Windows-1251 leaves unassigned (0x98) stands for.
inline constexpr char32_t kNoChar = 0xFFFFFFFF;
// U+FFFD, shown where a character cannot be.
inline constexpr char32_t kReplacement = 0xFFFD;
// The length of one escape, "\U+XXXX".
inline constexpr std::size_t kEscapeLength = 7;

// --- Windows-1251 --------------------------------------------------------------------
// The code point of a byte, or kNoChar for 0x98.
char32_t cp1251ToUnicode(unsigned char byte);
// The byte of a code point, or -1 when the code page lacks it.
int unicodeToCp1251(char32_t cp);

// --- UTF-8 ---------------------------------------------------------------------------
// Appends the UTF-8 form of a scalar value.
void appendUtf8(std::string &out, char32_t cp);
// Decodes the sequence starting at s[pos]: its length, with the value in cp, or 0 when the
// bytes there are no valid shortest-form sequence of a scalar value (truncated, overlong,
// a surrogate, above U+10FFFF). Never reads past the end of s.
std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t &cp);
bool isValidUtf8(std::string_view s);

// --- Escapes -------------------------------------------------------------------------
// The 16-bit unit of the escape at s[pos], or -1 when there is none there.
long escapeUnitAt(std::string_view s, std::size_t pos);
// Appends "\U+XXXX" (upper-case digits) for a unit up to 0xFFFF.
void appendEscape(std::string &out, char32_t unit);
// Appends a character as escapes: one, or a UTF-16 pair beyond U+FFFF.
void appendEscapedChar(std::string &out, char32_t cp);
// The character escaped at s[pos]: one escape that is no surrogate, or a high and a low
// surrogate in a row. Returns the bytes used (7 or 14) with the character in cp, or 0 when
// there is no such escape there (none, malformed, or a lone surrogate).
std::size_t readEscapedChar(std::string_view s, std::size_t pos, char32_t &cp);
// True for the escapes that stay text in the database: NUL, LF and CR.
bool isKeptEscape(char32_t unit);
// Appends a character as database text: its Windows-1251 byte, or its escape(s).
void appendCp1251(std::string &out, char32_t cp);

// --- Database text and UTF-8 -----------------------------------------------------------
// What a lone surrogate escape becomes in UTF-8: the escape as written (text that is typed
// back must come back the same), or U+FFFD (a picture, where only the look counts).
enum class LoneSurrogate { AsWritten, Replace };
// Database text to UTF-8: bytes through the table (0x98 as U+FFFD), escaped characters as
// themselves, kept escapes and malformed ones as written.
std::string cp1251ToUtf8(std::string_view db, LoneSurrogate lone = LoneSurrogate::AsWritten);

// What a byte that is no valid UTF-8 becomes: kept as it is (typed text that is not UTF-8 at
// all), or the escape \U+DCxx that a file writer turns back into the same byte.
enum class InvalidUtf8 { KeepByte, Escape };
// UTF-8 to database text, appended to out: characters through the table, others escaped.
void utf8ToCp1251(std::string_view utf8, std::string &out, InvalidUtf8 invalid);
std::string utf8ToCp1251(std::string_view utf8, InvalidUtf8 invalid = InvalidUtf8::KeepByte);

// --- Text shown on a terminal -------------------------------------------------------------
// UTF-8 text with its control characters as escapes, so that text from a drawing cannot
// drive the terminal that shows it: C0 controls but the line end, DEL and C1 controls
// (U+0080..U+009F, and a stray byte 0x80..0x9F that is no UTF-8) become "\U+XXXX".
std::string escapeControls(std::string_view utf8);

} // namespace host::text
