// Reading numbers, points and angles as typed.
#include "answer_parse.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <numbers>

using host::Point3;

namespace {

constexpr double kPi = std::numbers::pi;

// Test the number forms taken and refused.
TEST(ParseNumber, FormsTakenAndRefused) {
    EXPECT_EQ(host::parseNumber("42"), 42.0);
    EXPECT_EQ(host::parseNumber("-2.5"), -2.5);
    EXPECT_EQ(host::parseNumber("+3"), 3.0);
    EXPECT_EQ(host::parseNumber(".5"), 0.5);
    EXPECT_EQ(host::parseNumber("1e3"), 1000.0);
    for (const char *bad : {"", "+", "-", "1,5", "abc", "1e", "1e999", "inf", "-inf", "nan", "0x10",
                            " 1", "1 ", "1.2.3", "--1", "+-1"})
        EXPECT_FALSE(host::parseNumber(bad).has_value()) << bad;
}

// Test that a locale with a decimal comma does not change how numbers read.
TEST(ParseNumber, LocaleFree) {
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    bool switched = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr ||
                    std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(host::parseNumber("2.5"), 2.5);
    EXPECT_FALSE(host::parseNumber("2,5").has_value());
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma installed";
}

// Test absolute points in two and three dimensions.
TEST(ParsePoint, Absolute) {
    Point3 base{100, 100, 7};
    EXPECT_EQ(host::parsePoint("10,20", base), (Point3{10, 20, 0}));
    EXPECT_EQ(host::parsePoint("-1.5,2,3", base), (Point3{-1.5, 2, 3}));
}

// Test relative points from the base, and '@' alone.
TEST(ParsePoint, Relative) {
    Point3 base{100, 50, 7};
    EXPECT_EQ(host::parsePoint("@10,-5", base), (Point3{110, 45, 7}));
    EXPECT_EQ(host::parsePoint("@1,2,3", base), (Point3{101, 52, 10}));
    EXPECT_EQ(host::parsePoint("@", base), base);
}

// Test polar points: absolute from the origin, relative from the base, negative angles.
TEST(ParsePoint, Polar) {
    Point3 base{10, 10, 2};
    auto p = host::parsePoint("5<90", base);
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->x, 0, 1e-12);
    EXPECT_NEAR(p->y, 5, 1e-12);
    EXPECT_EQ(p->z, 0);
    auto q = host::parsePoint("@2<180", base);
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->x, 8, 1e-12);
    EXPECT_NEAR(q->y, 10, 1e-12);
    EXPECT_EQ(q->z, 2);
    auto r = host::parsePoint("@1<-45", base);
    auto s = host::parsePoint("@1<315", base);
    ASSERT_TRUE(r && s);
    EXPECT_NEAR(r->x, s->x, 1e-12);
    EXPECT_NEAR(r->y, s->y, 1e-12);
    EXPECT_NEAR(r->y, 10 - std::sqrt(0.5), 1e-12);
}

// Test that malformed points and words are refused.
TEST(ParsePoint, Refused) {
    Point3 base;
    for (const char *bad : {"", "LINE", "1", "1,", ",1", "1,2,3,4", "1,,2", "@@", "@1", "1<", "<1",
                            "1<2<3", "nan,1", "1e999,0", "@x,1", "1;2"})
        EXPECT_FALSE(host::parsePoint(bad, base).has_value()) << bad;
}

// Test typed angles: degrees, radians, grads, degrees-minutes-seconds.
TEST(ParseAngle, Forms) {
    EXPECT_DOUBLE_EQ(*host::parseAngle("90"), kPi / 2);
    EXPECT_DOUBLE_EQ(*host::parseAngle("-30"), -kPi / 6);
    EXPECT_DOUBLE_EQ(*host::parseAngle("1.5r"), 1.5);
    EXPECT_DOUBLE_EQ(*host::parseAngle("100g"), kPi / 2);
    EXPECT_NEAR(*host::parseAngle("45d30'36\""), (45.51) * kPi / 180, 1e-12);
    EXPECT_NEAR(*host::parseAngle("-10d30'"), -10.5 * kPi / 180, 1e-12);
    for (const char *bad : {"", "r", "abc", "1,2", "45d-3'", "45d3'x", "nan", "1e999"})
        EXPECT_FALSE(host::parseAngle(bad).has_value()) << bad;
}

// Test normalisation into [0, 2pi): -30 degrees is 5.759587 radians.
TEST(NormalizeAngle, IntoOneTurn) {
    EXPECT_NEAR(host::normalizeAngle(-kPi / 6), 5.759587, 1e-6);
    EXPECT_DOUBLE_EQ(host::normalizeAngle(0), 0);
    EXPECT_DOUBLE_EQ(host::normalizeAngle(2 * kPi), 0);
    EXPECT_NEAR(host::normalizeAngle(5 * kPi), kPi, 1e-12);
    EXPECT_LT(host::normalizeAngle(-1e-18), 2 * kPi);
    EXPECT_GE(host::normalizeAngle(-1e-18), 0);
}

} // namespace
