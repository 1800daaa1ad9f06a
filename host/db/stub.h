// stub.h - the host's record of one database object: its handle, owner, open state and
// erased flag, alive as long as its database. An AcDbObjectId points at one.
#pragma once
#include "dbmain.h"
#include <cstddef>
#include <cstdint>

class AcDbStub {
public:
    AcDbObject *object = nullptr; // owned by the stub
    AcDbImpDatabase *db = nullptr;
    AcDbStub *owner = nullptr;
    std::uint64_t handle = 0;
    // Position in the owner's list (drawing order for entities). 32 bits: four billion
    // objects would take a terabyte, and a drawing holds millions of stubs.
    std::uint32_t order = 0;
    std::int32_t session = 0; // ads_name number, 0 until asked for
    std::uint16_t readers = 0;
    bool writer = false;
    bool erased = false;
    // The undo step under way holds what this object was before it: its flags from before
    // the step's first write open (journaled), and its data from before the first change
    // (stateKept; copied then, not at the open, since many opens for write change nothing
    // but the erased flag); or the note that the step appended it (both).
    // Bits, so that the flags stay within the word the small members share (a drawing holds
    // millions of stubs).
    bool journaled : 1 = false;
    bool stateKept : 1 = false;
    // The step under way holds only the entity's colour from before it (a recolour keeps no
    // more); a later change of anything else copies the whole state then.
    bool colourKept : 1 = false;
    // The same for the widths of a lightweight polyline's vertices or of a 2D vertex (a
    // width change keeps the widths alone).
    bool widthsKept : 1 = false;
    // What the write opens since the object was read changed (Change bits): a save copies
    // an entity whose colour alone changed from its original bytes with the colour patched.
    std::uint8_t changes = 0;
    // kSubentColour: the colour was given to the sub-entities too (those kept as bytes take
    // it when written).
    enum Change : std::uint8_t { kColour = 1, kOther = 2, kSubentColour = 4 };

    bool isOpen() const { return writer || readers > 0; }
};
