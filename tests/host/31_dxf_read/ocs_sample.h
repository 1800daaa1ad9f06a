// ocs_sample.h - the hand-written sample drawing with entities whose positions the file gives
// in their own coordinate systems: a mirrored arc and text (normal 0,0,-1), a circle and a
// block reference on a side wall (normal 1,0,0), and a circle with the world's normal.
#pragma once

#include "sample_dxf.h"

namespace dxftest {

constexpr std::uint64_t kMirroredArc = 0x50, kSideCircle = 0x51, kMirroredText = 0x52,
                        kSideInsert = 0x53, kWorldCircle = 0x54;

inline std::string ocsEntities() {
    return lines({"0",   "ARC",        "5",   "50",         "330", "1F",
                  "100", "AcDbEntity", "8",   "0",          "100", "AcDbCircle",
                  "10",  "3.0",        "20",  "4.0",        "30",  "1.0",
                  "40",  "2.0",        "210", "0.0",        "220", "0.0",
                  "230", "-1.0",       "100", "AcDbArc",    "50",  "0.0",
                  "51",  "90.0",       "0",   "CIRCLE",     "5",   "51",
                  "330", "1F",         "100", "AcDbEntity", "8",   "0",
                  "100", "AcDbCircle", "10",  "5.0",        "20",  "6.0",
                  "30",  "7.0",        "40",  "1.5",        "210", "1.0",
                  "220", "0.0",        "230", "0.0",        "0",   "TEXT",
                  "5",   "52",         "330", "1F",         "100", "AcDbEntity",
                  "8",   "0",          "100", "AcDbText",   "10",  "10.0",
                  "20",  "20.0",       "30",  "0.0",        "40",  "2.5",
                  "1",   "mirrored",   "72",  "2",          "11",  "12.0",
                  "21",  "20.0",       "31",  "0.0",        "210", "0.0",
                  "220", "0.0",        "230", "-1.0",       "100", "AcDbText",
                  "0",   "INSERT",     "5",   "53",         "330", "1F",
                  "100", "AcDbEntity", "8",   "0",          "100", "AcDbBlockReference",
                  "2",   "Door",       "10",  "1.0",        "20",  "2.0",
                  "30",  "3.0",        "210", "1.0",        "220", "0.0",
                  "230", "0.0",        "0",   "CIRCLE",     "5",   "54",
                  "330", "1F",         "100", "AcDbEntity", "8",   "0",
                  "100", "AcDbCircle", "10",  "8.0",        "20",  "9.0",
                  "30",  "1.0",        "40",  "0.5"});
}

// The sample drawing with the entities above in model space, before its last entity.
inline std::string ocsSampleDxf() {
    std::string text = sampleDxf();
    const std::string paperLine = "0\nLINE\n5\n3E\n";
    text.insert(text.find(paperLine), ocsEntities());
    return text;
}

} // namespace dxftest
