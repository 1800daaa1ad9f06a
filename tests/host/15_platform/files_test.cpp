// Replacing a file while the system calls fail one by one, as a full disk, a failing disk,
// a read-only or foreign file system make them fail: whatever fails, the old file and the
// old backup are intact, no temporary file is left, and the message names the reason. And
// replacing what the user pointed at: through links, with its owner, never a read-only file
// or a FIFO, under names as long as the folder allows, after a save that was killed.
#include "files.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
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
public:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tev-files-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = (dir_ / "plan.dxf").string();
        backup_ = (dir_ / "plan.bak").string();
        warning_.clear();
        std::ofstream(target_, std::ios::binary) << "old contents\n";
        std::ofstream(backup_, std::ios::binary) << "older backup\n";
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
        warning_ = file.warning();
        return ok;
    }
    const std::string kNew =
        "new contents, piece 0\nnew contents, piece 1\nnew contents, piece 2\n";
    fs::path dir_;
    int held_ = -1;
    std::string target_, backup_, warning_;
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
                    // The backup is the file replaced, or, when it could not be renamed
                    // into place (said in the warning), the old backup as it was.
                    EXPECT_EQ(readFile(backup_),
                              warning_.empty() ? "old contents\n" : "older backup\n")
                        << where << ": " << warning_;
                    EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all,
                              fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read)
                        << where;
                } else {
                    ++failures;
                    EXPECT_EQ(readFile(target_), "old contents\n") << where;
                    EXPECT_EQ(readFile(backup_), "older backup\n") << where;
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
    EXPECT_EQ(readFile(backup_), "older backup\n");
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"plan.bak", "plan.dxf"}));
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
    EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"new.svg", "plan.bak", "plan.dxf"}));
}

// Test that the file replaced is the one the user pointed at, kept as it was where it must
// not be replaced: each case prepares the folder, saves to `saveTo`, and checks it.
TEST_F(Replace, WhatTheUserPointedAt) {
    struct Case {
        const char *name;
        std::function<std::string(Replace &)> prepare; // returns the name saved to
        bool saves;
        std::function<void(Replace &, const std::string &error)> check;
    };
    const std::string longName(251, 'a'); // with ".dxf", as long as a name may be
    const Case cases[] = {
        {"a link is saved through to its target, and stays a link",
         [](Replace &t) {
             fs::create_directories(t.dir_ / "real");
             fs::rename(t.target_, t.dir_ / "real" / "plan.dxf");
             fs::create_symlink("real/plan.dxf", t.target_);
             return t.target_;
         },
         true,
         [this](Replace &t, const std::string &) {
             EXPECT_TRUE(fs::is_symlink(t.target_));
             EXPECT_EQ(readFile(t.dir_ / "real" / "plan.dxf"), kNew);
             EXPECT_EQ(readFile(t.dir_ / "real" / "plan.bak"), "old contents\n");
             EXPECT_EQ(readFile(t.backup_), "older backup\n");
         }},
        {"the owner, group and permissions stay",
         [](Replace &t) {
             if (::geteuid() == 0) {
                 EXPECT_EQ(::chown(t.target_.c_str(), 4321, 4322), 0);
             }
             fs::permissions(t.target_, fs::perms::owner_read | fs::perms::owner_write |
                                            fs::perms::group_read | fs::perms::group_write);
             return t.target_;
         },
         true,
         [](Replace &t, const std::string &) {
             struct stat st {};
             ASSERT_EQ(::stat(t.target_.c_str(), &st), 0);
             if (::geteuid() == 0) {
                 EXPECT_EQ(st.st_uid, 4321u);
                 EXPECT_EQ(st.st_gid, 4322u);
             }
             EXPECT_EQ(st.st_mode & 07777, 0660u);
         }},
        {"a read-only file is not replaced",
         [](Replace &t) {
             fs::permissions(t.target_, fs::perms::owner_read | fs::perms::group_read);
             return t.target_;
         },
         false,
         [](Replace &t, const std::string &error) {
             EXPECT_NE(error.find("read-only"), std::string::npos) << error;
             EXPECT_NE(error.find(t.target_), std::string::npos) << error;
             EXPECT_EQ(readFile(t.target_), "old contents\n");
         }},
        {
            "a FIFO is refused before anything waits on it",
            [](Replace &t) {
                const std::string fifo = (t.dir_ / "pipe.dxf").string();
                EXPECT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
                return fifo;
            },
            false,
            [](Replace &t, const std::string &error) {
                EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
                EXPECT_TRUE(fs::is_fifo(t.dir_ / "pipe.dxf"));
            },
        },
        {"a name as long as the folder allows saves, with its backup",
         [longName](Replace &t) {
             const std::string name = (t.dir_ / (longName + ".dxf")).string();
             std::ofstream(name, std::ios::binary) << "old contents\n";
             t.backup_ = (t.dir_ / (longName + ".bak")).string();
             return name;
         },
         true,
         [this, longName](Replace &t, const std::string &) {
             EXPECT_EQ(readFile(t.dir_ / (longName + ".dxf")), kNew);
             EXPECT_EQ(readFile(t.backup_), "old contents\n");
         }},
        {"what a killed save left is removed; a live save's file is not",
         [](Replace &t) {
             std::ofstream(t.target_ + ".tmp-k1lled", std::ios::binary) << "half";
             const std::string live = t.target_ + ".tmp-al1ve0";
             std::ofstream(live, std::ios::binary) << "being written";
             t.held_ = ::open(live.c_str(), O_RDONLY);
             EXPECT_EQ(::flock(t.held_, LOCK_EX), 0);
             return t.target_;
         },
         true,
         [](Replace &t, const std::string &) {
             (void)::close(t.held_);
             EXPECT_EQ(namesIn(t.dir_),
                       (std::vector<std::string>{"plan.bak", "plan.dxf", "plan.dxf.tmp-al1ve0"}));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const std::string saveTo = c.prepare(*this);
        ReplacementFile file(saveTo);
        // The backup beside the file replaced, as a drawing's is.
        const fs::path backup =
            fs::path(file.target()).parent_path() / fs::path(backup_).filename();
        bool ok = file.ok() && file.write(kNew) && file.commit(backup.string());
        EXPECT_EQ(ok, c.saves) << file.error();
        c.check(*this, file.error());
    }
}

} // namespace
