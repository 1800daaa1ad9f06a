// recolor.cpp - Sel: gives the entities of one selection after another a colour that the
// user shows by picking an entity or chooses in the colour dialog.
#include "edit.h"
#include "edit_internal.h"
#include "acedads.h"
#include "services.h"

// Asks for the colour first; Escape there ends the command silently. Then recolours
// selection after selection; the first empty or cancelled selection ends the command with
// "Nothing selected", which therefore closes every run that got past the colour.
void recolorCommand() {
    int color = 0;
    if (!pickColorOrDialog("\nУкажите цвет / <ENTER>-все цвета ", color))
        return;

    ads_name ss;
    while (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) == RTNORM) {
        // An entity that cannot be opened for write (on a locked layer, say) keeps its
        // colour, and so does every entity when the colour is one of the pick codes: the
        // host refuses indices above 256.
        forEachSelected(ss, [color](AcDbObjectId id) {
            (void)setEntityColor(id, color); // answers 0 whatever became of the entity
        });
        (void)acedSSFree(ss); // a set the host just gave us is always freed
    }
    acutPrintf("\nНичего не выбрано");
}
