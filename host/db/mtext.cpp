// mtext.cpp - inline format codes of paragraph text, and wrapping to a width.
#include "mtext.h"

#include <cctype>
#include <cstring>

namespace tev::db {
namespace {

// The byte length of the character that starts at i: a \U+XXXX escape, a %% code, a byte.
std::size_t unitLength(std::string_view s, std::size_t i) {
    if (s.compare(i, 3, "\\U+") == 0 && i + 7 <= s.size()) {
        bool hex = true;
        for (std::size_t k = i + 3; k < i + 7; ++k)
            hex = hex && std::isxdigit(static_cast<unsigned char>(s[k]));
        if (hex)
            return 7;
    }
    if (s.compare(i, 2, "%%") == 0 && i + 3 <= s.size())
        return 3;
    return 1;
}

} // namespace

std::vector<std::string> mtextParagraphs(std::string_view text) {
    std::vector<std::string> out(1);
    auto newParagraph = [&] { out.emplace_back(); };
    // Codes whose value runs to the next ';' and are dropped with it.
    static constexpr const char *kValued = "fFHCcTQWApa";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '{' || c == '}')
            continue;
        if (c == '\n') {
            newParagraph();
            continue;
        }
        if (c == '^' && i + 1 < text.size()) { // control characters as the format spells them
            char n = text[i + 1];
            if (n == 'J' || n == 'M') {
                ++i;
                if (n == 'J')
                    newParagraph();
                continue;
            }
            if (n == 'I') {
                ++i;
                out.back() += ' ';
                continue;
            }
            if (n == ' ') {
                ++i;
                out.back() += '^';
                continue;
            }
        }
        if (c != '\\' || i + 1 >= text.size()) {
            out.back() += c;
            continue;
        }
        char code = text[i + 1];
        if (code == 'P' || code == 'X' || code == 'N') {
            ++i;
            newParagraph();
        } else if (code == '~') {
            ++i;
            out.back() += '\xA0'; // a space that does not break
        } else if (code == '\\' || code == '{' || code == '}') {
            ++i;
            out.back() += code;
        } else if (code == 'U' && unitLength(text, i) == 7) {
            out.back() += text.substr(i, 7);
            i += 6;
        } else if (code == 'M' && i + 2 < text.size() && text[i + 2] == '+') {
            i = std::min(text.size() - 1, i + 7); // \M+nXXXX: a double-byte code page's
        } else if (code == 'S') {
            std::size_t end = text.find(';', i + 2);
            std::string_view stack = text.substr(
                i + 2, end == std::string_view::npos ? std::string_view::npos : end - (i + 2));
            for (std::size_t k = 0; k < stack.size(); ++k) {
                char s = stack[k];
                if (s == '\\' && k + 1 < stack.size()) { // an escaped ^, / or #
                    out.back() += stack[++k];
                    continue;
                }
                out.back() += s == '^' || s == '#' ? '/' : s;
            }
            i = end == std::string_view::npos ? text.size() : end;
        } else if (std::strchr(kValued, code) != nullptr) {
            std::size_t end = text.find(';', i + 2);
            i = end == std::string_view::npos ? text.size() : end;
        } else if (std::strchr("LlOoKk", code) != nullptr) {
            ++i;
        } else {
            ++i; // an unknown code: the character stands for itself
            out.back() += code;
        }
    }
    return out;
}

std::vector<std::string> wrapLine(std::string_view line, int maxChars) {
    std::vector<std::string> out;
    if (maxChars < 1) {
        out.emplace_back(line);
        return out;
    }
    const std::size_t limit = static_cast<std::size_t>(maxChars);
    std::string current;
    std::size_t currentChars = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        // The next word with the spaces before it.
        std::size_t spaceStart = i;
        while (i < line.size() && line[i] == ' ')
            ++i;
        std::size_t spaces = i - spaceStart;
        std::size_t wordStart = i, wordChars = 0;
        while (i < line.size() && line[i] != ' ') {
            i += unitLength(line, i);
            ++wordChars;
        }
        std::string_view word = line.substr(wordStart, i - wordStart);
        if (currentChars > 0 && currentChars + spaces + wordChars > limit) {
            out.push_back(current);
            current.clear();
            currentChars = 0;
            spaces = 0;
        }
        current.append(spaces, ' ');
        currentChars += spaces;
        // A word longer than a whole line is cut where the line ends.
        for (std::size_t k = 0; k < word.size();) {
            if (currentChars >= limit && currentChars > 0) {
                out.push_back(current);
                current.clear();
                currentChars = 0;
            }
            std::size_t len = unitLength(word, k);
            current.append(word.substr(k, len));
            ++currentChars;
            k += len;
        }
    }
    out.push_back(current);
    return out;
}

std::size_t characterCount(std::string_view line) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < line.size(); i += unitLength(line, i))
        ++n;
    return n;
}

} // namespace tev::db
