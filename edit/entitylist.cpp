// entitylist.cpp - En and nEn: print the data list of a picked entity (top level, or the
// innermost one inside block references) in DXF notation, a screenful at a time.
#include "edit.h"
#include "acedads.h"

#include <cstring>

namespace {

// How a node's value is printed, decided by its type code.
enum class NodeForm { Text, Point, Real, Short, Long, EntityName, Flag, Binary, ItsOwn };

// Group codes by range, in the order they are tested. Codes below 0 and from 999 up are
// printed by their own rules (printOwnCode).
NodeForm formOfGroupCode(int code) {
    if (code < 0 || code >= 999)
        return NodeForm::ItsOwn;
    if (code <= 9)
        return NodeForm::Text;
    if (code <= 37)
        return NodeForm::Point;
    if (code <= 59)
        return NodeForm::Real;
    if (code <= 79)
        return NodeForm::Short;
    if (code <= 99)
        return NodeForm::Long;
    if (code <= 105)
        return NodeForm::Text;
    if (code <= 147)
        return NodeForm::Real;
    if (code <= 289)
        return NodeForm::Short;
    // 290..319 are listed with the texts, but only 300..309 hold text: the flags 290..299
    // carry an integer and 310..319 binary chunks, and neither may be read as a string.
    if (code <= 299)
        return NodeForm::Flag;
    if (code <= 309)
        return NodeForm::Text;
    if (code <= 319)
        return NodeForm::Binary;
    if (code <= 369)
        return NodeForm::EntityName;
    // 370..998 are listed as points, but the host delivers most of these groups with
    // other values (the layout name 410 is text, the lineweight 370 an integer); a point
    // read from them would print whatever bytes lie behind the value.
    if (code <= 389)
        return NodeForm::Short; // lineweight, plot style kind
    if (code <= 399)
        return NodeForm::Text; // plot style handle
    if (code <= 409)
        return NodeForm::Short;
    if (code <= 419)
        return NodeForm::Text; // layout name
    if (code <= 429)
        return NodeForm::Long; // true colour
    if (code <= 439)
        return NodeForm::Text; // colour name
    if (code <= 459)
        return NodeForm::Long; // transparency and other 32-bit values
    if (code <= 469)
        return NodeForm::Real;
    if (code <= 481)
        return NodeForm::Text; // strings and handles
    return NodeForm::Point;
}

// Prints a string of any length. Pieces keep each call to the host's printer short, so a
// very long text goes out whole however the printer buffers.
void printText(const char *text) {
    if (text == nullptr)
        return;
    constexpr int kPiece = 200;
    for (std::size_t left = std::strlen(text); left > 0;) {
        const int n = left > kPiece ? kPiece : static_cast<int>(left);
        acutPrintf("%.*s", n, text);
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

void printEntityName(int code, const resbuf &rb) {
    acutPrintf("(%d . <Entity name: %8lx>)\n", code,
               static_cast<unsigned long>(rb.resval.rlname[0]));
}

void printBinary(int code, const ads_binary &chunk) {
    acutPrintf("(%d . ", code);
    if (chunk.buf != nullptr) {
        for (short i = 0; i < chunk.clen; ++i)
            acutPrintf("%02X", static_cast<unsigned char>(chunk.buf[i]));
    }
    acutPrintf(")\n");
}

// Prints a node whose code is a DXF group code.
void printGroup(int code, const resbuf &rb) {
    const ads_u_val &v = rb.resval;
    switch (formOfGroupCode(code)) {
    case NodeForm::Text:
        acutPrintf("(%d . \"", code);
        printText(v.rstring);
        acutPrintf("\")\n");
        return;
    case NodeForm::Point:
        acutPrintf("(%d %0.3f %0.3f %0.3f)\n", code, v.rpoint[X], v.rpoint[Y], v.rpoint[Z]);
        return;
    case NodeForm::Real:
        acutPrintf("(%d . %0.3f)\n", code, v.rreal);
        return;
    case NodeForm::Short:
    case NodeForm::Flag:
        acutPrintf("(%d . %d)\n", code, v.rint);
        return;
    case NodeForm::Long:
        acutPrintf("RTLONG : %dl\n", v.rlong);
        return;
    case NodeForm::EntityName:
        printEntityName(code, rb);
        return;
    case NodeForm::Binary:
        printBinary(code, v.rbinary);
        return;
    case NodeForm::ItsOwn:
        return; // not a group code; printOwnCode has it
    }
}

// Prints a node whose code is not a group code: the entity name -1, the start of the
// extended data -3, and the host's result types. Every other code prints nothing (the
// extended-data groups among them).
void printOwnCode(int code, const resbuf &rb) {
    const ads_u_val &v = rb.resval;
    switch (code) {
    case -1:
        printEntityName(code, rb);
        return;
    case -3:
        acutPrintf("(-3)\n");
        return;
    case RTSTR:
        acutPrintf("RTSTR : ");
        printText(v.rstring);
        acutPrintf("\n");
        return;
    case RT3DPOINT:
        acutPrintf("RT3DPOINT : %0.3f, %0.3f, %0.3f\n", v.rpoint[X], v.rpoint[Y], v.rpoint[Z]);
        return;
    case RTREAL:
        acutPrintf("RTREAL : %0.3f\n", v.rreal);
        return;
    case RTSHORT:
        acutPrintf("RTSHORT : %d\n", v.rint);
        return;
    case RTLONG:
        acutPrintf("RTLONG : %dl\n", v.rlong);
        return;
    case RTENAME:
        printEntityName(code, rb);
        return;
    default:
        return;
    }
}

void printNode(const resbuf &rb) {
    const int code = rb.restype;
    if (formOfGroupCode(code) == NodeForm::ItsOwn)
        printOwnCode(code, rb);
    else
        printGroup(code, rb);
}

// Ends a listing command whose pick or data list failed.
constexpr const char *kNotPicked = "Примитив не выбран\n";
constexpr const char *kBrokenOff = "Прервано пользователем\n";

// Prints and releases a data list, unless the user has asked to break off.
void listAndRelease(resbuf *list) {
    if (acedUsrBrk() == 1) {
        acdbFail(kBrokenOff);
        (void)acutRelRb(list);
        return;
    }
    (void)printEntityList(list);
    (void)acutRelRb(list); // the list is ours from acdbEntGet on
}

} // namespace

// The first pause comes after 24 nodes, every later one after 23 more: the counter is
// reset at a pause and raised before the next node. Nodes that print nothing count too.
int printEntityList(const resbuf *list) {
    acutPrintf("\n");
    int counter = 0;
    for (const resbuf *rb = list; rb != nullptr; rb = rb->rbnext) {
        printNode(*rb);
        if (counter == 23 && rb->rbnext != nullptr) {
            char reply[133] = {};
            // Whatever the answer, Escape included, the listing goes on.
            (void)acedGetString(0, "Press <ENTER> to continue...", reply);
            counter = 0;
        }
        ++counter;
    }
    return RTNORM;
}

void entityListCommand() {
    ads_name ent;
    ads_point pickPoint;
    if (acedEntSel("\nВыберите примитив", ent, pickPoint) != RTNORM) {
        acdbFail(kNotPicked);
        return;
    }
    resbuf *list = acdbEntGet(ent);
    if (list == nullptr) {
        acdbFail(kNotPicked);
        return;
    }
    listAndRelease(list);
}

// The data listed are those of the entity's own definition: the transformation of the
// block references around it is not applied.
void nestedEntityListCommand() {
    ads_name ent;
    ads_point pickPoint;
    ads_matrix xform;
    resbuf *containers = nullptr;
    const int status =
        acedNEntSelP("\nВыберите примитив", ent, pickPoint, /*pickflag=*/0, xform, &containers);
    if (containers != nullptr)
        (void)acutRelRb(containers);
    if (status != RTNORM)
        return;
    resbuf *list = acdbEntGet(ent);
    if (list == nullptr) {
        acdbFail(kNotPicked);
        return;
    }
    listAndRelease(list);
}
