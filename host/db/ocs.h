// ocs.h - object coordinate systems: the DXF "arbitrary axis" rule that gives a plane's X
// and Y axes from its normal. The host keeps line ends, circle and arc centres, text and
// block reference positions in world coordinates (as the API returns them) and polyline
// vertices in the polyline's own system; the file layer converts with these.
#pragma once
#include "gegeom.h"

namespace tev::db {

// The matrix from the object system of normal to the world (rotation only).
AcGeMatrix3d ocsToWcs(const AcGeVector3d &normal);
AcGeMatrix3d wcsToOcs(const AcGeVector3d &normal);
// True when normal is (0, 0, 1) within tolerance: the object system is the world's.
bool isWorldNormal(const AcGeVector3d &normal);

} // namespace tev::db
