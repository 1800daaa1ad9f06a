// mapped_file.h - a whole file as one read-only byte view, memory-mapped so that reading a
// large drawing costs no copy; the view lives as long as the MappedFile.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace host::platform {

// A file that cannot be mapped; what() is the whole message, the path first.
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string &message) : std::runtime_error(message) {}
};

class MappedFile {
public:
    // Maps `path`. Throws FileError ("<path>: cannot open: <reason>") when the file cannot
    // be opened, is not a regular file, or is larger than `maxBytes`.
    MappedFile(const std::string &path, std::size_t maxBytes);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    std::string_view view() const { return {static_cast<const char *>(data_), size_}; }
    // Gives back the resident memory of the whole pages before offset. The mapping is
    // private and read-only, so those pages are read from the file again when touched:
    // the bytes do not change. Large drawings read and written in one pass then hold a few
    // megabytes of the file at a time instead of all of it.
    void releaseBefore(std::size_t offset) const;

private:
    void *data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace host::platform
