// osnap_command.cpp - OSNAP and -OSNAP: the running object snap modes (OSMODE) by name.
#include "command_line.h"
#include "i18n.h"
#include "point_snaps.h"
#include "snap.h"
#include "sysvars.h"

namespace host {

void osnapCommand() {
    auto &cl = CommandLine::current();
    tev::db::DraftingSettings &v = draftingAids();
    std::string modes;
    for (int bit = 1; bit < tev::db::kSnapOff; bit <<= 1)
        if ((v.osmode & bit) && *tev::db::snapKindName(bit))
            modes += (modes.empty() ? "" : ",") + std::string(tev::db::snapKindName(bit));
    if (modes.empty())
        modes = i18n::tr("None");
    if (v.osmode & tev::db::kSnapOff)
        modes += " (" + std::string(i18n::tr("off")) + ")";
    cl.print("\n" + i18n::format(i18n::tr("Current osnap modes: %s"), {modes}));
    for (;;) {
        Answer a = cl.ask(i18n::tr("\nEnter list of object snap modes: "));
        if (!a.isText() || a.text.empty())
            return;
        if (auto bits = snapModeList(a.text)) {
            v.osmode = static_cast<short>(*bits);
            return;
        }
        cl.refuse(i18n::tr("Invalid object snap mode."));
    }
}

} // namespace host
