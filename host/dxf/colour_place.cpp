// colour_place.cpp - finding an entity's colour group in its record.
#include "colour_place.h"

#include <vector>

namespace dxf {

bool colourPlaceAt(std::span<const Tag> tags, std::size_t colour, std::size_t layer,
                   std::size_t begin, std::size_t end, ColourPlace &place) {
    // Where the group at i ends: where the next tag begins, or the record's end.
    const auto after = [&](std::size_t i) {
        return (i + 1 < tags.size() ? tags[i + 1].offset : end) - begin;
    };
    if (colour < tags.size()) {
        place.cut = tags[colour].offset - begin;
        place.resume = after(colour);
        return true;
    }
    if (layer >= tags.size())
        return false;
    // A new colour group goes after the layer, or after the linetype right after it, as a
    // written entity has them.
    const std::size_t last =
        layer + 1 < tags.size() && tags[layer + 1].code == 6 ? layer + 1 : layer;
    place.cut = place.resume = after(last);
    return true;
}

bool colourPlaceIn(std::string_view src, ColourPlace &place) {
    static const Locator kSource("<kept source>");
    TagReader reader(src, kSource, 1, 0);
    std::vector<Tag> tags;
    Tag t;
    std::size_t end = src.size();
    while (reader.next(t)) {
        if (t.code == 0 && !tags.empty()) {
            end = t.offset; // the next record
            break;
        }
        tags.push_back(t);
    }
    // The groups the reader takes the colour and layer from: those of the AcDbEntity part
    // (the whole record in a file without subclass markers), outside application groups and
    // before extended data; the last colour group counts, the first layer group.
    std::size_t colour = kNoTag, layer = kNoTag;
    bool inEntityPart = true;
    forEachDataTag(tags, [&](const Tag &g) {
        if (g.code == 100) {
            inEntityPart = trimBlanks(g.value) == "AcDbEntity";
            return;
        }
        if (!inEntityPart)
            return;
        const auto i = static_cast<std::size_t>(&g - tags.data());
        if (g.code == 62)
            colour = i;
        else if (g.code == 8 && layer == kNoTag)
            layer = i;
    });
    return colourPlaceAt(tags, colour, layer, 0, end, place);
}

std::uint32_t packColourPlace(const ColourPlace &place) {
    if (place.cut == 0 || place.cut > 0xFFFF || place.resume < place.cut ||
        place.resume - place.cut > 0xFFFF)
        return 0;
    return static_cast<std::uint32_t>(place.cut << 16 | (place.resume - place.cut));
}

bool unpackColourPlace(std::uint32_t packed, std::size_t size, ColourPlace &place) {
    const std::size_t cut = packed >> 16;
    const std::size_t resume = cut + (packed & 0xFFFF);
    if (cut == 0 || resume > size)
        return false;
    place.cut = cut;
    place.resume = resume;
    return true;
}

} // namespace dxf
