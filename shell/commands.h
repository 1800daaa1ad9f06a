// commands.h - the nine command bodies the host runs. Each takes nothing and returns nothing.
#pragma once

void colorLineCommand();        // Cl
void recolorCommand();          // Sel
void cornerLineCommand();       // Lp
void joinLinesCommand();        // Jl
void snapAngleCommand();        // Nor
void lengthByColorCommand();    // Lpl
void polylineWidthCommand();    // Wpe
void entityListCommand();       // En
void nestedEntityListCommand(); // nEn
