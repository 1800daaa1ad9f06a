// keywords.h - the option keywords a host prompt offers, read from the prompt's own text, and
// what an answer names among them.
//
// An English prompt lists its global keywords in its last "[...]" ("[Close/Undo]"), capitals
// marking the shortest abbreviation as in acedInitGet's lists ("LOck": LO). A translated prompt
// names each option in its language with the global keyword beside it
// ("[Замкнуть(C)/Отменить(U)]"). So the catalogue that translates a prompt also gives its
// localised keywords, and one rule serves every prompt of the host, whichever command asks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace host {

struct PromptKeyword {
    std::string local;  // as the prompt shows it (the global one in an English prompt)
    std::string global; // as the command compares it
};

// Whether answer names keyword (Windows-1251, any case): its start, reaching at least the
// keyword's last capital ("LO", "LOC", "LOCK" for "LOck"; all of a keyword without
// capitals), or its capitals alone when a small letter comes before them ("X" for "eXit").
bool namesKeyword(std::string_view answer, std::string_view keyword);

// The keywords of the last "[...]" of prompt (Windows-1251); none when it has none.
std::vector<PromptKeyword> promptKeywords(std::string_view prompt);
// The keywords of a list in a prompt's form ("Name(GLOBAL)/Other", Windows-1251): the
// inside of a prompt's "[...]", or an option list a prompt without one names elsewhere.
std::vector<PromptKeyword> keywordList(std::string_view list);

// The answer as the command reads it. A localised keyword, typed as its capitals or as the
// whole name or a start of it reaching its last capital (any case: "З", "зам", "Замкнуть";
// "И" or "дли" for "длИна"), gives the global keyword. "_" before a global keyword gives that
// keyword in any language ("_Y"). Any other answer is returned as it is.
std::string globalAnswer(std::string_view answer, const std::vector<PromptKeyword> &keywords);

} // namespace host
