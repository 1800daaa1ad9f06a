// dbents.h - the simple entities: line, circle, arc, text, block reference, the sequence
// end of complex entities, and an entity of a kind the host does not model.
//
// Coordinates: line ends, circle and arc centres, text points and reference positions are
// world coordinates, as the API returns them. A DXF file (and acdbEntGet) gives the latter
// four in the entity's object system (the plane of its normal); a reader converts them to
// world coordinates before handing them over. Angles are measured
// in the object system.
#pragma once
#include "dbmain.h"
#include <string>

class AcDbLine : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDbLine);
    TEV_DB_STATE_COPY(AcDbLine)
    AcDbLine() = default;
    AcDbLine(const AcGePoint3d &start, const AcGePoint3d &end) : mStart(start), mEnd(end) {}

    AcGePoint3d startPoint() const { return mStart; }
    AcGePoint3d endPoint() const { return mEnd; }
    Acad::ErrorStatus setStartPoint(const AcGePoint3d &p);
    Acad::ErrorStatus setEndPoint(const AcGePoint3d &p);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);

    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    AcGePoint3d mStart, mEnd;
    double mThickness = 0;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
};

class AcDbCircle : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDbCircle);
    TEV_DB_STATE_COPY(AcDbCircle)
    AcDbCircle() = default;
    AcDbCircle(const AcGePoint3d &center, const AcGeVector3d &normal, double radius)
        : mCenter(center), mNormal(normal), mRadius(radius) {}

    AcGePoint3d center() const { return mCenter; }
    Acad::ErrorStatus setCenter(const AcGePoint3d &p);
    double radius() const { return mRadius; }
    // eInvalidInput for a radius that is not positive.
    Acad::ErrorStatus setRadius(double r);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);

    bool isClosed() const override { return true; }
    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    AcGePoint3d mCenter;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
    double mRadius = 0;
    double mThickness = 0;
};

// An arc: counter-clockwise from startAngle to endAngle (radians, around the normal).
class AcDbArc : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDbArc);
    TEV_DB_STATE_COPY(AcDbArc)
    AcDbArc() = default;
    AcDbArc(const AcGePoint3d &center, double radius, double startAngle, double endAngle)
        : mCenter(center), mRadius(radius), mStartAngle(startAngle), mEndAngle(endAngle) {}
    AcDbArc(const AcGePoint3d &center, const AcGeVector3d &normal, double radius, double startAngle,
            double endAngle)
        : mCenter(center), mNormal(normal), mRadius(radius), mStartAngle(startAngle),
          mEndAngle(endAngle) {}

    AcGePoint3d center() const { return mCenter; }
    Acad::ErrorStatus setCenter(const AcGePoint3d &p);
    double radius() const { return mRadius; }
    Acad::ErrorStatus setRadius(double r); // eInvalidInput unless positive
    double startAngle() const { return mStartAngle; }
    Acad::ErrorStatus setStartAngle(double a);
    double endAngle() const { return mEndAngle; }
    Acad::ErrorStatus setEndAngle(double a);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);

    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    AcGePoint3d mCenter;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
    double mRadius = 0;
    double mStartAngle = 0;
    double mEndAngle = 0;
    double mThickness = 0;
};

// A single line of text. Strings are Windows-1251 bytes.
class AcDbText : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbText);
    TEV_DB_STATE_COPY(AcDbText)
    AcDbText() = default;
    AcDbText(const AcGePoint3d &position, const char *text, AcDbObjectId style = AcDbObjectId(),
             double height = 0, double rotation = 0);

    AcGePoint3d position() const { return mPosition; }
    Acad::ErrorStatus setPosition(const AcGePoint3d &p);
    AcGePoint3d alignmentPoint() const { return mAlignment; }
    Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d &p);
    // A copy allocated with new[]; free it with acutDelString.
    char *textString() const;
    const char *textStringConst() const { return mText.c_str(); }
    Acad::ErrorStatus setTextString(const char *text); // nullptr → eNullPtr
    double height() const { return mHeight; }
    Acad::ErrorStatus setHeight(double h);
    double rotation() const { return mRotation; }
    Acad::ErrorStatus setRotation(double r);
    double widthFactor() const { return mWidthFactor; }
    Acad::ErrorStatus setWidthFactor(double f);
    double oblique() const { return mOblique; }
    Acad::ErrorStatus setOblique(double a);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);
    Adesk::Int16 generationFlags() const { return mGeneration; } // 2 backward, 4 upside down
    Acad::ErrorStatus setGenerationFlags(Adesk::Int16 flags);
    AcDb::TextHorzMode horizontalMode() const { return mHorz; }
    Acad::ErrorStatus setHorizontalMode(AcDb::TextHorzMode m);
    AcDb::TextVertMode verticalMode() const { return mVert; }
    Acad::ErrorStatus setVerticalMode(AcDb::TextVertMode m);
    // Stand-in: the text style by name (the host does not model the style table).
    const char *styleName() const { return mStyle.c_str(); }
    Acad::ErrorStatus setStyleName(const char *name);

    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

protected:
    std::size_t heapBytes() const override { return mText.capacity() + mStyle.capacity(); }

private:
    AcGePoint3d mPosition, mAlignment;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
    std::string mText;
    std::string mStyle = "Standard";
    double mHeight = 0;
    double mRotation = 0;
    double mWidthFactor = 1;
    double mOblique = 0;
    double mThickness = 0;
    Adesk::Int16 mGeneration = 0;
    AcDb::TextHorzMode mHorz = AcDb::kTextLeft;
    AcDb::TextVertMode mVert = AcDb::kTextBase;
};

// An insert of a block. Its attributes, when a file has them, are kept by the file layer.
class AcDbBlockReference : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbBlockReference);
    TEV_DB_STATE_COPY(AcDbBlockReference)
    AcDbBlockReference() = default;
    AcDbBlockReference(const AcGePoint3d &position, AcDbObjectId blockTableRecord)
        : mPosition(position), mBlock(blockTableRecord) {}

    AcDbObjectId blockTableRecord() const { return mBlock; }
    Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id);
    AcGePoint3d position() const { return mPosition; }
    Acad::ErrorStatus setPosition(const AcGePoint3d &p);
    AcGeScale3d scaleFactors() const { return mScale; }
    // eInvalidInput for a zero factor.
    Acad::ErrorStatus setScaleFactors(const AcGeScale3d &s);
    double rotation() const { return mRotation; }
    Acad::ErrorStatus setRotation(double r);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);
    // Block coordinates → world: translate(position) · rotate · scale · translate(-origin)
    // (origin = the block's base point).
    AcGeMatrix3d blockTransform() const;

    // The box of the block's entities through blockTransform (nested blocks to a bounded
    // depth, so that a block inserting itself ends).
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    AcGePoint3d mPosition;
    AcDbObjectId mBlock;
    AcGeScale3d mScale;
    double mRotation = 0;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
};

// The end marker of a polyline's vertices (DXF SEQEND). Owned by its polyline.
class AcDbSequenceEnd : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbSequenceEnd);
    TEV_DB_STATE_COPY(AcDbSequenceEnd)
    AcDbSequenceEnd() = default;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
};

// An entity of a kind the host does not model (HATCH, MTEXT, ...). It keeps its DXF type
// name; the file layer keeps its groups and writes them back unchanged.
class AcDbUnknownEntity : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbUnknownEntity);
    TEV_DB_STATE_COPY(AcDbUnknownEntity)
    explicit AcDbUnknownEntity(const char *dxfTypeName) : mType(dxfTypeName ? dxfTypeName : "") {}
    const char *dxfTypeName() const { return mType.c_str(); }

private:
    std::string mType;
};
