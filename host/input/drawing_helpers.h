// drawing_helpers.h - what the host's drawing commands share (drawing_commands.cpp): the
// working drawing, the last point, adding and erasing what a command draws, and the prompt
// that takes a point or an option keyword.
#pragma once

#include "answer_parse.h"
#include "dbid.h"
#include "gepnt3d.h"

#include <string>

class AcDbDatabase;
class AcDbEntity;

namespace host::draw {

AcDbDatabase *working();
// The working drawing, or nullptr after saying there is none.
AcDbDatabase *needDrawing();
Point3 lastPoint();
void rememberPoint(const Point3 &p);
AcGePoint3d ge(const Point3 &p);

// Appends entity to the current space and closes it; on failure deletes it. Returns its id
// (null on failure, with a message).
AcDbObjectId addEntity(AcDbDatabase &db, AcDbEntity *entity);
// Erases an entity this command drew (Undo).
void eraseEntity(AcDbObjectId id);

enum class Step { Point, Word, Empty, Cancel };
// Asks for a point or a word. A word is returned upper-case in word. A point out of range
// is refused here, and asked for again. A point given becomes the last point.
// rubber: the point the one asked for goes from (ortho, polar, PER, TAN); none for a first.
Step askPointOrWord(const std::string &prompt, const Point3 &base, Point3 &pt, std::string &word,
                    const Point3 *rubber = nullptr);

} // namespace host::draw
