// files.h - replacing a file in one step: the new contents go to a temporary file beside
// the target, are flushed to the disk, and a rename puts them in its place, so that the
// target is always either the old file or the whole new one. Every writer of the host
// (drawings, pictures, the registry file) replaces files this way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace host::platform {

class ReplacementFile {
public:
    // Makes a new temporary file in target's folder (target itself is not touched). When
    // that fails, ok() is false and error() says why.
    explicit ReplacementFile(std::string target);
    // Removes the temporary file unless commit() put it in place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    bool ok() const { return error_.empty(); }
    // What failed: "cannot <the step> <file>: <the system's reason>".
    const std::string &error() const { return error_; }
    const std::string &target() const { return target_; }
    // The temporary file, complete and readable by name once finish() succeeded.
    const std::string &tempPath() const { return temp_; }

    // Appends bytes. False (and error()) on failure; once failed, every later step fails.
    bool write(std::string_view bytes);
    // Flushes the temporary file to the disk and closes it.
    bool finish();
    // finish() if not yet done; then, when backup is given and the target exists, keeps the
    // target's present contents as backup (a hard link, or a copy where the file system
    // refuses hard links); then renames the temporary file over the target (which keeps the
    // target's permission bits; a new file gets the usual ones) and flushes the folder.
    bool commit(const std::string &backup = {});

private:
    bool fail(const char *step, const std::string &file);

    std::string target_;
    std::string temp_;
    std::string error_;
    int fd_ = -1;
    bool committed_ = false;
    std::uint64_t written_ = 0;       // bytes written so far
    std::uint64_t writebackFrom_ = 0; // where the disk writes not yet asked for begin
};

// Replaces path's contents with data in one step; false with error on failure (the old
// file is then as it was).
bool replaceFile(const std::string &path, std::string_view data, std::string &error);

// The test seam: the Nth call of one kind, counted from when the plan is set, fails with
// the given errno, as a full disk, a failing disk or a file system without hard links would.
// Plans for several kinds add up; clear() ends them all.
namespace faults {
enum class Call { Open, Write, Fsync, Close, Rename, Link, Read };
void failNth(Call call, int n, int err);
// No more failures; counts start again.
void clear();
// How many calls of that kind were made since the plan was set.
int calls(Call call);
} // namespace faults

} // namespace host::platform
