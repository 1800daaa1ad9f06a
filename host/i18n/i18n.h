// i18n.h - the host's own texts in the user's language. English is the text in the sources
// and the default; Russian comes from the message catalogue (po/ru.po, compiled to
// locale/ru/LC_MESSAGES/arxhost.mo beside the executable) through GNU gettext. Texts are
// returned in Windows-1251, the host's code page. The module's texts never pass here.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace host::i18n {

enum class Language { English, Russian };

// The language an explicit choice ("ru", "en", any case) names, else the one the
// environment asks for (LC_ALL, then LC_MESSAGES, then LANG, as the C library reads them):
// Russian for a locale starting "ru", English for anything else.
Language chooseLanguage(std::string_view explicitChoice);

// Makes language the host's language. catalogueDir holds ru/LC_MESSAGES/arxhost.mo. False,
// with a reason in warning, when Russian was asked for but cannot be given (no catalogue, no
// gettext in this build): the host then stays in English.
bool setLanguage(Language language, const std::string &catalogueDir, std::string &warning);
Language language();

// The host's text in the current language, in Windows-1251. english is the source text (the
// catalogue's key); it is returned unchanged in English or when the catalogue lacks it.
const char *tr(const char *english);
// Marks a text for the catalogue where it is defined and translated later with tr().
constexpr const char *N_(const char *english) {
    return english;
}

// Replaces each "%s" of pattern, in order, by the next of args (copied as they are; a "%s"
// in an argument is not expanded again). Extra "%s" are left empty, extra args dropped.
std::string format(std::string_view pattern, std::initializer_list<std::string_view> args);

} // namespace host::i18n
