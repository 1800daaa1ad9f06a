// Tests of linetype patterns as SVG dash arrays.
#include "dashes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using host::render::dashArray;
using host::render::dashesOf;
using V = std::vector<double>;

// Test the usual patterns: dash and gap, dash-dot with its zero dot, scaled.
TEST(DashArray, UsualPatternsScaled) {
    EXPECT_EQ(dashArray({0.5, -0.25}, 1), (V{0.5, 0.25}));
    EXPECT_EQ(dashArray({0.5, -0.25, 0, -0.25}, 2), (V{1, 0.5, 0, 0.5}));
    EXPECT_EQ(dashArray({-0.5, 0.5}, 1), (V{0.5, 0.5})); // negative values are gaps
}

// Test the awkward ones: an opening gap, neighbours of one kind, an odd count, nothing to
// dash, and numbers that are not finite.
TEST(DashArray, AwkwardPatterns) {
    EXPECT_EQ(dashArray({-1, 2}, 1), (V{2, 1}));
    EXPECT_EQ(dashArray({-1, -1, 2, 1}, 1), (V{3, 2}));
    EXPECT_EQ(dashArray({1, 1, -1, -2}, 1), (V{2, 3}));
    EXPECT_EQ(dashArray({3}, 1), (V{3, 0}));
    EXPECT_EQ(dashArray({1, -1, 1}, 1), (V{2, 1})); // the last dash runs into the first
    EXPECT_TRUE(dashArray({}, 1).empty());
    EXPECT_TRUE(dashArray({0, 0}, 1).empty());
    EXPECT_TRUE(dashArray({-1, -2}, 1).empty());
    EXPECT_TRUE(dashArray({1, std::numeric_limits<double>::quiet_NaN()}, 1).empty());
    EXPECT_TRUE(dashArray({1, -1}, std::numeric_limits<double>::infinity()).empty());
}

struct RecordWithDashes {
    V dashes;
    int numDashes() const { return static_cast<int>(dashes.size()); }
    double dashLengthAt(int i) const { return dashes[static_cast<std::size_t>(i)]; }
};
struct RecordWithout {
    double patternLength() const { return 1; }
};

// Test that a record class with the host's dash accessors gives its dashes, and one
// without gives none (the caller then falls back on the pattern length).
TEST(DashesOf, UsesTheAccessorsWhenThere) {
    EXPECT_EQ(dashesOf(RecordWithDashes{{0.5, -0.25, 0}}), (V{0.5, -0.25, 0}));
    EXPECT_TRUE(dashesOf(RecordWithout{}).empty());
}

} // namespace
