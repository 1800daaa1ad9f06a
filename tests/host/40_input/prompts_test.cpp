// The get functions: what each answer gives the caller, what is refused and re-asked,
// and which acedInitGet bits each prompt honours.
#include "acedads.h"
#include "input_fixture.h"
#include "sysvars.h"

#include <cmath>
#include <cstring>
#include <numbers>

using inputtest::CommandLineTest;
using inputtest::occurrences;

namespace {

class PromptTest : public CommandLineTest {};

// Test that an absolute point is returned and becomes LASTPOINT.
TEST_F(PromptTest, PointAbsoluteSetsLastPoint) {
    type({"3,4,5"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(nullptr, "\nP: ", p), RTNORM);
    EXPECT_EQ(p[X], 3);
    EXPECT_EQ(p[Y], 4);
    EXPECT_EQ(p[Z], 5);
    ads_point last;
    host::getLastPoint(last);
    EXPECT_EQ(last[X], 3);
    EXPECT_EQ(last[Y], 4);
    EXPECT_EQ(last[Z], 5);
}

// Test that relative input starts at the base point when one is given.
TEST_F(PromptTest, PointRelativeFromBase) {
    ads_point seed = {100, 100, 0};
    host::setLastPoint(seed);
    ads_point base = {10, 20, 0};
    type({"@5,5"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(base, "\nP: ", p), RTNORM);
    EXPECT_EQ(p[X], 15);
    EXPECT_EQ(p[Y], 25);
}

// Test that relative input without a base starts at LASTPOINT, which follows each point.
TEST_F(PromptTest, PointRelativeFromLastPoint) {
    type({"1,1", "@2,0", "@0,3", "@"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    ASSERT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    EXPECT_EQ(p[X], 3);
    ASSERT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    EXPECT_EQ(p[X], 3);
    EXPECT_EQ(p[Y], 4);
    ASSERT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    EXPECT_EQ(p[X], 3);
    EXPECT_EQ(p[Y], 4);
}

// Test polar input relative to a base point.
TEST_F(PromptTest, PointPolar) {
    ads_point base = {1, 1, 0};
    type({"@2<90"});
    ads_point p;
    ASSERT_EQ(acedGetPoint(base, "", p), RTNORM);
    EXPECT_NEAR(p[X], 1, 1e-12);
    EXPECT_NEAR(p[Y], 3, 1e-12);
}

// Test that a word at a point prompt is refused and asked again; the result stays
// untouched until a point comes.
TEST_F(PromptTest, PointRefusesWordsAndAsksAgain) {
    type({"LINE", std::string(100000, 'x'), "\xFF\xFE", "7,8"});
    ads_point p = {-1, -1, -1};
    ASSERT_EQ(acedGetPoint(nullptr, "\nP: ", p), RTNORM);
    EXPECT_EQ(p[X], 7);
    EXPECT_EQ(occurrences(transcript(), "Invalid point."), 3);
    EXPECT_EQ(occurrences(transcript(), "\nP: "), 4);
    EXPECT_EQ(unread(), 0u);
}

// Test empty answer, Escape and end of input at a point prompt.
TEST_F(PromptTest, PointEmptyEscapeEnd) {
    type({""});
    escape();
    ads_point p = {9, 9, 9};
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTNONE);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTCAN);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTCAN); // queue is empty: end of input
    EXPECT_EQ(p[X], 9);
}

// Test that RSG_NONULL refuses an empty point, for the next prompt only.
TEST_F(PromptTest, PointNoNullForNextPromptOnly) {
    type({"", "1,2", ""});
    ads_point p;
    acedInitGet(RSG_NONULL, nullptr);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    EXPECT_EQ(occurrences(transcript(), "Point or option keyword required."), 1);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTNONE);
}

// Test that a point prompt ignores RSG_NOZERO and RSG_NONEG.
TEST_F(PromptTest, PointIgnoresNumberBits) {
    type({"0,-1"});
    ads_point p;
    acedInitGet(RSG_NOZERO | RSG_NONEG, nullptr);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
    EXPECT_EQ(p[Y], -1);
}

// Test typed angles: degrees in, radians out, normalised; -30 gives 5.759587 even under
// RSG_NONEG, which the angle prompt does not honour.
TEST_F(PromptTest, AngleTypedAndNormalised) {
    type({"30", "-30", "450"});
    ads_real a;
    ASSERT_EQ(acedGetAngle(nullptr, "", &a), RTNORM);
    EXPECT_NEAR(a, 0.523599, 1e-6);
    acedInitGet(RSG_NONULL | RSG_NONEG, "");
    ASSERT_EQ(acedGetAngle(nullptr, "", &a), RTNORM);
    EXPECT_NEAR(a, 5.759587, 1e-6);
    ASSERT_EQ(acedGetAngle(nullptr, "", &a), RTNORM);
    EXPECT_NEAR(a, std::numbers::pi / 2, 1e-12);
}

// Test the angle shown by a point from the base point.
TEST_F(PromptTest, AngleByPointFromBase) {
    ads_point base = {1, 1, 0};
    type({"1,0"}); // straight down from the base
    ads_real a;
    ASSERT_EQ(acedGetAngle(base, "", &a), RTNORM);
    EXPECT_NEAR(a, 3 * std::numbers::pi / 2, 1e-12);
}

// Test the angle shown by two points when there is no base point.
TEST_F(PromptTest, AngleByTwoPoints) {
    type({"2,2", "@-1,1"});
    ads_real a;
    ASSERT_EQ(acedGetAngle(nullptr, "\nA: ", &a), RTNORM);
    EXPECT_NEAR(a, 3 * std::numbers::pi / 4, 1e-12);
    EXPECT_NE(transcript().find("Specify second point: @-1,1"), std::string::npos);
}

// Test that Escape at the second point cancels the angle.
TEST_F(PromptTest, AngleSecondPointEscape) {
    type({"2,2"});
    escape();
    ads_real a = 7;
    EXPECT_EQ(acedGetAngle(nullptr, "", &a), RTCAN);
    EXPECT_EQ(a, 7);
}

// Test refusals at the angle prompt: words, empty under RSG_NONULL, zero under RSG_NOZERO.
TEST_F(PromptTest, AngleRefusals) {
    type({"north", "", "0", "360", "1,2,3,4", "45"});
    ads_real a;
    acedInitGet(RSG_NONULL | RSG_NOZERO, nullptr);
    ASSERT_EQ(acedGetAngle(nullptr, "", &a), RTNORM);
    EXPECT_NEAR(a, std::numbers::pi / 4, 1e-12);
    EXPECT_EQ(occurrences(transcript(), "Requires valid numeric angle or second point."), 2);
    EXPECT_EQ(occurrences(transcript(), "Value must be nonzero."), 2);
    EXPECT_EQ(occurrences(transcript(), "Invalid point."), 1);
}

// Test the angle prompt's empty answer and Escape.
TEST_F(PromptTest, AngleEmptyAndEscape) {
    type({""});
    escape();
    ads_real a;
    EXPECT_EQ(acedGetAngle(nullptr, "", &a), RTNONE);
    EXPECT_EQ(acedGetAngle(nullptr, "", &a), RTCAN);
}

// Test acedGetReal with each bit it honours, one prompt at a time.
TEST_F(PromptTest, RealBits) {
    type({"abc", "-1", "0", "", "2.5", "-1", "0", ""});
    ads_real r = 0;
    acedInitGet(RSG_NONULL | RSG_NOZERO | RSG_NONEG, nullptr);
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, 2.5);
    std::string t = transcript();
    EXPECT_EQ(occurrences(t, "Requires numeric value."), 2); // "abc" and the empty answer
    EXPECT_EQ(occurrences(t, "Value must be positive and nonzero."), 2);
    // Without bits every one of them is taken.
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, -1);
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(acedGetReal("", &r), RTNONE);
}

// Test the messages of the single bits NONEG and NOZERO.
TEST_F(PromptTest, RealSingleBitMessages) {
    type({"-2", "3", "0", "4"});
    ads_real r;
    acedInitGet(RSG_NONEG, nullptr);
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    acedInitGet(RSG_NOZERO, nullptr);
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, 4);
    EXPECT_EQ(occurrences(transcript(), "Value must be positive."), 1);
    EXPECT_EQ(occurrences(transcript(), "Value must be nonzero."), 1);
}

// Test that a number with a non-finite value is refused, not handed over.
TEST_F(PromptTest, RealRefusesNonFinite) {
    type({"1e400", "nan", "inf", "5"});
    ads_real r;
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, 5);
}

// Test that coordinates and distances beyond what a double holds to a unit are refused with
// their message and asked again, in every form a point or a distance is typed.
TEST_F(PromptTest, BeyondTheDrawingRangeRefusedAndAskedAgain) {
    const char *kRange = "Coordinates and distances must lie between -1E15 and 1E15.";
    ads_point base = {9e14, 0, 0};
    ads_point p;
    type({"1e300,5", "-2e15,0", "0,0,1e16", "@2e14,0", "1e16<0", "@"});
    ASSERT_EQ(acedGetPoint(base, "", p), RTNORM); // "@" is the base itself: in range
    EXPECT_EQ(p[X], 9e14);
    EXPECT_EQ(occurrences(transcript(), kRange), 5);
    type({"1e15,-1e15"});
    ASSERT_EQ(acedGetPoint(base, "", p), RTNORM);
    EXPECT_EQ(p[X], 1e15);
    EXPECT_EQ(p[Y], -1e15);
    ads_real r;
    type({"1e300", "-1.5e15", "1e15"});
    ASSERT_EQ(acedGetReal("", &r), RTNORM);
    EXPECT_EQ(r, 1e15);
    type({"1e300,0", "0,1"});
    ASSERT_EQ(acedGetAngle(base, "", &r), RTNORM);
    EXPECT_EQ(occurrences(transcript(), kRange), 8);
}

// Test acedGetString: a space ends it unless cronly; 132 characters are kept; the empty
// answer is an empty string; RSG_NONULL means nothing here.
TEST_F(PromptTest, StringRules) {
    cl->setSource(std::make_unique<host::ScriptSource>("one two\nthree four\n\n"));
    char buf[133];
    ASSERT_EQ(acedGetString(0, "", buf), RTNORM);
    EXPECT_STREQ(buf, "one");
    ASSERT_EQ(acedGetString(1, "", buf), RTNORM);
    EXPECT_STREQ(buf, "two");
    ASSERT_EQ(acedGetString(1, "", buf), RTNORM);
    EXPECT_STREQ(buf, "three four");
    acedInitGet(RSG_NONULL, nullptr);
    ASSERT_EQ(acedGetString(0, "", buf), RTNORM);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(acedGetString(0, "", buf), RTCAN); // end of input
}

// Test that a long string fills exactly 132 characters and the terminator.
TEST_F(PromptTest, StringKeeps132Characters) {
    type({std::string(500, 'q')});
    char buf[140];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(acedGetString(1, "", buf), RTNORM);
    EXPECT_EQ(std::strlen(buf), 132u);
    EXPECT_EQ(buf[132], '\0');
    EXPECT_EQ(buf[133], '#');
}

// Test Escape at the string prompt and a null result buffer.
TEST_F(PromptTest, StringEscapeAndNullBuffer) {
    escape();
    type({"x"});
    char buf[133] = "untouched";
    EXPECT_EQ(acedGetString(0, "", buf), RTCAN);
    EXPECT_STREQ(buf, "untouched");
    EXPECT_EQ(acedGetString(0, "", nullptr), RTERROR);
}

// Test that a break that came while the command ran cancels the next prompt.
TEST_F(PromptTest, PendingBreakCancelsPrompt) {
    type({"1,1"});
    cl->setBreakPending(true);
    ads_point p;
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTCAN);
    EXPECT_EQ(acedGetPoint(nullptr, "", p), RTNORM);
}

} // namespace
