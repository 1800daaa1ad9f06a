// picks.cpp - acedEntSel and acedNEntSelP: one entity by a point. The answer is a point;
// the entity whose geometry passes nearest within the pick aperture (PICKAPERTURE) is
// taken, the later one in drawing order on a tie. A miss answers at once with ERRNO 7,
// an empty answer with ERRNO 52, Escape with RTCAN.
#include "acedads.h"
#include "answer_parse.h"
#include "command_line.h"
#include "dbapserv.h"
#include "dbents.h"
#include "i18n.h"
#include "prompt_band.h"
#include "spatial.h"
#include "sysvars.h"

using host::Answer;
using host::CommandLine;

namespace {

constexpr const char *kSelectObject = host::i18n::N_("\nSelect object: ");

// Asks for the pick point. RTNORM with pt and the aperture to pick within (a pick box's
// own size when the answer came from a pointing device), or the status to return (ERRNO
// set).
int askPickPoint(const char *prompt, ads_point pt, double &aperture) {
    auto &cl = CommandLine::current();
    (void)cl.takeInitGet(); // keywords are not offered by this host's picks
    for (;;) {
        cl.expect(host::Want::Entity);
        Answer a = cl.ask(prompt ? prompt : host::i18n::tr(kSelectObject));
        if (!a.isText())
            return RTCAN;
        if (a.text.empty()) {
            host::setErrno(OL_ENTSELNULL);
            return RTERROR;
        }
        ads_point last;
        host::getLastPoint(last);
        if (auto p = host::parsePoint(a.text, {last[X], last[Y], last[Z]})) {
            pt[X] = p->x;
            pt[Y] = p->y;
            pt[Z] = p->z;
            aperture = a.aperture > 0 ? a.aperture : host::pickAperture();
            return RTNORM;
        }
        cl.refuse(host::i18n::tr("Invalid point."));
    }
}

AcDbDatabase *working() {
    return acdbHostApplicationServices()->workingDatabase();
}

// The entity name of id in out (an ads_name that has decayed to a pointer).
bool nameOf(AcDbObjectId id, long *out) {
    ads_name n;
    if (id.isNull() || acdbGetAdsName(n, id) != Acad::eOk)
        return false;
    ads_name_set(n, out);
    return true;
}

// Remembers the line picked (its ends and the pick point) for the band of a later pick.
void rememberPick(AcDbObjectId id, const ads_point pt) {
    auto &memory = CommandLine::current().bands();
    memory.haveLine = false;
    AcDbLine *line = nullptr;
    if (id.isNull() || acdbOpenObject(line, id, AcDb::kForRead) != Acad::eOk)
        return;
    const AcGePoint3d s = line->startPoint(), e = line->endPoint();
    (void)line->close(); // opened for read a moment ago
    memory.haveLine = true;
    memory.lineStart = {s.x, s.y, s.z};
    memory.lineEnd = {e.x, e.y, e.z};
    memory.linePick = {pt[X], pt[Y], pt[Z]};
}

// Jl's second pick shows the line that would join the first line to the one under the
// cursor; other picks show none.
host::Band pickBand() {
    const auto &memory = CommandLine::current().bands();
    if (memory.command != "tevJl" || !memory.haveLine)
        return {};
    host::Band b = host::bandFrom(host::Band::Kind::Join, memory.lineStart);
    b.to = memory.lineEnd;
    b.pick = memory.linePick;
    return b;
}

} // namespace

int acedEntSel(const char *str, ads_name entres, ads_point ptres) {
    if (entres == nullptr || ptres == nullptr)
        return RTERROR;
    ads_point pt;
    double aperture = 0;
    int rc = 0;
    {
        host::BandScope band(pickBand());
        rc = askPickPoint(str, pt, aperture);
    }
    if (rc != RTNORM)
        return rc;
    AcDbDatabase *db = working();
    AcDbObjectId id;
    if (db)
        id = tev::db::pickEntity(*db, db->currentSpaceId(), AcGePoint2d(pt[X], pt[Y]), aperture);
    rememberPick(id, pt);
    if (!nameOf(id, entres)) {
        host::setErrno(OL_ENTSELPICK);
        return RTERROR;
    }
    ads_point_set(pt, ptres);
    return RTNORM;
}

int acedNEntSelP(const char *str, ads_name entres, ads_point ptres, int pickflag,
                 ads_matrix xformres, resbuf **refstkres) {
    if (entres == nullptr || ptres == nullptr)
        return RTERROR;
    if (refstkres)
        *refstkres = nullptr;
    ads_point pt;
    double aperture = host::pickAperture();
    if (pickflag) {
        ads_point_set(ptres, pt); // the caller gives the point: no prompt
    } else {
        int rc = askPickPoint(str, pt, aperture);
        if (rc != RTNORM)
            return rc;
    }
    AcDbDatabase *db = working();
    tev::db::NestedPick pick;
    if (!db ||
        !tev::db::pickNested(*db, db->currentSpaceId(), AcGePoint2d(pt[X], pt[Y]), aperture,
                             pick) ||
        !nameOf(pick.entity, entres)) {
        host::setErrno(OL_ENTSELPICK);
        return RTERROR;
    }
    if (xformres)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                xformres[i][j] = pick.xform.entry[i][j];
    if (refstkres && !pick.containers.empty()) {
        // The containing references, innermost first; the list is the caller's.
        resbuf *head = nullptr, *tail = nullptr;
        for (const AcDbObjectId &ref : pick.containers) {
            resbuf *rb = acutNewRb(RTENAME);
            if (rb == nullptr || acdbGetAdsName(rb->resval.rlname, ref) != Acad::eOk) {
                acutRelRb(rb);
                acutRelRb(head);
                return RTERROR;
            }
            (tail ? tail->rbnext : head) = rb;
            tail = rb;
        }
        *refstkres = head;
    }
    ads_point_set(pt, ptres);
    return RTNORM;
}
