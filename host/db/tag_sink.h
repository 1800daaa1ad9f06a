// tag_sink.h - the one list of groups per class, and the sink it is written to. The same
// list makes the acdbEntGet list (values as the application sees them: angles in
// radians, a point as one item, names for -1/-2/330) and the DXF file (the file writer's
// sink turns points into x/y/z groups, angles into degrees, names into hex handles). Each
// class reads a file's record back beside it, in dxfInClassGroups (tag_source.h).
#pragma once
#include "dbmain.h"
#include <string_view>

// The host's DXF filer: where an object writes its groups.
class AcDbDxfFiler {
public:
    virtual ~AcDbDxfFiler() = default;
    virtual void string(int code, std::string_view value) = 0;
    virtual void real(int code, double value) = 0;
    virtual void angle(int code, double radians) = 0;
    // A point group: dims 2 (LWPOLYLINE vertices) or 3.
    virtual void point(int code, const AcGePoint3d &p, int dims = 3) = 0;
    virtual void int16(int code, int value) = 0;
    virtual void int32(int code, long value) = 0;
    // A handle written as text (group 5).
    virtual void handle(int code, AcDbHandle h) = 0;
    // A reference to another object (-1, -2, 330, 340...): an entity name in an
    // application list, a hex handle in a file.
    virtual void objectRef(int code, AcDbObjectId id) = 0;
    // True for the file writer: leave out the groups only application lists have.
    virtual bool forFile() const = 0;
    // A group the class models that a file leaves out at its default value (a point names
    // its first code): whatever a file read before held in it must not be written again.
    virtual void defaulted(int code) { (void)code; }
    void defaultedPoint(int code) {
        defaulted(code);
        defaulted(code + 10);
        defaulted(code + 20);
    }
};

namespace tev::db {

using TagSink = ::AcDbDxfFiler;

// The common entity groups after the 100 "AcDbEntity" marker: 67 (always in application
// lists, in files only for paper space), 410 (application lists only), 8, then 6, 62, 420,
// 370, 48, 60 where not the default.
void writeEntityCommon(const AcDbEntity &ent, TagSink &sink);
// The whole application list of an entity: -1, 0, 330, 5, 100 AcDbEntity, the common
// groups and the class's groups.
void writeEntityList(const AcDbEntity &ent, TagSink &sink);

} // namespace tev::db
