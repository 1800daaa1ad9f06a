// System variables: types, defaults, case, refusals, the drawing they live in, and a
// variable typed at the command prompt.
#include "drawing_fixture.h"
#include "drafting_settings.h"
#include "sysvars.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

using drawingtest::DrawingTest;
using drawingtest::occurrences;

namespace {

class SysVarTest : public DrawingTest {
protected:
    // Reads a variable; fails the test unless RTNORM.
    resbuf get(const char *name) {
        resbuf rb{};
        EXPECT_EQ(acedGetVar(name, &rb), RTNORM) << name;
        return rb;
    }
    std::string getText(const char *name) {
        resbuf rb = get(name);
        EXPECT_EQ(rb.restype, RTSTR) << name;
        if (rb.restype != RTSTR)
            return "?";
        std::string s = rb.resval.rstring;
        std::free(rb.resval.rstring);
        return s;
    }
    int setShort(const char *name, short v) {
        resbuf rb{};
        rb.restype = RTSHORT;
        rb.resval.rint = v;
        return acedSetVar(name, &rb);
    }
    int setText(const char *name, const char *v) {
        resbuf rb{};
        rb.restype = RTSTR;
        rb.resval.rstring = const_cast<char *>(v);
        return acedSetVar(name, &rb);
    }
    int setReal(const char *name, double v) {
        resbuf rb{};
        rb.restype = RTREAL;
        rb.resval.rreal = v;
        return acedSetVar(name, &rb);
    }
};

// Test every variable's type and default in a new drawing.
TEST_F(SysVarTest, TypesAndDefaults) {
    resbuf rb = get("TILEMODE");
    EXPECT_EQ(rb.restype, RTSHORT);
    EXPECT_EQ(rb.resval.rint, 1);
    EXPECT_EQ(getText("CECOLOR"), "BYLAYER");
    EXPECT_EQ(getText("CLAYER"), "0");
    EXPECT_EQ(getText("CELTYPE"), "BYLAYER");
    rb = get("ERRNO");
    EXPECT_EQ(rb.restype, RTSHORT);
    EXPECT_EQ(rb.resval.rint, 0);
    rb = get("SNAPANG");
    EXPECT_EQ(rb.restype, RTREAL);
    EXPECT_EQ(rb.resval.rreal, 0.0);
    rb = get("LASTPOINT");
    EXPECT_EQ(rb.restype, RT3DPOINT);
    rb = get("PICKBOX");
    EXPECT_EQ(rb.restype, RTSHORT);
    EXPECT_EQ(rb.resval.rint, 3);
    rb = get("PICKAPERTURE");
    EXPECT_EQ(rb.restype, RTREAL);
    EXPECT_GT(rb.resval.rreal, 0);
}

// Test that names are found in any case and unknown names are refused.
TEST_F(SysVarTest, NamesAnyCaseUnknownRefused) {
    resbuf rb = get("tileMode");
    EXPECT_EQ(rb.resval.rint, 1);
    resbuf other{};
    other.restype = 12345;
    EXPECT_EQ(acedGetVar("NOSUCHVAR", &other), RTERROR);
    EXPECT_EQ(other.restype, 12345);
    EXPECT_EQ(setShort("NOSUCHVAR", 1), RTERROR);
    EXPECT_EQ(acedGetVar(nullptr, &other), RTERROR);
    EXPECT_EQ(acedSetVar("TILEMODE", nullptr), RTERROR);
    EXPECT_TRUE(host::isSystemVariable("snapang"));
    EXPECT_FALSE(host::isSystemVariable("LINE"));
}

// Test that drawing-kept variables write through to the working drawing.
TEST_F(SysVarTest, DrawingVariablesLiveInTheDrawing) {
    EXPECT_EQ(setShort("TILEMODE", 0), RTNORM);
    EXPECT_FALSE(db->tilemode());
    EXPECT_EQ(db->currentSpaceId(), db->paperSpaceId());
    EXPECT_EQ(setReal("snapang", 0.75), RTNORM);
    EXPECT_EQ(db->snapAngle(), 0.75);
    EXPECT_EQ(setText("CECOLOR", "red"), RTNORM);
    EXPECT_EQ(db->cecolor().colorIndex(), 1);
    EXPECT_EQ(getText("CECOLOR"), "1");
    EXPECT_EQ(setText("CECOLOR", "ByBlock"), RTNORM);
    EXPECT_EQ(db->cecolor().colorIndex(), 0);
    EXPECT_EQ(getText("CECOLOR"), "BYBLOCK");
    EXPECT_EQ(setText("CECOLOR", "200"), RTNORM);
    EXPECT_EQ(db->cecolor().colorIndex(), 200);
    addLayer("Walls");
    EXPECT_EQ(setText("CLAYER", "walls"), RTNORM);
    EXPECT_EQ(getText("CLAYER"), "Walls");
    EXPECT_EQ(setText("CELTYPE", "Continuous"), RTNORM);
    EXPECT_EQ(getText("CELTYPE"), "Continuous");
    EXPECT_EQ(setText("CELTYPE", "byblock"), RTNORM);
    EXPECT_EQ(getText("CELTYPE"), "BYBLOCK");
}

// Test that a refused value leaves the variable as it was and sets ERRNO.
TEST_F(SysVarTest, RefusalsChangeNothing) {
    EXPECT_EQ(setText("TILEMODE", "1"), RTERROR); // wrong type
    EXPECT_EQ(setShort("TILEMODE", 2), RTERROR);  // out of range
    EXPECT_TRUE(db->tilemode());
    EXPECT_EQ(host::currentErrno(), OL_ERANGE);
    for (const char *bad : {"0", "256", "257", "purple", "", "1.5"})
        EXPECT_EQ(setText("CECOLOR", bad), RTERROR) << bad;
    EXPECT_EQ(setShort("CECOLOR", 1), RTERROR);
    EXPECT_EQ(getText("CECOLOR"), "BYLAYER");
    EXPECT_EQ(setText("CLAYER", "NoSuchLayer"), RTERROR);
    addLayer("Ice", /*frozen=*/true);
    EXPECT_EQ(setText("CLAYER", "Ice"), RTERROR);
    EXPECT_EQ(getText("CLAYER"), "0");
    EXPECT_EQ(setText("CELTYPE", "Dashed"), RTERROR);
    EXPECT_EQ(setReal("SNAPANG", NAN), RTERROR);
    EXPECT_EQ(setText("SNAPANG", "1"), RTERROR);
    EXPECT_EQ(db->snapAngle(), 0.0);
    EXPECT_EQ(setShort("PICKBOX", 51), RTERROR);
    EXPECT_EQ(setReal("PICKAPERTURE", 0), RTERROR);
    EXPECT_EQ(get("PICKBOX").resval.rint, 3);
}

// Test that ERRNO is read-only for applications: refused with ERRNO 20.
TEST_F(SysVarTest, ErrnoIsReadOnly) {
    EXPECT_EQ(setShort("ERRNO", 5), RTERROR);
    EXPECT_EQ(get("ERRNO").resval.rint, OL_ERDONLY);
}

// Test that an integer is taken by a real variable and a 2D point by LASTPOINT.
TEST_F(SysVarTest, Widening) {
    EXPECT_EQ(setShort("SNAPANG", 1), RTNORM);
    EXPECT_EQ(db->snapAngle(), 1.0);
    resbuf rb{};
    rb.restype = RTPOINT;
    rb.resval.rpoint[0] = 4;
    rb.resval.rpoint[1] = 5;
    rb.resval.rpoint[2] = 99;
    EXPECT_EQ(acedSetVar("LASTPOINT", &rb), RTNORM);
    resbuf got = get("LASTPOINT");
    EXPECT_EQ(got.resval.rpoint[0], 4);
    EXPECT_EQ(got.resval.rpoint[1], 5);
    EXPECT_EQ(got.resval.rpoint[2], 0);
}

// Test that the 2D point variables come as RTPOINT, take a 2D or a 3D point (its Z dropped),
// show and take "x,y" typed, refuse what they cannot hold, and live in the drawing.
TEST_F(SysVarTest, TwoDimensionalPoints) {
    resbuf rb = get("SNAPUNIT");
    EXPECT_EQ(rb.restype, RTPOINT);
    EXPECT_EQ(rb.resval.rpoint[0], 10);
    EXPECT_EQ(rb.resval.rpoint[2], 0);
    rb.restype = RT3DPOINT;
    rb.resval.rpoint[0] = 2, rb.resval.rpoint[1] = 3, rb.resval.rpoint[2] = 7;
    EXPECT_EQ(acedSetVar("GRIDUNIT", &rb), RTNORM);
    rb.resval.rpoint[0] = 0;
    EXPECT_EQ(acedSetVar("SNAPUNIT", &rb), RTERROR); // the snap spacing is positive
    EXPECT_EQ(tev::db::draftingState(*db).current.gridunit[1], 3);
    type({"4,5,6"});
    host::runSystemVariableCommand("SNAPBASE");
    EXPECT_NE(transcript().find("Enter new value for SNAPBASE <0,0>: "), std::string::npos);
    rb = get("SNAPBASE");
    EXPECT_EQ(rb.restype, RTPOINT);
    EXPECT_EQ(rb.resval.rpoint[1], 5);
    EXPECT_EQ(rb.resval.rpoint[2], 0);
}

// Test that without a working drawing its variables are refused and the session's work.
TEST_F(SysVarTest, NoWorkingDrawing) {
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    resbuf rb{};
    EXPECT_EQ(acedGetVar("TILEMODE", &rb), RTERROR);
    EXPECT_EQ(acedGetVar("CLAYER", &rb), RTERROR);
    EXPECT_EQ(setReal("SNAPANG", 1), RTERROR);
    EXPECT_EQ(acedGetVar("PICKBOX", &rb), RTNORM);
    acdbHostApplicationServices()->setWorkingDatabase(db.get());
}

// Test a variable typed as a command: the value shown (an angle in degrees), a new value
// typed in degrees kept in radians; a refused value asked again.
TEST_F(SysVarTest, TypedAsCommandAngleInDegrees) {
    ASSERT_EQ(setReal("SNAPANG", std::numbers::pi / 2), RTNORM);
    type({"north", "30"});
    host::runSystemVariableCommand("snapang");
    EXPECT_NEAR(db->snapAngle(), std::numbers::pi / 6, 1e-12);
    EXPECT_EQ(occurrences(transcript(), "Enter new value for SNAPANG <90>: "), 2);
    EXPECT_EQ(occurrences(transcript(), "Invalid value."), 1);
}

// Test that Enter keeps the value and Escape cancels.
TEST_F(SysVarTest, TypedAsCommandEnterAndEscape) {
    type({""});
    escape();
    host::runSystemVariableCommand("TILEMODE");
    host::runSystemVariableCommand("TILEMODE");
    EXPECT_TRUE(db->tilemode());
    EXPECT_EQ(occurrences(transcript(), "<1>: "), 2);
}

// Test typed values of each type, and the read-only ERRNO shown without a prompt.
TEST_F(SysVarTest, TypedAsCommandEachType) {
    type({"0", "blue", "2.5", "1,2"});
    host::runSystemVariableCommand("TILEMODE");
    host::runSystemVariableCommand("CECOLOR");
    host::runSystemVariableCommand("PICKAPERTURE");
    host::runSystemVariableCommand("LASTPOINT");
    EXPECT_FALSE(db->tilemode());
    EXPECT_EQ(db->cecolor().colorIndex(), 5);
    EXPECT_EQ(host::pickAperture(), 2.5);
    EXPECT_EQ(get("LASTPOINT").resval.rpoint[1], 2);
    host::runSystemVariableCommand("errno");
    EXPECT_NE(transcript().find("ERRNO = 0 (read only)"), std::string::npos);
    EXPECT_EQ(cl->queue()->remaining(), 0u);
}

} // namespace
