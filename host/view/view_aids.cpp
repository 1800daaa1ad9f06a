// view_aids.cpp - the page's tracking and toggles, answered on the command thread while it
// waits at a prompt.
#include "view_aids.h"

#include "http_server.h"

#include "command_line.h"
#include "drawing_vars.h"
#include "i18n.h"
#include "point_snaps.h"
#include "snap.h"
#include "sysvars.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace host::view {

namespace {

// A tracked point must come back while the mouse still is there; a command that runs
// makes the page wait for nothing.
constexpr auto kTrackWait = std::chrono::milliseconds(250);
constexpr auto kToggleWait = std::chrono::seconds(5);

std::string num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool finiteParam(const Request &req, const char *name, double &out) {
    if (!req.has_param(name))
        return false;
    std::string s = req.get_param_value(name);
    char *end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end != s.c_str() && *end == '\0' && std::isfinite(out);
}

void refuse(Response &res, int status, const char *why) {
    res.status = status;
    res.set_content(std::string(why) + "\n", "text/plain; charset=utf-8");
}

// On the command thread.
std::string aidsJson() {
    const SessionVars &s = CommandLine::current().vars();
    const tev::db::DraftingSettings &v = draftingAids();
    auto xy = [](const double *p) { return "[" + num(p[0]) + "," + num(p[1]) + "]"; };
    return std::string("{\"osnap\":") + ((v.osmode & tev::db::kSnapOff) ? "false" : "true") +
           ",\"ortho\":" + (v.orthomode ? "true" : "false") +
           ",\"polar\":" + ((s.autosnap & 8) ? "true" : "false") +
           ",\"snap\":" + (v.snapmode ? "true" : "false") +
           ",\"grid\":" + (v.gridmode ? "true" : "false") +
           ",\"snapang\":" + num(detail::getSnapAngle().value_or(0)) +
           ",\"snapunit\":" + xy(v.snapunit) + ",\"snapbase\":" + xy(v.snapbase) +
           ",\"gridunit\":" + xy(v.gridunit) + ",\"aperture\":" + std::to_string(s.aperture) + "}";
}

// Toggles one aid and says so in the transcript, as the function keys do. False: no such.
bool toggle(const std::string &what) {
    SessionVars &s = CommandLine::current().vars();
    tev::db::DraftingSettings &v = draftingAids();
    const char *said = nullptr;
    if (what == "osnap") {
        v.osmode ^= tev::db::kSnapOff;
        said = v.osmode & tev::db::kSnapOff ? i18n::N_("<Osnap off>") : i18n::N_("<Osnap on>");
    } else if (what == "ortho") {
        v.orthomode = !v.orthomode;
        if (v.orthomode)
            s.autosnap &= ~8; // ortho and polar tracking exclude each other
        said = v.orthomode ? i18n::N_("<Ortho on>") : i18n::N_("<Ortho off>");
    } else if (what == "polar") {
        s.autosnap ^= 8;
        if (s.autosnap & 8)
            v.orthomode = 0;
        said = s.autosnap & 8 ? i18n::N_("<Polar on>") : i18n::N_("<Polar off>");
    } else if (what == "snap") {
        v.snapmode = !v.snapmode;
        said = v.snapmode ? i18n::N_("<Snap on>") : i18n::N_("<Snap off>");
    } else if (what == "grid") {
        v.gridmode = !v.gridmode;
        said = v.gridmode ? i18n::N_("<Grid on>") : i18n::N_("<Grid off>");
    } else {
        return false;
    }
    CommandLine::current().print(std::string("\n") + i18n::tr(said) + "\n");
    return true;
}

} // namespace

void addAidRoutes(HttpServer &s, std::shared_ptr<Hub> hub) {
    s.Get("/api/track", [hub](const Request &req, Response &res) {
        double x, y, aperture;
        if (!finiteParam(req, "x", x) || !finiteParam(req, "y", y) ||
            !finiteParam(req, "aperture", aperture) || !(aperture >= 0))
            return refuse(res, 400, "tracking needs x, y and aperture >= 0");
        auto json = hub->call(
            [x, y, aperture] {
                LandedPoint p = trackPoint(Point3{x, y, 0}, aperture);
                return "{\"x\":" + num(p.at.x) + ",\"y\":" + num(p.at.y) + ",\"kind\":\"" +
                       (p.found ? p.kind : "") + "\"}";
            },
            kTrackWait);
        if (!json)
            return refuse(res, 503, "busy: a command is running");
        res.set_content(*json, "application/json");
    });
    s.Get("/api/aids", [hub](const Request &, Response &res) {
        auto json = hub->call(aidsJson, kToggleWait);
        if (!json)
            return refuse(res, 503, "busy: a command is running");
        res.set_content(*json, "application/json");
    });
    s.Post("/api/toggle", [hub](const Request &req, Response &res) {
        std::string what = req.get_param_value("what");
        auto json =
            hub->call([what] { return toggle(what) ? aidsJson() : std::string(); }, kToggleWait);
        if (!json)
            return refuse(res, 503, "busy: a command is running");
        if (json->empty())
            return refuse(res, 400, "what is osnap, ortho, polar, snap or grid");
        res.set_content(*json, "application/json");
    });
}

} // namespace host::view
