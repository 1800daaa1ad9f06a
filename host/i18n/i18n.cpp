// i18n.cpp - choosing the host's language and looking its texts up with GNU gettext.
//
// gettext picks the catalogue's language from LANGUAGE only when the messages locale is not
// "C", and a Russian locale need not be installed for the Russian texts to be wanted. So the
// language is chosen here from the environment (or --lang), LANGUAGE is set to it, and the
// messages locale is moved off "C" to the always-present "C.UTF-8" when needed. The
// catalogue's texts are asked for in Windows-1251, the code page everything inside the host
// uses, so they go to the transcript through the same conversion as every other host text.
// Windows has no gettext: there the same compiled catalogue is read by mo_catalogue.cpp.
#include "i18n.h"

#include <cstdlib>
#include <filesystem>

#if defined(_WIN32)
#include "mo_catalogue.h"

#include <windows.h>
#else
#include <clocale>
#include <libintl.h>
#endif

namespace host::i18n {

namespace {

constexpr const char *kDomain = "arxhost";

Language gLanguage = Language::English;

#if defined(_WIN32)
MoCatalogue &catalogue() {
    static MoCatalogue s_catalogue;
    return s_catalogue;
}
#endif

bool startsWithRu(std::string_view s) {
    return s.size() >= 2 && (s[0] == 'r' || s[0] == 'R') && (s[1] == 'u' || s[1] == 'U') &&
           (s.size() == 2 || s[2] == '_' || s[2] == '.' || s[2] == '@' || s[2] == '-');
}

std::string_view env(const char *name) {
    const char *v = std::getenv(name);
    return v != nullptr ? std::string_view(v) : std::string_view();
}

} // namespace

Language chooseLanguage(std::string_view explicitChoice) {
    if (!explicitChoice.empty())
        return startsWithRu(explicitChoice) ? Language::Russian : Language::English;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::string_view value = env(name);
        if (!value.empty())
            return startsWithRu(value) ? Language::Russian : Language::English;
    }
#if defined(_WIN32)
    // No locale variables: the language of the user's Windows.
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN)
        return Language::Russian;
#endif
    return Language::English;
}

bool setLanguage(Language language, const std::string &catalogueDir, std::string &warning) {
    gLanguage = Language::English;
    if (language == Language::English)
        return true;
    std::filesystem::path file =
        std::filesystem::path(catalogueDir) / "ru" / "LC_MESSAGES" / "arxhost.mo";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        warning = "no Russian message catalogue in " + catalogueDir + "; the host speaks English.";
        return false;
    }
#if defined(_WIN32)
    std::string why;
    if (!catalogue().load(file.string(), why)) {
        warning = why + "; the host speaks English.";
        return false;
    }
    gLanguage = Language::Russian;
    return true;
#else
    ::setenv("LANGUAGE", "ru", /*overwrite=*/1);
    const char *messages = std::setlocale(LC_MESSAGES, "");
    if (messages == nullptr || std::string_view(messages) == "C" ||
        std::string_view(messages) == "POSIX")
        messages = std::setlocale(LC_MESSAGES, "C.UTF-8");
    if (messages == nullptr) {
        warning = "the C library offers no locale to read messages in; the host speaks English.";
        return false;
    }
    if (::bindtextdomain(kDomain, catalogueDir.c_str()) == nullptr ||
        ::bind_textdomain_codeset(kDomain, "CP1251") == nullptr) {
        warning = "the message catalogue cannot be opened; the host speaks English.";
        return false;
    }
    gLanguage = Language::Russian;
    return true;
#endif
}

Language language() {
    return gLanguage;
}

const char *tr(const char *english) {
    if (gLanguage == Language::English || english == nullptr || *english == '\0')
        return english; // gettext("") would give the catalogue's header
#if defined(_WIN32)
    return catalogue().find(english);
#else
    return ::dgettext(kDomain, english);
#endif
}

std::string format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next != args.end())
                out += *next++;
            ++i;
            continue;
        }
        out += pattern[i];
    }
    return out;
}

} // namespace host::i18n
