// draw.h - the drawing commands: a chain of lines in a picked colour (Cl), axis-parallel
// lines with right-angle corners (Lp), two lines joined into one (Jl) and the snap angle
// (Nor).
#pragma once

void colorLineCommand();  // Cl
void cornerLineCommand(); // Lp
void joinLinesCommand();  // Jl
void snapAngleCommand();  // Nor
