// Tests of the atomic save: the backup, refusals that leave the old file and no temporary
// file, and the pre-save checks.
#include "dxf_io.h"
#include "dxf_test_util.h"
#include "files.h"
#include "sample_dxf.h"

#include "dbents.h"
#include "dbsymtb.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

namespace {

using namespace dxftest;
namespace fs = std::filesystem;

std::unique_ptr<AcDbDatabase> drawingWithLine(double x) {
    auto db = std::make_unique<AcDbDatabase>(true);
    AcDbBlockTableRecord *ms = nullptr;
    EXPECT_EQ(acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto *line = new AcDbLine(AcGePoint3d(x, 0, 0), AcGePoint3d(1, 1, 0));
    EXPECT_EQ(ms->appendAcDbEntity(line), Acad::eOk);
    EXPECT_EQ(line->close(), Acad::eOk);
    EXPECT_EQ(ms->close(), Acad::eOk);
    return db;
}

std::vector<std::string> filesIn(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Test that a save writes the file, and a second save keeps the first as plan.bak.
TEST(Save, WritesAndKeepsBackup) {
    ScratchDir dir;
    std::string error;
    auto first = drawingWithLine(1);
    ASSERT_TRUE(dxf::saveDrawing(*first, dir.file("plan.dxf"), error)) << error;
    const std::string v1 = readFile(dir.file("plan.dxf"));
    std::string text;
    ASSERT_TRUE(dxf::writeDrawingText(*first, text, error));
    EXPECT_EQ(v1, text);
    auto second = drawingWithLine(2);
    ASSERT_TRUE(dxf::saveDrawing(*second, dir.file("plan.dxf"), error)) << error;
    EXPECT_EQ(readFile(dir.file("plan.bak")), v1);
    EXPECT_NE(readFile(dir.file("plan.dxf")), v1);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"plan.bak", "plan.dxf"}));
    EXPECT_EQ(dxf::backupPath("a/b.DXF"), "a/b.bak");
    EXPECT_EQ(dxf::backupPath("a.b/plan"), "a.b/plan.bak");
}

// Test a save over a drawing on a file system that refuses hard links (FAT, exFAT, network
// shares): the old drawing is kept as the backup by a copy, and the save succeeds.
TEST(Save, OverAnExistingDrawingWhereLinksAreRefused) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(dxf::saveDrawing(*drawingWithLine(1), dir.file("plan.dxf"), error)) << error;
    const std::string v1 = readFile(dir.file("plan.dxf"));
    host::platform::faults::clear();
    host::platform::faults::failNth(host::platform::faults::Call::Link, 1, EPERM);
    const bool saved = dxf::saveDrawing(*drawingWithLine(2), dir.file("plan.dxf"), error);
    const int links = host::platform::faults::calls(host::platform::faults::Call::Link);
    host::platform::faults::clear();
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(links, 1);
    EXPECT_EQ(readFile(dir.file("plan.bak")), v1);
    EXPECT_NE(readFile(dir.file("plan.dxf")), v1);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"plan.bak", "plan.dxf"}));
}

// Test that a saved drawing is not left private: a new file gets the ordinary permissions,
// an existing one keeps its own.
TEST(Save, KeepsOrdinaryPermissions) {
    ScratchDir dir;
    std::string error;
    auto db = drawingWithLine(1);
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(dxf::saveDrawing(*db, dir.file("new.dxf"), error)) << error;
    EXPECT_EQ(fs::status(dir.file("new.dxf")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    fs::permissions(dir.file("new.dxf"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(dxf::saveDrawing(*db, dir.file("new.dxf"), error)) << error;
    EXPECT_EQ(fs::status(dir.file("new.dxf")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    (void)::umask(mask);
}

// Test that a drawing with a coordinate that is not finite is refused, naming the entity,
// and the old file stays as it was with no temporary file left.
TEST(Save, RefusesNonFiniteNumbers) {
    ScratchDir dir;
    std::string error;
    auto good = drawingWithLine(1);
    ASSERT_TRUE(dxf::saveDrawing(*good, dir.file("plan.dxf"), error)) << error;
    const std::string before = readFile(dir.file("plan.dxf"));
    auto bad = drawingWithLine(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(dxf::saveDrawing(*bad, dir.file("plan.dxf"), error));
    EXPECT_NE(error.find("cannot save: LINE "), std::string::npos) << error;
    EXPECT_NE(error.find("group 10 is not a finite number"), std::string::npos) << error;
    EXPECT_EQ(readFile(dir.file("plan.dxf")), before);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"plan.dxf"}));
}

// Test that a save that cannot be done says why and leaves nothing behind: a folder that
// does not exist, a folder in the way of the target, a folder without write permission.
TEST(Save, FailuresLeaveNothingBehind) {
    ScratchDir dir;
    std::string error;
    auto db = drawingWithLine(1);
    EXPECT_FALSE(dxf::saveDrawing(*db, dir.file("missing/plan.dxf"), error));
    EXPECT_NE(error.find("cannot make a temporary file"), std::string::npos) << error;
    fs::create_directory(dir.file("inway.dxf"));
    EXPECT_FALSE(dxf::saveDrawing(*db, dir.file("inway.dxf"), error));
    EXPECT_NE(error.find("inway.dxf"), std::string::npos) << error;
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"inway.dxf"}));
    if (::geteuid() != 0) {
        fs::create_directory(dir.file("ro"));
        fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(dxf::saveDrawing(*db, dir.file("ro/plan.dxf"), error));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    }
}

// Test that the bytes a save copies from the file read are the session's own: another
// program rewriting the drawing in place, shortening or emptying it after it was read
// changes nothing in what the save writes (and stops nothing).
TEST(Save, FileChangedAfterReadingChangesNothingSaved) {
    ScratchDir dir;
    const std::string plan = dir.file("plan.dxf");
    const std::string text = sampleDxf();
    writeFile(plan, text);
    std::string error;
    auto reference = dxf::readDrawing(plan, error);
    ASSERT_TRUE(reference) << error;
    ASSERT_TRUE(dxf::saveDrawing(*reference, dir.file("reference.dxf"), error)) << error;
    const std::string expected = readFile(dir.file("reference.dxf"));
    struct Change {
        const char *name;
        std::function<void()> apply;
    };
    const Change changes[] = {
        {"rewritten in place, same length",
         [&] {
             std::string other = text;
             for (char &c : other)
                 if (c != '\n' && c != '\r')
                     c = 'x';
             std::fstream f(plan, std::ios::in | std::ios::out | std::ios::binary);
             f.write(other.data(), static_cast<std::streamsize>(other.size()));
         }},
        {"shortened to a third", [&] { fs::resize_file(plan, text.size() / 3); }},
        {"emptied", [&] { fs::resize_file(plan, 0); }},
    };
    for (const Change &change : changes) {
        SCOPED_TRACE(change.name);
        writeFile(plan, text);
        auto db = dxf::readDrawing(plan, error);
        ASSERT_TRUE(db) << error;
        change.apply();
        ASSERT_TRUE(dxf::saveDrawing(*db, dir.file("after.dxf"), error)) << error;
        EXPECT_EQ(readFile(dir.file("after.dxf")), expected);
    }
}

} // namespace
