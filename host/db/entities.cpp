// entities.cpp - the simple entities: setters (refused unless open for write), extents in
// world coordinates and their groups for acdbEntGet and the DXF writer.
#include "access.h"
#include "database_impl.h"
#include "ocs.h"
#include "shape.h"
#include "tag_sink.h"
#include "tag_source.h"
#include "acedads.h"
#include "dbents.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <string>

ACRX_DEFINE_MEMBERS(AcDbLine, AcDbCurve, "LINE");
ACRX_DEFINE_MEMBERS(AcDbCircle, AcDbCurve, "CIRCLE");
ACRX_DEFINE_MEMBERS(AcDbArc, AcDbCurve, "ARC");
ACRX_DEFINE_MEMBERS(AcDbText, AcDbEntity, "TEXT");
ACRX_DEFINE_MEMBERS(AcDbBlockReference, AcDbEntity, "INSERT");
ACRX_DEFINE_MEMBERS(AcDbSequenceEnd, AcDbEntity, "SEQEND");
ACRX_DEFINE_MEMBERS(AcDbUnknownEntity, AcDbEntity, nullptr);

// A setter: refuse unless the object may change, then assign.
#define TEV_SET(member, value)                                                                     \
    do {                                                                                           \
        if (!writeAllowed())                                                                       \
            return Acad::eNotOpenForWrite;                                                         \
        member = value;                                                                            \
        return Acad::eOk;                                                                          \
    } while (0)

namespace tev::db {

// The box of an arc (radians, counter-clockwise from a0 to a1 in the plane of normal).
void addArcExtents(AcDbExtents &ext, const AcGePoint3d &center, const AcGeVector3d &normal,
                   double r, double a0, double a1) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    double sweep = std::fmod(a1 - a0, kTwoPi);
    if (sweep <= 0)
        sweep += kTwoPi;
    AcGeMatrix3d toWorld = ocsToWcs(normal);
    AcGeVector3d ax = toWorld * AcGeVector3d::kXAxis, ay = toWorld * AcGeVector3d::kYAxis;
    auto at = [&](double a) { return center + ax * (r * std::cos(a)) + ay * (r * std::sin(a)); };
    ext.addPoint(at(a0));
    ext.addPoint(at(a0 + sweep));
    if (isWorldNormal(normal)) {
        // The quadrant points the arc passes.
        for (int q = 0; q < 8; ++q) {
            double a = q * std::numbers::pi / 2;
            double rel = std::fmod(a - a0, kTwoPi);
            if (rel < 0)
                rel += kTwoPi;
            if (rel < sweep)
                ext.addPoint(at(a));
        }
        return;
    }
    for (int i = 1; i < 64; ++i) // a tilted arc: sampled closely enough for a box
        ext.addPoint(at(a0 + sweep * i / 64));
}

// The 210 group: always in application lists, in files only when not the world's.
void writeNormal(TagSink &sink, const AcGeVector3d &n) {
    if (!sink.forFile() || !isWorldNormal(n))
        sink.point(210, AcGePoint3d(n.x, n.y, n.z));
    else
        sink.defaultedPoint(210);
}

void writeThickness(TagSink &sink, double t) {
    if (t != 0)
        sink.real(39, t);
    else
        sink.defaulted(39);
}

AcGePoint3d toOcs(const AcGePoint3d &p, const AcGeVector3d &n) {
    return isWorldNormal(n) ? p : wcsToOcs(n) * p;
}

namespace {
// A value as the file spells it, without the blanks around it.
std::string spelled(const TagSource &src) {
    std::string_view v = src.raw();
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.remove_suffix(1);
    return std::string(v);
}
} // namespace

// A value the class refuses, said with what it was taken as.
void refusedValue(TagSource &src, std::string_view what, std::string_view fix) {
    const std::string was = spelled(src);
    src.repair(src.valueLine(),
               std::string(src.type()) + " has " + std::string(what) +
                   (was.empty() ? "" : " " + was) + " (group " + std::to_string(src.code()) + ")",
               fix);
}

AcGeVector3d ExtrusionGroups::direction(TagSource &src) const {
    // Brought within reach first: the length of a huge vector would overflow to infinity,
    // and its direction come out zero.
    const double big = std::max({std::fabs(value.x), std::fabs(value.y), std::fabs(value.z)});
    const double scale = big > 1 ? big : 1;
    const AcGeVector3d v(value.x / scale, value.y / scale, value.z / scale);
    if (!v.isZeroLength())
        return v.normal();
    src.repair(line, std::string(src.type()) + " has a zero extrusion direction (group 210)",
               "taken as the Z axis (0,0,1)");
    return AcGeVector3d::kZAxis;
}

AcGePoint3d ocsPointToWorld(const AcGePoint3d &p, const AcGeVector3d &normal) {
    return isWorldNormal(normal) ? p : ocsToWcs(normal) * p;
}

double sizeRead(TagSource &src, double value, std::string_view what) {
    if (value >= 0)
        return value;
    const std::string was = spelled(src);
    refusedValue(src, "a negative " + std::string(what), "taken as " + was.substr(1));
    return -value;
}

} // namespace tev::db

using namespace tev::db;

// --- AcDbLine
// -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbLine::setStartPoint(const AcGePoint3d &p) {
    TEV_SET(mStart, p);
}
Acad::ErrorStatus AcDbLine::setEndPoint(const AcGePoint3d &p) {
    TEV_SET(mEnd, p);
}
Acad::ErrorStatus AcDbLine::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDbLine::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}
Acad::ErrorStatus AcDbLine::getStartPoint(AcGePoint3d &p) const {
    p = mStart;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getEndPoint(AcGePoint3d &p) const {
    p = mEnd;
    return Acad::eOk;
}
Acad::ErrorStatus AcDbLine::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    extents.addPoint(mStart);
    extents.addPoint(mEnd);
    return Acad::eOk;
}
void AcDbLine::dxfOutClassGroups(TagSink &sink) const {
    sink.string(100, "AcDbLine");
    writeThickness(sink, mThickness);
    sink.point(10, mStart);
    sink.point(11, mEnd);
    writeNormal(sink, mNormal);
}

void AcDbLine::dxfInClassGroups(TagSource &src) {
    ExtrusionGroups normal;
    while (src.next()) {
        if (src.code() == 39)
            mThickness = src.real();
        else if (!readPointGroup(src, 10, mStart) && !readPointGroup(src, 11, mEnd))
            normal.take(src);
    }
    mNormal = normal.direction(src);
}

// --- AcDbCircle
// -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbCircle::setCenter(const AcGePoint3d &p) {
    TEV_SET(mCenter, p);
}
Acad::ErrorStatus AcDbCircle::setRadius(double r) {
    if (!(r > 0) || !std::isfinite(r))
        return Acad::eInvalidInput;
    TEV_SET(mRadius, r);
}
Acad::ErrorStatus AcDbCircle::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDbCircle::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}
Acad::ErrorStatus AcDbCircle::getStartPoint(AcGePoint3d &p) const {
    p = mCenter + ocsToWcs(mNormal) * AcGeVector3d(mRadius, 0, 0);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbCircle::getEndPoint(AcGePoint3d &p) const {
    return getStartPoint(p);
}
Acad::ErrorStatus AcDbCircle::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    addArcExtents(extents, mCenter, mNormal, mRadius, 0, 2 * std::numbers::pi);
    return Acad::eOk;
}
void AcDbCircle::dxfOutClassGroups(TagSink &sink) const {
    sink.string(100, "AcDbCircle");
    writeThickness(sink, mThickness);
    sink.point(10, toOcs(mCenter, mNormal));
    sink.real(40, mRadius);
    writeNormal(sink, mNormal);
}

// A radius that is not above 0 is kept as written: the drawing shows nothing for it, and
// saves it as it was.
void AcDbCircle::dxfInClassGroups(TagSource &src) {
    AcGePoint3d center;
    ExtrusionGroups normal;
    while (src.next()) {
        if (src.code() == 40)
            mRadius = src.real();
        else if (src.code() == 39)
            mThickness = src.real();
        else if (!readPointGroup(src, 10, center))
            normal.take(src);
    }
    mNormal = normal.direction(src);
    mCenter = ocsPointToWorld(center, mNormal);
}

// --- AcDbArc -------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbArc::setCenter(const AcGePoint3d &p) {
    TEV_SET(mCenter, p);
}
Acad::ErrorStatus AcDbArc::setRadius(double r) {
    if (!(r > 0) || !std::isfinite(r))
        return Acad::eInvalidInput;
    TEV_SET(mRadius, r);
}
Acad::ErrorStatus AcDbArc::setStartAngle(double a) {
    TEV_SET(mStartAngle, a);
}
Acad::ErrorStatus AcDbArc::setEndAngle(double a) {
    TEV_SET(mEndAngle, a);
}
Acad::ErrorStatus AcDbArc::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDbArc::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}
Acad::ErrorStatus AcDbArc::getStartPoint(AcGePoint3d &p) const {
    p = mCenter + ocsToWcs(mNormal) * AcGeVector3d(mRadius * std::cos(mStartAngle),
                                                   mRadius * std::sin(mStartAngle), 0);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getEndPoint(AcGePoint3d &p) const {
    p = mCenter + ocsToWcs(mNormal) *
                      AcGeVector3d(mRadius * std::cos(mEndAngle), mRadius * std::sin(mEndAngle), 0);
    return Acad::eOk;
}
Acad::ErrorStatus AcDbArc::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    addArcExtents(extents, mCenter, mNormal, mRadius, mStartAngle, mEndAngle);
    return Acad::eOk;
}
void AcDbArc::dxfOutClassGroups(TagSink &sink) const {
    sink.string(100, "AcDbCircle");
    writeThickness(sink, mThickness);
    sink.point(10, toOcs(mCenter, mNormal));
    sink.real(40, mRadius);
    if (sink.forFile())
        writeNormal(sink, mNormal);
    sink.string(100, "AcDbArc");
    sink.angle(50, mStartAngle);
    sink.angle(51, mEndAngle);
    if (!sink.forFile())
        writeNormal(sink, mNormal);
}

void AcDbArc::dxfInClassGroups(TagSource &src) {
    AcGePoint3d center;
    ExtrusionGroups normal;
    while (src.next()) {
        switch (src.code()) {
        case 40:
            mRadius = src.real(); // kept as written, as a circle's
            break;
        case 39:
            mThickness = src.real();
            break;
        case 50:
            mStartAngle = src.angle();
            break;
        case 51:
            mEndAngle = src.angle();
            break;
        default:
            if (!readPointGroup(src, 10, center))
                normal.take(src);
            break;
        }
    }
    mNormal = normal.direction(src);
    mCenter = ocsPointToWorld(center, mNormal);
}

// --- AcDbText
// -------------------------------------------------------------------------------------

AcDbText::AcDbText(const AcGePoint3d &position, const char *text, AcDbObjectId, double height,
                   double rotation)
    : mPosition(position), mText(text != nullptr ? text : ""), mHeight(height),
      mRotation(rotation) {}

Acad::ErrorStatus AcDbText::setPosition(const AcGePoint3d &p) {
    TEV_SET(mPosition, p);
}
Acad::ErrorStatus AcDbText::setAlignmentPoint(const AcGePoint3d &p) {
    TEV_SET(mAlignment, p);
}
char *AcDbText::textString() const {
    char *out = new (std::nothrow) char[mText.size() + 1];
    if (out != nullptr)
        std::memcpy(out, mText.c_str(), mText.size() + 1);
    return out;
}
Acad::ErrorStatus AcDbText::setTextString(const char *text) {
    if (text == nullptr)
        return Acad::eNullPtr;
    TEV_SET(mText, text);
}
Acad::ErrorStatus AcDbText::setHeight(double h) {
    if (!(h >= 0) || !std::isfinite(h))
        return Acad::eInvalidInput;
    TEV_SET(mHeight, h);
}
Acad::ErrorStatus AcDbText::setRotation(double r) {
    TEV_SET(mRotation, r);
}
Acad::ErrorStatus AcDbText::setWidthFactor(double f) {
    if (!(f > 0) || !std::isfinite(f))
        return Acad::eInvalidInput;
    TEV_SET(mWidthFactor, f);
}
Acad::ErrorStatus AcDbText::setOblique(double a) {
    TEV_SET(mOblique, a);
}
Acad::ErrorStatus AcDbText::setThickness(double t) {
    TEV_SET(mThickness, t);
}
Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}
Acad::ErrorStatus AcDbText::setGenerationFlags(Adesk::Int16 flags) {
    TEV_SET(mGeneration, flags);
}
Acad::ErrorStatus AcDbText::setHorizontalMode(AcDb::TextHorzMode m) {
    TEV_SET(mHorz, m);
}
Acad::ErrorStatus AcDbText::setVerticalMode(AcDb::TextVertMode m) {
    TEV_SET(mVert, m);
}
Acad::ErrorStatus AcDbText::setStyleName(const char *name) {
    if (name == nullptr || *name == '\0')
        return Acad::eInvalidInput;
    TEV_SET(mStyle, name);
}

namespace tev::db {
// The four corners of a text's box in world coordinates. Without font metrics, a
// character is taken as 0.6 of the height wide (times the width factor); justified text
// is placed around its alignment point.
void textBox(const AcDbText &t, AcGePoint3d corners[4]) {
    double h = t.height() > 0 ? t.height() : 1.0;
    double w = 0.6 * h * t.widthFactor() * static_cast<double>(std::strlen(t.textStringConst()));
    AcGePoint3d anchor = t.position();
    double dx = 0, dy = 0;
    bool justified = t.horizontalMode() != AcDb::kTextLeft || t.verticalMode() != AcDb::kTextBase;
    if (justified &&
        (t.horizontalMode() == AcDb::kTextAlign || t.horizontalMode() == AcDb::kTextFit))
        w = t.position().distanceTo(t.alignmentPoint());
    else if (justified) {
        anchor = t.alignmentPoint();
        if (t.horizontalMode() == AcDb::kTextCenter || t.horizontalMode() == AcDb::kTextMid)
            dx = -w / 2;
        else if (t.horizontalMode() == AcDb::kTextRight)
            dx = -w;
        if (t.verticalMode() == AcDb::kTextVertMid || t.horizontalMode() == AcDb::kTextMid)
            dy = -h / 2;
        else if (t.verticalMode() == AcDb::kTextTop)
            dy = -h;
    }
    AcGeMatrix3d toWorld =
        ocsToWcs(t.normal()) * AcGeMatrix3d::rotation(t.rotation(), AcGeVector3d::kZAxis);
    const double xs[4] = {dx, dx + w, dx + w, dx};
    const double ys[4] = {dy, dy, dy + h, dy + h};
    for (int i = 0; i < 4; ++i)
        corners[i] = anchor + toWorld * AcGeVector3d(xs[i], ys[i], 0);
}
} // namespace tev::db

Acad::ErrorStatus AcDbText::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    AcGePoint3d c[4];
    textBox(*this, c);
    for (const AcGePoint3d &p : c)
        extents.addPoint(p);
    return Acad::eOk;
}

void AcDbText::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    bool justified = mHorz != AcDb::kTextLeft || mVert != AcDb::kTextBase;
    sink.string(100, "AcDbText");
    writeThickness(sink, mThickness);
    sink.point(10, toOcs(mPosition, mNormal));
    sink.real(40, mHeight);
    sink.string(1, mText);
    if (!file || mRotation != 0)
        sink.angle(50, mRotation);
    else
        sink.defaulted(50);
    if (!file || mWidthFactor != 1)
        sink.real(41, mWidthFactor);
    else
        sink.defaulted(41);
    if (!file || mOblique != 0)
        sink.angle(51, mOblique);
    else
        sink.defaulted(51);
    sink.string(7, mStyle);
    if (!file || mGeneration != 0)
        sink.int16(71, mGeneration);
    else
        sink.defaulted(71);
    if (!file || mHorz != AcDb::kTextLeft)
        sink.int16(72, mHorz);
    else
        sink.defaulted(72);
    if (!file || justified)
        sink.point(11, toOcs(mAlignment, mNormal));
    else
        sink.defaultedPoint(11);
    writeNormal(sink, mNormal);
    sink.string(100, "AcDbText");
    if (!file || mVert != AcDb::kTextBase)
        sink.int16(73, mVert);
    else
        sink.defaulted(73);
}

void AcDbText::dxfInClassGroups(TagSource &src) {
    AcGePoint3d position, alignment;
    ExtrusionGroups normal;
    while (src.next()) {
        switch (src.code()) {
        case 1:
            mText = src.text().c_str(); // the database's strings end at a NUL
            break;
        case 7:
            if (src.text().empty() || src.text().front() == '\0')
                refusedValue(src, "no style name", "taken as Standard");
            else
                mStyle = src.text().c_str();
            break;
        case 39:
            mThickness = src.real();
            break;
        case 40:
            mHeight = sizeRead(src, src.real(), "height");
            break;
        case 41:
            if (const double f = src.real(); f > 0)
                mWidthFactor = f;
            else
                refusedValue(src, "a width factor", "taken as 1");
            break;
        case 50:
            mRotation = src.angle();
            break;
        case 51:
            mOblique = src.angle();
            break;
        case 71:
            mGeneration = static_cast<Adesk::Int16>(src.integer());
            break;
        case 72:
            if (const std::int64_t m = src.integer(); m >= 0 && m <= 5)
                mHorz = static_cast<AcDb::TextHorzMode>(m);
            else
                refusedValue(src, "an unknown horizontal alignment", "taken as 0 (left)");
            break;
        case 73:
            if (const std::int64_t m = src.integer(); m >= 0 && m <= 3)
                mVert = static_cast<AcDb::TextVertMode>(m);
            else
                refusedValue(src, "an unknown vertical alignment", "taken as 0 (baseline)");
            break;
        default:
            if (!readPointGroup(src, 10, position) && !readPointGroup(src, 11, alignment))
                normal.take(src);
            break;
        }
    }
    mNormal = normal.direction(src);
    mPosition = ocsPointToWorld(position, mNormal);
    mAlignment = ocsPointToWorld(alignment, mNormal);
}

// --- AcDbBlockReference
// -----------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId id) {
    if (id.isNull())
        return Acad::eNullObjectId;
    if (peekAs<AcDbBlockTableRecord>(id) == nullptr)
        return Acad::eWrongObjectType;
    TEV_SET(mBlock, id);
}
Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d &p) {
    TEV_SET(mPosition, p);
}
Acad::ErrorStatus AcDbBlockReference::setScaleFactors(const AcGeScale3d &s) {
    if (s.sx == 0 || s.sy == 0 || s.sz == 0)
        return Acad::eInvalidInput;
    TEV_SET(mScale, s);
}
Acad::ErrorStatus AcDbBlockReference::setRotation(double r) {
    TEV_SET(mRotation, r);
}
Acad::ErrorStatus AcDbBlockReference::setNormal(const AcGeVector3d &n) {
    if (n.isZeroLength())
        return Acad::eInvalidInput;
    TEV_SET(mNormal, n.normal());
}

AcGeMatrix3d AcDbBlockReference::blockTransform() const {
    AcGePoint3d origin;
    if (auto *rec = peekAs<AcDbBlockTableRecord>(mBlock))
        origin = rec->origin();
    return AcGeMatrix3d::translation(mPosition - AcGePoint3d::kOrigin) * ocsToWcs(mNormal) *
           AcGeMatrix3d::rotation(mRotation, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(mScale) *
           AcGeMatrix3d::translation(AcGePoint3d::kOrigin - origin);
}

namespace tev::db {
// The box of a block's entities, following nested references depth levels deep and
// measuring at most left entities (the rest left out, as shapes are).
void addBlockExtents(AcDbExtents &ext, AcDbObjectId block, const AcGeMatrix3d &xform, int depth,
                     std::size_t &left) {
    auto *rec = peekAs<AcDbBlockTableRecord>(block);
    if (rec == nullptr || depth <= 0)
        return;
    for (AcDbObject *o : ObjectAccess::entities(*rec)) {
        if (o == nullptr || o->isErased())
            continue;
        if (left == 0)
            return;
        --left;
        AcDbExtents e;
        if (auto *ref = AcDbBlockReference::cast(o)) {
            addBlockExtents(e, ref->blockTableRecord(), xform * ref->blockTransform(), depth - 1,
                            left);
            ext.addExt(e);
            continue;
        }
        if (static_cast<AcDbEntity *>(o)->getGeomExtents(e) != Acad::eOk)
            continue;
        e.transformBy(xform);
        ext.addExt(e);
    }
}
} // namespace tev::db

Acad::ErrorStatus AcDbBlockReference::getGeomExtents(AcDbExtents &extents) const {
    extents = AcDbExtents();
    std::size_t left = tev::db::kMaxExpandedEntities;
    addBlockExtents(extents, mBlock, blockTransform(), /*depth=*/16, left);
    if (left == 0)
        tev::db::noteCutShape();
    return extents.isEmpty() ? Acad::eNotApplicable : Acad::eOk;
}

void AcDbBlockReference::dxfOutClassGroups(TagSink &sink) const {
    bool file = sink.forFile();
    sink.string(100, "AcDbBlockReference");
    auto *rec = peekAs<AcDbBlockTableRecord>(mBlock);
    sink.string(2, rec != nullptr ? rec->nameRef() : std::string());
    sink.point(10, toOcs(mPosition, mNormal));
    if (!file || mScale.sx != 1)
        sink.real(41, mScale.sx);
    else
        sink.defaulted(41);
    if (!file || mScale.sy != 1)
        sink.real(42, mScale.sy);
    else
        sink.defaulted(42);
    if (!file || mScale.sz != 1)
        sink.real(43, mScale.sz);
    else
        sink.defaulted(43);
    if (!file || mRotation != 0)
        sink.angle(50, mRotation);
    else
        sink.defaulted(50);
    if (!file) {
        sink.int16(70, 1);
        sink.int16(71, 1);
        sink.real(44, 0);
        sink.real(45, 0);
    }
    writeNormal(sink, mNormal);
}

void AcDbBlockReference::dxfInClassGroups(TagSource &src) {
    AcGePoint3d position;
    ExtrusionGroups normal;
    AcGeScale3d scale(1, 1, 1);
    std::string_view name;
    while (src.next()) {
        switch (src.code()) {
        case 2:
            name = src.raw();
            break;
        case 41:
            scale.sx = src.real();
            break;
        case 42:
            scale.sy = src.real();
            break;
        case 43:
            scale.sz = src.real();
            break;
        case 50:
            mRotation = src.angle();
            break;
        default:
            if (!readPointGroup(src, 10, position))
                normal.take(src);
            break;
        }
    }
    if (name.empty())
        src.fail(src.recordLine(), "INSERT has no block name (group 2)");
    mBlock = src.blockNamed(name);
    // A flat reference written with a Z scale of 0 (the Z of a 2D drawing is no matter to
    // its writer): the database holds no zero scale, and 1 leaves the picture as it was.
    if (scale.sz == 0 && scale.sx != 0 && scale.sy != 0) {
        src.repair(src.recordLine(), "INSERT has a zero Z scale", "taken as 1");
        scale.sz = 1;
    }
    if (scale.sx == 0 || scale.sy == 0 || scale.sz == 0)
        src.fail(src.recordLine(), "INSERT has a zero scale factor");
    mScale = scale;
    mNormal = normal.direction(src);
    mPosition = ocsPointToWorld(position, mNormal);
}

void AcDbSequenceEnd::dxfOutClassGroups(TagSink &sink) const {
    if (!sink.forFile())
        sink.objectRef(-2, ownerId());
}
