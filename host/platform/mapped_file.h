// mapped_file.h - a whole file as one read-only byte view, memory-mapped so that reading a
// large drawing costs no copy; the view lives as long as the MappedFile.
#pragma once

#include "files.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace host::platform {

// A file that cannot be mapped; what() is the whole message, the path first.
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string &message) : std::runtime_error(message) {}
};

struct MapOptions {
    // Looks at the file's first bytes (up to headBytes; whole says they are all of it)
    // before anything more is read, and throws FileError to refuse the file.
    std::function<void(std::string_view head, bool whole)> checkHead;
    std::size_t headBytes = 4096;
    // The view is of a copy no other program can change or shorten: a file beside it that
    // has no name (where the file system has none, one in the temporary folder, else memory
    // of the process's own). Where the system keeps others from writing to a file that is
    // mapped, the file itself is mapped.
    bool privateCopy = false;
};

class MappedFile {
public:
    // Maps `path`. Throws FileError ("<path>: cannot open: <reason>") when the file cannot
    // be opened, is not a regular file (a FIFO or a device is refused before it is opened,
    // so nothing waits for a writer), is larger than `maxBytes`, or changed while it was
    // copied.
    MappedFile(const std::string &path, std::size_t maxBytes, const MapOptions &options = {});
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    std::string_view view() const { return {static_cast<const char *>(data_), size_}; }
    // Gives back the resident memory of the whole pages before offset. The mapping is
    // private and read-only, so those pages are read from the file again when touched:
    // the bytes do not change. Large drawings read and written in one pass then hold a few
    // megabytes of the file at a time instead of all of it.
    void releaseBefore(std::size_t offset) const;
    // The file that was read, as it was when read.
    const FileIdentity &identity() const { return identity_; }

private:
    FileIdentity identity_;
    bool anonymous_ = false; // memory of the process's own: nothing to give back
    void *data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace host::platform
