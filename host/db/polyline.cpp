// polyline.cpp - the lightweight polyline, the old-style 2D and 3D polylines and their
// vertices: vertex storage, the owned sequence, extents and groups.
#include "access.h"
#include "database_impl.h"
#include "misuse.h"
#include "ocs.h"
#include "tag_sink.h"
#include "tag_source.h"
#include "dbpl.h"
#include "dbpoly.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

ACRX_DEFINE_MEMBERS(AcDbPolyline, AcDbCurve, "LWPOLYLINE");
ACRX_DEFINE_MEMBERS(AcDbVertex, AcDbEntity, nullptr);
ACRX_DEFINE_MEMBERS(AcDb2dVertex, AcDbVertex, "VERTEX");
ACRX_DEFINE_MEMBERS(AcDb3dPolylineVertex, AcDbVertex, "VERTEX");
ACRX_DEFINE_MEMBERS(AcDb2dPolyline, AcDbCurve, "POLYLINE");
ACRX_DEFINE_MEMBERS(AcDb3dPolyline, AcDbCurve, "POLYLINE");

#define TEV_SET(member, value)                                                                     \
    do {                                                                                           \
        if (!writeAllowed())                                                                       \
            return Acad::eNotOpenForWrite;                                                         \
        member = value;                                                                            \
        return Acad::eOk;                                                                          \
    } while (0)

namespace {
// Before a width change of obj: the step under way keeps the widths alone when it can (as a
// recolour keeps the colour), and then the change counts for a save as any other does. False
// when the caller is to go the common way (writeAllowed), which also reports a misuse.
bool widthsKeptForUndo(const AcDbObject &obj) {
    if (!obj.isWriteEnabled() || !obj.isDatabaseResident())
        return false;
    AcDbStub *s = obj.objectId().stub();
    if (s->db->journal == nullptr || !tev::db::journalWidths(s))
        return false;
    s->changes |= AcDbStub::kOther;
    return true;
}
} // namespace

namespace tev::db {
void addArcExtents(AcDbExtents &ext, const AcGePoint3d &center, const AcGeVector3d &normal,
                   double r, double a0, double a1);     // entities.cpp
void writeNormal(TagSink &sink, const AcGeVector3d &n); // entities.cpp
void writeThickness(TagSink &sink, double t);           // entities.cpp

// Centre, radius and angles of a bulged segment from a to b (2D, in the plane's system).
// False for a straight segment.
bool bulgeArc(const AcGePoint2d &a, const AcGePoint2d &b, double bulge, AcGePoint2d &center,
              double &radius, double &a0, double &a1) {
    double chord = a.distanceTo(b);
    if (bulge == 0 || chord == 0 || !std::isfinite(bulge))
        return false;
    // The centre lies on the chord's perpendicular bisector, c(1 - b^2)/(4b) to the left
    // of the chord (negative: to the right).
    radius = chord * (1 + bulge * bulge) / (4 * std::fabs(bulge));
    double offset = chord * (1 - bulge * bulge) / (4 * bulge);
    double ux = (b.x - a.x) / chord, uy = (b.y - a.y) / chord;
    center.set((a.x + b.x) / 2 - uy * offset, (a.y + b.y) / 2 + ux * offset);
    double sa = std::atan2(a.y - center.y, a.x - center.x);
    double sb = std::atan2(b.y - center.y, b.x - center.x);
    if (bulge > 0) {
        a0 = sa;
        a1 = sb;
    } else {
        a0 = sb;
        a1 = sa;
    }
    return true;
}

// Adds the box of a planar vertex chain (in the system of normal, at elevation) to ext.
void addChainExtents(AcDbExtents &ext, const std::vector<AcGePoint2d> &pts,
                     const std::vector<double> &bulges, bool closed, double elevation,
                     const AcGeVector3d &normal) {
    AcGeMatrix3d toWorld = ocsToWcs(normal);
    std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; ++i) {
        ext.addPoint(toWorld * AcGePoint3d(pts[i].x, pts[i].y, elevation));
        if (i + 1 == n && !closed)
            break;
        AcGePoint2d c;
        double r, a0, a1;
        if (bulgeArc(pts[i], pts[(i + 1) % n], bulges[i], c, r, a0, a1))
            addArcExtents(ext, toWorld * AcGePoint3d(c.x, c.y, elevation), normal, r, a0, a1);
    }
}
} // namespace tev::db

using namespace tev::db;

// --- AcDbPolyline
// ---------------------------------------------------------------------------------

AcDbPolyline::AcDbPolyline(unsigned int numVerts) {
    mPoints.reserve(numVerts);
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint3d &pt) const {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    const AcGePoint2d &p = mPoints[index];
    if (mNormal.x == 0 && mNormal.y == 0 && mNormal.z == 1) // the world's system: no turn
        pt = AcGePoint3d(p.x, p.y, mElevation);
    else
        pt = ocsToWcs(mNormal) * AcGePoint3d(p.x, p.y, mElevation);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d &pt) const {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    pt = mPoints[index];
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::setPointAt(unsigned int index, const AcGePoint2d &pt) {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    TEV_SET(mPoints[index], pt);
}
Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double &bulge) const {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    bulge = bulgeAt(index);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::setBulgeAt(unsigned int index, double bulge) {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    if (!std::isfinite(bulge))
        return Acad::eInvalidInput;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    if (bulge != 0 && mBulges.empty())
        mBulges.assign(mPoints.size(), 0.0);
    if (!mBulges.empty())
        mBulges[index] = bulge;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double &startWidth,
                                            double &endWidth) const {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    const Widths w = widthsAt(index);
    startWidth = w.start;
    endWidth = w.end;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double startWidth,
                                            double endWidth) {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    if (!(startWidth >= 0) || !(endWidth >= 0))
        return Acad::eInvalidInput;
    if (!widthsKeptForUndo(*this) && !writeAllowed())
        return Acad::eNotOpenForWrite;
    if (startWidth != 0 || endWidth != 0 || !mWidths.empty())
        allWidths()[index] = Widths{startWidth, endWidth};
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d &pt, double bulge,
                                            double startWidth, double endWidth) {
    if (index > mPoints.size())
        return Acad::eInvalidIndex;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    // A width left out takes the polyline's constant width; finding it walks every vertex,
    // so only when it is needed (a file's polyline gives every width: no quadratic read).
    double constant = 0;
    if ((startWidth < 0 || endWidth < 0) && getConstantWidth(constant) != Acad::eOk)
        constant = 0;
    const Widths w{startWidth < 0 ? constant : startWidth, endWidth < 0 ? constant : endWidth};
    if (w.start != 0 || w.end != 0 || !mWidths.empty()) {
        std::vector<Widths> &widths = allWidths();
        if (index == widths.size())
            widths.push_back(w); // a file's vertices come in order: no shifting
        else
            widths.insert(widths.begin() + index, w);
    }
    if (bulge != 0 || !mBulges.empty()) {
        mBulges.resize(mPoints.size()); // zeros for the vertices before the first bulge
        if (index == mBulges.size())
            mBulges.push_back(bulge); // a file's vertices come in order: no shifting
        else
            mBulges.insert(mBulges.begin() + index, bulge);
    }
    if (index == mPoints.size())
        mPoints.push_back(pt);
    else
        mPoints.insert(mPoints.begin() + index, pt);
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index) {
    if (index >= mPoints.size())
        return Acad::eInvalidIndex;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mPoints.erase(mPoints.begin() + index);
    if (!mBulges.empty())
        mBulges.erase(mBulges.begin() + index);
    if (!mWidths.empty())
        mWidths.erase(mWidths.begin() + index);
    return Acad::eOk;
}

void AcDbPolyline::setClosed(Adesk::Boolean closed) {
    if (writeAllowed())
        mClosed = closed;
}
void AcDbPolyline::setPlinegen(Adesk::Boolean on) {
    if (writeAllowed())
        mPlinegen = on;
}
void AcDbPolyline::setElevation(double e) {
    if (writeAllowed())
        mElevation = e;
}

Acad::ErrorStatus AcDbPolyline::getConstantWidth(double &width) const {
    width = mWidths.empty() ? 0 : mWidths[0].start;
    for (const Widths &w : mWidths)
        if (w.start != width || w.end != width)
            return Acad::eNotApplicable;
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setConstantWidth(double width) {
    if (!(width >= 0))
        return Acad::eInvalidInput;
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    if (width == 0)
        mWidths.clear();
    else
        mWidths.assign(mPoints.size(), Widths{width, width});
    return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDbPolyline::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}

bool AcDbPolyline::hasBulges() const {
    for (const double b : mBulges)
        if (b != 0)
            return true;
    return false;
}
bool AcDbPolyline::hasWidth() const {
    for (const Widths &w : mWidths)
        if (w.start != 0 || w.end != 0)
            return true;
    return false;
}

Acad::ErrorStatus AcDbPolyline::getStartPoint(AcGePoint3d &p) const {
    return mPoints.empty() ? Acad::eInvalidIndex : getPointAt(0, p);
}
Acad::ErrorStatus AcDbPolyline::getEndPoint(AcGePoint3d &p) const {
    if (mPoints.empty())
        return Acad::eInvalidIndex;
    return getPointAt(mClosed ? 0 : numVerts() - 1, p);
}

Acad::ErrorStatus AcDbPolyline::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    if (mPoints.empty())
        return Acad::eNotApplicable;
    const std::vector<double> bulges =
        mBulges.empty() ? std::vector<double>(mPoints.size(), 0.0) : mBulges;
    addChainExtents(extents, mPoints, bulges, mClosed, mElevation, mNormal);
    return Acad::eOk;
}

void AcDbPolyline::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    double constant = 0;
    bool isConstant = getConstantWidth(constant) == Acad::eOk;
    sink.string(100, "AcDbPolyline");
    sink.int32(90, static_cast<long>(mPoints.size()));
    sink.int16(70, (mClosed ? 1 : 0) | (mPlinegen ? 128 : 0));
    if (isConstant)
        sink.real(43, constant);
    else
        sink.defaulted(43);
    if (!file || mElevation != 0)
        sink.real(38, mElevation);
    else
        sink.defaulted(38);
    if (!file || mThickness != 0)
        sink.real(39, mThickness);
    else
        sink.defaulted(39);
    // Widths and bulges are the vertices' own: none is kept from a file read before, where
    // it could stand by another vertex.
    sink.defaulted(40);
    sink.defaulted(41);
    sink.defaulted(42);
    for (std::size_t i = 0; i < mPoints.size(); ++i) {
        const AcGePoint2d &pt = mPoints[i];
        sink.point(10, AcGePoint3d(pt.x, pt.y, 0), 2);
        if (!file || !isConstant) {
            const Widths w = widthsAt(i);
            sink.real(40, w.start);
            sink.real(41, w.end);
        }
        const double bulge = bulgeAt(i);
        if (!file || bulge != 0)
            sink.real(42, bulge);
    }
    writeNormal(sink, mNormal);
}

void AcDbPolyline::dxfInClassGroups(TagSource &src) {
    std::int64_t declared = -1;
    std::uint32_t countLine = src.recordLine();
    double constant = 0;
    ExtrusionGroups normal;
    // A width a vertex does not give is the constant width (43), known at the end.
    constexpr double kUnset = -1;
    while (src.next()) {
        const int code = src.code();
        switch (code) {
        case 90:
            declared = src.integer();
            countLine = src.valueLine();
            if (declared < 0)
                src.fail(countLine,
                         "LWPOLYLINE has a negative vertex count " + std::to_string(declared));
            // Room for the vertices said, as many as the groups left can hold.
            if (mPoints.empty())
                mPoints.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
                    static_cast<std::uint64_t>(declared), src.groupsLeft() / 2)));
            break;
        case 70: {
            const std::int64_t flags = src.integer();
            mClosed = (flags & 1) != 0;
            mPlinegen = (flags & 128) != 0;
            break;
        }
        case 43:
            constant = sizeRead(src, src.real(), "constant width");
            break;
        case 38:
            mElevation = src.real();
            break;
        case 39:
            mThickness = src.real();
            break;
        case 10:
            mPoints.emplace_back(src.real(), 0.0);
            if (!mBulges.empty())
                mBulges.push_back(0);
            if (!mWidths.empty())
                mWidths.push_back(Widths{kUnset, kUnset});
            break;
        case 20:
        case 40:
        case 41:
        case 42: {
            if (mPoints.empty())
                src.fail(src.line(),
                         "LWPOLYLINE: group " + std::to_string(code) + " before the first vertex");
            const double v = src.real();
            if (code == 20) {
                mPoints.back().y = v;
            } else if (code == 42) {
                if (v != 0 && mBulges.empty()) {
                    mBulges.reserve(mPoints.capacity());
                    mBulges.assign(mPoints.size(), 0.0);
                }
                if (!mBulges.empty())
                    mBulges.back() = v;
            } else {
                const double w = sizeRead(src, v, code == 40 ? "start width" : "end width");
                if (mWidths.empty()) {
                    mWidths.reserve(mPoints.capacity());
                    mWidths.assign(mPoints.size(), Widths{kUnset, kUnset});
                }
                (code == 40 ? mWidths.back().start : mWidths.back().end) = w;
            }
            break;
        }
        default:
            normal.take(src);
            break;
        }
    }
    if (declared < 0)
        src.fail(src.recordLine(), "LWPOLYLINE has no vertex count (group 90)");
    if (static_cast<std::uint64_t>(declared) != mPoints.size())
        src.fail(countLine, "LWPOLYLINE: group 90 says " + std::to_string(declared) +
                                " vertices, " + std::to_string(mPoints.size()) + " follow");
    if (!mWidths.empty()) {
        bool any = false;
        for (Widths &w : mWidths) {
            if (w.start == kUnset)
                w.start = constant;
            if (w.end == kUnset)
                w.end = constant;
            any = any || w.start != 0 || w.end != 0;
        }
        if (!any) {
            mWidths.clear();
            mWidths.shrink_to_fit();
        }
    } else if (constant != 0) {
        mWidths.assign(mPoints.size(), Widths{constant, constant});
    }
    mNormal = normal.direction(src);
}

// --- vertices
// --------------------------------------------------------------------------------------

Acad::ErrorStatus AcDb2dVertex::setVertexType(AcDb::Vertex2dType type) {
    TEV_SET(mType, type);
}
Acad::ErrorStatus AcDb2dVertex::setPosition(const AcGePoint3d &p) {
    TEV_SET(mPosition, p);
}
Acad::ErrorStatus AcDb2dVertex::setStartWidth(double w) {
    if (!(w >= 0))
        return Acad::eInvalidInput;
    if (!widthsKeptForUndo(*this) && !writeAllowed())
        return Acad::eNotOpenForWrite;
    mStartWidth = w;
    return Acad::eOk;
}
Acad::ErrorStatus AcDb2dVertex::setEndWidth(double w) {
    if (!(w >= 0))
        return Acad::eInvalidInput;
    if (!widthsKeptForUndo(*this) && !writeAllowed())
        return Acad::eNotOpenForWrite;
    mEndWidth = w;
    return Acad::eOk;
}
Acad::ErrorStatus AcDb2dVertex::setBulge(double b) {
    if (!std::isfinite(b))
        return Acad::eInvalidInput;
    TEV_SET(mBulge, b);
}
Acad::ErrorStatus AcDb2dVertex::useTangent() {
    TEV_SET(mTangentUsed, true);
}
Acad::ErrorStatus AcDb2dVertex::ignoreTangent() {
    TEV_SET(mTangentUsed, false);
}
Acad::ErrorStatus AcDb2dVertex::setTangent(double t) {
    if (!writeAllowed())
        return Acad::eNotOpenForWrite;
    mTangent = t;
    mTangentUsed = true;
    return Acad::eOk;
}

// DXF VERTEX flags of a 2D vertex: curve-fit extra 1, tangent 2, spline-fit 8, control 16.
static int vertexFlags(AcDb::Vertex2dType type, bool tangentUsed) {
    int flags = tangentUsed ? 2 : 0;
    switch (type) {
    case AcDb::k2dVertex:
        break;
    case AcDb::k2dSplineCtlVertex:
        flags |= 16;
        break;
    case AcDb::k2dSplineFitVertex:
        flags |= 8;
        break;
    case AcDb::k2dCurveFitVertex:
        flags |= 1;
        break;
    }
    return flags;
}

void AcDb2dVertex::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    sink.string(100, "AcDbVertex");
    sink.string(100, "AcDb2dVertex");
    sink.point(10, mPosition);
    // A vertex without widths takes its polyline's default widths in some readers and 0 in
    // others: under a polyline with default widths, the vertex says its own.
    const auto *owner = AcDb2dPolyline::cast(ObjectAccess::pendingOwner(*this));
    if (owner == nullptr)
        owner = peekAs<AcDb2dPolyline>(ownerId());
    const bool ownerWidths =
        owner != nullptr && (owner->defaultStartWidth() != 0 || owner->defaultEndWidth() != 0);
    if (!file || mStartWidth != 0 || ownerWidths)
        sink.real(40, mStartWidth);
    else
        sink.defaulted(40);
    if (!file || mEndWidth != 0 || ownerWidths)
        sink.real(41, mEndWidth);
    else
        sink.defaulted(41);
    if (!file || mBulge != 0)
        sink.real(42, mBulge);
    else
        sink.defaulted(42);
    sink.int16(70, vertexFlags(mType, mTangentUsed));
    if (!file || mTangentUsed)
        sink.angle(50, mTangent);
    else
        sink.defaulted(50);
}

// The widths a vertex leaves out are its polyline's defaults, which the vertex was made with.
void AcDb2dVertex::dxfInClassGroups(TagSource &src) {
    std::int64_t flags = 0;
    while (src.next()) {
        switch (src.code()) {
        case 40:
            mStartWidth = sizeRead(src, src.real(), "start width");
            break;
        case 41:
            mEndWidth = sizeRead(src, src.real(), "end width");
            break;
        case 42:
            mBulge = src.real();
            break;
        case 50:
            mTangent = src.angle();
            mTangentUsed = true;
            break;
        case 70:
            flags = src.integer();
            break;
        default:
            (void)readPointGroup(src, 10, mPosition); // other groups are not the class's
            break;
        }
    }
    mType = (flags & 1) != 0    ? AcDb::k2dCurveFitVertex
            : (flags & 16) != 0 ? AcDb::k2dSplineCtlVertex
            : (flags & 8) != 0  ? AcDb::k2dSplineFitVertex
                                : AcDb::k2dVertex;
}

Acad::ErrorStatus AcDb3dPolylineVertex::setVertexType(AcDb::Vertex3dType type) {
    TEV_SET(mType, type);
}
Acad::ErrorStatus AcDb3dPolylineVertex::setPosition(const AcGePoint3d &p) {
    TEV_SET(mPosition, p);
}

void AcDb3dPolylineVertex::dxfOutClassGroups(TagSink &sink) const {
    sink.string(100, "AcDbVertex");
    sink.string(100, "AcDb3dPolylineVertex");
    sink.point(10, mPosition);
    int flags = 32;
    if (mType == AcDb::k3dControlVertex)
        flags |= 16;
    else if (mType == AcDb::k3dFitVertex)
        flags |= 8;
    sink.int16(70, flags);
}

void AcDb3dPolylineVertex::dxfInClassGroups(TagSource &src) {
    std::int64_t flags = 0;
    while (src.next()) {
        if (src.code() == 70)
            flags = src.integer();
        else
            (void)readPointGroup(src, 10, mPosition); // other groups are not the class's
    }
    mType = (flags & 16) != 0  ? AcDb::k3dControlVertex
            : (flags & 8) != 0 ? AcDb::k3dFitVertex
                               : AcDb::k3dSimpleVertex;
}

// --- the owned sequence
// ------------------------------------------------------------------------------

namespace {

// Takes vertex into owner's sequence; in a database it is appended too, open for write.
Acad::ErrorStatus takeVertex(AcDbCurve &owner, AcDbOwnedSequence &seq, AcDbVertex *vertex,
                             AcDbObjectId *outId) {
    if (outId != nullptr)
        outId->setNull();
    if (vertex == nullptr)
        return Acad::eNullObjectPointer;
    if (vertex->isDatabaseResident() || ObjectAccess::pendingOwner(*vertex) != nullptr)
        return Acad::eAlreadyInDb;
    if (!owner.isWriteEnabled())
        return Acad::eNotOpenForWrite;
    if (!seq.inDatabase) {
        ObjectAccess::setPendingOwner(*vertex, &owner);
        seq.items.push_back(vertex);
        return Acad::eOk;
    }
    AcDbStub *os = owner.objectId().stub();
    // Take what the vertex lacks from the polyline, as appending the polyline does.
    if (ObjectAccess::colorOf(*vertex) > 256)
        ObjectAccess::colorOf(*vertex) = owner.colorIndex();
    if (ObjectAccess::layerOf(*vertex).isNull())
        ObjectAccess::layerOf(*vertex) = owner.layerId();
    if (ObjectAccess::linetypeOf(*vertex).isNull())
        ObjectAccess::linetypeOf(*vertex) = owner.linetypeId();
    AcDbStub *vs = os->db->adopt(vertex, os, ObjectAccess::presetHandleOf(*vertex));
    vs->order = static_cast<std::uint32_t>(seq.items.size());
    seq.items.push_back(vertex);
    journalAppended(vs);
    markOpenForWrite(vs);
    os->db->entityChanged(os);
    if (outId != nullptr)
        *outId = AcDbObjectId(vs);
    return Acad::eOk;
}

Acad::ErrorStatus openSeqEnd(const AcDbOwnedSequence &seq, AcDbSequenceEnd *&seqEnd,
                             AcDb::OpenMode mode) {
    seqEnd = nullptr;
    if (seq.seqEnd == nullptr)
        return Acad::eKeyNotFound;
    if (!seq.inDatabase)
        return Acad::eNotInDatabase;
    return acdbOpenObject(seqEnd, seq.seqEnd->objectId(), mode, /*openErased=*/true);
}

} // namespace

// --- AcDb2dPolyline
// ---------------------------------------------------------------------------------

AcDb2dPolyline::AcDb2dPolyline(AcDb::Poly2dType type, AcGePoint3dArray &vertices, double elevation,
                               Adesk::Boolean closed, double defStartWidth, double defEndWidth,
                               AcGeDoubleArray *bulges)
    : mElevation(elevation), mDefStartWidth(AcDb2dVertex::width(defStartWidth)),
      mDefEndWidth(AcDb2dVertex::width(defEndWidth)), mType(type), mClosed(closed) {
    for (int i = 0; i < vertices.length(); ++i) {
        double bulge = bulges != nullptr && i < bulges->length() ? (*bulges)[i] : 0;
        AcGePoint3d p(vertices[i].x, vertices[i].y, elevation);
        auto *v = new AcDb2dVertex(p, bulge, defStartWidth, defEndWidth);
        if (v == nullptr) {
            mOwned.incomplete = true; // reported when the polyline is appended
            return;
        }
        ObjectAccess::setPendingOwner(*v, this);
        mOwned.items.push_back(v);
    }
}

AcDbObjectIterator *AcDb2dPolyline::vertexIterator() const {
    return new (std::nothrow) AcDbObjectIterator(&mOwned.items);
}
Acad::ErrorStatus AcDb2dPolyline::appendVertex(AcDb2dVertex *vertex) {
    return takeVertex(*this, mOwned, vertex, nullptr);
}
Acad::ErrorStatus AcDb2dPolyline::appendVertex(AcDbObjectId &vertexId, AcDb2dVertex *vertex) {
    return takeVertex(*this, mOwned, vertex, &vertexId);
}
Acad::ErrorStatus AcDb2dPolyline::openSequenceEnd(AcDbSequenceEnd *&seqEnd, AcDb::OpenMode mode) {
    return openSeqEnd(mOwned, seqEnd, mode);
}
Acad::ErrorStatus AcDb2dPolyline::setPolyType(AcDb::Poly2dType type) {
    TEV_SET(mType, type);
}
Acad::ErrorStatus AcDb2dPolyline::makeClosed() {
    TEV_SET(mClosed, true);
}
Acad::ErrorStatus AcDb2dPolyline::makeOpen() {
    TEV_SET(mClosed, false);
}
Acad::ErrorStatus AcDb2dPolyline::setClosed(Adesk::Boolean closed) {
    TEV_SET(mClosed, closed);
}
Acad::ErrorStatus AcDb2dPolyline::setDefaultStartWidth(double w) {
    if (!(w >= 0))
        return Acad::eInvalidInput;
    TEV_SET(mDefStartWidth, w);
}
Acad::ErrorStatus AcDb2dPolyline::setDefaultEndWidth(double w) {
    if (!(w >= 0))
        return Acad::eInvalidInput;
    TEV_SET(mDefEndWidth, w);
}
Acad::ErrorStatus AcDb2dPolyline::setElevation(double e) {
    TEV_SET(mElevation, e);
}
Acad::ErrorStatus AcDb2dPolyline::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDb2dPolyline::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}
Acad::ErrorStatus AcDb2dPolyline::setLinetypeGenerationOn() {
    TEV_SET(mPlinegen, true);
}
Acad::ErrorStatus AcDb2dPolyline::setLinetypeGenerationOff() {
    TEV_SET(mPlinegen, false);
}

namespace tev::db {
// The drawn vertices of a 2D polyline: spline frame control points are not on the curve
// once fit points exist.
std::vector<const AcDb2dVertex *> drawnVertices(const AcDb2dPolyline &pl) {
    std::vector<const AcDb2dVertex *> all, drawn;
    for (AcDbObject *o : ObjectAccess::sequence(pl)->items)
        if (!o->isErased())
            all.push_back(static_cast<const AcDb2dVertex *>(o));
    for (const AcDb2dVertex *v : all)
        if (v->vertexType() != AcDb::k2dSplineCtlVertex)
            drawn.push_back(v);
    return drawn.empty() ? all : drawn;
}
} // namespace tev::db

Acad::ErrorStatus AcDb2dPolyline::getStartPoint(AcGePoint3d &p) const {
    auto vs = drawnVertices(*this);
    if (vs.empty())
        return Acad::eInvalidIndex;
    AcGePoint3d q = vs.front()->position();
    p = ocsToWcs(mNormal) * AcGePoint3d(q.x, q.y, mElevation);
    return Acad::eOk;
}
Acad::ErrorStatus AcDb2dPolyline::getEndPoint(AcGePoint3d &p) const {
    auto vs = drawnVertices(*this);
    if (vs.empty())
        return Acad::eInvalidIndex;
    AcGePoint3d q = (mClosed ? vs.front() : vs.back())->position();
    p = ocsToWcs(mNormal) * AcGePoint3d(q.x, q.y, mElevation);
    return Acad::eOk;
}
Acad::ErrorStatus AcDb2dPolyline::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    auto vs = drawnVertices(*this);
    if (vs.empty())
        return Acad::eNotApplicable;
    std::vector<AcGePoint2d> pts;
    std::vector<double> bulges;
    for (const AcDb2dVertex *v : vs) {
        pts.emplace_back(v->position().x, v->position().y);
        bulges.push_back(v->bulge());
    }
    addChainExtents(extents, pts, bulges, mClosed, mElevation, mNormal);
    return Acad::eOk;
}

void AcDb2dPolyline::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    int flags = (mClosed ? 1 : 0) | (mPlinegen ? 128 : 0);
    int curveType = 0;
    switch (mType) {
    case AcDb::k2dSimplePoly:
        break;
    case AcDb::k2dFitCurvePoly:
        flags |= 2;
        break;
    case AcDb::k2dQuadSplinePoly:
        flags |= 4;
        curveType = 5;
        break;
    case AcDb::k2dCubicSplinePoly:
        flags |= 4;
        curveType = 6;
        break;
    }
    sink.string(100, "AcDb2dPolyline");
    sink.int16(66, 1);
    sink.point(10, AcGePoint3d(0, 0, mElevation));
    writeThickness(sink, mThickness);
    sink.int16(70, flags);
    if (!file || mDefStartWidth != 0)
        sink.real(40, mDefStartWidth);
    else
        sink.defaulted(40);
    if (!file || mDefEndWidth != 0)
        sink.real(41, mDefEndWidth);
    else
        sink.defaulted(41);
    if (!file) {
        sink.int16(71, 0);
        sink.int16(72, 0);
        sink.int16(73, 0);
        sink.int16(74, 0);
    }
    if (!file || curveType != 0)
        sink.int16(75, curveType);
    else
        sink.defaulted(75);
    writeNormal(sink, mNormal);
}

void AcDb2dPolyline::dxfInClassGroups(TagSource &src) {
    std::int64_t flags = 0, curve = 0;
    ExtrusionGroups normal;
    while (src.next()) {
        switch (src.code()) {
        case 70:
            flags = src.integer();
            break;
        case 75:
            curve = src.integer();
            break;
        case 30:
            mElevation = src.real();
            break;
        case 40:
            mDefStartWidth = sizeRead(src, src.real(), "default start width");
            break;
        case 41:
            mDefEndWidth = sizeRead(src, src.real(), "default end width");
            break;
        case 39:
            mThickness = src.real();
            break;
        default:
            normal.take(src);
            break;
        }
    }
    mClosed = (flags & 1) != 0;
    mPlinegen = (flags & 128) != 0;
    mType = (flags & 2) != 0   ? AcDb::k2dFitCurvePoly
            : (flags & 4) == 0 ? AcDb::k2dSimplePoly
            : curve == 5       ? AcDb::k2dQuadSplinePoly
                               : AcDb::k2dCubicSplinePoly;
    mNormal = normal.direction(src);
}

// --- AcDb3dPolyline
// ---------------------------------------------------------------------------------

AcDb3dPolyline::AcDb3dPolyline(AcDb::Poly3dType type, AcGePoint3dArray &vertices,
                               Adesk::Boolean closed)
    : mType(type), mClosed(closed) {
    for (int i = 0; i < vertices.length(); ++i) {
        auto *v = new AcDb3dPolylineVertex(vertices[i]);
        if (v == nullptr) {
            mOwned.incomplete = true;
            return;
        }
        ObjectAccess::setPendingOwner(*v, this);
        mOwned.items.push_back(v);
    }
}

AcDbObjectIterator *AcDb3dPolyline::vertexIterator() const {
    return new (std::nothrow) AcDbObjectIterator(&mOwned.items);
}
Acad::ErrorStatus AcDb3dPolyline::appendVertex(AcDb3dPolylineVertex *vertex) {
    return takeVertex(*this, mOwned, vertex, nullptr);
}
Acad::ErrorStatus AcDb3dPolyline::appendVertex(AcDbObjectId &vertexId,
                                               AcDb3dPolylineVertex *vertex) {
    return takeVertex(*this, mOwned, vertex, &vertexId);
}
Acad::ErrorStatus AcDb3dPolyline::openSequenceEnd(AcDbSequenceEnd *&seqEnd, AcDb::OpenMode mode) {
    return openSeqEnd(mOwned, seqEnd, mode);
}
Acad::ErrorStatus AcDb3dPolyline::setPolyType(AcDb::Poly3dType type) {
    TEV_SET(mType, type);
}
Acad::ErrorStatus AcDb3dPolyline::makeClosed() {
    TEV_SET(mClosed, true);
}
Acad::ErrorStatus AcDb3dPolyline::makeOpen() {
    TEV_SET(mClosed, false);
}
Acad::ErrorStatus AcDb3dPolyline::setClosed(Adesk::Boolean closed) {
    TEV_SET(mClosed, closed);
}

namespace tev::db {
std::vector<const AcDb3dPolylineVertex *> drawnVertices(const AcDb3dPolyline &pl) {
    std::vector<const AcDb3dPolylineVertex *> all, drawn;
    for (AcDbObject *o : ObjectAccess::sequence(pl)->items)
        if (!o->isErased())
            all.push_back(static_cast<const AcDb3dPolylineVertex *>(o));
    for (const AcDb3dPolylineVertex *v : all)
        if (v->vertexType() != AcDb::k3dControlVertex)
            drawn.push_back(v);
    return drawn.empty() ? all : drawn;
}
} // namespace tev::db

Acad::ErrorStatus AcDb3dPolyline::getStartPoint(AcGePoint3d &p) const {
    auto vs = drawnVertices(*this);
    if (vs.empty())
        return Acad::eInvalidIndex;
    p = vs.front()->position();
    return Acad::eOk;
}
Acad::ErrorStatus AcDb3dPolyline::getEndPoint(AcGePoint3d &p) const {
    auto vs = drawnVertices(*this);
    if (vs.empty())
        return Acad::eInvalidIndex;
    p = (mClosed ? vs.front() : vs.back())->position();
    return Acad::eOk;
}
Acad::ErrorStatus AcDb3dPolyline::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    for (const AcDb3dPolylineVertex *v : drawnVertices(*this))
        extents.addPoint(v->position());
    return extents.isEmpty() ? Acad::eNotApplicable : Acad::eOk;
}

void AcDb3dPolyline::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    int curveType = mType == AcDb::k3dQuadSplinePoly    ? 5
                    : mType == AcDb::k3dCubicSplinePoly ? 6
                                                        : 0;
    sink.string(100, "AcDb3dPolyline");
    sink.int16(66, 1);
    sink.point(10, AcGePoint3d(0, 0, 0));
    sink.int16(70, 8 | (mClosed ? 1 : 0) | (curveType != 0 ? 4 : 0));
    if (!file || curveType != 0)
        sink.int16(75, curveType);
    else
        sink.defaulted(75);
}

void AcDb3dPolyline::dxfInClassGroups(TagSource &src) {
    std::int64_t flags = 0, curve = 0;
    while (src.next()) {
        if (src.code() == 70)
            flags = src.integer();
        else if (src.code() == 75)
            curve = src.integer();
    }
    mClosed = (flags & 1) != 0;
    if ((flags & 4) != 0)
        mType = curve == 5 ? AcDb::k3dQuadSplinePoly : AcDb::k3dCubicSplinePoly;
}
