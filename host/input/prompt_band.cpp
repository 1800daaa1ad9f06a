// prompt_band.cpp - the rubber bands of the prompts.
#include "prompt_band.h"

#include "command_line.h"

#include <cmath>
#include <cstdio>

namespace host {

void PromptBands::start(std::string_view globalName) {
    *this = PromptBands{};
    command = std::string(globalName);
}

namespace {

const char *kindName(Band::Kind k) {
    switch (k) {
    case Band::Kind::Line:
        return "line";
    case Band::Kind::Segment:
        return "segment";
    case Band::Kind::Circle:
        return "circle";
    case Band::Kind::Distance:
        return "distance";
    case Band::Kind::Window:
        return "window";
    case Band::Kind::Corner:
        return "corner";
    case Band::Kind::Join:
        return "join";
    case Band::Kind::None:
        break;
    }
    return nullptr;
}

void number(std::string &out, const char *name, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, ",\"%s\":%.17g", name, std::isfinite(v) ? v : 0.0);
    out += buf;
}

} // namespace

std::string bandJson(const Band &band) {
    const char *kind = kindName(band.kind);
    if (kind == nullptr)
        return "null";
    std::string out = std::string("{\"kind\":\"") + kind + "\"";
    number(out, "x", band.from.x);
    number(out, "y", band.from.y);
    if (band.kind == Band::Kind::Segment) {
        number(out, "w0", band.startWidth);
        number(out, "w1", band.endWidth);
    }
    if (band.kind == Band::Kind::Corner || band.kind == Band::Kind::Join) {
        number(out, "x1", band.to.x);
        number(out, "y1", band.to.y);
    }
    if (band.kind == Band::Kind::Join) {
        number(out, "px", band.pick.x);
        number(out, "py", band.pick.y);
    }
    return out + "}";
}

BandScope::BandScope(const Band &band) : before_(CommandLine::current().bands().current) {
    CommandLine::current().bands().current = band;
}

BandScope::~BandScope() {
    CommandLine::current().bands().current = before_;
}

Band bandFrom(Band::Kind kind, const Point3 &base) {
    Band b;
    b.kind = kind;
    b.from = base;
    return b;
}

} // namespace host
