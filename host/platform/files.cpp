// files.cpp - replacing a file in one step, over the POSIX file calls (on Windows the C
// runtime's, completed by win/posix_compat_win.cpp), every call through the test seam.
#include "files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/types.h>
#if defined(_WIN32)
#include "posix_compat.h"
#include <io.h>
#else
#include <climits>
#include <sys/file.h>
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

std::string folderOf(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

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
int modeFor(const struct stat *target) {
    if (target != nullptr)
        return target->st_mode & 07777;
    const auto mask = ::umask(0);
    (void)::umask(mask);
    return 0666 & ~mask;
}

// A target nobody may write to (for the superuser too, who may write anyway: no write bit
// at all says the owner meant it to stay as it is).
bool readOnly(const std::string &path, const struct stat &st) {
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLetters = 6;

// Whether name is prefix followed by the random letters of a temporary file.
bool isTemporaryOf(const std::string &name, const std::string &prefix) {
    if (name.size() != prefix.size() + kRandomLetters || name.compare(0, prefix.size(), prefix))
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (std::strchr(kLetters, name[i]) == nullptr || name[i] == '\0')
            return false;
    return true;
}

// Removes the temporary files named prefix + letters that no running save holds: a save
// holds its temporary file locked while it lives, so an unlocked one was left by a save
// that was stopped (killed, or the machine went down). Where files cannot be locked, a file
// in use cannot be removed, which tells the same.
void removeLeftTemporaries(const std::string &prefix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::path(folderOf(prefix));
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = (folder / it->path().filename()).string();
        if (!isTemporaryOf(name, prefix))
            continue;
#if defined(_WIN32)
        (void)std::remove(name.c_str());
#else
        const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            (void)::unlink(name.c_str());
        (void)::close(fd);
#endif
    }
}

std::string randomLetters(std::mt19937 &random) {
    std::string letters;
    for (std::size_t k = 0; k < kRandomLetters; ++k)
        letters += kLetters[random() % (sizeof kLetters - 1)];
    return letters;
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

ReplacementFile::ReplacementFile(std::string target) : target_(resolveLinks(target)) {
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        error_ = "cannot replace " + target_ + ": it is not a regular file";
        return;
    }
    if (exists && readOnly(target_, st)) {
        error_ = "cannot replace " + target_ + ": the file is read-only";
        return;
    }
    const int mode = modeFor(exists ? &st : nullptr);
    prefix_ = besideName(target_, ".tmp-000000");
    prefix_.resize(prefix_.size() - kRandomLetters);
    removeLeftTemporaries(prefix_);
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = prefix_ + randomLetters(random);
        fd_ = sysOpen(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
        if (fd_ < 0 && errno == EEXIST)
            continue;
        if (fd_ < 0)
            break;
#if !defined(_WIN32)
        // Locked while this save lives, so that another one does not take it for a file
        // left behind; one removed as such before it was locked is made again.
        struct stat made {};
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd_, &made) == 0 && made.st_nlink > 0) {
            lockFd_ = ::dup(fd_); // the lock lasts until the last of the two is closed
            break;
        }
        (void)::close(fd_);
        fd_ = -1;
        errno = EEXIST;
#else
        break;
#endif
    }
    if (fd_ < 0) {
        temp_.clear();
        fail("make a temporary file beside", target_);
        return;
    }
#if !defined(_WIN32)
    // The new file belongs to whom the old one did (changing the owner clears the set-id
    // bits, so the permissions come after it).
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        fail("keep the owner and group of", target_);
        return;
    }
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
    if (lockFd_ >= 0)
        (void)::close(lockFd_);
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
    const int out = sysOpen(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
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
    // The target's present contents go to a temporary name first: the old backup is
    // replaced only once the new file is in place.
    std::string kept;
    std::string backupName;
    struct stat st {};
    if (!backup.empty() && ::stat(target_.c_str(), &st) == 0) {
        backupName = besideName(backup, "");
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100 && kept.empty(); ++attempt) {
            const std::string name = prefix_ + randomLetters(random);
            if (sysLink(target_.c_str(), name.c_str()) == 0) {
                kept = name;
            } else if (errno == EEXIST) {
                continue;
            } else if (!linksRefused(errno)) {
                return fail("keep the backup", backupName);
            } else if (copyFile(target_, name, st.st_mode & 07777)) {
                kept = name;
            } else if (errno != EEXIST) {
                return fail("keep the backup (a copy) of", target_);
            }
        }
        if (kept.empty()) {
            errno = EEXIST;
            return fail("keep the backup", backupName);
        }
    }
    if (sysRename(temp_.c_str(), target_.c_str()) != 0) {
        const int reason = errno;
        if (!kept.empty())
            (void)std::remove(kept.c_str());
        errno = reason;
        return fail("replace", target_);
    }
    committed_ = true;
    if (!kept.empty() && sysRename(kept.c_str(), backupName.c_str()) != 0) {
        warning_ = std::string("cannot keep the backup ") + backupName + ": " +
                   std::strerror(errno) + " (the new " + target_ + " is in place)";
        (void)std::remove(kept.c_str());
    }
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

std::string resolveLinks(const std::string &path) {
    namespace fs = std::filesystem;
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec)
            break;
        const fs::path to = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p.string();
}

std::string besideName(const std::string &path, std::string_view suffix) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    std::size_t room = 255;
#if !defined(_WIN32)
    const long max = ::pathconf(folderOf(path).c_str(), _PC_NAME_MAX);
    if (max > 0 && max < 4096)
        room = static_cast<std::size_t>(max);
#endif
    std::string name = path.substr(nameAt);
    if (name.size() + suffix.size() > room && suffix.size() < room) {
        std::size_t cut = room - suffix.size();
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        name.resize(cut);
    }
    return path.substr(0, nameAt) + name + std::string(suffix);
}

bool writable(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !readOnly(path, st);
}

bool identify(const std::string &path, FileIdentity &identity) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.inode = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::uint64_t>(st.st_size);
#if defined(_WIN32)
    identity.modified = static_cast<std::int64_t>(st.st_mtime) * 1000000000;
#else
    identity.modified =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
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

bool replaceFileWith(const std::string &path, const std::string &from, std::string &error) {
    ReplacementFile file(path);
    const int in = file.ok() ? sysOpen(from.c_str(), O_RDONLY) : -1;
    if (file.ok() && in < 0) {
        error = "cannot read " + from + ": " + std::strerror(errno);
        return false;
    }
    bool read = true;
    char buf[1 << 16];
    while (file.ok()) {
        const long n = sysRead(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            read = n == 0;
            break;
        }
        (void)file.write(std::string_view(buf, static_cast<std::size_t>(n))); // ok() tells
    }
    const int reason = errno;
    if (in >= 0)
        (void)::close(in);
    if (!read) {
        error = "cannot read " + from + ": " + std::strerror(reason);
        return false;
    }
    if (!file.commit()) {
        error = file.error();
        return false;
    }
    (void)std::remove(from.c_str()); // in place: what is left of it is only a copy
    return true;
}

} // namespace host::platform
