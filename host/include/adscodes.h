// adscodes.h - every status and type code of the host's C interface, each with a
// one-line meaning, and rtCodeName() so that a failing test prints RTCAN, not -5002.
#pragma once

// Status of a user-input or utility call.
constexpr int RTNORM = 5100;   // success
constexpr int RTNONE = 5000;   // empty answer (Enter or Space alone); also "no value" type
constexpr int RTERROR = -5001; // other failure; ERRNO says why
constexpr int RTCAN = -5002;   // the user pressed Escape
constexpr int RTREJ = -5003;   // request rejected as invalid
constexpr int RTFAIL = -5004;  // link failure
constexpr int RTKWORD = -5005; // a keyword or arbitrary text was entered

// Result-buffer type codes.
constexpr int RTREAL = 5001;     // double
constexpr int RTPOINT = 5002;    // 2D point
constexpr int RTSHORT = 5003;    // 16-bit integer
constexpr int RTANG = 5004;      // angle
constexpr int RTSTR = 5005;      // string
constexpr int RTENAME = 5006;    // entity name
constexpr int RTPICKS = 5007;    // selection-set name
constexpr int RTORINT = 5008;    // orientation
constexpr int RT3DPOINT = 5009;  // 3D point
constexpr int RTLONG = 5010;     // 32-bit integer
constexpr int RTVOID = 5014;     // blank symbol
constexpr int RTLB = 5016;       // list begin
constexpr int RTLE = 5017;       // list end
constexpr int RTDOTE = 5018;     // dotted pair
constexpr int RTNIL = 5019;      // nil
constexpr int RTDXF0 = 5020;     // group 0 in a filter list
constexpr int RTT = 5021;        // T atom
constexpr int RTRESBUF = 5023;   // resbuf
constexpr int RTMODELESS = 5027; // interrupted by a modeless dialog

// acedInitGet control bits.
constexpr int RSG_NONULL = 1;  // refuse an empty answer
constexpr int RSG_NOZERO = 2;  // refuse zero
constexpr int RSG_NONEG = 4;   // refuse negative values
constexpr int RSG_NOLIM = 8;   // skip the drawing-limits check
constexpr int RSG_GETZ = 16;   // unused
constexpr int RSG_DASH = 32;   // dashed rubber band
constexpr int RSG_2D = 64;     // distances ignore Z
constexpr int RSG_OTHER = 128; // accept any text as RTKWORD

// ERRNO values the host sets (OL_...).
constexpr int OL_GOOD = 0;        // no error
constexpr int OL_ENAMEVALID = 2;  // bad entity or selection-set name
constexpr int OL_ESSMAX = 3;      // too many selection sets
constexpr int OL_ESSVALID = 4;    // bad selection set
constexpr int OL_ENTSELPICK = 7;  // entity pick: the point hit nothing
constexpr int OL_EDELENT = 17;    // use of an erased entity
constexpr int OL_ERDONLY = 20;    // setting a read-only variable
constexpr int OL_ENONZERO = 21;   // zero not allowed
constexpr int OL_ERANGE = 22;     // value out of range
constexpr int OL_EMMLL = 35;      // entity on a locked layer
constexpr int OL_ENTSELNULL = 52; // entity pick: empty answer
constexpr int OL_EBADSSMOD = 98;  // bad ssget mode string

// The name of a status or type code ("RTCAN"), or nullptr for a code it does not know.
const char *rtCodeName(int code);
