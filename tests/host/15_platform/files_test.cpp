// Replacing a file while the system calls fail one by one, as a full disk, a failing disk,
// a read-only or foreign file system make them fail: whatever fails, the old file is intact,
// no temporary file is left, and the message names the reason.
#include "files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using host::platform::ReplacementFile;
namespace faults = host::platform::faults;
using Call = faults::Call;

std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> namesIn(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Replace : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tev-files-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = (dir_ / "plan.dxf").string();
        backup_ = (dir_ / "plan.bak").string();
        std::ofstream(target_, std::ios::binary) << "old contents\n";
        fs::permissions(target_,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    void TearDown() override {
        faults::clear();
        fs::remove_all(dir_);
    }
    // Replaces the target with a backup, as a drawing is saved; the new contents are
    // written in several pieces.
    bool save(std::string &error) {
        ReplacementFile file(target_);
        bool ok = file.ok();
        for (int i = 0; ok && i < 3; ++i)
            ok = file.write("new contents, piece " + std::to_string(i) + "\n");
        ok = ok && file.commit(backup_);
        error = file.error();
        return ok;
    }
    const std::string kNew =
        "new contents, piece 0\nnew contents, piece 1\nnew contents, piece 2\n";
    fs::path dir_;
    std::string target_, backup_;
};

// Test every call of every kind failing with each of the errors a disk or file system
// gives: a save that fails leaves the old file and no temporary one and names the reason;
// a save that succeeds despite the fault (a folder that cannot be flushed, links refused)
// has put the whole new file in place with its permissions.
TEST_F(Replace, EveryFailingCallLeavesTheOldFileOrTheWholeNewOne) {
    const Call kinds[] = {Call::Open,   Call::Write, Call::Fsync, Call::Close,
                          Call::Rename, Call::Link,  Call::Read};
    const int errors[] = {ENOSPC, EIO, EPERM, EXDEV};
    int failures = 0;
    for (Call call : kinds) {
        for (int err : errors) {
            for (int n = 1;; ++n) {
                SetUp();
                faults::clear();
                faults::failNth(call, n, err);
                std::string error;
                const bool ok = save(error);
                const bool fired = faults::calls(call) >= n;
                faults::clear();
                const std::string where = "call " + std::to_string(static_cast<int>(call)) + " #" +
                                          std::to_string(n) + " errno " + std::to_string(err);
                if (ok) {
                    EXPECT_EQ(readFile(target_), kNew) << where;
                    EXPECT_EQ(readFile(backup_), "old contents\n") << where;
                    EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all,
                              fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read)
                        << where;
                } else {
                    ++failures;
                    EXPECT_EQ(readFile(target_), "old contents\n") << where;
                    EXPECT_NE(error.find(std::strerror(err)), std::string::npos)
                        << where << ": " << error;
                }
                const std::vector<std::string> names = namesIn(dir_);
                for (const std::string &name : names)
                    EXPECT_EQ(name.find(".tmp"), std::string::npos) << where << ": " << name;
                if (!fired)
                    break;
            }
        }
    }
    EXPECT_GT(failures, 20); // the faults did reach the save
}

// Test a file system that refuses hard links: the backup is a copy, and the save succeeds.
TEST_F(Replace, BackupIsCopiedWhereLinksAreRefused) {
    for (int err : {EPERM, EXDEV}) {
        SetUp();
        faults::clear();
        faults::failNth(Call::Link, 1, err);
        std::string error;
        ASSERT_TRUE(save(error)) << error;
        EXPECT_EQ(readFile(target_), kNew);
        EXPECT_EQ(readFile(backup_), "old contents\n");
        struct stat a {
        }, b{};
        ASSERT_EQ(::stat(target_.c_str(), &a), 0);
        ASSERT_EQ(::stat(backup_.c_str(), &b), 0);
        EXPECT_NE(a.st_ino, b.st_ino);
    }
    // The copy itself failing (a full disk on its first write): the save fails whole.
    SetUp();
    faults::clear();
    faults::failNth(Call::Link, 1, EPERM);
    faults::failNth(Call::Write, 4, ENOSPC);
    std::string error;
    EXPECT_FALSE(save(error));
    EXPECT_NE(error.find("backup"), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
    EXPECT_EQ(readFile(target_), "old contents\n");
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"plan.dxf"}));
}

// Test that a new file gets the usual permissions, and that nothing happens to a target
// until commit: a ReplacementFile dropped unfinished leaves the folder as it was.
TEST_F(Replace, NewFileAndAbandonedReplacement) {
    const std::string fresh = (dir_ / "new.svg").string();
    std::string error;
    ASSERT_TRUE(host::platform::replaceFile(fresh, "<svg/>", error)) << error;
    EXPECT_EQ(readFile(fresh), "<svg/>");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(fresh).permissions() & fs::perms::all), 0666 & ~mask);
    {
        ReplacementFile file(target_);
        ASSERT_TRUE(file.write("half"));
    }
    EXPECT_EQ(readFile(target_), "old contents\n");
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"new.svg", "plan.dxf"}));
}

} // namespace
