// dxf_io.cpp - reading files (mapped, binary transcoded) and the atomic save.
#include "dxf_io.h"
#include "progress.h"

#include "binary.h"
#include "drawing_reader.h"
#include "drawing_writer.h"
#include "mapped_file.h"
#include "written_check.h"
#include "dbmain.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dxf {

namespace {

struct MappedSource : SourceBuffer {
    MappedSource(const std::string &path, std::size_t maxBytes) : file(path, maxBytes) {
        text = file.view();
    }
    void doneBefore(std::size_t offset) const override { file.releaseBefore(offset); }
    MappedFile file;
};

struct StringSource : SourceBuffer {
    explicit StringSource(std::string s) : bytes(std::move(s)) { text = bytes; }
    std::string bytes;
};

// A binary file becomes text once; the locator keeps byte offsets for messages.
std::shared_ptr<const SourceBuffer> asText(std::shared_ptr<const SourceBuffer> source,
                                           Locator &where) {
    if (!isBinaryDxf(source->text))
        return source;
    std::vector<std::uint64_t> offsets;
    auto text =
        std::make_shared<StringSource>(transcodeBinary(source->text, where.name(), offsets));
    where.setBinaryOffsets(std::move(offsets));
    return text;
}

std::unique_ptr<AcDbDatabase> readSource(std::shared_ptr<const SourceBuffer> source,
                                         const std::string &name, std::string &error,
                                         const ReadOptions &options) {
    try {
        Locator where(name);
        const std::size_t maxBytes = std::min(options.limits.maxBytes, kMaxFileBytes);
        if (source->text.size() > maxBytes)
            where.fail(0, "the file has " + std::to_string(source->text.size()) +
                              " bytes, more than the limit of " + std::to_string(maxBytes));
        source = asText(std::move(source), where);
        if (source->text.size() > kMaxFileBytes)
            where.fail(0, "the binary file makes " + std::to_string(source->text.size()) +
                              " bytes of text, more than the limit of " +
                              std::to_string(kMaxFileBytes));
        return readDatabase(std::move(source), where, options.limits, options.checkOnly);
    } catch (const DxfError &e) {
        error = e.what();
    } catch (const std::bad_alloc &) {
        error = name + ": out of memory";
    }
    return nullptr;
}

std::string folderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string errnoText(const char *what, const std::string &path) {
    return std::string("cannot save ") + path + ": " + what + ": " + std::strerror(errno);
}

// Writes to a file descriptor, failing with a message on a short write (a full disk).
class FdSink : public ByteSink {
public:
    FdSink(int fd, const std::string &path) : fd_(fd), path_(path) {}
    void write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw DxfError(errnoText("write", path_));
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
            written_ += static_cast<std::size_t>(n);
        }
        if (written_ >= nextProgress_) {
            reportProgress(written_, 0);
            nextProgress_ = written_ + kProgressStep;
        }
    }

private:
    int fd_;
    const std::string &path_;
    std::size_t written_ = 0;
    std::size_t nextProgress_ = kProgressStep;
};

} // namespace

std::unique_ptr<AcDbDatabase> readDrawing(const std::string &path, std::string &error,
                                          const ReadOptions &options) {
    std::shared_ptr<const SourceBuffer> source;
    try {
        source =
            std::make_shared<MappedSource>(path, std::min(options.limits.maxBytes, kMaxFileBytes));
    } catch (const DxfError &e) {
        error = e.what();
        return nullptr;
    }
    return readSource(std::move(source), path, error, options);
}

std::unique_ptr<AcDbDatabase> readDrawingText(std::string text, const std::string &name,
                                              std::string &error, const ReadOptions &options) {
    return readSource(std::make_shared<StringSource>(std::move(text)), name, error, options);
}

bool writeDrawingText(AcDbDatabase &db, std::string &out, std::string &error) {
    try {
        StringSink sink;
        writeDatabase(db, sink);
        out = std::move(sink.text);
        return true;
    } catch (const DxfError &e) {
        error = e.what();
    } catch (const std::bad_alloc &) {
        error = "cannot save: out of memory";
    }
    return false;
}

std::string backupPath(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        std::string ext = path.substr(dot);
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".dxf")
            return path.substr(0, dot) + ".bak";
    }
    return path + ".bak";
}

bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error) {
    const std::string folder = folderOf(path);
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::string("cannot save ") + path + ": cannot make a temporary file in " + folder +
                ": " + std::strerror(errno);
        return false;
    }
    bool ok = false;
    try {
        // mkstemp makes the file private; a saved drawing keeps the target's permissions,
        // or gets the ordinary ones for a new file.
        struct stat target {};
        mode_t mode = 0;
        if (::stat(path.c_str(), &target) == 0) {
            mode = target.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            (void)::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd, mode) != 0)
            throw DxfError(errnoText("set the permissions of", path));
        {
            // What is written is checked as it goes (every tag well-formed, sections
            // closed, EOF last, no handle twice) instead of reading the file back.
            FdSink sink(fd, path);
            WrittenCheck check(sink, "cannot save " + path + ": what was written is faulty");
            writeDatabase(db, check);
            check.finish();
        }
        if (::fsync(fd) != 0)
            throw DxfError(errnoText("fsync", path));
        if (::close(fd) != 0) {
            fd = -1;
            throw DxfError(errnoText("close", path));
        }
        fd = -1;
        // The previous drawing stays as the backup (a hard link, so that the target
        // never goes missing); the rename then replaces the target in one step.
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            const std::string bak = backupPath(path);
            (void)::unlink(bak.c_str()); // an old backup may not exist
            if (::link(path.c_str(), bak.c_str()) != 0)
                throw DxfError(errnoText(("keep the backup " + bak).c_str(), path));
        }
        if (::rename(temp.c_str(), path.c_str()) != 0)
            throw DxfError(errnoText("rename", path));
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir); // the rename is done; a folder that cannot sync loses nothing
            ::close(dir);
        }
        ok = true;
    } catch (const DxfError &e) {
        error = e.what();
    } catch (const std::bad_alloc &) {
        error = "cannot save " + path + ": out of memory";
    }
    if (!ok) {
        if (fd >= 0)
            ::close(fd);
        (void)::unlink(temp.c_str()); // nothing half-written stays behind
    }
    return ok;
}

} // namespace dxf
