// chainpoint.cpp - the point prompt of the line chains. A status other than a point is
// thrown as an int and caught in the same function, which maps it to going on or ending.
#include "chainpoint.h"

#include "adscodes.h"
#include "acedads.h"

namespace {

// How many answers in a row that are neither a point nor an ending status the prompt
// takes. The host gives none of them without keywords set up; the limit only keeps a
// misbehaving host from holding the command for ever.
constexpr int kMaxOddAnswers = 8;

bool endsChain(int status) {
    return status == RTNONE || status == RTCAN || status == RTERROR;
}

} // namespace

// Any status other than the point and the three ending ones delivers no point: the same
// prompt is asked again.
bool askChainPoint(const AcGePoint3d *base, const char *prompt, AcGePoint3d &result) {
    ads_point from = {0, 0, 0};
    if (base != nullptr) {
        from[X] = base->x;
        from[Y] = base->y;
        from[Z] = base->z;
    }
    for (int attempt = 0; attempt < kMaxOddAnswers; ++attempt) {
        try {
            ads_point answer = {0, 0, 0};
            const int status = acedGetPoint(base != nullptr ? from : nullptr, prompt, answer);
            if (status != RTNORM)
                throw status;
            result.set(answer[X], answer[Y], answer[Z]);
            return true;
        } catch (int status) {
            if (endsChain(status))
                return false;
        }
    }
    return false;
}
