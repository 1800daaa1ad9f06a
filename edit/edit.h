// edit.h - the editing and inquiry commands: recolouring selections (Sel), the length of
// one colour's lines and polylines (Lpl), polyline widths (Wpe) and the entity data
// listing (En, nEn), with the operations they are built from.
#pragma once
#include "adsdef.h"
#include "dbmain.h"
#include "gepnt3d.h"

class AcDb2dPolyline;

// --- Sel ---------------------------------------------------------------------------------
// Asks for a colour (an entity's, or the colour dialog's) and gives it to every entity of
// one selection after another, until a selection comes back empty or cancelled.
void recolorCommand();

// --- Lpl ---------------------------------------------------------------------------------
// Prints the total XY length of the lines, lightweight and 2D polylines of one picked
// colour (or of every colour) in a selection.
void lengthByColorCommand();
// XY lengths of single entities; 0.0 when the entity cannot be opened as that class.
// A 2D polyline gets no closing segment; a closed lightweight polyline does.
double polyline2dLength(AcDbObjectId id);
double lightweightPolylineLength(AcDbObjectId id);
double lineLength(const AcDbObjectId &id);

// --- Wpe ---------------------------------------------------------------------------------
// Gives the polylines of a selection one constant width and replaces its lines by 2D
// polylines of that width.
void polylineWidthCommand();
// Sets the width of every vertex but the spline control vertices. Takes a polyline open
// for read and closes it before it touches a vertex.
void setPolyline2dWidth(AcDb2dPolyline *pline, double width);
// Sets the width of every segment; an entity that cannot be opened for write is left alone.
void setLightweightPolylineWidth(AcDbObjectId id, double width);
// Makes the flat, simple 2D polyline that stands in for a line and appends it to the
// current space with the line's colour and linetype. Returns false, with nothing added,
// when the polyline cannot be made or appended; the user is told which.
bool createWidePolyline(AcGePoint3d start, AcGePoint3d end, double width, int colorIndex,
                        const char *linetype);

// --- En, nEn -------------------------------------------------------------------------------
// Lists the data of the entity picked at the top level of the drawing.
void entityListCommand();
// Lists the data of the innermost entity under the pick, reaching into block references.
void nestedEntityListCommand();
// Prints a result-buffer list in DXF notation, one node a line, pausing after every
// screenful. Any list is safe, null included. Always returns RTNORM.
int printEntityList(const resbuf *list);
