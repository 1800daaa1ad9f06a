// mapped_file_win.cpp - a file mapped into memory on Windows (MapViewOfFile).
#include "mapped_file.h"
#include "system_error_win.h"

#include "windows_api.h"

namespace host::platform {
namespace {

std::string lastError() {
    return windowsErrorText(GetLastError());
}

// Closes a handle when it goes out of scope: the view keeps the mapping alive.
struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

} // namespace

// Others are kept from writing to the file while it is open here (it is shared for reading
// only), so the file itself is mapped whatever options.privateCopy says.
MappedFile::MappedFile(const std::string &path, std::size_t maxBytes, const MapOptions &options) {
    Handle file{CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE)
        throw FileError(path + ": cannot open: " + lastError());
    if (GetFileType(file.h) != FILE_TYPE_DISK)
        throw FileError(path + ": cannot open: not a regular file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.h, &size))
        throw FileError(path + ": cannot open: " + lastError());
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        throw FileError(path + ": the file has " + std::to_string(size.QuadPart) +
                        " bytes, more than the limit of " + std::to_string(maxBytes));
    size_ = static_cast<std::size_t>(size.QuadPart);
    identity_.size = size_;
    if (size_ == 0) {
        if (options.checkHead)
            options.checkHead({}, true);
        return; // an empty file cannot be mapped; its view is empty
    }
    Handle mapping{CreateFileMappingA(file.h, nullptr, PAGE_READONLY, 0, 0, nullptr)};
    if (mapping.h == nullptr) {
        size_ = 0;
        throw FileError(path + ": cannot read: " + lastError());
    }
    data_ = MapViewOfFile(mapping.h, FILE_MAP_READ, 0, 0, 0);
    if (data_ == nullptr) {
        size_ = 0;
        throw FileError(path + ": cannot read: " + lastError());
    }
    if (options.checkHead) {
        const std::size_t head = size_ < options.headBytes ? size_ : options.headBytes;
        try {
            options.checkHead({static_cast<const char *>(data_), head}, head == size_);
        } catch (...) {
            UnmapViewOfFile(data_);
            data_ = nullptr;
            size_ = 0;
            throw;
        }
    }
}

void MappedFile::releaseBefore(std::size_t offset) const {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t end = (offset < size_ ? offset : size_) / page * page;
    // Unlocking pages that are not locked takes them out of the working set (it reports
    // ERROR_NOT_LOCKED, which is what is expected here): the view reads them from the file
    // again when they are touched. Only memory: a failure changes nothing.
    if (data_ != nullptr && end > 0)
        (void)VirtualUnlock(data_, end);
}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        UnmapViewOfFile(data_);
}

} // namespace host::platform
