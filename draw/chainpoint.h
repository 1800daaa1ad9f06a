// chainpoint.h - the point prompt that the two line chains (Cl and Lp) share.
#pragma once
#include "gepnt3d.h"

// Asks for a point with prompt, with a rubber band from base when base is not null.
// True with the point in result; false when the user ended the chain (Enter, Space,
// Escape, or an error).
bool askChainPoint(const AcGePoint3d *base, const char *prompt, AcGePoint3d &result);
