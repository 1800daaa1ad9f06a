// answer_parse.cpp - numbers, points and angles as a person types them.
#include "answer_parse.h"
#include "i18n.h"

#include <cmath>
#include <numbers>

namespace host {

const char *const kOutOfRangeMessage =
    i18n::N_("Coordinates and distances must lie between -1E15 and 1E15.");

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

bool inRange(double v) {
    return std::fabs(v) <= kMaxCoordinate; // false for NaN too
}

// A point in range, or nullopt with outOfRange set.
std::optional<Point3> checked(const Point3 &p, bool *outOfRange) {
    if (inRange(p.x) && inRange(p.y) && inRange(p.z))
        return p;
    if (outOfRange != nullptr)
        *outOfRange = true;
    return std::nullopt;
}

// Splits "a,b" or "a,b,c" into numbers; n receives the count.
bool parseCoordinates(std::string_view text, double out[3], int &n) {
    n = 0;
    for (;;) {
        std::size_t comma = text.find(',');
        auto v = parseNumber(text.substr(0, comma));
        if (!v || n == 3)
            return false;
        out[n++] = *v;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return n == 2 || n == 3;
}

// "d<a": distance and angle in degrees.
bool parsePolar(std::string_view text, double &dist, double &angle) {
    std::size_t lt = text.find('<');
    if (lt == std::string_view::npos)
        return false;
    auto d = parseNumber(text.substr(0, lt));
    auto a = parseNumber(text.substr(lt + 1));
    if (!d || !a)
        return false;
    dist = *d;
    angle = *a * kDegree;
    return true;
}

} // namespace

std::optional<Point3> parsePoint(std::string_view text, const Point3 &base, bool *outOfRange) {
    if (outOfRange != nullptr)
        *outOfRange = false;
    bool relative = !text.empty() && text.front() == '@';
    if (relative)
        text.remove_prefix(1);
    Point3 origin = relative ? base : Point3{};
    if (relative && text.empty())
        return checked(base, outOfRange);
    double dist, angle;
    if (text.find('<') != std::string_view::npos) {
        if (!parsePolar(text, dist, angle))
            return std::nullopt;
        if (!inRange(dist)) // far enough that the sine and cosine no longer matter
            return checked(Point3{dist, dist, dist}, outOfRange);
        return checked(
            Point3{origin.x + dist * std::cos(angle), origin.y + dist * std::sin(angle), origin.z},
            outOfRange);
    }
    double c[3] = {0, 0, 0};
    int n;
    if (!parseCoordinates(text, c, n))
        return std::nullopt;
    return checked(Point3{origin.x + c[0], origin.y + c[1], origin.z + c[2]}, outOfRange);
}

std::optional<double> parseDistance(std::string_view text, bool *outOfRange) {
    if (outOfRange != nullptr)
        *outOfRange = false;
    std::optional<double> v = parseNumber(text);
    if (v && !inRange(*v)) {
        if (outOfRange != nullptr)
            *outOfRange = true;
        return std::nullopt;
    }
    return v;
}

namespace {

// 45d30'15" (minutes and seconds optional, each non-negative).
std::optional<double> parseDms(std::string_view text) {
    std::size_t d = text.find('d');
    if (d == std::string_view::npos)
        return std::nullopt;
    auto deg = parseNumber(text.substr(0, d));
    if (!deg)
        return std::nullopt;
    std::string_view rest = text.substr(d + 1);
    double minutes = 0, seconds = 0;
    if (std::size_t q = rest.find('\''); q != std::string_view::npos) {
        auto m = parseNumber(rest.substr(0, q));
        if (!m || *m < 0)
            return std::nullopt;
        minutes = *m;
        rest.remove_prefix(q + 1);
    }
    if (!rest.empty()) {
        if (rest.back() != '"')
            return std::nullopt;
        auto s = parseNumber(rest.substr(0, rest.size() - 1));
        if (!s || *s < 0)
            return std::nullopt;
        seconds = *s;
    }
    double magnitude = std::fabs(*deg) + minutes / 60.0 + seconds / 3600.0;
    bool negative = text.front() == '-';
    return (negative ? -magnitude : magnitude) * kDegree;
}

} // namespace

std::optional<double> parseAngle(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    char last = text.back();
    if (last == 'r' || last == 'R') {
        auto v = parseNumber(text.substr(0, text.size() - 1));
        return v ? std::optional<double>(*v) : std::nullopt;
    }
    if (last == 'g' || last == 'G') {
        auto v = parseNumber(text.substr(0, text.size() - 1));
        return v ? std::optional<double>(*v * std::numbers::pi / 200.0) : std::nullopt;
    }
    if (text.find('d') != std::string_view::npos)
        return parseDms(text);
    auto v = parseNumber(text);
    if (!v)
        return std::nullopt;
    return *v * kDegree;
}

double normalizeAngle(double radians) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    double a = std::fmod(radians, kTwoPi);
    if (a < 0)
        a += kTwoPi;
    if (a >= kTwoPi) // -1e-18 + 2pi rounds to 2pi
        a = 0;
    return a;
}

bool looksLikePoint(std::string_view text) {
    return text.find(',') != std::string_view::npos || (!text.empty() && text.front() == '@');
}

} // namespace host
