// mo_catalogue.h - a compiled GNU message catalogue (.mo) read whole, for the build that has
// no gettext (Windows). Translations are kept in Windows-1251, the host's code page.
#pragma once

#include <string>
#include <unordered_map>

namespace host::i18n {

class MoCatalogue {
public:
    // Reads path (UTF-8 texts, as msgfmt writes them from an UTF-8 .po). False, with a reason
    // in error and nothing kept, for a file that is missing, short or not a catalogue.
    bool load(const std::string &path, std::string &error);
    // The translation of english, or english itself when the catalogue lacks it.
    const char *find(const char *english) const;

private:
    std::unordered_map<std::string, std::string> mTexts;
};

} // namespace host::i18n
