// dbpl.h - the lightweight polyline (DXF LWPOLYLINE): 2D vertices with bulges and
// widths in one entity, at an elevation along its normal.
#pragma once
#include "dbmain.h"
#include <vector>

class AcDbPolyline : public AcDbCurve {
public:
    ACRX_DECLARE_MEMBERS(AcDbPolyline);
    TEV_DB_STATE_COPY(AcDbPolyline)
    explicit AcDbPolyline(unsigned int numVerts = 0);

    unsigned int numVerts() const { return static_cast<unsigned int>(mPoints.size()); }
    // Index out of range: eInvalidIndex, output untouched. The 3D form is in world
    // coordinates (z = elevation for the default normal).
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint3d &pt) const;
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d &pt) const;
    Acad::ErrorStatus setPointAt(unsigned int index, const AcGePoint2d &pt);
    Acad::ErrorStatus getBulgeAt(unsigned int index, double &bulge) const;
    Acad::ErrorStatus setBulgeAt(unsigned int index, double bulge);
    Acad::ErrorStatus getWidthsAt(unsigned int index, double &startWidth, double &endWidth) const;
    Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);
    // Inserts a vertex before index (index == numVerts() appends). A width of -1 takes the
    // polyline's constant width (0 when it has none). eInvalidIndex beyond numVerts().
    Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d &pt, double bulge = 0,
                                  double startWidth = -1, double endWidth = -1);
    Acad::ErrorStatus removeVertexAt(unsigned int index);

    bool isClosed() const override { return mClosed; }
    void setClosed(Adesk::Boolean closed);
    bool isPlinegen() const { return mPlinegen; }
    void setPlinegen(Adesk::Boolean on);
    // eOk and the width when every vertex has the same start and end width;
    // eNotApplicable (width = the first start width) when they differ.
    Acad::ErrorStatus getConstantWidth(double &width) const;
    Acad::ErrorStatus setConstantWidth(double width);
    double elevation() const { return mElevation; }
    void setElevation(double e);
    double thickness() const { return mThickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return mNormal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d &n);
    bool hasBulges() const;
    bool hasWidth() const;

    Acad::ErrorStatus getStartPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getEndPoint(AcGePoint3d &p) const override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents &extents) const override;
    void dxfOutClassGroups(AcDbDxfFiler &sink) const override;
    void dxfInClassGroups(AcDbImpTagSource &source) override;

protected:
    std::size_t heapBytes() const override {
        return mPoints.capacity() * sizeof(AcGePoint2d) + mBulges.capacity() * sizeof(double) +
               mWidths.capacity() * sizeof(Widths);
    }

private:
    friend class AcDbSystemInternals;
    struct Widths {
        double start = 0;
        double end = 0;
    };
    std::vector<AcGePoint2d> mPoints;
    // Empty while every bulge is 0 (most polylines): otherwise one per vertex.
    std::vector<double> mBulges;
    double bulgeAt(std::size_t i) const { return mBulges.empty() ? 0 : mBulges[i]; }
    // Empty while every width is 0 (most polylines): otherwise one per vertex.
    std::vector<Widths> mWidths;
    Widths widthsAt(std::size_t i) const { return mWidths.empty() ? Widths{} : mWidths[i]; }
    // The widths of every vertex, made when a width other than 0 first comes.
    std::vector<Widths> &allWidths() {
        if (mWidths.empty())
            mWidths.assign(mPoints.size(), Widths{});
        return mWidths;
    }
    AcGeVector3d mNormal = AcGeVector3d::kZAxis;
    double mElevation = 0;
    double mThickness = 0;
    bool mClosed = false;
    bool mPlinegen = false;
};
