// files.cpp - replacing a file in one step, over the POSIX file calls (on Windows the C
// runtime's, completed by win/posix_compat_win.cpp), every call through the test seam.
#include "files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/types.h>
#if defined(_WIN32)
#include "posix_compat.h"
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

namespace host::platform {

namespace faults {
namespace {

constexpr int kCalls = 7;

struct Plan {
    std::atomic<int> failAt[kCalls]{};
    std::atomic<int> err[kCalls]{};
    std::atomic<int> count[kCalls]{};
};

Plan &plan() {
    static Plan p;
    return p;
}

} // namespace

void failNth(Call call, int n, int err) {
    plan().failAt[static_cast<int>(call)] = n;
    plan().err[static_cast<int>(call)] = err;
}

void clear() {
    for (int i = 0; i < kCalls; ++i) {
        plan().failAt[i] = 0;
        plan().count[i] = 0;
    }
}

int calls(Call call) {
    return plan().count[static_cast<int>(call)];
}

// True (with errno set) when this call is the one planned to fail.
bool injected(Call call) {
    const int i = static_cast<int>(call);
    const int n = ++plan().count[i];
    if (plan().failAt[i] != 0 && n == plan().failAt[i]) {
        errno = plan().err[i];
        return true;
    }
    return false;
}

} // namespace faults

namespace {

using faults::Call;
using faults::injected;

int sysOpen(const char *path, int flags, int mode = 0) {
    if (injected(Call::Open))
        return -1;
    return ::open(path, flags | O_BINARY | O_CLOEXEC, mode);
}

long sysWrite(int fd, const char *data, std::size_t size) {
    if (injected(Call::Write))
        return -1;
    return ::write(fd, data, static_cast<unsigned>(size));
}

long sysRead(int fd, char *data, std::size_t size) {
    if (injected(Call::Read))
        return -1;
    return ::read(fd, data, static_cast<unsigned>(size));
}

int sysFsync(int fd) {
    if (injected(Call::Fsync))
        return -1;
    return ::fsync(fd);
}

int sysClose(int fd) {
    if (injected(Call::Close)) {
        const int saved = errno;
        (void)::close(fd); // the descriptor is gone whatever close says
        errno = saved;
        return -1;
    }
    return ::close(fd);
}

int sysRename(const char *from, const char *to) {
    if (injected(Call::Rename))
        return -1;
    return std::rename(from, to);
}

int sysLink(const char *existing, const char *newName) {
    if (injected(Call::Link))
        return -1;
    return ::link(existing, newName);
}

#if !defined(_WIN32)
std::string folderOf(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}
#endif

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long n = sysWrite(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The permission bits the new file gets: the target's, or the usual ones of a new file.
int modeFor(const std::string &target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const auto mask = ::umask(0);
    (void)::umask(mask);
    return 0666 & ~mask;
}

// Hard links refused by the file system (FAT, exFAT, many network shares) or across
// devices: the backup is made by copying instead.
bool linksRefused(int err) {
    return err == EPERM || err == EXDEV || err == EMLINK || err == ENOSYS || err == EACCES
#ifdef EOPNOTSUPP
           || err == EOPNOTSUPP
#endif
#ifdef ENOTSUP
           || err == ENOTSUP
#endif
        ;
}

} // namespace

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    const int mode = modeFor(target_);
    std::random_device seed;
    std::mt19937 random(seed());
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = target_ + ".tmp-";
        for (int k = 0; k < 6; ++k)
            temp_ += kLetters[random() % (sizeof kLetters - 1)];
        fd_ = sysOpen(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const std::string tried = temp_;
        temp_.clear();
        fail("make a temporary file", tried);
        return;
    }
#if !defined(_WIN32)
    // open() applied the umask: the exact bits of the file replaced.
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0)
        fail("set the permissions of", temp_);
#endif
}

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0)
        (void)::close(fd_);
    if (!committed_ && !temp_.empty())
        (void)std::remove(temp_.c_str()); // nothing half-written stays behind
}

bool ReplacementFile::fail(const char *step, const std::string &file) {
    if (error_.empty())
        error_ = std::string("cannot ") + step + " " + file + ": " + std::strerror(errno);
    return false;
}

namespace {

// Every this many bytes written, the system is asked to start putting them on the disk, so
// that a large file is mostly there when finish() waits for it.
constexpr std::uint64_t kWritebackStep = std::uint64_t{16} << 20;

// Starts writing [from, from + size) of fd to the disk without waiting for it (only a hint:
// where the system has no such call, finish() alone does it).
void startWriteback(int fd, std::uint64_t from, std::uint64_t size) {
#if defined(__linux__)
    (void)::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(size),
                            SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)from, (void)size;
#endif
}

} // namespace

bool ReplacementFile::write(std::string_view bytes) {
    if (!ok())
        return false;
    if (fd_ < 0) {
        errno = EBADF;
        return fail("write", temp_);
    }
    if (!writeAll(fd_, bytes))
        return fail("write", temp_);
    written_ += bytes.size();
    if (written_ - writebackFrom_ >= kWritebackStep) {
        startWriteback(fd_, writebackFrom_, written_ - writebackFrom_);
        writebackFrom_ = written_;
    }
    return true;
}

bool ReplacementFile::finish() {
    if (!ok())
        return false;
    if (fd_ < 0)
        return true;
    if (sysFsync(fd_) != 0)
        return fail("flush to the disk", temp_);
    const int fd = fd_;
    fd_ = -1;
    if (sysClose(fd) != 0)
        return fail("close", temp_);
    return true;
}

namespace {

// Copies from to to (made anew), flushed; false with errno set.
bool copyFile(const std::string &from, const std::string &to, int mode) {
    const int in = sysOpen(from.c_str(), O_RDONLY);
    if (in < 0)
        return false;
    const int out = sysOpen(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    bool ok = out >= 0;
    char buf[1 << 16];
    while (ok) {
        const long n = sysRead(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(out, std::string_view(buf, static_cast<std::size_t>(n)));
    }
    ok = ok && sysFsync(out) == 0;
    int reason = errno;
    if (out >= 0 && sysClose(out) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    (void)::close(in);
    if (!ok && out >= 0)
        (void)std::remove(to.c_str()); // no half backup
    errno = reason;
    return ok;
}

} // namespace

bool ReplacementFile::commit(const std::string &backup) {
    if (!finish())
        return false;
    struct stat st {};
    if (!backup.empty() && ::stat(target_.c_str(), &st) == 0) {
        (void)std::remove(backup.c_str()); // an old backup may not exist
        if (sysLink(target_.c_str(), backup.c_str()) != 0) {
            if (!linksRefused(errno))
                return fail("keep the backup", backup);
            if (!copyFile(target_, backup, st.st_mode & 07777))
                return fail("keep the backup (a copy)", backup);
        }
    }
    if (sysRename(temp_.c_str(), target_.c_str()) != 0)
        return fail("rename the temporary file over", target_);
    committed_ = true;
#if !defined(_WIN32) // on Windows the replacing rename writes the move through itself
    // The rename is done: a folder that cannot be flushed loses nothing already written.
    const int dir = sysOpen(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        (void)sysFsync(dir);
        (void)sysClose(dir);
    }
#endif
    return true;
}

bool replaceFile(const std::string &path, std::string_view data, std::string &error) {
    ReplacementFile file(path);
    if (file.write(data) && file.commit())
        return true;
    error = file.error();
    return false;
}

} // namespace host::platform
