// colour_place.h - where an entity's colour group stands in its original bytes, so that a
// colour-only change is written as those bytes with one group replaced.
#pragma once

#include "tags.h"
#include "tag_writer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace dxf {

// Byte offsets in an entity's record: the bytes [cut, resume) are the colour group the reader
// takes (the last 62 of the AcDbEntity part), or, when there is none, cut == resume is the
// place a colour group goes (after the layer group, or after the linetype right after it).
struct ColourPlace {
    std::size_t cut = 0;
    std::size_t resume = 0;
};

// The place in a record from the reader's choice of groups: `colour` the index in `tags` (the
// record's, the group 0 first, with the file's offsets) of the colour group it takes, `layer`
// that of the layer group, either kNoTag; the record spans [begin, end) of the file. False
// when there is neither.
constexpr std::size_t kNoTag = static_cast<std::size_t>(-1);
bool colourPlaceAt(std::span<const Tag> tags, std::size_t colour, std::size_t layer,
                   std::size_t begin, std::size_t end, ColourPlace &place);
// The same from the record's bytes (the first record of `src`), read one tag at a time and
// the groups chosen as the reader chooses them.
bool colourPlaceIn(std::string_view src, ColourPlace &place);

// A place packed into 32 bits, for keeping with millions of objects: 0 when it does not fit
// (the writer then looks again with colourPlaceIn).
std::uint32_t packColourPlace(const ColourPlace &place);
// False for 0 or a place outside a source of `size` bytes.
bool unpackColourPlace(std::uint32_t packed, std::size_t size, ColourPlace &place);

// The groups an entity holds wherever a file puts them (the AcDbEntity part, or a stray
// copy after a class's subclass marker): layer, linetype, colour, lineweight, linetype
// scale, visibility, paper space.
bool isEntityPartCode(int code);
constexpr int kEntityPartCodes[] = {8, 6, 62, 370, 48, 60, 67};
// A true colour (420) or its name (430): the entity's wherever a file puts them, as above, but
// the entity's colour as a whole, written with 62 or not at all.
inline bool isTrueColourCode(int code) {
    return code == 420 || code == 430;
}
// Whether a group `code` after a subclass marker is the class's own data rather than a stray
// common group: a table's cell colours and the like, a text's column width (48); every group
// after an embedded object's 101 (pass embedded).
bool subclassOwnsCode(std::string_view marker, bool embedded, int code);

// Where the first record of `text` ends: the offset of the next group 0, or text.size().
std::size_t recordEnd(std::string_view text);
// Writes one record kept as bytes with colour `index` (256: BYLAYER, no group): its colour
// groups (62, and the true colour 420 and its name 430) dropped wherever they stand, the new
// 62 after its layer group (or after its group 0 when it has none).
void recolourRecord(TagWriter &out, std::string_view record, int index);

} // namespace dxf
