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
    // before extended data; the last colour group counts, the first layer group. A record
    // with a true colour, or with common groups after a subclass marker, has no one place
    // to patch: false.
    std::size_t colour = kNoTag, layer = kNoTag;
    bool inEntityPart = true, embedded = false, patchable = true;
    std::string_view marker;
    forEachDataTag(tags, [&](const Tag &g) {
        if (g.code == 100 || g.code == 101) {
            inEntityPart = g.code == 100 && trimBlanks(g.value) == "AcDbEntity";
            marker = g.value;
            embedded = g.code == 101;
            return;
        }
        if (!inEntityPart) {
            if ((isEntityPartCode(g.code) || isTrueColourCode(g.code)) &&
                !subclassOwnsCode(marker, embedded, g.code))
                patchable = false;
            return;
        }
        const auto i = static_cast<std::size_t>(&g - tags.data());
        if (isTrueColourCode(g.code))
            patchable = false;
        if (g.code == 62)
            colour = i;
        else if (g.code == 8 && layer == kNoTag)
            layer = i;
    });
    return patchable && colourPlaceAt(tags, colour, layer, 0, end, place);
}

bool isEntityPartCode(int code) {
    return code == 8 || code == 6 || code == 62 || code == 370 || code == 48 || code == 60 ||
           code == 67;
}

bool subclassOwnsCode(std::string_view marker, bool embedded, int code) {
    if (embedded)
        return true;
    // Cell colours (62) and more of tables and multileaders; the column width (48) of
    // multiline text, whose layer or colour after its marker are the entity's (as one DXF
    // library writes them).
    const std::string_view m = trimBlanks(marker);
    if (m == "AcDbMText")
        return code == 48;
    return m == "AcDbTable" || m == "AcDbTableContent" || m == "AcDbMLeader";
}

std::size_t recordEnd(std::string_view text) {
    static const Locator kSource("<kept source>");
    TagReader reader(text, kSource, 1, 0);
    Tag t;
    bool first = true;
    while (reader.next(t)) {
        if (t.code == 0 && !first)
            return t.offset;
        first = false;
    }
    return text.size();
}

void recolourRecord(TagWriter &out, std::string_view record, int index) {
    static const Locator kSource("<kept source>");
    TagReader reader(record, kSource, 1, 0);
    std::vector<Tag> tags;
    Tag t;
    while (reader.next(t))
        tags.push_back(t);
    const auto raw = [&](std::size_t i) {
        const std::size_t e = i + 1 < tags.size() ? tags[i + 1].offset : record.size();
        return record.substr(tags[i].offset, e - tags[i].offset);
    };
    // The place of the new group: after the layer taken, or after the group 0.
    std::size_t after = 0;
    bool inEntityPart = true, embedded = false, placed = false;
    std::string_view marker;
    int depth = 0;
    for (std::size_t i = 1; i < tags.size() && !placed; ++i) {
        if (tags[i].code == 102)
            depth = appGroupDepth(tags[i], depth);
        else if (depth == 0 && tags[i].code == 8) {
            after = i;
            placed = true;
        }
    }
    depth = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Tag &g = tags[i];
        bool drop = false;
        if (i > 0 && g.code == 102) {
            depth = appGroupDepth(g, depth);
        } else if (i > 0 && depth == 0 && g.code < 1000) {
            if (g.code == 100 || g.code == 101) {
                inEntityPart = g.code == 100 && trimBlanks(g.value) == "AcDbEntity";
                marker = g.value;
                embedded = g.code == 101;
            }
            drop = (g.code == 62 || isTrueColourCode(g.code)) &&
                   (inEntityPart || !subclassOwnsCode(marker, embedded, g.code));
        }
        if (!drop)
            out.raw(raw(i));
        if (i == after && index >= 0 && index < 256)
            out.integer(62, index);
    }
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
