// mapped_file_posix.cpp - a file mapped into memory with mmap. Another program may rewrite
// or shorten a file while it is mapped (a page of a shortened file that is touched ends the
// process), so a private copy is what gets mapped when asked: a file with no name beside
// the original, made by the kernel (shared blocks where the file system can, else a copy
// that never passes through this process), mapped as the original was.
#include "mapped_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::platform {

namespace {

// Closes a descriptor however the constructor leaves.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            (void)::close(fd);
    }
};

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string folderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Copies size bytes of in to out from the start: in the kernel where it can, else through a
// buffer. False with errno set; a file that ends early is ESTALE.
bool copyAll(int in, int out, std::size_t size) {
    off_t from = 0, to = 0;
    bool kernel = true;
    static thread_local char buffer[1 << 16];
    while (static_cast<std::size_t>(from) < size) {
        const std::size_t want = size - static_cast<std::size_t>(from);
        long n = -1;
        if (kernel) {
            n = ::copy_file_range(in, &from, out, &to, want, 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                          errno == EOPNOTSUPP || errno == EBADF)) {
                kernel = false;
                continue;
            }
        } else {
            n = ::pread(in, buffer, std::min(want, sizeof buffer), from);
            for (long done = 0; n > 0 && done < n;) {
                const long w =
                    ::pwrite(out, buffer + done, static_cast<std::size_t>(n - done), to + done);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    if (w == 0)
                        errno = ENOSPC;
                    return false;
                }
                done += w;
            }
            if (n > 0) {
                from += n;
                to += n;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ESTALE; // shortened under us
            return false;
        }
    }
    return true;
}

// A file with no name for the copy: beside the original (the same file system, so the
// kernel may share its blocks), else in the temporary folder. -1 when neither can be made.
int namelessFile(const std::string &path) {
    const char *tmp = std::getenv("TMPDIR");
    for (const std::string &folder :
         {folderOf(path), std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp")}) {
#ifdef O_TMPFILE
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0)
            return fd;
#else
        (void)folder;
#endif
    }
    return -1;
}

} // namespace

MappedFile::MappedFile(const std::string &path, std::size_t maxBytes, const MapOptions &options) {
    // A FIFO or a device is refused by its name, before an open that could wait for a
    // writer or start a device; the open does not wait either, should it be one by then.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0)
        throw FileError(path + ": cannot open: " + std::strerror(errno));
    if (!S_ISREG(named.st_mode))
        throw FileError(path + ": cannot open: " + kindOf(named.st_mode));
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        throw FileError(path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        throw FileError(path + ": cannot open: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw FileError(path + ": cannot open: " + kindOf(st.st_mode));
    if (static_cast<std::size_t>(st.st_size) > maxBytes)
        throw FileError(path + ": the file has " + std::to_string(st.st_size) +
                        " bytes, more than the limit of " + std::to_string(maxBytes));
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    identity_.device = static_cast<std::uint64_t>(st.st_dev);
    identity_.inode = static_cast<std::uint64_t>(st.st_ino);
    identity_.size = size;
    identity_.modified =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;

    if (options.checkHead) {
        std::string head(std::min(size, options.headBytes), '\0');
        std::size_t got = 0;
        while (got < head.size()) {
            const long n =
                ::pread(file.fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw FileError(path + ": cannot read: " + std::strerror(errno));
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        head.resize(got);
        options.checkHead(head, got == size);
    }
    if (size == 0)
        return;

    int mapFrom = file.fd;
    Fd copy;
    if (options.privateCopy) {
        copy.fd = namelessFile(path);
        if (copy.fd >= 0 && !copyAll(file.fd, copy.fd, size)) {
            if (errno == ESTALE)
                throw FileError(path + ": cannot read: the file was shortened while it was read");
            (void)::close(copy.fd); // a full disk: memory of our own instead
            copy.fd = -1;
        }
        if (copy.fd < 0) {
            data_ =
                ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (data_ == MAP_FAILED) {
                data_ = nullptr;
                throw FileError(path + ": cannot read: " + std::strerror(ENOMEM));
            }
            size_ = size;
            anonymous_ = true;
            for (std::size_t got = 0; got < size;) {
                const long n = ::pread(file.fd, static_cast<char *>(data_) + got, size - got,
                                       static_cast<off_t>(got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    const int reason = errno;
                    ::munmap(data_, size);
                    data_ = nullptr;
                    size_ = 0;
                    errno = reason;
                    throw FileError(path + ": cannot read: " +
                                    (n == 0
                                         ? std::string("the file was shortened while it was read")
                                         : std::string(std::strerror(errno))));
                }
                got += static_cast<std::size_t>(n);
            }
            (void)::mprotect(data_, size, PROT_READ);
        }
        struct stat after {};
        if (::fstat(file.fd, &after) != 0 || !sameFile(st, after)) {
            if (anonymous_) {
                ::munmap(data_, size);
                data_ = nullptr;
                size_ = 0;
            }
            throw FileError(path + ": cannot read: the file changed while it was read");
        }
        if (anonymous_)
            return;
        mapFrom = copy.fd;
    }
    data_ = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, mapFrom, 0);
    if (data_ == MAP_FAILED) {
        data_ = nullptr;
        throw FileError(path + ": cannot read: " + std::strerror(errno));
    }
    size_ = size;
    (void)::madvise(data_, size_, MADV_SEQUENTIAL); // only a hint
}

void MappedFile::releaseBefore(std::size_t offset) const {
    if (anonymous_)
        return; // the only copy there is
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = std::min(offset, size_) / page * page;
    if (data_ != nullptr && end > 0)
        (void)::madvise(data_, end, MADV_DONTNEED); // only memory: a failure changes nothing
}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        ::munmap(data_, size_);
}

} // namespace host::platform
