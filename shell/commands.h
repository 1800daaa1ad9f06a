// commands.h - the nine command bodies the host runs, as the drawing and editing layers
// declare them. Each takes nothing and returns nothing.
#pragma once

#include "draw.h"
#include "edit.h"
