// dxf_error.h - the one error the DXF layers raise, and the locator that turns a tag's
// line into the place a person can find it ("plan.dxf:1207" or "plan.dxf: byte 5123").
//
// Inside host/dxf a bad file is reported by throwing DxfError; the public entry points in
// dxf_io.h catch it and hand back the message, so no exception crosses the API boundary.
#pragma once

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// A bad or unreadable DXF file. what() is the complete message, place first.
class DxfError : public std::runtime_error {
public:
    explicit DxfError(const std::string &message) : std::runtime_error(message) {}
};

// Names places in one source: by line for ASCII files, by byte offset for binary files
// (whose tags were turned into text lines; tagOffsets[i] is the byte offset of tag i).
class Locator {
public:
    explicit Locator(std::string name = "<memory>") : name_(std::move(name)) {}

    const std::string &name() const { return name_; }
    void setBinaryOffsets(std::vector<std::uint64_t> offsets) { tagOffsets_ = std::move(offsets); }
    bool isBinary() const { return !tagOffsets_.empty(); }

    // "name:line", or "name: byte N" for a binary source; line 0 means "the whole file".
    std::string where(std::uint32_t line) const;

    // "line N", or "byte N" for a binary source: a second place in one message.
    std::string at(std::uint32_t line) const;

    // Throws DxfError("<where>: <what>").
    [[noreturn]] void fail(std::uint32_t line, std::string_view what) const;

    // Harmless damage the reader mends: with repairs allowed, notes "<where>: <fault>:
    // <fix>" and returns; a strict reader fails with the fault instead. Safe to call from
    // the two threads of a pipelined read.
    void allowRepairs(bool allow) { repairsAllowed_ = allow; }
    void repair(std::uint32_t line, std::string_view fault, std::string_view fix) const;
    // What the reader did with something unusual but sound: noted as a repair is where
    // repairs are allowed, and nothing to a strict reader.
    void note(std::uint32_t line, std::string_view what, std::string_view done) const {
        if (repairsAllowed_)
            repair(line, what, done);
    }
    // The notes so far, in the order of the lines they name.
    std::vector<std::string> repairs() const;
    std::size_t repairCount() const {
        const std::lock_guard<std::mutex> lock(repairsMutex_);
        return repairs_.size();
    }

private:
    std::string name_;
    std::vector<std::uint64_t> tagOffsets_;
    bool repairsAllowed_ = false;
    mutable std::mutex repairsMutex_;
    mutable std::vector<std::pair<std::uint32_t, std::string>> repairs_;
};

} // namespace dxf
