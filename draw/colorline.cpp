// colorline.cpp - Cl: a chain of separate lines, all in one colour the user shows by
// picking an entity (or chooses in the colour dialog after an empty answer).
#include "draw.h"

#include "chainpoint.h"
#include "services.h"
#include "adscodes.h"
#include "acedads.h"
#include "dbents.h"

// Every segment is its own line from the previous point to the new one, coloured before it
// is appended. A dismissed dialog (300) or a missed pick (400) is still handed to the host
// as the colour; the host refuses such an index and the segment keeps the colour it was
// given on append. A segment the drawing would not take is deleted and the chain goes on.
// Segments already made stay when the chain ends.
void colorLineCommand() {
    int color = 0;
    if (!pickColorOrDialog("\nУкажите цвет / <ENTER>-все цвета:", color))
        return;
    AcGePoint3d previous;
    if (!askChainPoint(nullptr, "\nУкажите первую точку:", previous))
        return;
    AcGePoint3d next;
    while (askChainPoint(&previous, "\nУкажите следующую точку:", next)) {
        AcDbLine *line = new AcDbLine(previous, next);
        if (line == nullptr) {
            acedAlert("Не достаточно памяти, чтобы создать линию!");
            return;
        }
        // Above 256 the host refuses the index and the line keeps the colour it had.
        (void)line->setColorIndex(static_cast<Adesk::UInt16>(color), /*doSubents=*/true);
        previous = next;
        AcDbObjectId id;
        if (addToCurrentSpace(line, id) != 0)
            delete line; // not appended, so still ours; the chain goes on
    }
}
