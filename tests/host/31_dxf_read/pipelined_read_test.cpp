// Tests of reading on two threads (records split on one, objects built on the other): the
// same drawing as a plain read, the same first error, progress on the calling thread.
#include "dxf_io.h"
#include "dxf_test_util.h"
#include "progress.h"

#include "dbmain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace dxftest;

dxf::ReadOptions withPipeline(bool on) {
    dxf::ReadOptions options;
    options.limits.pipelineFromBytes = on ? 0 : std::numeric_limits<std::size_t>::max();
    return options;
}

// A drawing of many batches' worth of tags: lines, polylines with vertices, a block with
// its references, on a few layers.
std::string bigDrawing(int entities) {
    std::string s =
        lines({"0",  "SECTION",   "2",  "HEADER",     "9",  "$ACADVER", "1",  "AC1015",
               "9",  "$HANDSEED", "5",  "FFFFF",      "0",  "ENDSEC",   "0",  "SECTION",
               "2",  "TABLES",    "0",  "TABLE",      "2",  "LAYER",    "5",  "2",
               "0",  "LAYER",     "5",  "10",         "2",  "0",        "70", "0",
               "62", "7",         "6",  "CONTINUOUS", "0",  "LAYER",    "5",  "11",
               "2",  "WALLS",     "70", "0",          "62", "1",        "6",  "CONTINUOUS",
               "0",  "ENDTAB",    "0",  "ENDSEC",     "0",  "SECTION",  "2",  "BLOCKS",
               "0",  "BLOCK",     "5",  "20",         "8",  "0",        "2",  "DOOR",
               "70", "0",         "10", "0",          "20", "0",        "30", "0",
               "0",  "LINE",      "5",  "21",         "8",  "0",        "10", "0",
               "20", "0",         "11", "1",          "21", "0",        "0",  "ENDBLK",
               "5",  "22",        "8",  "0",          "0",  "ENDSEC",   "0",  "SECTION",
               "2",  "ENTITIES"});
    std::uint64_t handle = 0x100;
    auto hex = [](std::uint64_t h) {
        char buf[20];
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
        return std::string(buf);
    };
    for (int i = 0; i < entities; ++i) {
        const std::string x = std::to_string(i), layer = i % 3 == 0 ? "WALLS" : "0";
        switch (i % 4) {
        case 0:
        case 1:
            s += "0\nLINE\n5\n" + hex(handle++) + "\n8\n" + layer + "\n62\n" +
                 std::to_string(i % 7 + 1) + "\n10\n" + x + "\n20\n0.5\n30\n0\n11\n" + x +
                 ".25\n21\n7\n31\n0\n";
            break;
        case 2:
            s += "0\nLWPOLYLINE\n5\n" + hex(handle++) + "\n8\n" + layer + "\n90\n3\n70\n1\n10\n" +
                 x + "\n20\n0\n42\n0.5\n10\n" + x + ".5\n20\n1\n10\n" + x + "\n20\n2\n";
            break;
        default: {
            const std::string pl = hex(handle++);
            s += "0\nPOLYLINE\n5\n" + pl + "\n8\n" + layer + "\n66\n1\n10\n0\n20\n0\n30\n0\n";
            for (int v = 0; v < 3; ++v)
                s += "0\nVERTEX\n5\n" + hex(handle++) + "\n330\n" + pl + "\n8\n" + layer +
                     "\n10\n" + std::to_string(v) + "\n20\n" + x + "\n30\n0\n";
            s += "0\nSEQEND\n5\n" + hex(handle++) + "\n330\n" + pl + "\n8\n" + layer + "\n";
            if (i % 40 == 3)
                s += "0\nINSERT\n5\n" + hex(handle++) + "\n8\n0\n2\nDOOR\n10\n" + x +
                     "\n20\n3\n30\n0\n";
            break;
        }
        }
    }
    s += "0\nENDSEC\n0\nEOF\n";
    return s;
}

struct Outcome {
    bool read = false;
    std::string text; // what the drawing writes, or the error
};

Outcome readAndWrite(const std::string &text, bool pipelined) {
    Outcome out;
    std::string error;
    auto db = dxf::readDrawingText(text, "big.dxf", error, withPipeline(pipelined));
    if (db == nullptr) {
        out.text = error;
        return out;
    }
    out.read = true;
    EXPECT_TRUE(dxf::writeDrawingText(*db, out.text, error)) << error;
    return out;
}

// Compares texts of megabytes: gtest's own diff of two such strings takes minutes.
void expectSameText(const std::string &plain, const std::string &piped) {
    std::size_t i = 0;
    while (i < plain.size() && i < piped.size() && plain[i] == piped[i])
        ++i;
    if (i == plain.size() && i == piped.size())
        return;
    const std::size_t from = i < 40 ? 0 : i - 40;
    ADD_FAILURE() << "the texts differ at byte " << i << ": plain \"" << plain.substr(from, 80)
                  << "\", on two threads \"" << piped.substr(from, 80) << "\"";
}

void expectSameBothWays(const std::string &text) {
    const Outcome plain = readAndWrite(text, false), piped = readAndWrite(text, true);
    EXPECT_EQ(plain.read, piped.read);
    expectSameText(plain.text, piped.text);
}

// Test that a drawing of many batches reads to the same drawing on two threads as on one,
// entity for entity (the text each writes is the same), and that a small one does too.
TEST(PipelinedRead, SameDrawingAsAPlainRead) {
    const std::string text = bigDrawing(6000);
    const Outcome piped = readAndWrite(text, true);
    ASSERT_TRUE(piped.read) << piped.text;
    EXPECT_NE(piped.text.find("DOOR"), std::string::npos);
    expectSameBothWays(text);
    expectSameBothWays(bigDrawing(3));
}

// Test that the first error is the one a plain read gives, whichever side finds it: the
// splitter (a group code that is not a number, a missing ENDSEC), the builder (a value that
// is not a number), or both, the builder's being earlier in the file; and that a builder
// error early in a big file stops the splitter (the call returns, nothing is left running).
TEST(PipelinedRead, FirstErrorAsInAPlainRead) {
    const std::string good = bigDrawing(4000);
    const std::size_t late = good.rfind("0\nLINE\n");
    ASSERT_NE(late, std::string::npos);

    std::string badCode = good;
    badCode.replace(late, 1, "x0");
    std::string noEndsec = good.substr(0, good.rfind("0\nENDSEC\n")) + "0\nEOF\n";
    std::string badValue = good;
    const std::size_t early = badValue.find("\n10\n", badValue.find("ENTITIES"));
    badValue.replace(early, 4, "\n10\nten");
    std::string both = badValue;
    both.replace(both.rfind("0\nLINE\n"), 1, "x0");

    for (const std::string *text : {&badCode, &noEndsec, &badValue, &both}) {
        const Outcome plain = readAndWrite(*text, false), piped = readAndWrite(*text, true);
        EXPECT_FALSE(piped.read);
        EXPECT_FALSE(plain.read);
        expectSameText(plain.text, piped.text);
    }
    const Outcome b = readAndWrite(both, true);
    EXPECT_NE(b.text.find("not a finite number"), std::string::npos) << b.text;
}

// Test that progress is reported on the calling thread (the host's progress line is not
// written from two threads), in increasing order, for a file read on two threads.
TEST(PipelinedRead, ProgressOnTheCallingThread) {
    const std::string text = bigDrawing(60000); // several megabytes: several reports
    std::vector<std::size_t> done;
    bool otherThread = false;
    const std::thread::id caller = std::this_thread::get_id();
    dxf::setProgressHook([&](std::size_t d, std::size_t) {
        done.push_back(d);
        otherThread = otherThread || std::this_thread::get_id() != caller;
    });
    std::string error;
    auto db = dxf::readDrawingText(text, "big.dxf", error, withPipeline(true));
    dxf::setProgressHook({});
    ASSERT_NE(db, nullptr) << error;
    EXPECT_FALSE(otherThread);
    ASSERT_GE(done.size(), 2u);
    for (std::size_t i = 1; i < done.size(); ++i)
        EXPECT_GT(done[i], done[i - 1]);
}

} // namespace
