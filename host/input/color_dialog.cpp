// color_dialog.cpp - acedSetColorDialog without a window: the host asks on the command
// line, as its command-line colour prompts do. It shows the current colour and takes a
// number 1..255, a standard colour name, and, when meta colours are allowed, ByLayer
// (256) or ByBlock (0). Enter or Escape dismiss it and leave the colour untouched.
#include "aced.h"
#include "command_line.h"
#include "sysvars.h"
#include "i18n.h"

#include <string>

using host::Answer;
using host::CommandLine;

namespace {

// How the current colour reads in the prompt.
std::string describe(int color, int layerColor) {
    if (color == 256) {
        std::string s = host::i18n::tr("ByLayer");
        if (layerColor >= 1 && layerColor <= 255)
            s += " (" + std::to_string(layerColor) + ")";
        return s;
    }
    if (color == 0)
        return host::i18n::tr("ByBlock");
    if (color >= 1 && color <= 255)
        return std::to_string(color);
    return host::i18n::tr("none");
}

} // namespace

Adesk::Boolean acedSetColorDialog(int &nColor, Adesk::Boolean bAllowMetaColor, int nCurLayerColor) {
    auto &cl = CommandLine::current();
    (void)cl.takeInitGet(); // the dialog is no get function
    const std::string prompt = host::i18n::format(
        bAllowMetaColor
            ? host::i18n::tr("\nEnter color name or number (1-255), ByLayer or ByBlock <%s>: ")
            : host::i18n::tr("\nEnter color name or number (1-255) <%s>: "),
        {describe(nColor, nCurLayerColor)});
    for (;;) {
        Answer a = cl.ask(prompt);
        if (!a.isText() || a.text.empty())
            return false;
        std::optional<int> color = host::parseColorText(a.text);
        if (!color) {
            cl.refuse(host::i18n::tr("Invalid color."));
            continue;
        }
        if ((*color == 0 || *color == 256) && !bAllowMetaColor) {
            cl.refuse(host::i18n::tr("ByLayer and ByBlock are not allowed here."));
            continue;
        }
        nColor = *color;
        return true;
    }
}
