// selection_sets.h - the host's selection sets: named, counted, at most 128 alive at
// once, freed by acedSSFree. A set keeps entity names in the order they were selected.
#pragma once

#include "adsdef.h"
#include "dbid.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace host {

// An entity name as a value (ads_name is an array and cannot be stored as one).
struct EntName {
    long a = 0;
    long b = 0;
    bool operator==(const EntName &) const = default;
    static EntName of(const ads_name n) { return {n[0], n[1]}; }
    void to(ads_name n) const {
        n[0] = a;
        n[1] = b;
    }
};

struct EntNameHash {
    std::size_t operator()(const EntName &n) const {
        return std::hash<long>()(n.a) * 31 + std::hash<long>()(n.b);
    }
};

// The kind tag in ads_name[1] that marks a selection-set name.
constexpr long kSelectionSetTag = 0x5353;
// The host's limit of selection sets alive at once.
constexpr std::size_t kMaxSelectionSets = 128;

class SelectionSets {
public:
    // Makes a set of members and names it in ss. False (and ss cleared) when 128 sets
    // are already alive.
    bool allocate(std::vector<EntName> members, ads_name ss);
    // The members of the set ss names, or nullptr when it names no live set.
    const std::vector<EntName> *find(const ads_name ss) const;
    // Frees the set; false when ss names no live set.
    bool free(const ads_name ss);
    std::size_t allocated() const { return sets_.size(); }

    // The members of the last selection made at "Select objects:", for "P" (Previous): the
    // numbers of their entity names (ads_name[0]) alone, 4 bytes each, for a selection may
    // hold millions of entities and stays for the rest of the session.
    const std::vector<std::int32_t> &previous() const { return previous_; }
    void setPrevious(std::vector<std::int32_t> numbers) { previous_ = std::move(numbers); }

    // Every live set, by number.
    const std::map<long, std::vector<EntName>> &sets() const { return sets_; }

    // The selection being built at "Select objects:", kept only while something shows it
    // (the view), for it costs a copy per prompt.
    bool pendingShown() const { return pendingShown_; }
    void showPending(bool shown) { pendingShown_ = shown; }
    const std::vector<AcDbObjectId> &pending() const { return pending_; }
    void setPending(std::vector<AcDbObjectId> ids) { pending_ = std::move(ids); }

private:
    std::map<long, std::vector<EntName>> sets_;
    bool pendingShown_ = false;
    std::vector<AcDbObjectId> pending_;
    long nextNumber_ = 1; // never reused, so a stale name never reaches a newer set
    std::vector<std::int32_t> previous_;
};

} // namespace host
