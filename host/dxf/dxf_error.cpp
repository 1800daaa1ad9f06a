// dxf_error.cpp - where a DXF defect is, in words a person can follow.
#include "dxf_error.h"

#include <algorithm>

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

void Locator::repair(std::uint32_t line, std::string_view fault, std::string_view fix) const {
    if (!repairsAllowed_)
        fail(line, fault);
    std::string note = where(line) + ": " + std::string(fault) + ": " + std::string(fix);
    const std::lock_guard<std::mutex> lock(repairsMutex_);
    repairs_.emplace_back(line, std::move(note));
}

std::vector<std::string> Locator::repairs() const {
    const std::lock_guard<std::mutex> lock(repairsMutex_);
    auto sorted = repairs_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto &r : sorted)
        out.push_back(std::move(r.second));
    return out;
}

} // namespace dxf
