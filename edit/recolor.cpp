// recolor.cpp - Sel: gives the entities of one selection after another a colour that the
// user shows by picking an entity or chooses in the colour dialog.
#include "edit.h"
#include "edit_internal.h"
#include "acedads.h"
#include "services.h"

namespace {

// Gives every entity of the set the colour. An entity that cannot be opened for write (on
// a locked layer, say) keeps its colour, and so does every entity when the colour is one
// of the pick codes: the host refuses indices above 256.
void recolorSelection(const ads_name ss, int color) {
    long count = 0;
    if (acedSSLength(ss, &count) != RTNORM)
        return;
    for (long i = 0; i < count; ++i) {
        ads_name ent;
        if (acedSSName(ss, i, ent) != RTNORM)
            continue;
        AcDbObjectId id = AcDbObjectId::kNull;
        if (acdbGetObjectId(id, ent) != Acad::eOk)
            continue;
        (void)setEntityColor(id, color); // answers 0 whatever became of the entity
    }
}

} // namespace

// Asks for the colour first; Escape there ends the command silently. Then recolours
// selection after selection; the first empty or cancelled selection ends the command with
// "Nothing selected", which therefore closes every run that got past the colour.
void recolorCommand() {
    int color = pickColorIndex("\nУкажите цвет / <ENTER>-все цвета ");
    if (color == kPickCancel)
        return;
    if (color == kPickEnter)
        chooseColorByDialog(color);

    ads_name ss;
    while (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) == RTNORM) {
        recolorSelection(ss, color);
        (void)acedSSFree(ss); // a set the host just gave us is always freed
    }
    acutPrintf("\nНичего не выбрано");
}
