// mapped_file_posix.cpp - a file mapped into memory with mmap.
#include "mapped_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::platform {

MappedFile::MappedFile(const std::string &path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw FileError(path + ": cannot open: " + std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(path + ": cannot open: not a regular file");
    }
    if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        throw FileError(path + ": the file has " + std::to_string(st.st_size) +
                        " bytes, more than the limit of " + std::to_string(maxBytes));
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        data_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data_ == MAP_FAILED) {
            const int err = errno;
            data_ = nullptr;
            size_ = 0;
            ::close(fd);
            throw FileError(path + ": cannot read: " + std::strerror(err));
        }
        (void)::madvise(data_, size_, MADV_SEQUENTIAL); // only a hint
    }
    ::close(fd);
}

void MappedFile::releaseBefore(std::size_t offset) const {
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
