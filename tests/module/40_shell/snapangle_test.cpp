// snapangle_test.cpp - Nor at the command line: SNAPANG gets the radians the angle prompt
// gave, replaced on every run, kept on Escape; an empty answer is refused by the host.
#include "fixture.h"
#include "commands.h"
#include "services.h"

#include <cmath>
#include <numbers>
#include <string>

namespace {

using tevtest::ModuleTest;

const std::string kPrompt = "\nВведите угол:";

double snapang() {
    resbuf rb{};
    EXPECT_EQ(acedGetVar("SNAPANG", &rb), RTNORM);
    EXPECT_EQ(rb.restype, RTREAL);
    return rb.resval.rreal;
}

class SnapAngle : public ModuleTest {};

// Test that a typed angle reaches SNAPANG as radians, unchanged, and a second run replaces it.
TEST_F(SnapAngle, AngleReachesSnapangAndIsReplaced) {
    type({"30"});
    run(snapAngleCommand);
    EXPECT_DOUBLE_EQ(snapang(), 30.0 * std::numbers::pi / 180.0);
    type({"-30"});
    run(snapAngleCommand);
    // Normalised into [0, 2pi) by the angle prompt, not added to the first angle.
    EXPECT_NEAR(snapang(), 5.759587, 1e-6);
    EXPECT_EQ(transcript(), kPrompt + "30\n" + kPrompt + "-30\n");
}

// Test that an angle shown by two points is taken as the prompt returns it.
TEST_F(SnapAngle, AngleShownByTwoPoints) {
    type({"0,0", "0,5"});
    run(snapAngleCommand);
    EXPECT_NEAR(snapang(), std::numbers::pi / 2, 1e-12);
    EXPECT_EQ(answersLeft(), 0u);
}

// Test that Escape leaves SNAPANG as it was and prints nothing more than the prompt.
TEST_F(SnapAngle, EscapeLeavesSnapang) {
    type({"45"});
    run(snapAngleCommand);
    double before = snapang();
    typeEscape();
    run(snapAngleCommand);
    EXPECT_DOUBLE_EQ(snapang(), before);
    EXPECT_EQ(transcript().find("Введите угол:*Cancel*") != std::string::npos, true)
        << transcript();
}

// Test that an empty answer is refused and the same prompt stands until an angle comes.
TEST_F(SnapAngle, EmptyAnswerIsRefusedAndPromptStands) {
    type({"", "", "90"});
    run(snapAngleCommand);
    EXPECT_NEAR(snapang(), std::numbers::pi / 2, 1e-12);
    std::string t = transcript();
    std::size_t prompts = 0;
    for (std::size_t at = t.find(kPrompt); at != std::string::npos; at = t.find(kPrompt, at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 3u) << t;
}

// Test that setSysVarReal reports what the host answered.
TEST_F(SnapAngle, SetSysVarRealReportsRefusal) {
    EXPECT_TRUE(setSysVarReal("SNAPANG", 1.25));
    EXPECT_DOUBLE_EQ(snapang(), 1.25);
    EXPECT_FALSE(setSysVarReal("NOSUCHVARIABLE", 1.0));
    EXPECT_FALSE(setSysVarReal("TILEMODE", 1.0)) << "a real is not a short";
    EXPECT_DOUBLE_EQ(snapang(), 1.25);
}

// Test that the module's texts are the Windows-1251 bytes of the Russian texts: the prompt
// the host received was "\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xF3\xE3\xEE\xEB:" ("Введите угол:").
TEST_F(SnapAngle, ModuleTextsAreWindows1251) {
    EXPECT_EQ(tevtest::cp1251("Введите угол:"),
              std::string("\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xF3\xE3\xEE\xEB:"));
    typeEscape();
    run(snapAngleCommand);
    // The transcript is the host's UTF-8 rendering of the bytes the module handed over;
    // it could not read "Введите угол:" had the module sent UTF-8 (each byte would have
    // been taken as one Windows-1251 character).
    EXPECT_NE(transcript().find("Введите угол:"), std::string::npos) << transcript();
}

} // namespace
