// keywords.cpp - option keywords from a prompt's text; an answer's global keyword.
#include "keywords.h"
#include "text_util.h"

#include <algorithm>

namespace host {
namespace {

using text::foldCase;

bool isCapital(char c) {
    return foldCase(c) != c;
}

// A small Latin or Russian letter (Windows-1251).
bool isSmall(char c) {
    auto b = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || b >= 0xE0 || b == 0xB8;
}

// How much of name an answer must give at least: up to its last capital (all of a name
// without capitals).
std::size_t needed(std::string_view name) {
    for (std::size_t i = name.size(); i > 0; --i)
        if (isCapital(name[i - 1]))
            return i;
    return name.size();
}

bool isGlobalChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether rest is what follows a prompt's keyword list: an optional " <default>", then ":"
// and spaces (so that a "[" in a file name shown as a default is no keyword list).
bool endsPrompt(std::string_view rest) {
    if (rest.starts_with(" <")) {
        std::size_t gt = rest.rfind('>');
        if (gt == std::string_view::npos)
            return false;
        rest.remove_prefix(gt + 1);
    }
    if (rest.starts_with(':'))
        rest.remove_prefix(1);
    return rest.find_first_not_of(' ') == std::string_view::npos;
}

} // namespace

bool namesKeyword(std::string_view answer, std::string_view keyword) {
    if (answer.empty())
        return false;
    std::string a = foldCase(answer), k = foldCase(keyword);
    if (a.size() >= needed(keyword) && k.compare(0, a.size(), a) == 0)
        return true;
    // Capitals after a small letter ("длИна", "eXit") may be typed alone.
    std::string capitals;
    bool smallBefore = false;
    for (char c : keyword.substr(0, needed(keyword))) {
        if (isCapital(c))
            capitals += c;
        else if (isSmall(c))
            smallBefore = true;
    }
    return smallBefore && a == foldCase(capitals);
}

std::vector<PromptKeyword> promptKeywords(std::string_view prompt) {
    std::vector<PromptKeyword> out;
    std::size_t open = prompt.rfind('[');
    if (open == std::string_view::npos)
        return out;
    std::size_t close = prompt.find(']', open);
    if (close == std::string_view::npos || !endsPrompt(prompt.substr(close + 1)))
        return out;
    return keywordList(prompt.substr(open + 1, close - open - 1));
}

std::vector<PromptKeyword> keywordList(std::string_view list) {
    std::vector<PromptKeyword> out;
    for (;;) {
        std::size_t slash = list.find('/');
        std::string_view item = list.substr(0, slash);
        if (!item.empty()) {
            // "Name(GLOBAL)": a last parenthesised word of Latin letters and digits names the
            // global keyword ("Ttr (tan tan radius)" is an English keyword with a gloss).
            std::size_t paren = item.rfind('(');
            std::string_view global = paren == std::string_view::npos || paren == 0
                                          ? std::string_view()
                                          : item.substr(paren + 1, item.size() - paren - 2);
            if (item.back() == ')' && !global.empty() &&
                std::all_of(global.begin(), global.end(), isGlobalChar))
                out.push_back({std::string(item.substr(0, paren)), std::string(global)});
            else
                out.push_back({std::string(item), std::string(item)});
        }
        if (slash == std::string_view::npos)
            return out;
        list.remove_prefix(slash + 1);
    }
}

std::string globalAnswer(std::string_view answer, const std::vector<PromptKeyword> &keywords) {
    if (answer.size() > 1 && answer.front() == '_') {
        std::string_view rest = answer.substr(1);
        for (const PromptKeyword &k : keywords)
            if (namesKeyword(rest, k.global) || text::startsWithIgnoreCase(rest, k.global))
                return std::string(rest);
        return std::string(answer);
    }
    for (const PromptKeyword &k : keywords)
        if (k.local != k.global && namesKeyword(answer, k.local))
            return k.global;
    return std::string(answer);
}

} // namespace host
