// progress_test.cpp - a long read reports its progress: increasing byte offsets within the
// file's size, one report every few megabytes; no report without a hook.
#include "dxf_io.h"
#include "progress.h"

#include "dbmain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A drawing of count lines, about 73 bytes each.
std::string manyLines(int count) {
    std::string text = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
                       "  0\nSECTION\n  2\nENTITIES\n";
    for (int i = 0; i < count; ++i) {
        text += "  0\nLINE\n  5\n" + std::to_string(100 + i) +
                "\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n1.0\n 31\n0.0\n";
    }
    return text + "  0\nENDSEC\n  0\nEOF\n";
}

// Test that reading a file of some 15 MB reports increasing offsets against its size.
TEST(ReadProgress, ReportsIncreasingOffsetsOfTheWholeFile) {
    const std::string text = manyLines(210000);
    ASSERT_GT(text.size(), 3 * dxf::kProgressStep);
    std::vector<std::pair<std::size_t, std::size_t>> reports;
    dxf::setProgressHook(
        [&](std::size_t done, std::size_t total) { reports.emplace_back(done, total); });
    std::string error;
    auto db = dxf::readDrawingText(text, "many.dxf", error);
    dxf::setProgressHook({});
    ASSERT_NE(db, nullptr) << error;
    ASSERT_GE(reports.size(), 3u);
    ASSERT_LE(reports.size(), text.size() / dxf::kProgressStep + 1);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, text.size());
        EXPECT_LE(reports[i].first, text.size());
        if (i > 0) {
            EXPECT_GT(reports[i].first, reports[i - 1].first);
        }
    }
}

// Test that a drawing read from a file of some 15 MB, whose pages the reader and the writer
// give back behind them, writes the very same text as the same drawing read from memory.
TEST(ReadProgress, FilePagesGivenBackStayReadable) {
    const std::string text = manyLines(210000);
    char path[] = "/tmp/tev-progress-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(path, std::ios::binary) << text;
    std::string error, fromFile, fromMemory;
    {
        auto db = dxf::readDrawing(path, error);
        ASSERT_NE(db, nullptr) << error;
        ASSERT_TRUE(dxf::writeDrawingText(*db, fromFile, error)) << error;
        fromFile.clear(); // a second save walks the released pages again
        ASSERT_TRUE(dxf::writeDrawingText(*db, fromFile, error)) << error;
    }
    std::remove(path);
    auto db = dxf::readDrawingText(text, "many.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(dxf::writeDrawingText(*db, fromMemory, error)) << error;
    EXPECT_GT(fromFile.size(), text.size() / 2);
    EXPECT_TRUE(fromFile == fromMemory);
}

// Test that without a hook nothing is called and reading works as before.
TEST(ReadProgress, NoHookNoReports) {
    int calls = 0;
    dxf::setProgressHook([&](std::size_t, std::size_t) { ++calls; });
    dxf::setProgressHook({});
    std::string error;
    auto db = dxf::readDrawingText(manyLines(10), "few.dxf", error);
    ASSERT_NE(db, nullptr) << error;
    EXPECT_EQ(calls, 0);
}

} // namespace
