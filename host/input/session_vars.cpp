// session_vars.cpp - the variables the host keeps for the session only (ERRNO,
// LASTPOINT, PICKBOX, PICKAPERTURE) and the text forms of a current colour.
#include "command_line.h"
#include "dbapserv.h"
#include "sysvars.h"
#include "text_util.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

SessionVars &session() {
    return CommandLine::current().vars();
}

constexpr const char *kStandardColors[] = {"RED",  "YELLOW",  "GREEN", "CYAN",
                                           "BLUE", "MAGENTA", "WHITE"};

} // namespace

bool sameNameIgnoringCase(std::string_view a, const char *b) {
    return text::equalsIgnoreCase(a, b);
}

void setErrno(int value) {
    session().errnoValue = static_cast<short>(value);
}
int currentErrno() {
    return session().errnoValue;
}

void setLastPoint(const ads_point p) {
    auto &lp = session().lastPoint;
    lp[0] = p[0], lp[1] = p[1], lp[2] = p[2];
}

void getLastPoint(ads_point p) {
    auto &lp = session().lastPoint;
    p[0] = lp[0], p[1] = lp[1], p[2] = lp[2];
}

double pickAperture() {
    return session().pickAperture;
}

tev::db::DraftingSettings &draftingAids() {
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    return db ? tev::db::draftingState(*db).current : session().noDrawingAids;
}

std::optional<int> parseColorText(std::string_view text) {
    if (sameNameIgnoringCase(text, "BYLAYER"))
        return 256;
    if (sameNameIgnoringCase(text, "BYBLOCK"))
        return 0;
    for (int i = 0; i < 7; ++i)
        if (sameNameIgnoringCase(text, kStandardColors[i]))
            return i + 1;
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = std::atoi(std::string(text).c_str());
    if (n < 1 || n > 255)
        return std::nullopt;
    return n;
}

std::string colorText(int color) {
    if (color == 256)
        return "BYLAYER";
    if (color == 0)
        return "BYBLOCK";
    return std::to_string(color);
}

} // namespace host
