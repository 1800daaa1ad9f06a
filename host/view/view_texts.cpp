// view_texts.cpp - the page's own words, translated through the host's catalogue.
#include "view_texts.h"

#include "i18n.h"
#include "text_codec.h"
#include "view_scene.h"

namespace host::view {

namespace {
using i18n::N_;
// Every text the page shows of its own; the page falls back to the English for any other.
const char *const kPageTexts[] = {
    N_("Extents"),
    N_("Zoom to the drawing's extents (or double-click the middle button)"),
    N_("Background"),
    N_("Dark or white background"),
    N_("Layers"),
    N_("on"),
    N_("off"),
    N_("frozen"),
    N_("Point"),
    N_("Pick an entity"),
    N_("Select objects"),
    N_("Busy"),
    N_("No connection"),
    N_("The session has ended."),
    N_("%s entities in view"),
    // The object snaps' names, on the snap marker's tooltip.
    N_("Endpoint"),
    N_("Midpoint"),
    N_("Center"),
    N_("Node"),
    N_("Quadrant"),
    N_("Intersection"),
    N_("Insertion"),
    N_("Perpendicular"),
    N_("Tangent"),
    N_("Nearest"),
    N_("Apparent intersection"),
    N_("locked"),
    N_("Make current"),
    N_("Turn on or off"),
    N_("Freeze or thaw"),
    N_("Lock or unlock"),
    N_("Layers change at the command prompt: finish the command first."),
};
} // namespace

std::string pageTextsJson() {
    std::string out = "{";
    for (const char *english : kPageTexts) {
        if (out.size() > 1)
            out += ',';
        out += jsonString(english) + ":" + jsonString(text::cp1251ToUtf8(i18n::tr(english)));
    }
    return out + "}";
}

} // namespace host::view
