// prompts.cpp - the host's get functions: acedGetPoint, acedGetAngle, acedGetReal,
// acedGetString and acedInitGet. An answer a prompt cannot take is refused with a short
// message and the same prompt is asked again; the module only ever sees a value, an
// empty answer (RTNONE) or Escape (RTCAN).
#include "acedads.h"
#include "answer_parse.h"
#include "command_line.h"
#include "i18n.h"
#include "point_snaps.h"
#include "prompt_band.h"
#include "sysvars.h"

#include <cmath>
#include <cstring>

using host::Answer;
using host::AnswerEnd;
using host::CommandLine;
using host::Point3;
namespace i18n = host::i18n;

namespace {

// Messages of refused answers.
constexpr const char *kNeedPoint = i18n::N_("Point or option keyword required.");
constexpr const char *kInvalidPoint = i18n::N_("Invalid point.");
constexpr const char *kNeedNumber = i18n::N_("Requires numeric value.");
constexpr const char *kNeedAngle = i18n::N_("Requires valid numeric angle or second point.");
constexpr const char *kNonzero = i18n::N_("Value must be nonzero.");
constexpr const char *kPositive = i18n::N_("Value must be positive.");
constexpr const char *kPositiveNonzero = i18n::N_("Value must be positive and nonzero.");

Point3 toPoint3(const ads_point p) {
    return {p[X], p[Y], p[Z]};
}

void fromPoint3(const Point3 &p, ads_point out) {
    out[X] = p.x;
    out[Y] = p.y;
    out[Z] = p.z;
}

Point3 lastPoint() {
    ads_point p;
    host::getLastPoint(p);
    return toPoint3(p);
}

const char *orEmpty(const char *s) {
    return s ? s : "";
}

// Asks for one point until one is given. Relative input starts at base; rubber is the
// prompt's base point (ortho, polar, PER and TAN go from it), when it has one. A typed
// object snap modifier applies to the point given after it.
int askPoint(const char *prompt, const Point3 &base, bool noNull, Point3 &out,
             const Point3 *rubber = nullptr) {
    auto &cl = CommandLine::current();
    host::PromptSnaps snaps(rubber);
    for (;;) {
        cl.expect(host::Want::Point);
        Answer a = cl.ask(snaps.prompt(orEmpty(prompt)));
        if (!a.isText())
            return RTCAN;
        if (a.text.empty() && snaps.pending()) {
            snaps.drop(); // Enter at "of " drops the modifier
            continue;
        }
        if (a.text.empty()) {
            if (!noNull)
                return RTNONE;
            cl.refuse(i18n::tr(kNeedPoint));
            continue;
        }
        if (snaps.modifier(a))
            continue;
        bool far = false;
        if (auto p = host::parsePoint(a.text, base, &far)) {
            if (auto landed = snaps.land(*p, a)) {
                out = *landed;
                return RTNORM;
            }
            continue;
        }
        cl.refuse(i18n::tr(far ? host::kOutOfRangeMessage : kInvalidPoint));
    }
}

// The band of a module's point prompt: a line from its base point; without one, after a
// point that Lp's corner chain took from its base and that lies off both axes through it,
// the corner on the cursor's side (Lp's side prompt); else none.
host::Band pointBand(bool based, const Point3 &base) {
    using Kind = host::Band::Kind;
    const auto &memory = CommandLine::current().bands();
    if (memory.current.kind != Kind::None)
        return memory.current; // the caller's own
    if (based)
        return host::bandFrom(Kind::Line, base);
    if (memory.command == "tevLp" && memory.haveBased &&
        memory.basedAnswer.x != memory.basedFrom.x && memory.basedAnswer.y != memory.basedFrom.y) {
        host::Band b = host::bandFrom(Kind::Corner, memory.basedFrom);
        b.to = memory.basedAnswer;
        return b;
    }
    return {};
}

// The refusal of a number the initget bits forbid, or nullptr when it is allowed.
const char *numberRefusal(double v, int bits, bool honourNoNeg) {
    bool noZero = (bits & RSG_NOZERO) != 0;
    bool noNeg = honourNoNeg && (bits & RSG_NONEG) != 0;
    if ((noZero && v == 0) || (noNeg && v < 0))
        return noZero && noNeg ? kPositiveNonzero : noZero ? kNonzero : kPositive;
    return nullptr;
}

} // namespace

int acedInitGet(int val, const char *kwl) {
    CommandLine::current().setInitGet(val, orEmpty(kwl));
    return RTNORM;
}

int acedGetPoint(const ads_point pt, const char *prompt, ads_point result) {
    auto &cl = CommandLine::current();
    int bits = cl.takeInitGet(); // a point prompt honours RSG_NONULL only
    if (result == nullptr)
        return RTERROR;
    Point3 base = pt ? toPoint3(pt) : lastPoint();
    Point3 p;
    host::BandScope band(pointBand(pt != nullptr, base));
    int rc = askPoint(prompt, base, (bits & RSG_NONULL) != 0, p, pt ? &base : nullptr);
    auto &memory = cl.bands();
    memory.haveBased = pt != nullptr && rc == RTNORM;
    memory.basedFrom = base;
    memory.basedAnswer = p;
    if (rc != RTNORM)
        return rc;
    fromPoint3(p, result);
    host::setLastPoint(result);
    return RTNORM;
}

int acedGetAngle(const ads_point pt, const char *prompt, ads_real *result) {
    auto &cl = CommandLine::current();
    // The angle prompt honours RSG_NONULL and RSG_NOZERO; RSG_NONEG means nothing to it
    // (any angle is normalised).
    int bits = cl.takeInitGet();
    if (result == nullptr)
        return RTERROR;
    host::BandScope band(pt ? host::bandFrom(host::Band::Kind::Line, toPoint3(pt)) : host::Band{});
    for (;;) {
        cl.expect(host::Want::Point); // two points show an angle
        Answer a = cl.ask(orEmpty(prompt));
        if (!a.isText())
            return RTCAN;
        if (a.text.empty()) {
            if (bits & RSG_NONULL) {
                cl.refuse(i18n::tr(kNeedAngle));
                continue;
            }
            return RTNONE;
        }
        double angle;
        if (host::looksLikePoint(a.text)) {
            // The angle shown by two points: from the base point when there is one,
            // else from this point to a second one asked for now.
            bool far = false;
            auto first = host::parsePoint(a.text, pt ? toPoint3(pt) : lastPoint(), &far);
            if (!first) {
                cl.refuse(i18n::tr(far ? host::kOutOfRangeMessage : kInvalidPoint));
                continue;
            }
            Point3 from = pt ? toPoint3(pt) : *first;
            Point3 to = *first;
            if (!pt) {
                int rc = askPoint(i18n::tr("\nSpecify second point: "), from, /*noNull=*/true, to,
                                  &from);
                if (rc != RTNORM)
                    return rc;
            }
            angle = std::atan2(to.y - from.y, to.x - from.x);
        } else if (auto typed = host::parseAngle(a.text)) {
            angle = *typed;
        } else {
            cl.refuse(i18n::tr(kNeedAngle));
            continue;
        }
        angle = host::normalizeAngle(angle);
        if (const char *why = numberRefusal(angle, bits, /*honourNoNeg=*/false)) {
            cl.refuse(i18n::tr(why));
            continue;
        }
        *result = angle;
        return RTNORM;
    }
}

int acedGetReal(const char *prompt, ads_real *result) {
    auto &cl = CommandLine::current();
    int bits = cl.takeInitGet();
    if (result == nullptr)
        return RTERROR;
    for (;;) {
        Answer a = cl.ask(orEmpty(prompt));
        if (!a.isText())
            return RTCAN;
        if (a.text.empty()) {
            if (bits & RSG_NONULL) {
                cl.refuse(i18n::tr(kNeedNumber));
                continue;
            }
            return RTNONE;
        }
        // A real the host asks for is a length in the drawing (a width, a distance).
        bool far = false;
        auto v = host::parseDistance(a.text, &far);
        if (!v) {
            cl.refuse(i18n::tr(far ? host::kOutOfRangeMessage : kNeedNumber));
            continue;
        }
        if (const char *why = numberRefusal(*v, bits, /*honourNoNeg=*/true)) {
            cl.refuse(i18n::tr(why));
            continue;
        }
        *result = *v;
        return RTNORM;
    }
}

int acedGetString(int cronly, const char *prompt, char *result) {
    auto &cl = CommandLine::current();
    (void)cl.takeInitGet(); // the string prompt honours no initget bit
    if (result == nullptr)
        return RTERROR;
    Answer a = cl.ask(orEmpty(prompt), cronly ? AnswerEnd::LineOnly : AnswerEnd::SpaceOrLine);
    if (!a.isText())
        return RTCAN;
    // The buffer holds 133 bytes: 132 characters are kept, the rest of the answer dropped.
    std::size_t n = std::min<std::size_t>(a.text.size(), 132);
    std::memcpy(result, a.text.data(), n);
    result[n] = '\0';
    return RTNORM;
}
