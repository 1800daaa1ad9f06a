// dbpoly.h - the old-style polylines (DXF POLYLINE): a header entity that owns its
// vertices (DXF VERTEX) and a sequence end (DXF SEQEND), each a database object of its own.
// Before the polyline is appended its vertices are the polyline's; appending puts them in
// the database with it (closed; the polyline stays open for write).
#pragma once
#include "dbmain.h"
#include "dbents.h"

class AcDbVertex : public AcDbEntity {
public:
    ACRX_DECLARE_MEMBERS(AcDbVertex);

protected:
    AcDbVertex() = default;
};

class AcDb2dVertex : public AcDbVertex {
public:
    ACRX_DECLARE_MEMBERS(AcDb2dVertex);
    TEV_DB_STATE_COPY(AcDb2dVertex)
    AcDb2dVertex() = default;
    // position is in the polyline's own coordinates (its z is ignored: the polyline's
    // elevation holds).
    explicit AcDb2dVertex(const AcGePoint3d &position, double bulge = 0, double startWidth = 0,
                          double endWidth = 0, double tangent = 0)
        : mPosition(position), mBulge(bulge), mStartWidth(width(startWidth)),
          mEndWidth(width(endWidth)), mTangent(tangent) {}
    // A width as the file reader takes it: a negative one without its sign, one that is no
    // number 0 (the setters refuse both).
    static double width(double w) { return w >= 0 ? w : w < 0 ? -w : 0; }

    AcDb::Vertex2dType vertexType() const { return mType; }
    Acad::ErrorStatus setVertexType(AcDb::Vertex2dType type);
    AcGePoint3d position() const { return mPosition; }
    Acad::ErrorStatus setPosition(const AcGePoint3d &p);
    double startWidth() const { return mStartWidth; }
    Acad::ErrorStatus setStartWidth(double w);
    double endWidth() const { return mEndWidth; }
    Acad::ErrorStatus setEndWidth(double w);
    double bulge() const { return mBulge; }
    Acad::ErrorStatus setBulge(double b);
    bool isTangentUsed() const { return mTangentUsed; }
    Acad::ErrorStatus useTangent();
    Acad::ErrorStatus ignoreTangent();
    double tangent() const { return mTangent; }
    Acad::ErrorStatus setTangent(double t); // radians; also marks the tangent used

    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    friend class AcDbSystemInternals;
    AcGePoint3d mPosition;
    double mBulge = 0;
    double mStartWidth = 0;
    double mEndWidth = 0;
    double mTangent = 0;
    AcDb::Vertex2dType mType = AcDb::k2dVertex;
    bool mTangentUsed = false;
};

class AcDb3dPolylineVertex : public AcDbVertex {
public:
    ACRX_DECLARE_MEMBERS(AcDb3dPolylineVertex);
    TEV_DB_STATE_COPY(AcDb3dPolylineVertex)
    AcDb3dPolylineVertex() = default;
    explicit AcDb3dPolylineVertex(const AcGePoint3d &position) : mPosition(position) {}

    AcDb::Vertex3dType vertexType() const { return mType; }
    Acad::ErrorStatus setVertexType(AcDb::Vertex3dType type);
    AcGePoint3d position() const { return mPosition; }
    Acad::ErrorStatus setPosition(const AcGePoint3d &p);

    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

private:
    AcGePoint3d mPosition;
    AcDb::Vertex3dType mType = AcDb::k3dSimpleVertex;
};

class AcDb2dPolyline : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDb2dPolyline);
    TEV_DB_STATE_COPY(AcDb2dPolyline)
    AcDb2dPolyline() = default;
    // One simple vertex per point (z of each point ignored), with bulges[i] when given.
    // Should a vertex not be allocated, the polyline is incomplete and appending it gives
    // eOutOfMemory.
    AcDb2dPolyline(AcDb::Poly2dType type, AcGePoint3dArray &vertices, double elevation = 0,
                   Adesk::Boolean closed = false, double defStartWidth = 0, double defEndWidth = 0,
                   AcGeDoubleArray *bulges = nullptr);

    // A new iterator over the vertices (the caller deletes it). The polyline must stay
    // open while the iterator is used.
    AcDbObjectIterator *vertexIterator() const;
    // Takes the vertex (which must be new). For a polyline in a database the vertex is
    // appended too and stays open for write: the caller closes it. eAlreadyInDb for a
    // vertex already owned, eNullObjectPointer for nullptr, eNotOpenForWrite when the
    // polyline is not open for write.
    Acad::ErrorStatus appendVertex(AcDb2dVertex *vertex);
    Acad::ErrorStatus appendVertex(AcDbObjectId &vertexId, AcDb2dVertex *vertex);
    Acad::ErrorStatus openSequenceEnd(AcDbSequenceEnd *&seqEnd, AcDb::OpenMode mode);

    AcDb::Poly2dType polyType() const { return mType; }
    Acad::ErrorStatus setPolyType(AcDb::Poly2dType type);
    bool isClosed() const override { return mClosed; }
    Acad::ErrorStatus makeClosed();
    Acad::ErrorStatus makeOpen();
    Acad::ErrorStatus setClosed(Adesk::Boolean closed);
    double defaultStartWidth() const { return mDefStartWidth; }
    Acad::ErrorStatus setDefaultStartWidth(double w);
    double defaultEndWidth() const { return mDefEndWidth; }
    Acad::ErrorStatus setDefaultEndWidth(double w);
    double elevation() const { return mElevation; }
    Acad::ErrorStatus setElevation(double e);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);
    bool isLinetypeGenerationOn() const { return mPlinegen; }
    Acad::ErrorStatus setLinetypeGenerationOn();
    Acad::ErrorStatus setLinetypeGenerationOff();

    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

protected:
    AcDbOwnedSequence *ownedSequence() override { return &mOwned; }

private:
    AcDbOwnedSequence mOwned;
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
    double mElevation = 0;
    double mThickness = 0;
    double mDefStartWidth = 0;
    double mDefEndWidth = 0;
    AcDb::Poly2dType mType = AcDb::k2dSimplePoly;
    bool mClosed = false;
    bool mPlinegen = false;
};

class AcDb3dPolyline : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDb3dPolyline);
    TEV_DB_STATE_COPY(AcDb3dPolyline)
    AcDb3dPolyline() = default;
    AcDb3dPolyline(AcDb::Poly3dType type, AcGePoint3dArray &vertices,
                   Adesk::Boolean closed = false);

    AcDbObjectIterator *vertexIterator() const;
    Acad::ErrorStatus appendVertex(AcDb3dPolylineVertex *vertex);
    Acad::ErrorStatus appendVertex(AcDbObjectId &vertexId, AcDb3dPolylineVertex *vertex);
    Acad::ErrorStatus openSequenceEnd(AcDbSequenceEnd *&seqEnd, AcDb::OpenMode mode);

    AcDb::Poly3dType polyType() const { return mType; }
    Acad::ErrorStatus setPolyType(AcDb::Poly3dType type);
    bool isClosed() const override { return mClosed; }
    Acad::ErrorStatus makeClosed();
    Acad::ErrorStatus makeOpen();
    Acad::ErrorStatus setClosed(Adesk::Boolean closed);

    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

protected:
    AcDbOwnedSequence *ownedSequence() override { return &mOwned; }

private:
    AcDbOwnedSequence mOwned;
    AcDb::Poly3dType mType = AcDb::k3dSimplePoly;
    bool mClosed = false;
};
