// selection.cpp - acedSSGet and the selection-set calls. Without a mode, points or a
// filter acedSSGet runs the host's "Select objects:" prompt (with "W"/"C" and two corners,
// or "WP"/"CP"/"F" and a resbuf list of points, it selects without asking):
//   a point      the entity nearest within the pick aperture (a miss finds nothing; this
//                host does not start an implied window)
//   W / C        window (entities wholly inside) / crossing (inside or touching)
//   ALL          the current space except frozen layers
//   L / P        the last visible entity / the previous selection
//   WP / CP      window / crossing polygon: the same with a polygon of three points or more
//   F            fence: the entities a line of points touches
//   R / A        from now on remove / add what is found
//   U            undo the last step
//   Enter        finish
// A Russian session takes the options' local names too (the list of the options' text);
// "_" before a global one takes it in any language.
// Each step reports "N found" (with duplicates, removals and the running total). The
// call answers RTNORM and a new set, RTERROR (no set) when nothing is selected or 128
// sets are alive (ERRNO 3), RTCAN on Escape. Sets hold entity names; membership is kept
// in a hash set, so that selecting a million entities stays linear.
#include "access.h"
#include "text_util.h"
#include "acedads.h"
#include "answer_parse.h"
#include "command_line.h"
#include "dbapserv.h"
#include "keywords.h"
#include "prompt_band.h"
#include "selection_sets.h"
#include "spatial.h"
#include "sysvars.h"
#include "i18n.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

using host::Answer;
using host::CommandLine;
using host::EntName;
using host::i18n::tr;

namespace {

using host::text::toUpper;

AcDbDatabase *working() {
    return acdbHostApplicationServices()->workingDatabase();
}

AcGePoint2d flat(const host::Point3 &p) {
    return {p.x, p.y};
}

// The selection being built, with the steps that built it for Undo. A first step that
// finds each entity once (ALL, a window) is taken as it is: the set of members that finds
// duplicates is only made when a later step needs it.
class Selection {
public:
    struct Change {
        AcDbObjectId id;
        bool added; // else removed
    };

    // Adds (or removes) found; prints the host's count line. distinct: found holds each
    // entity once.
    void apply(const std::vector<AcDbObjectId> &found, bool removing, bool distinct = false) {
        if (!removing && distinct && order_.empty() && !haveSet_) {
            order_ = found;
            steps_.push_back(Step{{}, found.size()});
            report(found.size(), 0, 0, false);
            return;
        }
        makeSet();
        Step step;
        step.changes.reserve(found.size());
        if (!removing)
            members_.reserve(members_.size() + found.size()); // ALL of a million: no rehash
        std::size_t duplicates = 0, removed = 0;
        for (const AcDbObjectId &id : found) {
            if (removing) {
                if (members_.erase(id)) {
                    step.changes.push_back({id, false});
                    ++removed;
                    pruned_ = true;
                }
            } else if (members_.insert(id).second) {
                order_.push_back(id);
                step.changes.push_back({id, true});
            } else {
                ++duplicates;
            }
        }
        steps_.push_back(std::move(step));
        report(found.size(), duplicates, removed, removing);
    }

    // Takes back the last step; false when there is none.
    bool undo() {
        if (steps_.empty())
            return false;
        const Step &step = steps_.back();
        if (step.taken > 0) {
            // The first step, taken as it was: nothing else is in the selection.
            order_.clear();
            members_.clear();
            haveSet_ = false;
            pruned_ = false;
        }
        for (const Change &c : step.changes) {
            if (c.added) {
                members_.erase(c.id);
                pruned_ = true;
            } else {
                members_.insert(c.id);
                order_.push_back(c.id);
            }
        }
        steps_.pop_back();
        return true;
    }

    std::size_t size() const { return haveSet_ ? members_.size() : order_.size(); }

    // The members in the order they were first selected.
    std::vector<AcDbObjectId> members() const {
        if (!pruned_)
            return order_; // only ever added to: each member once, in order
        std::vector<AcDbObjectId> out;
        out.reserve(members_.size());
        std::unordered_set<AcDbObjectId> seen;
        for (const AcDbObjectId &id : order_)
            if (members_.count(id) && seen.insert(id).second)
                out.push_back(id);
        return out;
    }

private:
    struct Step {
        std::vector<Change> changes;
        std::size_t taken = 0; // a first step taken whole: its size
    };

    void makeSet() {
        if (haveSet_)
            return;
        members_.reserve(order_.size());
        members_.insert(order_.begin(), order_.end());
        haveSet_ = true;
    }

    void report(std::size_t found, std::size_t duplicates, std::size_t removed, bool removing) {
        std::string text = host::i18n::format(tr("%s found"), {std::to_string(found)});
        if (duplicates)
            text += host::i18n::format(tr(" (%s duplicate)"), {std::to_string(duplicates)});
        if (removing)
            text += host::i18n::format(tr(", %s removed"), {std::to_string(removed)});
        if (removing || reported_)
            text += host::i18n::format(tr(", %s total"), {std::to_string(size())});
        reported_ = true;
        CommandLine::current().refuse(text);
    }

    std::vector<AcDbObjectId> order_;
    std::unordered_set<AcDbObjectId> members_; // made from order_ when first needed
    bool haveSet_ = false;
    std::vector<Step> steps_;
    bool reported_ = false;
    bool pruned_ = false; // something was removed: order_ may hold ids no longer members
};

enum class Got { Point, Empty, Cancel };

// Asks for a point (refusing anything else). Empty means "go back".
Got askPoint(const char *prompt, const host::Point3 &base, host::Point3 &out) {
    auto &cl = CommandLine::current();
    for (;;) {
        cl.expect(host::Want::Point);
        Answer a = cl.ask(prompt);
        if (!a.isText())
            return Got::Cancel;
        if (a.text.empty())
            return Got::Empty;
        if (auto p = host::parsePoint(a.text, base)) {
            out = *p;
            return Got::Point;
        }
        cl.refuse(tr("Invalid point."));
    }
}

host::Point3 lastPoint() {
    ads_point p;
    host::getLastPoint(p);
    return {p[X], p[Y], p[Z]};
}

// Points typed one after another until Enter (Got::Empty) or Escape (Got::Cancel): a
// fence's line or a polygon's corners.
Got askPointChain(const char *firstPrompt, std::vector<AcGePoint2d> &points) {
    host::Point3 p;
    Got g = askPoint(firstPrompt, lastPoint(), p);
    while (g == Got::Point) {
        points.push_back(flat(p));
        g = askPoint(tr("\nSpecify endpoint of line: "), p, p);
    }
    return g;
}

bool nameOf(AcDbObjectId id, EntName &out) {
    ads_name n;
    if (acdbGetAdsName(n, id) != Acad::eOk)
        return false;
    out = EntName::of(n);
    return true;
}

// The entities of a previous selection still in the current space and not erased.
std::vector<AcDbObjectId> previousIds(AcDbObjectId space) {
    std::vector<AcDbObjectId> out;
    for (const std::int32_t number : CommandLine::current().selectionSets().previous()) {
        const ads_name name = {number, tev::db::kEntityNameTag};
        AcDbObjectId id;
        if (acdbGetObjectId(id, name) != Acad::eOk || id.isErased())
            continue;
        AcDbEntity *ent = nullptr;
        if (acdbOpenAcDbEntity(ent, id, AcDb::kForRead) != Acad::eOk)
            continue;
        bool here = ent->blockId() == space;
        (void)ent->close();
        if (here)
            out.push_back(id);
    }
    return out;
}

constexpr const char *kOptions =
    host::i18n::N_("Expects a point or Window/Crossing/WPolygon/CPolygon/ALL/Last/Previous/"
                   "Fence/Add/Remove/Undo");

// The options' keywords in the session's language: the list that ends the options' text
// ("Рамка(W)/Секрамка(C)/..."), so that a local name answers as its global keyword does.
std::vector<host::PromptKeyword> optionKeywords() {
    std::string_view options = tr(kOptions);
    std::size_t space = options.rfind(' ');
    return host::keywordList(space == std::string_view::npos ? options : options.substr(space + 1));
}

// The "Select objects:" prompt. RTNORM with the chosen ids, RTNONE when the user finished
// with nothing chosen, RTCAN on Escape.
int selectObjects(AcDbDatabase &db, std::vector<AcDbObjectId> &chosen) {
    auto &cl = CommandLine::current();
    struct ClearPending { // the selection being built shows only while it is built
        ~ClearPending() { CommandLine::current().selectionSets().setPending({}); }
    } clearPending;
    AcDbObjectId space = db.currentSpaceId();
    Selection sel;
    bool removing = false;
    const std::vector<host::PromptKeyword> keywords = optionKeywords();
    for (;;) {
        if (cl.selectionSets().pendingShown())
            cl.selectionSets().setPending(sel.members());
        cl.expect(host::Want::Select);
        Answer a = cl.ask(removing ? tr("\nRemove objects: ") : tr("\nSelect objects: "));
        if (!a.isText())
            return RTCAN;
        if (a.text.empty())
            break;
        std::string word = toUpper(host::globalAnswer(a.text, keywords));
        if (auto p = host::parsePoint(a.text, lastPoint())) {
            double aperture = a.aperture > 0 ? a.aperture : host::pickAperture();
            AcDbObjectId id = tev::db::pickEntity(db, space, flat(*p), aperture);
            std::vector<AcDbObjectId> found;
            if (!id.isNull())
                found.push_back(id);
            sel.apply(found, removing);
        } else if (word == "W" || word == "WINDOW" || word == "C" || word == "CROSSING") {
            host::Point3 c1, c2;
            Got g = askPoint(tr("\nSpecify first corner: "), lastPoint(), c1);
            if (g == Got::Point) {
                host::BandScope band(host::bandFrom(host::Band::Kind::Window, c1));
                g = askPoint(tr("\nSpecify opposite corner: "), c1, c2);
            }
            if (g == Got::Cancel)
                return RTCAN;
            if (g == Got::Point)
                sel.apply(tev::db::selectWindow(db, space, flat(c1), flat(c2), word[0] == 'C'),
                          removing);
        } else if (word == "ALL") {
            sel.apply(tev::db::selectAll(db, space), removing, /*distinct=*/true);
        } else if (word == "L" || word == "LAST") {
            AcDbObjectId id = tev::db::lastEntity(db, space);
            std::vector<AcDbObjectId> found;
            if (!id.isNull())
                found.push_back(id);
            sel.apply(found, removing);
        } else if (word == "P" || word == "PREVIOUS") {
            sel.apply(previousIds(space), removing);
        } else if (word == "F" || word == "FENCE") {
            std::vector<AcGePoint2d> fence;
            if (askPointChain(tr("\nSpecify first fence point: "), fence) == Got::Cancel)
                return RTCAN;
            if (fence.size() >= 2)
                sel.apply(tev::db::selectFence(db, space, fence), removing);
        } else if (word == "WP" || word == "WPOLYGON" || word == "CP" || word == "CPOLYGON") {
            std::vector<AcGePoint2d> polygon;
            if (askPointChain(tr("\nFirst polygon point: "), polygon) == Got::Cancel)
                return RTCAN;
            if (polygon.size() >= 3)
                sel.apply(tev::db::selectPolygon(db, space, polygon, word[0] == 'C'), removing);
            else
                cl.refuse(tr("A polygon needs three points or more."));
        } else if (word == "R" || word == "REMOVE") {
            removing = true;
        } else if (word == "A" || word == "ADD") {
            removing = false;
        } else if (word == "U" || word == "UNDO") {
            if (!sel.undo())
                cl.refuse(tr("Everything has been undone."));
        } else if (word == "?") {
            cl.refuse(tr(kOptions));
        } else {
            cl.refuse(std::string(tr("*Invalid selection*")) + "\n" + tr(kOptions));
        }
    }
    chosen = sel.members();
    return chosen.empty() ? RTNONE : RTNORM;
}

// Names a new set holding ids. RTNORM, or RTERROR with ERRNO 3 when 128 sets are alive.
int makeSet(const std::vector<AcDbObjectId> &ids, ads_name ss) {
    std::vector<EntName> names;
    names.reserve(ids.size());
    std::vector<std::int32_t> numbers;
    numbers.reserve(ids.size());
    for (const AcDbObjectId &id : ids) {
        EntName n;
        if (nameOf(id, n)) {
            names.push_back(n);
            numbers.push_back(static_cast<std::int32_t>(n.a)); // a session number: 32 bits
        }
    }
    auto &sets = CommandLine::current().selectionSets();
    sets.setPrevious(std::move(numbers));
    if (!sets.allocate(std::move(names), ss)) {
        host::setErrno(OL_ESSMAX);
        return RTERROR;
    }
    return RTNORM;
}

// A point passed to acedSSGet: an ads_point.
host::Point3 pointArg(const void *p) {
    const ads_real *r = static_cast<const ads_real *>(p);
    return {r[X], r[Y], r[Z]};
}

} // namespace

int acedSSGet(const char *str, const void *pt1, const void *pt2, const resbuf *filter,
              ads_name ss) {
    auto &cl = CommandLine::current();
    (void)cl.takeInitGet();
    if (ss == nullptr)
        return RTERROR;
    ads_name_clear(ss);
    if (filter != nullptr) { // this host does not filter selections
        host::setErrno(56);  // OL_EFLTR1
        return RTERROR;
    }
    AcDbDatabase *db = working();
    if (!db)
        return RTERROR;
    if (cl.allocatedSelectionSets() >= host::kMaxSelectionSets) {
        host::setErrno(OL_ESSMAX);
        return RTERROR;
    }
    AcDbObjectId space = db->currentSpaceId();
    std::vector<AcDbObjectId> ids;
    std::string mode = toUpper(str ? str : "");
    if (mode.empty() && pt1 == nullptr) {
        int rc = selectObjects(*db, ids);
        if (rc == RTCAN)
            return RTCAN;
    } else if (mode.empty()) {
        AcDbObjectId id =
            tev::db::pickEntity(*db, space, flat(pointArg(pt1)), host::pickAperture());
        if (!id.isNull())
            ids.push_back(id);
    } else if ((mode == "W" || mode == "C") && pt1 && pt2) {
        ids = tev::db::selectWindow(*db, space, flat(pointArg(pt1)), flat(pointArg(pt2)),
                                    mode == "C");
    } else if (mode == "WP" || mode == "CP" || mode == "F") {
        // pt1 is a list of points: the polygon's corners, or the fence's points.
        std::vector<AcGePoint2d> points;
        for (auto *rb = static_cast<const resbuf *>(pt1); rb != nullptr; rb = rb->rbnext) {
            if (rb->restype != RTPOINT && rb->restype != RT3DPOINT)
                break;
            points.push_back(AcGePoint2d(rb->resval.rpoint[X], rb->resval.rpoint[Y]));
        }
        if (points.size() < (mode == "F" ? 2u : 3u)) {
            host::setErrno(OL_EBADSSMOD);
            return RTERROR;
        }
        ids = mode == "F" ? tev::db::selectFence(*db, space, points)
                          : tev::db::selectPolygon(*db, space, points, mode == "CP");
    } else if (mode == "X" || mode == "A" || mode == "ALL") {
        ids = tev::db::selectAll(*db, space);
    } else if (mode == "L") {
        AcDbObjectId id = tev::db::lastEntity(*db, space);
        if (!id.isNull())
            ids.push_back(id);
    } else if (mode == "P") {
        ids = previousIds(space);
    } else {
        host::setErrno(OL_EBADSSMOD);
        return RTERROR;
    }
    if (ids.empty())
        return RTERROR; // an empty selection makes no set
    return makeSet(ids, ss);
}

int acedSSLength(const ads_name ss, long *len) {
    const auto *set = CommandLine::current().selectionSets().find(ss);
    if (set == nullptr || len == nullptr) {
        host::setErrno(OL_ESSVALID);
        return RTERROR;
    }
    *len = static_cast<long>(set->size());
    return RTNORM;
}

int acedSSName(const ads_name ss, long i, ads_name entres) {
    const auto *set = CommandLine::current().selectionSets().find(ss);
    if (set == nullptr || entres == nullptr) {
        host::setErrno(OL_ESSVALID);
        return RTERROR;
    }
    if (i < 0 || static_cast<std::size_t>(i) >= set->size())
        return RTERROR;
    (*set)[static_cast<std::size_t>(i)].to(entres);
    return RTNORM;
}

int acedSSFree(const ads_name ss) {
    if (!CommandLine::current().selectionSets().free(ss)) {
        host::setErrno(OL_ESSVALID);
        return RTERROR;
    }
    return RTNORM;
}
