// text.cpp - control codes and escaping for the text of pictures.
#include "text.h"

#include "text_codec.h"

namespace host::render {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string cp1251ToUtf8(std::string_view cp1251) {
    return text::cp1251ToUtf8(cp1251, text::LoneSurrogate::Replace);
}

std::string expandControlCodes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out += text[i++];
            continue;
        }
        char code = text[i + 2];
        switch (code) {
        case 'c':
        case 'C':
            out += "\\U+2300";
            i += 3;
            continue; // diameter sign
        case 'd':
        case 'D':
            out += '\xB0';
            i += 3;
            continue; // degree sign in 1251
        case 'p':
        case 'P':
            out += '\xB1';
            i += 3;
            continue; // plus-minus in 1251
        case '%':
            out += '%';
            i += 3;
            continue;
        case 'u':
        case 'U':
        case 'o':
        case 'O':
            i += 3;
            continue;
        default:
            break;
        }
        if (isDigit(code)) {
            std::size_t end = i + 2;
            int value = 0;
            while (end < text.size() && end < i + 5 && isDigit(text[end]))
                value = value * 10 + (text[end++] - '0');
            if (value > 0 && value < 256) {
                out += static_cast<char>(value);
                i = end;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::string xmlEscape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                break;
            out += c;
        }
    }
    return out;
}

std::string drawingTextToXml(std::string_view cp1251) {
    return xmlEscape(cp1251ToUtf8(expandControlCodes(cp1251)));
}

} // namespace host::render
