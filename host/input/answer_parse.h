// answer_parse.h - reading typed answers: numbers, points (absolute, relative, polar)
// and angles. Locale-free (host/text's parseNumber); infinities and NaNs are refused. Pure
// functions, so that every form can be tested without a command line.
#pragma once

#include "text_util.h"

#include <optional>
#include <string_view>

namespace host {

struct Point3 {
    double x = 0, y = 0, z = 0;
    bool operator==(const Point3 &) const = default;
};

// A whole answer as a finite number (host/text's one reading of numbers).
using text::parseNumber;

// The largest coordinate, distance or radius an answer may give: about the largest that a
// double still holds to a unit (2^53 is 9.0e15), so that lengths, areas and extents stay
// finite and what is shown of it stays true.
inline constexpr double kMaxCoordinate = 1e15;
// Why an answer in range of kMaxCoordinate was refused: the message for i18n::tr.
extern const char *const kOutOfRangeMessage;

// A distance (a radius, a width): a number no further from 0 than kMaxCoordinate. A number
// beyond it is refused with outOfRange (when given) set.
std::optional<double> parseDistance(std::string_view text, bool *outOfRange = nullptr);

// A typed point:
//   x,y  x,y,z        absolute (z of a 2D point: 0)
//   @dx,dy  @dx,dy,dz relative to base (dz of a 2D offset: 0)
//   @                 the base itself
//   d<a   @d<a        polar, a in degrees counter-clockwise; absolute polar from the
//                     origin (z 0), relative polar from base (base's z)
// nullopt when text is none of these, or when the point has a coordinate beyond
// kMaxCoordinate (outOfRange, when given, tells which).
std::optional<Point3> parsePoint(std::string_view text, const Point3 &base,
                                 bool *outOfRange = nullptr);

// A typed angle in degrees, as radians (not normalised). Also understood: a suffix
// 'r' (radians), 'g' (grads), and degrees-minutes-seconds 45d30'15".
std::optional<double> parseAngle(std::string_view text);

// An angle normalised into [0, 2*pi).
double normalizeAngle(double radians);

// Whether text has the shape of a typed point rather than a number: it holds ',' or
// starts with '@'. An angle prompt takes such an answer as a point.
bool looksLikePoint(std::string_view text);

} // namespace host
