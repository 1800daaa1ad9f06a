// palette.cpp - the ACI palette: nine named colours, a generated hue wheel for 10..249
// and a grey ramp for 250..255.
#include "palette.h"

#include <array>
#include <cmath>

namespace host::render {
namespace {

constexpr Rgb kBlack{0, 0, 0};

// 1..9: red, yellow, green, cyan, blue, magenta, white (black on paper), dark and light grey.
constexpr std::array<Rgb, 10> kNamed = {{{0, 0, 0},
                                         {255, 0, 0},
                                         {255, 255, 0},
                                         {0, 255, 0},
                                         {0, 255, 255},
                                         {0, 0, 255},
                                         {255, 0, 255},
                                         {0, 0, 0},
                                         {128, 128, 128},
                                         {192, 192, 192}}};

// 250..255: from near black to white.
constexpr std::array<Rgb, 6> kGreys = {{{51, 51, 51},
                                        {80, 80, 80},
                                        {105, 105, 105},
                                        {130, 130, 130},
                                        {190, 190, 190},
                                        {255, 255, 255}}};

// Truncates a channel computed in floating point. The small nudge keeps a value that is
// mathematically whole (but came out as 126.99999) from dropping a step.
std::uint8_t channel(double v) {
    double t = std::floor(v + 1e-9);
    if (t < 0)
        return 0;
    if (t > 255)
        return 255;
    return static_cast<std::uint8_t>(t);
}

Rgb hsvToRgb(double hueDegrees, double saturation, double value) {
    double c = value * saturation;
    double sector = hueDegrees / 60.0;
    double x = c * (1.0 - std::fabs(std::fmod(sector, 2.0) - 1.0));
    double m = value - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(sector) % 6) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    return {channel(r + m), channel(g + m), channel(b + m)};
}

// 10..249: ten shades per hue, 24 hues 15 degrees apart. Within a hue, pairs of shades
// darken step by step; the even one of a pair is saturated, the odd one pale.
Rgb wheel(int index) {
    static constexpr double kValue[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    int hueStep = index / 10 - 1;
    int shade = index % 10;
    double value = 255.0 * kValue[shade / 2];
    double saturation = shade % 2 == 0 ? 1.0 : 0.5;
    return hsvToRgb(15.0 * hueStep, saturation, value);
}

} // namespace

Rgb aciToRgb(int index) {
    if (index >= 1 && index <= 9)
        return kNamed[static_cast<std::size_t>(index)];
    if (index >= 10 && index <= 249)
        return wheel(index);
    if (index >= 250 && index <= 255)
        return kGreys[static_cast<std::size_t>(index - 250)];
    return kBlack;
}

std::string rgbToHex(Rgb c) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s = "#";
    for (std::uint8_t v : {c.r, c.g, c.b}) {
        s += kDigits[v >> 4];
        s += kDigits[v & 15];
    }
    return s;
}

} // namespace host::render
