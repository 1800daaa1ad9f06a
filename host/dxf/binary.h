// binary.h - binary DXF (a file that opens with the binary DXF sentinel). The file is turned
// once into the ASCII tag text the rest of host/dxf reads, so every higher layer has one input
// form; the locator keeps each tag's byte offset so that errors still name a place in the file.
#pragma once

#include "dxf_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// The 22 bytes that open every binary DXF file, as the format fixes them: the binary DXF
// sentinel. The only place they are spelled.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\x00", 22};

// Whether `data` starts with the binary DXF sentinel.
bool isBinaryDxf(std::string_view data);

// The ASCII form of binary DXF `data` (LF line ends). Group codes are one byte (255 then
// two bytes for larger codes) in R12 files and two bytes from R13 on, told apart by the
// first tag. Fills `tagOffsets` with the byte offset of each tag. Throws DxfError (located by
// byte offset through `name`) for a truncated file, a string without its terminating zero,
// or a non-finite double. A line break in a string becomes ^J (LF) or ^M (CR), as text DXF
// spells control characters.
std::string transcodeBinary(std::string_view data, const std::string &name,
                            std::vector<std::uint64_t> &tagOffsets);

} // namespace dxf
