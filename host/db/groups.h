// groups.h - the groups of one DXF record as the file gave them (the bytes the database keeps
// of a kind it does not model), with lenient readers of values: a picture shows what it can
// of a damaged record rather than nothing.
#pragma once
#include "curves.h"

#include <string_view>
#include <vector>

namespace tev::db {

struct Group {
    int code = 0;
    std::string_view value; // trimmed; a view into the record's bytes
};

class Groups {
public:
    // The groups of every record in src (a record starts at each group 0). Application
    // groups (102 braces) and extended data (1000 and above) are left out.
    static std::vector<Groups> records(std::string_view src);
    // The groups of the first record only.
    static Groups first(std::string_view src);

    const std::vector<Group> &list() const { return mList; }
    std::string_view type() const; // the group 0's value
    bool has(int code) const;
    // The value of the first group of this code, or dflt when there is none or it does
    // not read as a finite number.
    double number(int code, double dflt = 0) const;
    long integer(int code, long dflt = 0) const;
    std::string_view text(int code) const;
    // The point of groups code, code + 10, code + 20 (a missing z is 0).
    Point3 point(int code, Point3 dflt = {}) const;

    // Single values, for walking the list.
    static double number(const Group &g, double dflt = 0);
    static long integer(const Group &g, long dflt = 0);

private:
    std::vector<Group> mList;
};

} // namespace tev::db
