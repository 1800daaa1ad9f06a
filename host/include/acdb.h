// acdb.h - the database's result codes (Acad::ErrorStatus) and its enumerations (AcDb::...).
// The numbers are the host's own and never change between releases.
#pragma once

namespace Acad {

enum ErrorStatus {
    eOk = 0,                   // success
    eNotImplementedYet = 1,    // the host does not do this
    eNotApplicable = 2,        // the call makes no sense for this object
    eInvalidInput = 3,         // an argument is out of its domain
    eAmbiguousInput = 4,       // more than one answer fits
    eOutOfMemory = 6,          // an allocation failed; nothing was changed
    eInvalidOpenState = 8,     // the object is in the wrong open state for the call
    eNullHandle = 11,          // a null handle was given
    eNullObjectPointer = 15,   // a null object pointer was given
    eNullObjectId = 16,        // a null object id was given
    eNullEntityPointer = 20,   // a null entity pointer was given
    eIllegalEntityType = 21,   // this entity cannot go there
    eKeyNotFound = 22,         // no such name in the table
    eDuplicateKey = 23,        // the name is already taken
    eInvalidIndex = 24,        // an index is out of range
    eAlreadyInDb = 26,         // the object already belongs to a database
    eInvalidAdsName = 31,      // an ads_name that names nothing
    eWrongObjectType = 34,     // the object is not of the class asked for
    eNotOpenForRead = 44,      // the object is not open (stand-in: close of a closed object)
    eNotOpenForWrite = 45,     // the call needs a write open
    eNotThatKindOfClass = 46,  // the class test failed
    eWasErased = 80,           // the object is erased (open it with openErased)
    ePermanentlyErased = 81,   // the object is gone for good
    eWasOpenForRead = 82,      // a write open of an object open for read
    eWasOpenForWrite = 83,     // the object is already open for write
    eWasOpenForUndo = 84,      // the object is in an undo operation
    eWasNotifying = 85,        // the object is sending notifications
    eWasOpenForNotify = 86,    // the object is open for notify
    eOnLockedLayer = 87,       // a write open of an entity on a locked layer
    eMustOpenThruOwner = 88,   // open the owner instead
    eAtMaxReaders = 90,        // 256 readers already
    eNotAnEntity = 93,         // the object is not an entity
    eHadMultipleReaders = 94,  // upgradeOpen with more than one reader
    eWasNotOpenForWrite = 100, // the object was not open for write
    eCloseWasNotifying = 101,  // close while notifying
    eWasNotErased = 107,       // erase(false) of an object that is not erased
    eNoDatabase = 124,         // there is no (working) database
    eNotInDatabase = 137,      // the object does not belong to a database yet
    eOutOfRange = 151,         // a value outside its range
    eInvalidLayer = 173,       // the layer cannot be used
    eBadLayerName = 200,       // not a valid layer name
    eBadColorIndex = 202,      // a colour index outside 0..256
    eBadLinetypeName = 203,    // not a valid linetype name
    eBadColor = 208,           // not a valid colour
    eLockViolation = 320,      // the document is locked (later releases)
    eNullPtr = 506,            // a null pointer was given (later releases)
};

// The name of a status ("eWasOpenForWrite"), or "eUnknownErrorStatus" for a number the
// host does not know. Never null.
const char *errorStatusName(ErrorStatus es);

} // namespace Acad

namespace AcDb {

enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };

enum Poly2dType {
    k2dSimplePoly = 0,
    k2dFitCurvePoly = 1,
    k2dQuadSplinePoly = 2,
    k2dCubicSplinePoly = 3,
};

enum Poly3dType { k3dSimplePoly = 0, k3dQuadSplinePoly = 1, k3dCubicSplinePoly = 2 };

enum Vertex2dType {
    k2dVertex = 0,
    k2dSplineCtlVertex = 1,
    k2dSplineFitVertex = 2,
    k2dCurveFitVertex = 3,
};

enum Vertex3dType { k3dSimpleVertex = 0, k3dControlVertex = 1, k3dFitVertex = 2 };

enum SubentType {
    kNullSubentType = 0,
    kFaceSubentType = 1,
    kEdgeSubentType = 2,
    kVertexSubentType = 3,
    kMlineSubentCache = 4,
};

enum LineWeight { kLnWtByLayer = -1, kLnWtByBlock = -2, kLnWtByLwDefault = -3 };

// Text justification (TEXT groups 72 and 73).
enum TextHorzMode {
    kTextLeft = 0,
    kTextCenter = 1,
    kTextRight = 2,
    kTextAlign = 3,
    kTextMid = 4,
    kTextFit = 5,
};
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };

} // namespace AcDb
