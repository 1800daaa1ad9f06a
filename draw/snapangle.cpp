// snapangle.cpp - Nor: asks for an angle and makes it the snap angle.
#include "draw.h"
#include "services.h"

bool setSysVarReal(const char *name, double value) {
    resbuf rb;
    rb.rbnext = nullptr;
    rb.restype = RTREAL;
    rb.resval.rreal = value;
    return acedSetVar(name, &rb) == RTNORM;
}

void snapAngleCommand() {
    (void)acedInitGet(RSG_NONULL | RSG_NONEG, ""); // the host refuses an empty answer itself
    ads_real angle = 0.0;
    if (acedGetAngle(nullptr, "\nВведите угол:", &angle) != RTNORM)
        return;
    (void)setSysVarReal("SNAPANG", angle); // a refused value leaves SNAPANG as it was
}
