// files.h - replacing a file in one step: the new contents go to a temporary file beside
// the target, are flushed to the disk, and a rename puts them in its place, so that the
// target is always either the old file or the whole new one. Every writer of the host
// (drawings, pictures, the registry file) replaces files this way.
//
// What is replaced is the file the user pointed at: a symbolic link is followed to its
// target (the link stays a link), the target's owner, group and permission bits are kept,
// and a read-only target, or one that is not a regular file, is refused untouched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace host::platform {

class ReplacementFile {
public:
    // Makes a new temporary file in the folder of target (its link target, when target is a
    // symbolic link; target itself is not touched), first removing the temporary files of
    // this target that a save which was stopped left behind. When that fails, or target is
    // read-only or not a regular file, ok() is false and error() says why.
    explicit ReplacementFile(std::string target);
    // Removes the temporary file unless commit() put it in place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    bool ok() const { return error_.empty(); }
    // What failed: "cannot <the step> <file>: <the system's reason>".
    const std::string &error() const { return error_; }
    // The file replaced: the target named, its symbolic links followed.
    const std::string &target() const { return target_; }
    // After a commit that put the new file in place but could not keep the backup: why.
    const std::string &warning() const { return warning_; }
    // The temporary file, complete and readable by name once finish() succeeded.
    const std::string &tempPath() const { return temp_; }

    // Appends bytes. False (and error()) on failure; once failed, every later step fails.
    bool write(std::string_view bytes);
    // Flushes the temporary file to the disk and closes it.
    bool finish();
    // finish() if not yet done; then, when backup is given and the target exists, keeps the
    // target's present contents under a temporary name beside backup (a hard link, or a copy
    // where the file system refuses hard links); renames the temporary file over the target
    // (a new file gets the usual permissions) and only then the kept contents over backup,
    // so that whatever fails, the old backup is still there. Flushes the folder. A backup
    // that cannot be renamed into place after the target was replaced is not a failure:
    // warning() says so.
    bool commit(const std::string &backup = {});

private:
    bool fail(const char *step, const std::string &file);

    std::string target_;
    std::string prefix_; // the temporary files' names before their random letters
    std::string temp_;
    std::string error_;
    std::string warning_;
    int fd_ = -1;
    int lockFd_ = -1; // holds the temporary file's lock until it is renamed or removed
    bool committed_ = false;
    std::uint64_t written_ = 0;       // bytes written so far
    std::uint64_t writebackFrom_ = 0; // where the disk writes not yet asked for begin
};

// The file path names, its symbolic links followed to the end; a link to a file that does
// not exist yet names that file. path itself when it is not a link.
std::string resolveLinks(const std::string &path);

// A name in path's folder: path's file name followed by suffix, the file name shortened (at
// a character boundary) where the folder allows no name that long.
std::string besideName(const std::string &path, std::string_view suffix);

// Whether the file at path may be replaced: it is a regular file that can be written (for
// the superuser too, it has a write permission bit).
bool writable(const std::string &path);

// What says that a file is still the one read: the device and file it is, its size and the
// time it was last written.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    bool operator==(const FileIdentity &) const = default;
};
// False when path cannot be looked at (errno says why).
bool identify(const std::string &path, FileIdentity &identity);

// Replaces path's contents with data in one step; false with error on failure (the old
// file is then as it was).
bool replaceFile(const std::string &path, std::string_view data, std::string &error);
// Replaces path's contents with those of the complete file from, in the same way (links
// followed, owner and permissions kept, flushed), then removes from. False with error on
// failure: path is then as it was, and from is left.
bool replaceFileWith(const std::string &path, const std::string &from, std::string &error);

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
