// handle_index.h - a database's handles and their stubs: one flat table probed in line, 16
// bytes a slot and no allocation per object (a million objects read from a file would
// otherwise mean a million small allocations and twice the memory). Handle 0 is never
// stored: it is the null handle, and it marks a free slot.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class AcDbStub;

namespace tev::db {

class HandleIndex {
public:
    std::size_t size() const { return size_; }
    bool contains(std::uint64_t handle) const { return find(handle) != nullptr; }
    // The stub of handle, or nullptr.
    AcDbStub *find(std::uint64_t handle) const;
    // Adds handle → stub; false (nothing changes) when handle is 0 or already there.
    bool insert(std::uint64_t handle, AcDbStub *stub);
    // Adds handle → stub, or points handle at stub when it is there; false when handle is 0.
    bool assign(std::uint64_t handle, AcDbStub *stub);
    // Removes handle; false when it is not there.
    bool erase(std::uint64_t handle);
    // Makes room for count entries in all, so that adding them moves nothing.
    void reserve(std::size_t count);

private:
    struct Slot {
        std::uint64_t handle = 0; // 0: free
        AcDbStub *stub = nullptr;
    };
    // The slot handle starts its probe at: the hash scaled to the table, no power of two
    // needed (so the table is no larger than the load asks for).
    std::size_t home(std::uint64_t handle) const;
    void grow(std::size_t slots);
    // insert and assign: handle is not 0.
    bool place(std::uint64_t handle, AcDbStub *stub, bool replace);

    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

} // namespace tev::db
