// selection_sets.cpp - the table of live selection sets.
#include "selection_sets.h"

namespace host {

bool SelectionSets::allocate(std::vector<EntName> members, ads_name ss) {
    ads_name_clear(ss);
    if (sets_.size() >= kMaxSelectionSets)
        return false;
    long number = nextNumber_++;
    sets_.emplace(number, std::move(members));
    ss[0] = number;
    ss[1] = kSelectionSetTag;
    return true;
}

const std::vector<EntName> *SelectionSets::find(const ads_name ss) const {
    if (ss == nullptr || ss[1] != kSelectionSetTag)
        return nullptr;
    auto it = sets_.find(ss[0]);
    return it == sets_.end() ? nullptr : &it->second;
}

bool SelectionSets::free(const ads_name ss) {
    if (ss == nullptr || ss[1] != kSelectionSetTag)
        return false;
    return sets_.erase(ss[0]) == 1;
}

} // namespace host
