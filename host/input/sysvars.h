// sysvars.h - the host's system variables: names (any case), types, defaults, which are
// kept in the drawing and which only for the session, and the rules for setting them.
//
// Kept in the working drawing: TILEMODE (short, 1), CECOLOR (text, "BYLAYER"), CLAYER
// (text, "0"), CELTYPE (text, "BYLAYER"), SNAPANG (real, radians, 0), the drafting aids
// OSMODE, ORTHOMODE, SNAPMODE, GRIDMODE (shorts) and SNAPUNIT, SNAPBASE, GRIDUNIT (2D
// points, RTPOINT). Of the drawing,
// read-only: DBMOD (short, 1 while the drawing has changes not yet saved, else 0).
// Kept for the session: ERRNO (short, 0; read-only for applications: acedSetVar of it
// is refused with ERRNO 20, as the host documents it read-only), LASTPOINT (3D point,
// origin), PICKBOX (short, 3; 0..50), PICKAPERTURE (real, 1.0: half the side of the
// pick aperture in drawing units. The host derives it from PICKBOX and the view on the
// screen; a host without a screen keeps it as its own variable).
#pragma once

#include "adsdef.h"
#include "drafting_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

constexpr double kDefaultPickAperture = 1.0;

struct SessionVars {
    short errnoValue = 0;
    ads_real lastPoint[3] = {0, 0, 0};
    short pickbox = 3;
    double pickAperture = kDefaultPickAperture;
    // Drafting aids (point_snaps.h) of the session; those the drawing keeps are in
    // draftingAids().
    short aperture = 10;  // pixels: how far from the cursor a running snap is found
    double polarang = 90; // degrees: the polar tracking increment
    short autosnap = 63;  // bit 8: polar tracking
    short polarmode = 0;  // kept for scripts that set it; increments count from SNAPANG
    tev::db::DraftingSettings noDrawingAids; // the drafting aids while no drawing is open
    // The point prompt waiting now: its base point (for ortho, polar, PER and TAN) and the
    // snap a typed modifier asked for the next point (0 none, -1 NON).
    bool promptHasBase = false;
    ads_real promptBase[3] = {0, 0, 0};
    int pendingSnap = 0;
};

// Sets ERRNO (the host does this when an API call fails).
void setErrno(int value);
int currentErrno();
// LASTPOINT, the target of "@".
void setLastPoint(const ads_point p);
void getLastPoint(ads_point p);
// Half the side of the pick aperture, in drawing units.
double pickAperture();
// The drafting aids the working drawing keeps (OSMODE, ORTHOMODE, SNAPMODE, SNAPUNIT,
// SNAPBASE, GRIDMODE, GRIDUNIT): saved with it and read back when it is opened.
tev::db::DraftingSettings &draftingAids();

// Whether a equals upperName (upper case ASCII) in any case.
bool sameNameIgnoringCase(std::string_view a, const char *upperName);

// The names of every system variable the host knows, upper case.
std::vector<std::string> systemVariableNames();

// Parses a CECOLOR text ("BYLAYER", "BYBLOCK", "1".."255", a standard colour name, any
// case): 256, 0, or 1..255; nullopt when it is none of these.
std::optional<int> parseColorText(std::string_view text);
// The CECOLOR text of a colour index: "BYLAYER", "BYBLOCK" or the number.
std::string colorText(int color);

} // namespace host
