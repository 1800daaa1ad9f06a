// mo_catalogue.cpp - reads a .mo file: a header (magic 0x950412de, revision, count N, then
// the offsets of two tables), and two tables of N (length, offset) pairs, the originals
// and their translations. Every length and offset is checked against the file's size.
#include "mo_catalogue.h"

#include "text_codec.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace host::i18n {

namespace {

constexpr std::uint32_t kMagic = 0x950412de;

std::uint32_t word(const std::string &data, std::size_t at) {
    std::uint32_t w = 0;
    std::memcpy(&w, data.data() + at, sizeof w); // little-endian files, as msgfmt writes here
    return w;
}

// The string the table entry at 'at' names; false when it lies outside the file.
bool entry(const std::string &data, std::size_t at, std::string &out) {
    if (at + 8 > data.size())
        return false;
    std::uint64_t length = word(data, at), offset = word(data, at + 4);
    if (offset + length > data.size())
        return false;
    out.assign(data, static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    return true;
}

} // namespace

bool MoCatalogue::load(const std::string &path, std::string &error) {
    mTexts.clear();
    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot read " + path;
        return false;
    }
    if (data.size() < 20 || word(data, 0) != kMagic) {
        error = path + " is not a message catalogue";
        return false;
    }
    std::uint64_t count = word(data, 8), originals = word(data, 12), translations = word(data, 16);
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string original, translation;
        if (!entry(data, static_cast<std::size_t>(originals + 8 * i), original) ||
            !entry(data, static_cast<std::size_t>(translations + 8 * i), translation)) {
            mTexts.clear();
            error = path + " is damaged";
            return false;
        }
        if (original.empty())
            continue; // the catalogue's header
        // Plural forms are NUL-separated; the host uses none, so the first form is the text.
        translation.resize(std::strlen(translation.c_str()));
        mTexts.emplace(std::move(original), text::utf8ToCp1251(translation));
    }
    return true;
}

const char *MoCatalogue::find(const char *english) const {
    auto it = mTexts.find(english);
    return it != mTexts.end() ? it->second.c_str() : english;
}

} // namespace host::i18n
