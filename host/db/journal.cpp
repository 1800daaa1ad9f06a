// journal.cpp - the undo journal: steps recorded as commands change the database, undone and
// redone by exchanging what a step holds with what the drawing has.
#include "journal.h"
#include "access.h"
#include "allocator.h"
#include "database_impl.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "tag_sink.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <utility>

namespace tev::db {

namespace undo {

struct ObjectDelete {
    void operator()(AcDbObject *obj) const { delete obj; }
};
using HeldObject = std::unique_ptr<AcDbObject, ObjectDelete>;

// The drawing's settings a command may change.
struct Settings {
    AcDbObjectId clayer, celtype;
    AcCmColor cecolor;
    bool tilemode = true;
    double snapAngle = 0;

    bool operator==(const Settings &o) const {
        return clayer == o.clayer && celtype == o.celtype && cecolor == o.cecolor &&
               tilemode == o.tilemode && snapAngle == o.snapAngle;
    }
};

// An object a step changed, and the other of its two states: from before the step while the
// step is done, from after it while the step is undone.
// The widths an entry keeps: those of a lightweight polyline (one pair a vertex, none while
// all are 0) or of a 2D vertex (one pair).
using KeptWidths = std::vector<ObjectAccess::Widths>;
constexpr std::uint32_t kNoWidths = ~std::uint32_t{0};

// Three words an entry (a step may hold millions): the flags are bits.
struct Changed {
    AcDbStub *stub = nullptr;
    HeldObject state; // none for tables and block records (what they hold comes and goes
                      // with the objects appended)
    bool erased : 1 = false;
    bool modified : 1 = false;
    bool isNew : 1 = false;
    // A recolour keeps the entity's colour index alone (no state copy): a million entities
    // recoloured hold a few bytes each instead of a copy of each.
    bool colourOnly : 1 = false;
    std::uint8_t changes = 0;
    Adesk::UInt16 colour = 0;
    // A width change keeps the widths alone, in the step's list of them (Wpe over a million
    // polylines and vertices would otherwise hold a copy of each, points and all); swapped
    // with the object's on undo. kNoWidths when none are kept.
    std::uint32_t widths = kNoWidths;
};
static_assert(sizeof(Changed) <= 3 * sizeof(void *) || sizeof(void *) < 8);

// An object a step appended to a block record or added to a table; the step holds the
// object while it is undone.
struct Added {
    AcDbStub *stub = nullptr;
    HeldObject held;
};

struct Step {
    std::string name;
    bool mark = false;
    std::vector<Changed> changed;
    std::vector<Added> added;       // in the order they came
    std::vector<KeptWidths> widths; // what entries with widths kept point at
    bool settingsChanged = false;
    Settings settings;          // the other settings
    std::uint64_t handseed = 0; // the other next handle
    std::size_t bytes = sizeof(Step);
    std::size_t heldBytes = 0; // more while undone: the objects taken out
    // While the step records: where each changed object's entry is (made when needed).
    std::unordered_map<AcDbStub *, std::size_t> index;
};

} // namespace undo

using undo::Added;
using undo::Changed;
using undo::KeptWidths;
using undo::kNoWidths;
using undo::Settings;
using undo::Step;

struct Journal {
    std::deque<Step> done;                 // oldest first
    std::vector<std::vector<Step>> undone; // groups for redo, latest last; each latest first
    Step current;
    int depth = 0;
    bool recording = false;
    bool lost = false; // the step under way outgrew the limit: it records nothing more
    Settings settingsBefore;
    std::uint64_t handseedBefore = 0;
    std::uint64_t changesBefore = 0; // the drawing's change count (DBMOD) when the step began
    std::size_t limit = kDefaultJournalLimit;
    std::size_t bytes = 0; // what done and undone hold
};

void JournalDeleter::operator()(Journal *journal) const {
    delete journal;
}

namespace {

Settings settingsOf(const DatabaseImpl &d) {
    return {d.clayer, d.celtype, d.cecolor, d.tilemode, d.snapAngle};
}

void exchangeSettings(DatabaseImpl &d, Settings &s) {
    std::swap(d.clayer, s.clayer);
    std::swap(d.celtype, s.celtype);
    std::swap(d.cecolor, s.cecolor);
    std::swap(d.tilemode, s.tilemode);
    std::swap(d.snapAngle, s.snapAngle);
}

Journal &journalOf(DatabaseImpl &d) {
    if (d.journal == nullptr)
        d.journal.reset(new Journal);
    return *d.journal;
}

Journal *recordingJournal(DatabaseImpl &d) {
    Journal *j = d.journal.get();
    return j != nullptr && j->recording && !j->lost ? j : nullptr;
}

AcDbStub *stubOf(const AcDbObject *obj) {
    return obj != nullptr ? obj->objectId().stub() : nullptr;
}

// Calls f with the stub of each vertex and of the sequence end an object owns.
template <class F> void forEachOwned(AcDbObject &obj, F &&f) {
    AcDbOwnedSequence *seq = ObjectAccess::sequence(obj);
    if (seq == nullptr)
        return;
    for (AcDbObject *item : seq->items)
        if (AcDbStub *s = stubOf(item))
            f(s, item);
    if (AcDbStub *s = stubOf(seq->seqEnd))
        f(s, seq->seqEnd);
}

void clearFlags(Step &step) {
    auto clear = [](AcDbStub *s, AcDbObject *) {
        s->journaled = s->stateKept = s->colourKept = s->widthsKept = false;
    };
    for (Changed &c : step.changed)
        clear(c.stub, nullptr);
    for (Added &a : step.added) {
        clear(a.stub, nullptr);
        if (a.stub->object != nullptr)
            forEachOwned(*a.stub->object, clear);
    }
    step.index = {};
}

// The entry of stub in the step under way: the latest, most often; else through an index
// of them all, made the first time it is needed.
Changed *findChanged(Step &step, AcDbStub *stub) {
    if (!step.changed.empty() && step.changed.back().stub == stub)
        return &step.changed.back();
    if (step.index.empty())
        for (std::size_t i = 0; i < step.changed.size(); ++i)
            step.index.emplace(step.changed[i].stub, i);
    auto it = step.index.find(stub);
    return it != step.index.end() ? &step.changed[it->second] : nullptr;
}

// The step under way holds more than the limit: it is given up (what it changed stays
// changed, and can no longer be undone).
void loseStep(Journal &j) {
    clearFlags(j.current);
    j.current = Step{};
    j.lost = true;
}

void grow(Journal &j, std::size_t more) {
    j.current.bytes += more;
    if (j.current.bytes > j.limit)
        loseStep(j);
}

std::size_t stepBytes(const Step &s, bool undone) {
    return s.bytes + (undone ? s.heldBytes : 0);
}

void dropRedo(Journal &j) {
    for (std::vector<Step> &group : j.undone)
        for (Step &s : group)
            j.bytes -= stepBytes(s, true);
    j.undone.clear(); // the objects the steps took out are deleted with them
}

std::size_t trim(Journal &j) {
    std::size_t dropped = 0;
    while (j.bytes > j.limit && !j.done.empty()) {
        j.bytes -= stepBytes(j.done.front(), false);
        if (!j.done.front().mark)
            ++dropped;
        j.done.pop_front();
    }
    return dropped;
}

// --- taking objects out and putting them back ----------------------------------------------

void renumber(std::vector<AcDbObject *> &list, std::size_t from) {
    for (std::size_t i = from; i < list.size(); ++i)
        stubOf(list[i])->order = static_cast<std::uint32_t>(i);
}

void removeFromOwner(DatabaseImpl &d, AcDbStub *s, AcDbObject *obj) {
    AcDbObject *owner = s->owner != nullptr ? s->owner->object : nullptr;
    if (auto *rec = AcDbBlockTableRecord::cast(owner)) {
        auto &list = ObjectAccess::entityList(*rec);
        if (s->order + std::size_t{1} == list.size() && list.back() == obj)
            list.pop_back();
        else if (s->order < list.size() && list[s->order] == obj)
            list[s->order] = nullptr; // walkers skip an empty place
    } else if (auto *table = AcDbSymbolTable::cast(owner)) {
        auto &list = ObjectAccess::recordList(*table);
        auto it = std::find(list.begin(), list.end(), obj);
        if (it == list.end())
            return;
        const auto at = static_cast<std::size_t>(it - list.begin());
        list.erase(it);
        renumber(list, at);
        rebuildNameIndex(*table);
    } else if (AcDbOwnedSequence *seq =
                   owner != nullptr ? ObjectAccess::sequence(*owner) : nullptr) {
        auto &list = seq->items; // a vertex appended to a polyline in the drawing
        auto it = std::find(list.begin(), list.end(), obj);
        if (it == list.end())
            return;
        const auto at = static_cast<std::size_t>(it - list.begin());
        list.erase(it);
        renumber(list, at);
        d.entityChanged(s->owner); // the polyline has another shape
    }
}

void putBackInOwner(DatabaseImpl &d, AcDbStub *s, AcDbObject *obj) {
    AcDbObject *owner = s->owner != nullptr ? s->owner->object : nullptr;
    if (auto *rec = AcDbBlockTableRecord::cast(owner)) {
        auto &list = ObjectAccess::entityList(*rec);
        if (s->order < list.size() && list[s->order] == nullptr) {
            list[s->order] = obj;
        } else {
            s->order = static_cast<std::uint32_t>(list.size());
            list.push_back(obj);
        }
    } else if (auto *table = AcDbSymbolTable::cast(owner)) {
        auto &list = ObjectAccess::recordList(*table);
        const std::size_t at = std::min<std::size_t>(s->order, list.size());
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), obj);
        renumber(list, at);
        rebuildNameIndex(*table);
    } else if (AcDbOwnedSequence *seq =
                   owner != nullptr ? ObjectAccess::sequence(*owner) : nullptr) {
        auto &list = seq->items;
        const std::size_t at = std::min<std::size_t>(s->order, list.size());
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), obj);
        renumber(list, at);
        d.entityChanged(s->owner);
    }
}

void takeOut(DatabaseImpl &d, Step &step, Added &a) {
    AcDbStub *s = a.stub;
    AcDbObject *obj = s->object;
    if (obj == nullptr)
        return;
    removeFromOwner(d, s, obj);
    (void)d.byHandle.erase(s->handle);
    s->object = nullptr; // its id opens as permanently erased until a redo
    std::size_t bytes = obj->stateBytes();
    forEachOwned(*obj, [&](AcDbStub *is, AcDbObject *item) {
        (void)d.byHandle.erase(is->handle);
        is->object = nullptr;
        bytes += item->stateBytes();
    });
    if (AcDbOwnedSequence *seq = ObjectAccess::sequence(*obj))
        seq->inDatabase = false; // the polyline's again: deleting it deletes them
    a.held.reset(obj);
    step.heldBytes += bytes;
    if (AcDbEntity::cast(obj) != nullptr)
        d.entityChanged(s); // leaves the spatial index
}

void putBack(DatabaseImpl &d, Added &a) {
    AcDbObject *obj = a.held.release();
    if (obj == nullptr)
        return;
    AcDbStub *s = a.stub;
    s->object = obj;
    (void)d.byHandle.insert(s->handle, s); // free: handles above the next one are not given
    if (AcDbOwnedSequence *seq = ObjectAccess::sequence(*obj)) {
        seq->inDatabase = true;
        for (AcDbObject *item : seq->items) {
            stubOf(item)->object = item;
            (void)d.byHandle.insert(stubOf(item)->handle, stubOf(item));
        }
        if (seq->seqEnd != nullptr) {
            stubOf(seq->seqEnd)->object = seq->seqEnd;
            (void)d.byHandle.insert(stubOf(seq->seqEnd)->handle, stubOf(seq->seqEnd));
        }
    }
    putBackInOwner(d, s, obj);
    if (AcDbEntity::cast(obj) != nullptr)
        d.entityChanged(s);
}

// The widths of obj as a widths record keeps them: a lightweight polyline's list, a 2D
// vertex's one pair. False for any other class.
bool readWidths(AcDbObject &obj, KeptWidths &out) {
    if (auto *pline = AcDbPolyline::cast(&obj)) {
        out = ObjectAccess::widthsOf(*pline);
        return true;
    }
    if (auto *vertex = AcDb2dVertex::cast(&obj)) {
        out.assign(1, {ObjectAccess::startWidthOf(*vertex), ObjectAccess::endWidthOf(*vertex)});
        return true;
    }
    return false;
}

// Exchanges the widths of obj with those kept (read from an object of the same class).
void swapWidths(AcDbObject &obj, KeptWidths &kept) {
    if (auto *pline = AcDbPolyline::cast(&obj)) {
        std::swap(ObjectAccess::widthsOf(*pline), kept);
    } else if (auto *vertex = AcDb2dVertex::cast(&obj); vertex != nullptr && kept.size() == 1) {
        std::swap(ObjectAccess::startWidthOf(*vertex), kept[0].start);
        std::swap(ObjectAccess::endWidthOf(*vertex), kept[0].end);
    }
}

// True when obj has the widths kept.
bool sameWidths(AcDbObject &obj, const KeptWidths &kept) {
    if (auto *pline = AcDbPolyline::cast(&obj)) {
        const auto &widths = ObjectAccess::widthsOf(*pline);
        return widths.size() == kept.size() &&
               std::equal(widths.begin(), widths.end(), kept.begin(),
                          [](auto &a, auto &b) { return a.start == b.start && a.end == b.end; });
    }
    auto *vertex = AcDb2dVertex::cast(&obj);
    return vertex != nullptr && kept.size() == 1 &&
           ObjectAccess::startWidthOf(*vertex) == kept[0].start &&
           ObjectAccess::endWidthOf(*vertex) == kept[0].end;
}

std::size_t widthsBytes(const KeptWidths &w) {
    return sizeof w + w.capacity() * sizeof(ObjectAccess::Widths);
}

// Gives a changed object its other state, and keeps the one it had.
void exchange(DatabaseImpl &d, Step &step, Changed &c) {
    AcDbStub *s = c.stub;
    AcDbObject *obj = s->object;
    if (obj == nullptr)
        return;
    if (c.state != nullptr) {
        obj->swapState(*c.state);
    } else {
        if (auto *ent = c.colourOnly ? AcDbEntity::cast(obj) : nullptr)
            std::swap(ObjectAccess::colorOf(*ent), c.colour);
        if (c.widths != kNoWidths)
            swapWidths(*obj, step.widths[c.widths]);
    }
    const bool wasErased = s->erased;
    const bool erasedBefore = c.erased;
    c.erased = s->erased;
    s->erased = erasedBefore;
    if (s->erased != wasErased)
        forEachOwned(*obj, [&](AcDbStub *is, AcDbObject *) { is->erased = s->erased; });
    std::swap(s->changes, c.changes);
    const bool modified = c.modified, isNew = c.isNew;
    c.modified = ObjectAccess::modifiedFlag(*obj);
    c.isNew = ObjectAccess::newFlag(*obj);
    ObjectAccess::modifiedFlag(*obj) = modified;
    ObjectAccess::newFlag(*obj) = isNew;
    if (AcDbEntity::cast(obj) != nullptr) {
        d.entityChanged(s);
    } else if (c.state != nullptr && s->owner != nullptr) {
        if (auto *table = AcDbSymbolTable::cast(s->owner->object))
            rebuildNameIndex(*table); // a record's name may be another now
    }
}

void undoOne(DatabaseImpl &d, Step &step) {
    ++drawingEpoch();
    ++d.blockEpoch;
    ++d.changes; // the drawing differs from the one saved (DBMOD)
    for (auto it = step.added.rbegin(); it != step.added.rend(); ++it)
        takeOut(d, step, *it);
    for (auto it = step.changed.rbegin(); it != step.changed.rend(); ++it)
        exchange(d, step, *it);
    if (step.settingsChanged)
        exchangeSettings(d, step.settings);
    std::swap(d.nextHandle, step.handseed);
}

void redoOne(DatabaseImpl &d, Step &step) {
    ++drawingEpoch();
    ++d.blockEpoch;
    ++d.changes;
    for (Changed &c : step.changed)
        exchange(d, step, c);
    for (Added &a : step.added)
        putBack(d, a);
    step.heldBytes = 0;
    if (step.settingsChanged)
        exchangeSettings(d, step.settings);
    std::swap(d.nextHandle, step.handseed);
}

// The groups an entity's state writes, as bytes: two entities with the same bytes look the
// same in every list and file.
class GroupBytes : public TagSink {
public:
    std::string bytes;
    // With expected set, nothing is kept: each byte is compared with it instead, and
    // differs tells whether they part (all that the end of a step needs to know).
    std::string_view expected;
    bool comparing = false;
    bool differs = false;
    std::size_t at = 0;

    void string(int code, std::string_view value) override {
        put(code);
        put(value.size());
        append(value);
    }
    void real(int code, double value) override { put(code), put(value); }
    void angle(int code, double radians) override { put(code), put(radians); }
    void point(int code, const AcGePoint3d &p, int dims) override {
        put(code), put(p.x), put(p.y), put(dims == 3 ? p.z : 0.0);
    }
    void int16(int code, int value) override { put(code), put(value); }
    void int32(int code, long value) override { put(code), put(value); }
    void handle(int code, AcDbHandle h) override { put(code), put(h.value()); }
    void objectRef(int code, AcDbObjectId id) override { put(code), put(id.stub()); }
    bool forFile() const override { return true; }

private:
    template <class T> void put(const T &v) {
        append(std::string_view(reinterpret_cast<const char *>(&v), sizeof v));
    }
    void append(std::string_view b) {
        if (!comparing) {
            bytes.append(b);
            return;
        }
        if (differs)
            return;
        differs = expected.substr(at, b.size()) != b;
        at += b.size();
    }
};

std::string groupBytes(const AcDbEntity &ent) {
    GroupBytes sink;
    writeEntityCommon(ent, sink);
    ent.dxfOutClassGroups(sink);
    return std::move(sink.bytes);
}

// True when ent writes the groups bytes holds (compared as they come, nothing kept).
bool writesGroups(const AcDbEntity &ent, std::string_view bytes) {
    GroupBytes sink;
    sink.comparing = true;
    sink.expected = bytes;
    writeEntityCommon(ent, sink);
    ent.dxfOutClassGroups(sink);
    return !sink.differs && sink.at == bytes.size();
}

// True when a value that the groups write plainly differs between the two states of an entity
// (compared by value, so two values that are the same number written two ways, or NaN, count
// as differing: the caller then keeps the change, which costs memory, never the drawing).
// Width changes of polylines are what most steps of this kind make, and spelling out both
// states' groups to find that takes longer than the change did. False when nothing of what is
// looked at differs; the groups decide then.
bool plainlyChanged(const AcDbEntity &now, const AcDbEntity &before) {
    if (const auto *p = AcDbPolyline::cast(&now)) {
        const auto *q = AcDbPolyline::cast(&before);
        if (q == nullptr || p->numVerts() != q->numVerts() || p->isClosed() != q->isClosed())
            return q != nullptr;
        for (unsigned int i = 0; i < p->numVerts(); ++i) {
            double ps = 0, pe = 0, qs = 0, qe = 0, pb = 0, qb = 0;
            AcGePoint2d pp, qp;
            (void)p->getWidthsAt(i, ps, pe); // i is in range for both
            (void)q->getWidthsAt(i, qs, qe);
            (void)p->getBulgeAt(i, pb);
            (void)q->getBulgeAt(i, qb);
            (void)p->getPointAt(i, pp);
            (void)q->getPointAt(i, qp);
            if (ps != qs || pe != qe || pb != qb || pp.x != qp.x || pp.y != qp.y)
                return true;
        }
        return false;
    }
    if (const auto *v = AcDb2dVertex::cast(&now)) {
        const auto *w = AcDb2dVertex::cast(&before);
        return w != nullptr &&
               (v->startWidth() != w->startWidth() || v->endWidth() != w->endWidth() ||
                v->bulge() != w->bulge() || v->position().x != w->position().x ||
                v->position().y != w->position().y || v->position().z != w->position().z);
    }
    return false;
}

// True when a write open in step left the object as it found it: a table or block record
// that nothing was added to, an entity whose groups are the same. (Some commands open for
// write to read.)
bool unchanged(const Step &step, const Changed &c) {
    const AcDbObject *obj = c.stub->object;
    if (obj == nullptr || c.erased != c.stub->erased)
        return false;
    if (c.colourOnly || c.widths != kNoWidths) {
        const auto *ent = AcDbEntity::cast(obj);
        if (ent == nullptr || (c.colourOnly && ent->colorIndex() != c.colour))
            return false;
        return c.widths == kNoWidths || sameWidths(*c.stub->object, step.widths[c.widths]);
    }
    if (c.state == nullptr) // no setter ran: nothing of its own changed, but what it holds may
        return std::none_of(step.added.begin(), step.added.end(),
                            [&](const Added &a) { return a.stub->owner == c.stub; });
    const auto *now = AcDbEntity::cast(obj);
    const auto *before = AcDbEntity::cast(c.state.get());
    if (now == nullptr || before == nullptr || now->color() != before->color())
        return false; // the cheap look first: most changes change the colour
    if (plainlyChanged(*now, *before))
        return false;
    return writesGroups(*now, groupBytes(*before));
}

// The object is as it was: so are its flags (a save copies it from its source again).
void restoreFlags(Changed &c) {
    AcDbObject &obj = *c.stub->object;
    c.stub->changes = c.changes;
    ObjectAccess::modifiedFlag(obj) = c.modified;
    ObjectAccess::newFlag(obj) = c.isNew;
}

} // namespace

// --- recording -------------------------------------------------------------------------------

void journalWrite(AcDbStub *stub) {
    Journal *j = recordingJournal(*stub->db);
    if (j == nullptr || stub->object == nullptr || stub->journaled)
        return;
    AcDbObject &obj = *stub->object;
    Changed c;
    c.stub = stub;
    c.erased = stub->erased;
    c.modified = ObjectAccess::modifiedFlag(obj);
    c.isNew = ObjectAccess::newFlag(obj);
    c.changes = stub->changes;
    stub->journaled = true;
    stub->stateKept = false;
    Step &step = j->current;
    if (!step.index.empty())
        step.index.emplace(stub, step.changed.size());
    step.changed.push_back(std::move(c));
    grow(*j, sizeof(Changed));
}

void journalState(AcDbStub *stub) {
    Journal *j = recordingJournal(*stub->db);
    if (j == nullptr || stub->object == nullptr)
        return;
    if (!stub->journaled)
        journalWrite(stub); // changed without an open of its own (a polyline's vertices)
    if (j->lost || stub->stateKept)
        return;
    stub->stateKept = true;
    const AcDbObject &obj = *stub->object;
    if (obj.stateBytes() == 0)
        return; // a table or block record: what it holds is recorded as it comes
    Changed *c = findChanged(j->current, stub);
    if (c == nullptr)
        return;
    {
        alloc::Exempt exempt; // the journal's copies are not the command's allocations
        c->state.reset(obj.copyState());
    }
    if (c->state == nullptr) {
        loseStep(*j); // out of memory: this step cannot be undone
        return;
    }
    if (c->colourOnly) {
        // Recoloured earlier in the step: the copy takes the colour from before it.
        if (auto *copy = AcDbEntity::cast(c->state.get()))
            ObjectAccess::colorOf(*copy) = c->colour;
        c->colourOnly = false;
        stub->colourKept = false;
    }
    if (c->widths != kNoWidths) {
        // Its widths changed earlier in the step: the copy takes those from before.
        KeptWidths &kept = j->current.widths[c->widths];
        j->current.bytes -= widthsBytes(kept);
        swapWidths(*c->state, kept);
        KeptWidths().swap(kept); // nothing left to hold
        c->widths = kNoWidths;
        stub->widthsKept = false;
    }
    grow(*j, c->state->stateBytes());
}

bool journalWidths(AcDbStub *stub) {
    Journal *j = recordingJournal(*stub->db);
    if (j == nullptr || stub->object == nullptr || stub->stateKept)
        return false;
    if (stub->widthsKept)
        return true; // the widths from before the step are kept already
    if (!stub->journaled)
        journalWrite(stub);
    Changed *c = j->lost ? nullptr : findChanged(j->current, stub);
    if (c == nullptr)
        return false;
    KeptWidths kept;
    Step &step = j->current;
    if (step.widths.size() >= kNoWidths || !readWidths(*stub->object, kept))
        return false;
    const std::size_t bytes = widthsBytes(kept);
    c->widths = static_cast<std::uint32_t>(step.widths.size());
    step.widths.push_back(std::move(kept));
    stub->widthsKept = true;
    grow(*j, bytes);
    return true;
}

bool journalColour(AcDbStub *stub, Adesk::UInt16 index, bool hasTrueColour) {
    Journal *j = recordingJournal(*stub->db);
    if (j == nullptr || stub->object == nullptr || stub->stateKept)
        return false;
    if (stub->colourKept)
        return true; // the colour from before the step is kept already
    if (hasTrueColour || stub->object->stateBytes() == 0)
        return false;
    if (!stub->journaled)
        journalWrite(stub);
    Changed *c = j->lost ? nullptr : findChanged(j->current, stub);
    if (c == nullptr)
        return false;
    c->colourOnly = true;
    c->colour = index;
    stub->colourKept = true;
    return true;
}

void journalAppended(AcDbStub *stub) {
    Journal *j = recordingJournal(*stub->db);
    if (j == nullptr || stub->object == nullptr)
        return;
    auto note = [](AcDbStub *s, AcDbObject *) { // a later write open has nothing to keep
        s->journaled = true;
        s->stateKept = true;
    };
    note(stub, stub->object);
    forEachOwned(*stub->object, note);
    j->current.added.push_back(Added{stub, nullptr});
    grow(*j, sizeof(Added));
}

void beginStep(AcDbDatabase &db, std::string_view name) {
    DatabaseImpl &d = tev::db::implOf(db);
    Journal &j = journalOf(d);
    if (j.depth++ > 0)
        return;
    j.current = Step{};
    j.current.name = std::string(name);
    j.recording = true;
    j.lost = false;
    j.settingsBefore = settingsOf(d);
    j.handseedBefore = d.nextHandle;
    j.changesBefore = d.changes;
}

StepOutcome endStep(AcDbDatabase &db) {
    StepOutcome out;
    DatabaseImpl &d = tev::db::implOf(db);
    Journal *jp = d.journal.get();
    if (jp == nullptr || jp->depth == 0)
        return out;
    Journal &j = *jp;
    if (--j.depth > 0)
        return out;
    j.recording = false;
    if (j.lost) {
        // What came before the lost step cannot be undone over it either.
        j.lost = false;
        j.done.clear();
        j.undone.clear();
        j.bytes = 0;
        out.lost = true;
        return out;
    }
    Step step = std::move(j.current);
    j.current = Step{};
    clearFlags(step);
    std::erase_if(step.changed, [&](Changed &c) {
        if (!unchanged(step, c))
            return false;
        restoreFlags(c);
        step.bytes -= sizeof(Changed) + (c.state != nullptr ? c.state->stateBytes() : 0);
        if (c.widths != kNoWidths) {
            step.bytes -= widthsBytes(step.widths[c.widths]);
            KeptWidths().swap(step.widths[c.widths]); // nothing left to hold
        }
        return true;
    });
    if (!(settingsOf(d) == j.settingsBefore)) {
        step.settingsChanged = true;
        step.settings = j.settingsBefore;
    }
    step.handseed = j.handseedBefore;
    if (step.changed.empty() && step.added.empty() && !step.settingsChanged) {
        // Nothing changed (a write open only read, as a colour pick does): the drawing is as
        // modified as it was, unless a save in the step cleared the count.
        if (d.changes >= j.changesBefore)
            d.changes = j.changesBefore;
        return out; // no step
    }
    out.kept = true;
    dropRedo(j);
    j.bytes += stepBytes(step, false);
    j.done.push_back(std::move(step));
    out.dropped = trim(j);
    return out;
}

// --- undo and redo ---------------------------------------------------------------------------

UndoOutcome undoSteps(AcDbDatabase &db, std::size_t count, bool toMark) {
    UndoOutcome out;
    DatabaseImpl &d = tev::db::implOf(db);
    Journal *jp = d.journal.get();
    if (jp == nullptr || jp->depth > 0)
        return out;
    Journal &j = *jp;
    std::vector<Step> group;
    while (!j.done.empty()) {
        if (!toMark && out.names.size() >= count)
            break;
        if (j.done.back().mark) {
            j.bytes -= stepBytes(j.done.back(), false);
            j.done.pop_back();
            if (toMark) {
                out.markMet = true;
                break;
            }
            continue;
        }
        Step step = std::move(j.done.back());
        j.done.pop_back();
        undoOne(d, step);
        j.bytes += step.heldBytes;
        out.names.push_back(step.name);
        group.push_back(std::move(step));
    }
    if (!group.empty()) {
        j.undone.push_back(std::move(group));
        (void)trim(j);
    }
    return out;
}

UndoOutcome redoSteps(AcDbDatabase &db) {
    UndoOutcome out;
    DatabaseImpl &d = tev::db::implOf(db);
    Journal *jp = d.journal.get();
    if (jp == nullptr || jp->depth > 0 || jp->undone.empty())
        return out;
    Journal &j = *jp;
    std::vector<Step> group = std::move(j.undone.back());
    j.undone.pop_back();
    for (auto it = group.rbegin(); it != group.rend(); ++it) {
        j.bytes -= it->heldBytes;
        redoOne(d, *it);
        out.names.push_back(it->name);
        j.done.push_back(std::move(*it));
    }
    return out;
}

void addMark(AcDbDatabase &db) {
    Journal &j = journalOf(tev::db::implOf(db));
    Step mark;
    mark.mark = true;
    mark.name = "Mark";
    j.bytes += stepBytes(mark, false);
    j.done.push_back(std::move(mark));
}

bool hasMark(const AcDbDatabase &db) {
    const Journal *j = tev::db::implOf(db).journal.get();
    return j != nullptr &&
           std::any_of(j->done.begin(), j->done.end(), [](const Step &s) { return s.mark; });
}

std::size_t undoableSteps(const AcDbDatabase &db) {
    const Journal *j = tev::db::implOf(db).journal.get();
    if (j == nullptr)
        return 0;
    return static_cast<std::size_t>(
        std::count_if(j->done.begin(), j->done.end(), [](const Step &s) { return !s.mark; }));
}

std::size_t redoableGroups(const AcDbDatabase &db) {
    const Journal *j = tev::db::implOf(db).journal.get();
    return j != nullptr ? j->undone.size() : 0;
}

std::size_t journalBytes(const AcDbDatabase &db) {
    const Journal *j = tev::db::implOf(db).journal.get();
    return j != nullptr ? j->bytes : 0;
}

std::size_t journalLimit(const AcDbDatabase &db) {
    const Journal *j = tev::db::implOf(db).journal.get();
    return j != nullptr ? j->limit : kDefaultJournalLimit;
}

void setJournalLimit(AcDbDatabase &db, std::size_t bytes) {
    journalOf(tev::db::implOf(db)).limit = bytes;
}

} // namespace tev::db
