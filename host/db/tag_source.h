// tag_source.h - where a class reads its groups from: the file reader's half of the one list
// of groups per class. Each class reads in dxfInClassGroups, beside its dxfOutClassGroups
// (tag_sink.h), the groups the other writes; the file layer only picks the class and hands
// it the record.
//
// A value the class cannot hold (a negative text height, a zero extrusion direction) is
// never dropped in silence: the class mends it and says so with repair(), which names the
// line (a strict reader refuses the file there instead), and the object is then written
// from the database, as the note says.
#pragma once
#include "dbmain.h"
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <string_view>

class AcDbImpTagSource {
public:
    virtual ~AcDbImpTagSource() = default;

    // Moves to the record's next data group (application groups and extended data are not
    // the class's); false after its last.
    virtual bool next() = 0;

    int code() const { return code_; }
    // The line of the group's code (its value is on the next line).
    std::uint32_t line() const { return line_; }
    std::uint32_t valueLine() const { return line_ + 1; }
    // A real group's value; one that is not a finite number stops the read, its line named.
    double real() const { return std::isnan(number_) ? parseReal() : number_; }
    // An angle group's value (degrees in a file) in radians.
    double angle() const { return real() * (std::numbers::pi / 180.0); }
    // An integer group's value, checked against the range of its code.
    virtual std::int64_t integer() const = 0;
    // A string group's value in the database's code page (until the next call).
    virtual const std::string &text() = 0;
    // The value as the file spells it (alive as long as the database).
    std::string_view raw() const { return value_; }

    // The record's type as the file names it ("TEXT") and the line it starts on.
    virtual std::string_view type() const = 0;
    virtual std::uint32_t recordLine() const = 0;
    // The groups of the record after the current one (an upper bound for what may follow).
    virtual std::size_t groupsLeft() const = 0;

    // The block record the file names so; made when the file defines it later or not at all.
    virtual AcDbObjectId blockNamed(std::string_view fileName) = 0;

    // A value the class cannot hold, mended as `fix` says; noted with its line. A strict
    // reader refuses the file instead.
    virtual void repair(std::uint32_t line, std::string_view fault, std::string_view fix) = 0;
    // What nothing can be made of: the read stops, the line named.
    [[noreturn]] virtual void fail(std::uint32_t line, std::string_view what) = 0;

protected:
    int code_ = 0;
    std::uint32_t line_ = 0;
    std::string_view value_;
    double number_ = 0;

private:
    // The value of a real group that was not parsed with the tag (or is not a number).
    virtual double parseReal() const = 0;
};

namespace tev::db {

using TagSource = ::AcDbImpTagSource;

// Takes the x, y or z group of point `code` (10, 11, 210) into p; false for other codes.
inline bool readPointGroup(TagSource &src, int code, AcGePoint3d &p) {
    const int c = src.code();
    if (c == code)
        p.x = src.real();
    else if (c == code + 10)
        p.y = src.real();
    else if (c == code + 20)
        p.z = src.real();
    else
        return false;
    return true;
}

// The extrusion direction (210/220/230) of an entity as it is read.
struct ExtrusionGroups {
    AcGePoint3d value{0, 0, 1};
    std::uint32_t line = 0; // of its first group, 0 when the record has none

    bool take(TagSource &src) {
        if (!readPointGroup(src, 210, value))
            return false;
        if (line == 0)
            line = src.valueLine();
        return true;
    }
    // The direction, normalised; a zero one is the world's Z axis, and said so.
    AcGeVector3d direction(TagSource &src) const;
};

// A point a file gives in the object system of `normal` in world coordinates.
AcGePoint3d ocsPointToWorld(const AcGePoint3d &p, const AcGeVector3d &normal);

// A value the class refuses (`what` names it: "a width factor"), noted at the current
// group's line with what it was taken as.
void refusedValue(TagSource &src, std::string_view what, std::string_view fix);

// A size (text height, width) the file gives below 0: its amount, and said so.
double sizeRead(TagSource &src, double value, std::string_view what);

} // namespace tev::db
