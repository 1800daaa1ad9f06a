// sysvars.cpp - acedGetVar / acedSetVar, the table of system variables, and a variable
// typed at the command prompt.
#include "acedads.h"
#include "answer_parse.h"
#include "command_line.h"
#include "drawing_vars.h"
#include "sysvars.h"
#include "i18n.h"
#include "text_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <variant>

namespace host {
namespace {

// A variable's value in the host's own terms.
using Value = std::variant<short, double, std::string, Point3>;

enum class VarType { Short, Real, Text, Point, Point2 }; // Point2: x and y, RTPOINT

struct VarDef {
    const char *name;
    VarType type;
    bool readOnly;
    bool isAngle; // a real shown and typed in degrees, kept in radians
    std::optional<Value> (*get)();
    bool (*set)(const Value &); // nullptr for read-only variables
};

SessionVars &session() {
    return CommandLine::current().vars();
}

template <class T> std::optional<Value> wrap(std::optional<T> v) {
    if (!v)
        return std::nullopt;
    return Value(*v);
}

// The table: drawing-kept variables first, then the session's.
const VarDef kVars[] = {
    {"TILEMODE", VarType::Short, false, false, [] { return wrap(detail::getTileMode()); },
     [](const Value &v) {
         short s = std::get<short>(v);
         return (s == 0 || s == 1) && detail::setTileMode(s);
     }},
    {"CECOLOR", VarType::Text, false, false,
     []() -> std::optional<Value> {
         auto c = detail::getCurrentColor();
         if (!c)
             return std::nullopt;
         return Value(colorText(*c));
     },
     [](const Value &v) {
         auto c = parseColorText(std::get<std::string>(v));
         return c && detail::setCurrentColor(*c);
     }},
    {"CLAYER", VarType::Text, false, false, [] { return wrap(detail::getCurrentLayer()); },
     [](const Value &v) { return detail::setCurrentLayer(std::get<std::string>(v)); }},
    {"CELTYPE", VarType::Text, false, false, [] { return wrap(detail::getCurrentLinetype()); },
     [](const Value &v) { return detail::setCurrentLinetype(std::get<std::string>(v)); }},
    {"SNAPANG", VarType::Real, false, true, [] { return wrap(detail::getSnapAngle()); },
     [](const Value &v) {
         double a = std::get<double>(v);
         return std::isfinite(a) && detail::setSnapAngle(a);
     }},
    {"DBMOD", VarType::Short, true, false, [] { return wrap(detail::getDrawingModified()); },
     nullptr},
    {"ERRNO", VarType::Short, true, false,
     []() -> std::optional<Value> { return Value(session().errnoValue); }, nullptr},
    {"LASTPOINT", VarType::Point, false, false,
     []() -> std::optional<Value> {
         auto &p = session().lastPoint;
         return Value(Point3{p[0], p[1], p[2]});
     },
     [](const Value &v) {
         Point3 p = std::get<Point3>(v);
         if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
             return false;
         auto &lp = session().lastPoint;
         lp[0] = p.x, lp[1] = p.y, lp[2] = p.z;
         return true;
     }},
    {"PICKBOX", VarType::Short, false, false,
     []() -> std::optional<Value> { return Value(session().pickbox); },
     [](const Value &v) {
         short s = std::get<short>(v);
         if (s < 0 || s > 50)
             return false;
         session().pickbox = s;
         return true;
     }},
    {"PICKAPERTURE", VarType::Real, false, false,
     []() -> std::optional<Value> { return Value(session().pickAperture); },
     [](const Value &v) {
         double d = std::get<double>(v);
         if (!std::isfinite(d) || d <= 0)
             return false;
         session().pickAperture = d;
         return true;
     }},
#define TEV_SHORT_VAR(NAME, PLACE, FIELD, LO, HI)                                                  \
    {                                                                                              \
        NAME, VarType::Short, false, false,                                                        \
            []() -> std::optional<Value> { return Value(PLACE().FIELD); }, [](const Value &v) {    \
                short s = std::get<short>(v);                                                      \
                if (s < (LO) || s > (HI))                                                          \
                    return false;                                                                  \
                PLACE().FIELD = s;                                                                 \
                return true;                                                                       \
            }                                                                                      \
    }
#define TEV_XY_VAR(NAME, FIELD, MIN)                                                               \
    {                                                                                              \
        NAME, VarType::Point2, false, false,                                                       \
            []() -> std::optional<Value> {                                                         \
                return Value(Point3{draftingAids().FIELD[0], draftingAids().FIELD[1], 0});         \
            },                                                                                     \
            [](const Value &v) {                                                                   \
                Point3 p = std::get<Point3>(v);                                                    \
                if (!std::isfinite(p.x) || !std::isfinite(p.y) ||                                  \
                    std::fabs(p.x) > kMaxCoordinate || std::fabs(p.y) > kMaxCoordinate ||          \
                    !(p.x >= (MIN) && p.y >= (MIN)))                                               \
                    return false;                                                                  \
                draftingAids().FIELD[0] = p.x, draftingAids().FIELD[1] = p.y;                      \
                return true;                                                                       \
            }                                                                                      \
    }
    // Drafting aids: kept in the drawing, or for the session.
    TEV_SHORT_VAR("OSMODE", draftingAids, osmode, 0, 32767),
    TEV_SHORT_VAR("APERTURE", session, aperture, 1, 50),
    TEV_SHORT_VAR("ORTHOMODE", draftingAids, orthomode, 0, 1),
    TEV_SHORT_VAR("AUTOSNAP", session, autosnap, 0, 63),
    TEV_SHORT_VAR("POLARMODE", session, polarmode, 0, 15),
    TEV_SHORT_VAR("SNAPMODE", draftingAids, snapmode, 0, 1),
    TEV_SHORT_VAR("GRIDMODE", draftingAids, gridmode, 0, 1),
    {"POLARANG", VarType::Real, false, false,
     []() -> std::optional<Value> { return Value(session().polarang); },
     [](const Value &v) {
         double d = std::get<double>(v);
         if (!std::isfinite(d) || d <= 0 || d > 360)
             return false;
         session().polarang = d;
         return true;
     }},
    // Each coordinate at least MIN: the snap spacing is positive, the grid's 0 (the snap's) or
    // more; the base anywhere.
    TEV_XY_VAR("SNAPUNIT", snapunit, std::numeric_limits<double>::min()),
    TEV_XY_VAR("SNAPBASE", snapbase, -kMaxCoordinate),
    TEV_XY_VAR("GRIDUNIT", gridunit, 0.0),
#undef TEV_SHORT_VAR
#undef TEV_XY_VAR
};

const VarDef *findVar(std::string_view name) {
    for (const auto &v : kVars)
        if (sameNameIgnoringCase(name, v.name))
            return &v;
    return nullptr;
}

// The value a resbuf carries, in the variable's type; nullopt when the resbuf's type
// does not fit the variable. Integers are widened to reals; nothing else is converted.
std::optional<Value> fromResbuf(const VarDef &def, const resbuf &rb) {
    switch (def.type) {
    case VarType::Short:
        if (rb.restype == RTSHORT)
            return Value(rb.resval.rint);
        if (rb.restype == RTLONG && rb.resval.rlong >= -32768 && rb.resval.rlong <= 32767)
            return Value(static_cast<short>(rb.resval.rlong));
        return std::nullopt;
    case VarType::Real:
        if (rb.restype == RTREAL || rb.restype == RTANG || rb.restype == RTORINT)
            return Value(rb.resval.rreal);
        if (rb.restype == RTSHORT)
            return Value(static_cast<double>(rb.resval.rint));
        return std::nullopt;
    case VarType::Text:
        if (rb.restype == RTSTR && rb.resval.rstring != nullptr)
            return Value(std::string(rb.resval.rstring));
        return std::nullopt;
    case VarType::Point:
    case VarType::Point2:
        if (rb.restype == RT3DPOINT)
            return Value(Point3{rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]});
        if (rb.restype == RTPOINT)
            return Value(Point3{rb.resval.rpoint[0], rb.resval.rpoint[1], 0});
        return std::nullopt;
    }
    return std::nullopt;
}

// Fills rb; false only when the host is out of memory for a string.
bool toResbuf(const VarDef &def, const Value &v, resbuf &rb) {
    if (auto s = std::get_if<short>(&v)) {
        rb.restype = RTSHORT;
        rb.resval.rint = *s;
    } else if (auto d = std::get_if<double>(&v)) {
        rb.restype = RTREAL;
        rb.resval.rreal = *d;
    } else if (auto t = std::get_if<std::string>(&v)) {
        char *copy = static_cast<char *>(std::malloc(t->size() + 1));
        if (!copy)
            return false;
        std::memcpy(copy, t->c_str(), t->size() + 1);
        rb.restype = RTSTR;
        rb.resval.rstring = copy;
    } else {
        const Point3 &p = std::get<Point3>(v);
        rb.restype = def.type == VarType::Point2 ? RTPOINT : RT3DPOINT;
        rb.resval.rpoint[0] = p.x;
        rb.resval.rpoint[1] = p.y;
        rb.resval.rpoint[2] = p.z;
    }
    return true;
}

// A real for the command line: up to six decimals, trailing zeros dropped.
std::string formatReal(double d) {
    std::string s = text::decimalText(d, 6);
    if (s.find('.') != std::string::npos && s.find('E') == std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    return s;
}

std::string formatValue(const VarDef &def, const Value &v) {
    if (auto s = std::get_if<short>(&v))
        return std::to_string(*s);
    if (auto d = std::get_if<double>(&v))
        return formatReal(def.isAngle ? *d * 180.0 / std::numbers::pi : *d);
    if (auto t = std::get_if<std::string>(&v))
        return *t;
    const Point3 &p = std::get<Point3>(v);
    if (def.type == VarType::Point2)
        return formatReal(p.x) + "," + formatReal(p.y);
    return formatReal(p.x) + "," + formatReal(p.y) + "," + formatReal(p.z);
}

// A typed value for the variable, or nullopt when it cannot be one.
std::optional<Value> fromTyped(const VarDef &def, const std::string &text) {
    switch (def.type) {
    case VarType::Short: {
        auto n = parseNumber(text);
        if (!n || *n != std::floor(*n) || *n < -32768 || *n > 32767)
            return std::nullopt;
        return Value(static_cast<short>(*n));
    }
    case VarType::Real: {
        auto n = def.isAngle ? parseAngle(text) : parseDistance(text);
        if (!n)
            return std::nullopt;
        return Value(def.isAngle ? normalizeAngle(*n) : *n);
    }
    case VarType::Text:
        return Value(text);
    case VarType::Point:
    case VarType::Point2: {
        auto &lp = session().lastPoint;
        auto p = parsePoint(text, Point3{lp[0], lp[1], lp[2]});
        if (!p)
            return std::nullopt;
        return Value(*p);
    }
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> systemVariableNames() {
    std::vector<std::string> names;
    for (const auto &v : kVars)
        names.emplace_back(v.name);
    return names;
}

bool isSystemVariable(std::string_view name) {
    return findVar(name) != nullptr;
}

void runSystemVariableCommand(std::string_view name) {
    auto &cl = CommandLine::current();
    const VarDef *def = findVar(name);
    if (!def)
        return;
    auto current = def->get();
    if (!current) {
        cl.print("\n" +
                 i18n::format(i18n::tr("%s cannot be read: no drawing is open."), {def->name}));
        return;
    }
    std::string shown = formatValue(*def, *current);
    if (def->readOnly) {
        cl.print("\n" + i18n::format(i18n::tr("%s = %s (read only)"), {def->name, shown}));
        return;
    }
    std::string prompt =
        i18n::format(i18n::tr("\nEnter new value for %s <%s>: "), {def->name, shown});
    for (;;) {
        Answer a = cl.ask(prompt);
        if (!a.isText() || a.text.empty())
            return; // Escape cancels; Enter keeps the value
        auto value = fromTyped(*def, a.text);
        if (value && def->set(*value))
            return;
        cl.refuse(i18n::tr("Invalid value."));
    }
}

} // namespace host

using namespace host;

int acedGetVar(const char *sym, resbuf *result) {
    if (sym == nullptr || result == nullptr)
        return RTERROR;
    const VarDef *def = findVar(sym);
    if (!def)
        return RTERROR;
    auto v = def->get();
    if (!v)
        return RTERROR;
    return toResbuf(*def, *v, *result) ? RTNORM : RTERROR;
}

int acedSetVar(const char *sym, const resbuf *val) {
    if (sym == nullptr || val == nullptr)
        return RTERROR;
    const VarDef *def = findVar(sym);
    if (!def)
        return RTERROR;
    if (def->readOnly) {
        setErrno(OL_ERDONLY);
        return RTERROR;
    }
    auto v = fromResbuf(*def, *val);
    if (!v || !def->set(*v)) {
        setErrno(OL_ERANGE);
        return RTERROR;
    }
    return RTNORM;
}
