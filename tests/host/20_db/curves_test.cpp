// Tests of the curves pictures follow (splines against points known by other means, curves
// through fit points, elliptic arcs) and of paragraph text's format codes.
#include "curves.h"
#include "mtext.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace tev::db;

constexpr double kPi = 3.14159265358979323846;

double radius(Point3 p) {
    return std::hypot(p.x, p.y);
}

// Test NURBS evaluation against curves known in closed form: a rational quadratic is an
// exact quarter circle (so weights are applied), a quadratic Bezier's middle is (1, 1), and
// an open uniform cubic through five alternating points has its middle where another
// reader (ezdxf) puts it. Data that make no curve are refused.
TEST(Curves, SplinesMeetKnownPoints) {
    std::vector<Point3> out;
    double w = std::sqrt(0.5);
    ASSERT_TRUE(
        evaluateNurbs(2, {0, 0, 0, 1, 1, 1}, {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {1, w, 1}, out));
    ASSERT_GT(out.size(), 8u);
    for (Point3 p : out)
        EXPECT_NEAR(radius(p), 1, 1e-12) << p.x << " " << p.y;
    EXPECT_NEAR(out.front().x, 1, 1e-12);
    EXPECT_NEAR(out.back().y, 1, 1e-12);

    ASSERT_TRUE(
        evaluateNurbs(2, {0, 0, 0, 1, 1, 1}, {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}}, {}, out, 2));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_NEAR(out[1].x, 1, 1e-12);
    EXPECT_NEAR(out[1].y, 1, 1e-12);

    // Knots 0 0 0 0 1 2 3 3 3 3 (scaled): the middle is at the knot 0.5 of the range.
    std::vector<Point3> ctrl = {{45, 20, 0}, {50, 30, 0}, {55, 20, 0}, {60, 30, 0}, {65, 20, 0}};
    ASSERT_TRUE(evaluateNurbs(3, {0, 0, 0, 0, 1, 2, 2, 2, 2}, ctrl, {}, out, 2));
    EXPECT_NEAR(out[2].x, 55, 1e-12); // the start of the second span: u = 1
    EXPECT_NEAR(out[2].y, 25, 1e-12);
    EXPECT_NEAR(out.back().x, 65, 1e-12);

    EXPECT_FALSE(evaluateNurbs(3, {0, 0, 0, 1, 1, 1}, ctrl, {}, out));        // knot count
    EXPECT_FALSE(evaluateNurbs(2, {0, 0, 1, 0, 1, 1}, ctrl, {}, out));        // knots go down
    EXPECT_FALSE(evaluateNurbs(1, {0, 0, 1, 2, 3, 4, 4}, ctrl, {1, 0}, out)); // weights
    EXPECT_TRUE(out.empty());
}

// Test that a curve through fit points passes through each of them (open and closed), and
// that a long run of spans is bounded by the point budget.
TEST(Curves, FitPointsAndBudget) {
    std::vector<Point3> fit = {{0, 0, 0}, {1, 2, 0}, {2, 0, 0}, {3, 3, 0}, {3, 3, 0}};
    for (bool closed : {false, true}) {
        std::vector<Point3> out = curveThroughPoints(fit, closed, 10);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(out[i * 10].x, fit[i].x, 1e-9) << closed << i;
            EXPECT_NEAR(out[i * 10].y, fit[i].y, 1e-9) << closed << i;
        }
        EXPECT_NEAR(out.back().x, closed ? 0 : 3, 1e-12);
    }
    std::vector<Point3> ctrl(5000, Point3{});
    std::vector<double> knots(5002);
    for (std::size_t i = 0; i < knots.size(); ++i)
        knots[i] = static_cast<double>(i);
    std::vector<Point3> out;
    ASSERT_TRUE(evaluateNurbs(1, knots, ctrl, {}, out, 16, 1000));
    EXPECT_LE(out.size(), 1001u);
}

// Test ellipse arcs: a quarter of an ellipse from the end of its major axis to the end of
// its minor axis, and a -Z normal turning it the other way.
TEST(Curves, EllipseArcs) {
    std::vector<Point3> q = ellipsePoints({1, 1, 0}, {2, 0, 0}, {0, 0, 1}, 0.5, 0, kPi / 2);
    EXPECT_NEAR(q.front().x, 3, 1e-12);
    EXPECT_NEAR(q.back().x, 1, 1e-12);
    EXPECT_NEAR(q.back().y, 2, 1e-12);
    q = ellipsePoints({0, 0, 0}, {2, 0, 0}, {0, 0, -1}, 0.5, 0, kPi / 2);
    EXPECT_NEAR(q.back().y, -1, 1e-12);
}

// Test paragraph text codes: paragraphs, fonts and heights dropped, stacks as fractions,
// escaped braces and backslashes kept, \U+ escapes left for the conversion; and wrapping.
TEST(MText, FormatCodesAndWrapping) {
    struct Case {
        const char *in;
        std::vector<std::string> out;
    } cases[] = {
        {"a\\Pb", {"a", "b"}},
        {"{\\fArial|b1|i0;Bold} \\H2.5x;big\\~end",
         {"Bold big\xA0"
          "end"}},
        {"\\S1^2; \\S3/4; \\S5#6;", {"1/2 3/4 5/6"}},
        {"\\\\ \\{x\\} \\U+2205 %%c", {"\\ {x} \\U+2205 %%c"}},
        {"\\LUnder\\l\\C1;red\\A1;^Jnext", {"Underred", "next"}},
        {"trailing\\", {"trailing\\"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mtextParagraphs(c.in), c.out) << c.in;

    EXPECT_EQ(wrapLine("one two three", 7), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(wrapLine("abcdefgh", 3), (std::vector<std::string>{"abc", "def", "gh"}));
    EXPECT_EQ(wrapLine("\\U+2205\\U+2205 x", 2),
              (std::vector<std::string>{"\\U+2205\\U+2205", "x"}));
    EXPECT_EQ(wrapLine("no limit", 0), (std::vector<std::string>{"no limit"}));
}

} // namespace
