// text.h - turning the drawing's text (Windows-1251 bytes with the host's escapes) into
// UTF-8 that may stand inside an XML document.
#pragma once
#include <string>
#include <string_view>

namespace host::render {

// Windows-1251 bytes → UTF-8. The one byte the code page leaves undefined (0x98) becomes
// U+FFFD. A `\U+XXXX` escape (how the host keeps a character the code page lacks; two of
// them for a UTF-16 pair) becomes that character; a lone surrogate becomes U+FFFD; a
// malformed escape is left as it was written.
std::string cp1251ToUtf8(std::string_view text);

// The drawing's %% control codes as a reader sees them: %%c diameter, %%d degree,
// %%p plus-minus, %%% a percent sign, %%nnn the character nnn; %%u and %%o (underline and
// overline switches) are dropped. Works on Windows-1251 bytes, before conversion.
std::string expandControlCodes(std::string_view text);

// Escapes &, <, >, " and ' for use in XML text or attributes. Control characters XML 1.0
// does not allow (below 0x20 other than tab, line feed and carriage return) are dropped.
std::string xmlEscape(std::string_view utf8);

// The three steps above, in order: what a TEXT entity's string becomes in the picture.
std::string drawingTextToXml(std::string_view cp1251);

} // namespace host::render
