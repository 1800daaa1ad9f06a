// gept2dar.h - part of the host's geometry types; everything lives in gegeom.h.
#pragma once
#include "gegeom.h"
