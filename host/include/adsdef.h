// adsdef.h - the ADS value types shared by every C-style host call: reals, points,
// matrices, entity and selection-set names, and the result buffer chain.
#pragma once

using ads_real = double;
using ads_point = ads_real[3];
using ads_matrix = ads_real[4][4];
// An entity or selection-set name. Transient: valid only while the host runs.
// The stand-in keeps a session number in [0] and a kind tag in [1].
using ads_name = long[2];
using ads_namep = long *;

enum { X = 0, Y = 1, Z = 2, T = 3 };

struct ads_binary {
    short clen;
    char *buf;
};

union ads_u_val {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    char *rstring;
    long rlname[2];
    int rlong; // 32 bits on every platform the host runs on
    ads_binary rbinary;
    unsigned char ihandle[8];
};

// One node of the host's result-buffer list. restype is an RT... code or, in
// entity data lists, a DXF group code.
struct resbuf {
    resbuf *rbnext;
    short restype;
    ads_u_val resval;
};

inline void ads_point_set(const ads_point from, ads_point to) {
    to[X] = from[X];
    to[Y] = from[Y];
    to[Z] = from[Z];
}
inline void ads_name_set(const ads_name from, ads_name to) {
    to[0] = from[0];
    to[1] = from[1];
}
inline void ads_name_clear(ads_name n) {
    n[0] = n[1] = 0;
}
inline bool ads_name_nil(const ads_name n) {
    return n[0] == 0 && n[1] == 0;
}
inline bool ads_name_equal(const ads_name a, const ads_name b) {
    return a[0] == b[0] && a[1] == b[1];
}
