// resbuf.cpp - acutNewRb and acutRelRb: result-buffer nodes and lists. Nodes and the
// strings and binary chunks they own are allocated with malloc, so that a list built by
// any part of the host (picks, entity data) is released by acutRelRb alone.
#include "acedads.h"

#include <cstdlib>

namespace {

// Whether a node of this type owns a string (rstring): the RTSTR type code, and in entity
// data lists the DXF groups whose values are text.
bool ownsString(int type) {
    if (type == RTSTR)
        return true;
    return (type >= 0 && type <= 9) || (type >= 100 && type <= 105) ||
           (type >= 300 && type <= 309) || (type >= 410 && type <= 419) || type == 999 ||
           (type >= 1000 && type <= 1009);
}

// Whether it owns a binary chunk (rbinary): DXF groups 310..319 and 1004.
bool ownsBinary(int type) {
    return (type >= 310 && type <= 319) || type == 1004;
}

} // namespace

resbuf *acutNewRb(int v) {
    auto *rb = static_cast<resbuf *>(std::calloc(1, sizeof(resbuf)));
    if (rb == nullptr)
        return nullptr;
    rb->restype = static_cast<short>(v);
    return rb;
}

int acutRelRb(resbuf *rb) {
    while (rb != nullptr) {
        resbuf *next = rb->rbnext;
        if (ownsBinary(rb->restype))
            std::free(rb->resval.rbinary.buf);
        else if (ownsString(rb->restype))
            std::free(rb->resval.rstring);
        std::free(rb);
        rb = next;
    }
    return RTNORM;
}
