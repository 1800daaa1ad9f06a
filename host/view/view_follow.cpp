// view_follow.cpp - the band, the host's view and hovering, for the page.
#include "view_follow.h"

#include "command_line.h"
#include "database_impl.h"
#include "dbapserv.h"
#include "dbents.h"
#include "i18n.h"
#include "prompt_band.h"
#include "shape.h"
#include "spatial.h"
#include "view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace host::view {

namespace {

constexpr std::size_t kHoverPoints = 8000; // enough for any one entity the eye follows

void number(std::string &out, double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", std::isfinite(v) ? v : 0.0);
    out += buf;
}

} // namespace

std::string promptExtras(std::string_view promptLine) {
    std::string command = cp1251ToUtf8(i18n::tr("\nCommand: "));
    const bool atCommand = promptLine == std::string_view(command).substr(1);
    std::string out = ",\"band\":" + bandJson(CommandLine::current().bands().current) +
                      ",\"atCommand\":" + (atCommand ? "true" : "false");
    AcDbDatabase *db = acdbHostApplicationServices()->workingDatabase();
    if (db == nullptr)
        return out + ",\"view\":null";
    const tev::db::ViewState &s = tev::db::viewState(*db);
    out += ",\"view\":{\"cx\":";
    number(out, s.current.cx);
    out += ",\"cy\":";
    number(out, s.current.cy);
    out += ",\"h\":";
    number(out, s.current.height);
    out +=
        ",\"moved\":" + std::to_string(s.moved) + ",\"regens\":" + std::to_string(s.regens) + "}";
    return out;
}

bool takePageView(AcDbDatabase &db, std::optional<double> cx, std::optional<double> cy,
                  std::optional<double> h, std::optional<double> aspect) {
    if (aspect && !(*aspect > 0 && std::isfinite(*aspect)))
        return false;
    tev::db::ViewState &s = tev::db::viewState(db);
    if (!h) {
        if (aspect)
            s.current.aspect = *aspect;
        return aspect.has_value();
    }
    if (!cx || !cy || !(*h > 0) || !std::isfinite(*h) || !std::isfinite(*cx) || !std::isfinite(*cy))
        return false;
    tev::db::setView(db, {*cx, *cy, *h, aspect.value_or(0)}, /*byCommand=*/false);
    return true;
}

std::string hoverJson(AcDbDatabase &db, double x, double y, double aperture) {
    AcDbObjectId id = tev::db::pickEntity(db, db.currentSpaceId(), AcGePoint2d(x, y), aperture);
    auto *e = id.isNull() ? nullptr : tev::db::peekAs<AcDbEntity>(id);
    if (e == nullptr)
        return "null";
    char handle[32];
    std::snprintf(handle, sizeof handle, "%llx",
                  static_cast<unsigned long long>(id.handle().value()));
    std::string out = std::string("{\"handle\":\"") + handle + "\"";
    if (auto *line = AcDbLine::cast(e)) {
        out += ",\"line\":[";
        number(out, line->startPoint().x);
        out += ',';
        number(out, line->startPoint().y);
        out += ',';
        number(out, line->endPoint().x);
        out += ',';
        number(out, line->endPoint().y);
        out += ']';
    }
    tev::db::Shape shape;
    tev::db::collectShape(*e, AcGeMatrix3d(), tev::db::kMaxBlockNesting, shape);
    std::size_t points = 0;
    out += ",\"paths\":[";
    bool firstPath = true;
    auto path = [&](const std::vector<tev::db::P2> &pts, bool closed) {
        if (pts.size() < 2 || points + pts.size() > kHoverPoints)
            return;
        points += pts.size() + closed;
        out += firstPath ? "[" : ",[";
        firstPath = false;
        for (std::size_t i = 0; i < pts.size() + closed; ++i) {
            const tev::db::P2 &p = pts[i % pts.size()];
            if (i)
                out += ',';
            number(out, p.x);
            out += ',';
            number(out, p.y);
        }
        out += ']';
    };
    for (const tev::db::Seg &s : shape.segs)
        path({s.a, s.b}, false);
    for (const tev::db::Arc &a : shape.arcs) {
        int n = std::clamp(static_cast<int>(a.sweep / (std::numbers::pi / 32)), 4, 64);
        std::vector<tev::db::P2> pts;
        for (int i = 0; i <= n; ++i)
            pts.push_back(a.at(a.a0 + a.sweep * i / n));
        path(pts, false);
    }
    for (const tev::db::Box4 &q : shape.boxes)
        path({q.begin(), q.end()}, true);
    for (const tev::db::Area &area : shape.areas)
        for (const auto &ring : area)
            path(ring, true);
    return out + "]}";
}

} // namespace host::view
