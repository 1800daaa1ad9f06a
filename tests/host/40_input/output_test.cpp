// Output to the command line: acutPrintf, acedAlert, acdbFail; acedUsrBrk; code names.
#include "acedads.h"
#include "input_fixture.h"

#include <cstdlib>
#include <string>

using inputtest::CommandLineTest;

namespace {

class OutputTest : public CommandLineTest {};

// Test that acutPrintf formats, converts to UTF-8 and never truncates.
TEST_F(OutputTest, PrintfFormatsWithoutTruncation) {
    std::string longText(5000, 'w');
    int n = acutPrintf("\n%s=%d %.2f %s", "\xC4\xEB\xE8\xED\xE0", 7, 1.5, longText.c_str());
    EXPECT_EQ(n, 1 + 5 + 1 + 1 + 1 + 4 + 1 + 5000);
    EXPECT_EQ(transcript(), "\nДлина=7 1.50 " + longText);
}

// Test that an alert is marked as one in the transcript.
TEST_F(OutputTest, AlertIsMarked) {
    EXPECT_EQ(acedAlert("\xCD\xE5\xF2 \xEF\xE0\xEC\xFF\xF2\xE8"), RTNORM);
    EXPECT_EQ(transcript(), "\n** ALERT: Нет памяти **\n");
}

// Test that acdbFail names the module whose command runs (none before any module ran).
TEST_F(OutputTest, FailNamesTheRunningModule) {
    acdbFail("bad thing");
    cl->setRunningModule("other.arx");
    acdbFail("worse");
    EXPECT_EQ(transcript(), "\nApplication ERROR: bad thing"
                            "\nApplication other.arx ERROR: worse");
}

// Test that acedUsrBrk reports a pending break once.
TEST_F(OutputTest, UserBreakReadsAndClears) {
    EXPECT_EQ(acedUsrBrk(), 0);
    cl->setBreakPending(true);
    EXPECT_EQ(acedUsrBrk(), 1);
    EXPECT_EQ(acedUsrBrk(), 0);
}

// Test that status codes have names and unknown codes none.
TEST_F(OutputTest, CodeNames) {
    EXPECT_STREQ(rtCodeName(RTCAN), "RTCAN");
    EXPECT_STREQ(rtCodeName(RTNORM), "RTNORM");
    EXPECT_STREQ(rtCodeName(RTNONE), "RTNONE");
    EXPECT_STREQ(rtCodeName(RTERROR), "RTERROR");
    EXPECT_STREQ(rtCodeName(RT3DPOINT), "RT3DPOINT");
    EXPECT_EQ(rtCodeName(12345), nullptr);
}

} // namespace

namespace {

// Test that a new node is zeroed with its type, and that a list with owned strings and
// binary chunks is released whole (the sanitizer build checks nothing leaks).
TEST(Resbuf, NewAndReleaseList) {
    resbuf *head = acutNewRb(RTSTR);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->restype, RTSTR);
    EXPECT_EQ(head->rbnext, nullptr);
    EXPECT_EQ(head->resval.rstring, nullptr);
    head->resval.rstring = static_cast<char *>(std::malloc(4));
    resbuf *bin = head->rbnext = acutNewRb(310);
    bin->resval.rbinary.clen = 3;
    bin->resval.rbinary.buf = static_cast<char *>(std::malloc(3));
    resbuf *layer = bin->rbnext = acutNewRb(8);
    layer->resval.rstring = static_cast<char *>(std::malloc(2));
    resbuf *real = layer->rbnext = acutNewRb(RTREAL);
    real->resval.rreal = 1.5;
    EXPECT_EQ(acutRelRb(head), RTNORM);
    EXPECT_EQ(acutRelRb(nullptr), RTNORM);
}

} // namespace
