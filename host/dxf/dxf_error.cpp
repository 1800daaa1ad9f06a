// dxf_error.cpp - where a DXF defect is, in words a person can follow.
#include "dxf_error.h"

namespace dxf {

std::string Locator::where(std::uint32_t line) const {
    if (line == 0)
        return name_;
    if (isBinary()) {
        // Binary tags become two text lines each: the code and the value.
        std::size_t tag = (line - 1) / 2;
        if (tag >= tagOffsets_.size())
            tag = tagOffsets_.size() - 1;
        return name_ + ": byte " + std::to_string(tagOffsets_[tag]);
    }
    return name_ + ":" + std::to_string(line);
}

std::string Locator::at(std::uint32_t line) const {
    const std::string full = where(line);
    return isBinary() ? full.substr(name_.size() + 2) : "line " + std::to_string(line);
}

void Locator::fail(std::uint32_t line, std::string_view what) const {
    throw DxfError(where(line) + ": " + std::string(what));
}

} // namespace dxf
