// mtext.h - the text of a paragraph text entity as plain lines: its inline format codes
// applied where a plain picture can (new paragraphs, stacked fractions, special characters)
// and dropped where it cannot (fonts, heights, colours, underlines), then wrapped to a width.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tev::db {

// The paragraphs of formatted text (Windows-1251 bytes with the host's \U+XXXX escapes, as
// the database keeps text): \P and a line feed end a paragraph, \~ is a space that does
// not break, \\ \{ \} are the characters themselves, \S a^b; (or a/b, a#b) becomes a/b,
// the codes \f \F \H \C \c \T \Q \W \A \p (with their values up to ';') and \L \l \O \o
// \K \k and braces are dropped. \U+XXXX and %% codes are left for the conversion to UTF-8.
std::vector<std::string> mtextParagraphs(std::string_view text);

// Splits a line into lines of at most maxChars characters (code points, a \U+XXXX escape
// counts once) at spaces where it can, inside a word where a word alone is longer.
// maxChars below 1: the line as it is.
std::vector<std::string> wrapLine(std::string_view line, int maxChars);

// The characters of a line as a reader counts them: a \U+XXXX escape or a %% code is one.
std::size_t characterCount(std::string_view line);

} // namespace tev::db
