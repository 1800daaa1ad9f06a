// handle_index.cpp - the flat handle table: linear probing, at most four fifths full,
// removal by shifting the rest of a run back (no tombstones to slow later lookups).
#include "handle_index.h"

namespace tev::db {

namespace {

// A table is never fuller than kLoadNum / kLoadDen.
constexpr std::size_t kLoadNum = 4, kLoadDen = 5;

std::uint64_t mix(std::uint64_t h) {
    // Handles are mostly consecutive: a multiplication spreads them over the whole range.
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

} // namespace

std::size_t HandleIndex::home(std::uint64_t handle) const {
    // Sixteen consecutive handles share a spread-out place and lie side by side from it: a
    // file's objects, added in handle order, then fill the table a few cache lines at a
    // time instead of one random line each.
    const std::size_t n = slots_.size();
    const unsigned __int128 wide =
        static_cast<unsigned __int128>(mix(handle >> 4)) * static_cast<unsigned __int128>(n);
    const std::size_t at = static_cast<std::size_t>(wide >> 64) + (handle & 15);
    return at >= n ? at - n : at;
}

AcDbStub *HandleIndex::find(std::uint64_t handle) const {
    if (handle == 0 || slots_.empty())
        return nullptr;
    const std::size_t n = slots_.size();
    for (std::size_t i = home(handle);; i = i + 1 == n ? 0 : i + 1) {
        const Slot &s = slots_[i];
        if (s.handle == handle)
            return s.stub;
        if (s.handle == 0)
            return nullptr;
    }
}

bool HandleIndex::insert(std::uint64_t handle, AcDbStub *stub) {
    return handle != 0 && place(handle, stub, /*replace=*/false);
}

bool HandleIndex::assign(std::uint64_t handle, AcDbStub *stub) {
    return handle != 0 && place(handle, stub, /*replace=*/true);
}

bool HandleIndex::place(std::uint64_t handle, AcDbStub *stub, bool replace) {
    if ((size_ + 1) * kLoadDen > slots_.size() * kLoadNum)
        grow(slots_.size() < 8 ? 16 : slots_.size() + slots_.size() / 2);
    const std::size_t n = slots_.size();
    for (std::size_t i = home(handle);; i = i + 1 == n ? 0 : i + 1) {
        Slot &s = slots_[i];
        if (s.handle == handle) {
            if (replace)
                s.stub = stub;
            return replace;
        }
        if (s.handle == 0) {
            s.handle = handle;
            s.stub = stub;
            ++size_;
            return true;
        }
    }
}

bool HandleIndex::erase(std::uint64_t handle) {
    if (handle == 0 || slots_.empty())
        return false;
    const std::size_t n = slots_.size();
    std::size_t i = home(handle);
    while (slots_[i].handle != handle) {
        if (slots_[i].handle == 0)
            return false;
        i = i + 1 == n ? 0 : i + 1;
    }
    // Shift back every later entry of the run that may sit in the freed slot.
    std::size_t gap = i;
    for (std::size_t j = i + 1 == n ? 0 : i + 1; slots_[j].handle != 0;
         j = j + 1 == n ? 0 : j + 1) {
        const std::size_t want = home(slots_[j].handle);
        // j may move to gap when its home is not in (gap, j], counting round the end.
        const bool between = gap <= j ? (gap < want && want <= j) : (gap < want || want <= j);
        if (!between) {
            slots_[gap] = slots_[j];
            gap = j;
        }
    }
    slots_[gap] = Slot{};
    --size_;
    return true;
}

void HandleIndex::reserve(std::size_t count) {
    const std::size_t slots = count * kLoadDen / kLoadNum + 1;
    if (slots > slots_.size())
        grow(slots);
}

void HandleIndex::grow(std::size_t slots) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(slots, Slot{});
    const std::size_t n = slots_.size();
    for (const Slot &s : old) {
        if (s.handle == 0)
            continue;
        std::size_t i = home(s.handle);
        while (slots_[i].handle != 0)
            i = i + 1 == n ? 0 : i + 1;
        slots_[i] = s;
    }
}

} // namespace tev::db
