// dxf_io.cpp - reading files (mapped, binary transcoded) and the atomic save.
#include "dxf_io.h"
#include "progress.h"

#include "background_sink.h"
#include "binary.h"
#include "drawing_reader.h"
#include "drawing_writer.h"
#include "written_check.h"
#include "dbmain.h"

#include "files.h"
#include "mapped_file.h"
#include "text_util.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace dxf {

namespace {

struct MappedSource : SourceBuffer {
    MappedSource(const std::string &path, std::size_t maxBytes) : file(map(path, maxBytes)) {
        text = file->view();
    }
    void doneBefore(std::size_t offset) const override { file->releaseBefore(offset); }

    static std::unique_ptr<host::platform::MappedFile> map(const std::string &path,
                                                           std::size_t maxBytes) {
        host::platform::MapOptions options;
        options.privateCopy = true;
        options.checkHead = [&path](std::string_view head, bool whole) {
            checkDxfHead(head, whole, path);
        };
        try {
            return std::make_unique<host::platform::MappedFile>(path, maxBytes, options);
        } catch (const host::platform::FileError &e) {
            throw DxfError(e.what());
        }
    }
    std::unique_ptr<host::platform::MappedFile> file;
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

// What is amiss with the line ends of `text`, eight bytes at a time, as every read of a file
// with a CR in it pays for it: a line that ends otherwise than `crlf` says (LF where CRLF, or
// CRLF where LF), a CR that ends no line (one before neither an LF nor a NUL, nor the file's
// last byte), and a CR before a NUL.
struct LineEndFaults {
    bool differ = false;
    bool loneCr = false;
    bool crNul = false;
};

// What a CR at p[i] is: 0 a line end (before an LF, or the last byte), 1 before a NUL, 2 one
// within a line.
int crKind(const char *p, std::size_t i, std::size_t n) {
    if (i + 1 == n || p[i + 1] == '\n')
        return 0;
    return p[i + 1] == '\0' ? 1 : 2;
}

LineEndFaults lineEndFaults(std::string_view text, bool crlf) {
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7FULL, kOnes = 0x0101010101010101ULL;
    // The top bit of each byte of w that equals c, exactly.
    const auto equal = [](std::uint64_t w, unsigned char c) {
        const std::uint64_t x = w ^ (kOnes * c);
        return ~(((x & kLow) + kLow) | x | kLow);
    };
    const char *p = text.data();
    const std::size_t n = text.size();
    LineEndFaults found;
    std::uint64_t before = 0; // the byte before the word, in the top byte
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 9 <= n && !(found.differ && found.loneCr && found.crNul); i += 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, p + i, 8);
            // Byte k of shifted is byte k - 1 of the text, byte k of ahead byte k + 1.
            const std::uint64_t shifted = (w << 8) | (before >> 56);
            const std::uint64_t ahead =
                (w >> 8) | (std::uint64_t{static_cast<unsigned char>(p[i + 8])} << 56);
            const std::uint64_t lf = equal(w, '\n'), crBefore = equal(shifted, '\r');
            const std::uint64_t cr = equal(w, '\r'), nulAhead = equal(ahead, '\0');
            found.differ = found.differ || (crlf ? lf & ~crBefore : lf & crBefore) != 0;
            found.loneCr = found.loneCr || (cr & ~equal(ahead, '\n') & ~nulAhead) != 0;
            found.crNul = found.crNul || (cr & nulAhead) != 0;
            before = w;
        }
    }
    for (; i < n; ++i) {
        if (p[i] == '\n' && (i > 0 && p[i - 1] == '\r') != crlf)
            found.differ = true;
        if (p[i] == '\r') {
            const int kind = crKind(p, i, n);
            found.loneCr = found.loneCr || kind == 2;
            found.crNul = found.crNul || kind == 1;
        }
    }
    return found;
}

// A file whose lines end in CR alone (old Mac files) becomes one with LF line ends; a CR
// before an LF stays. A file whose lines end in LF and CRLF mixed becomes one whose lines
// all end as its first does: a save copies lines as read, and a file's lines end one way. A
// CR within a line (no line end) is read as the text ^M, as a binary file's is, and one
// before a NUL (which ends a name or a text, and a CR there with it) is left out: no line of
// a file holds one.
std::shared_ptr<const SourceBuffer> withLineFeeds(std::shared_ptr<const SourceBuffer> source,
                                                  const Locator &where) {
    const std::string_view text = source->text;
    const std::size_t first = text.find_first_of("\r\n");
    if (first == std::string_view::npos)
        return source;
    const bool crlf = text[first] == '\r' && first + 1 < text.size() && text[first + 1] == '\n';
    if (text[first] == '\r' && !crlf) {
        where.repair(1, "lines end in CR alone (an old Mac file)", "read as line ends");
        std::string copy(text);
        for (std::size_t i = 0; i < copy.size(); ++i)
            if (copy[i] == '\r' && (i + 1 == copy.size() || copy[i + 1] != '\n'))
                copy[i] = '\n';
        return std::make_shared<StringSource>(std::move(copy));
    }
    // Most files end their lines in LF and hold no CR at all.
    if (!crlf && std::memchr(text.data() + first, '\r', text.size() - first) == nullptr)
        return source;
    const char *const p = text.data();
    const std::size_t n = text.size();
    const LineEndFaults faults = lineEndFaults(text, crlf);
    if (!faults.differ && !faults.loneCr && !faults.crNul)
        return source;
    // The first line of each fault, for the notes.
    std::uint32_t line = 1, differLine = 0, loneLine = 0, nulLine = 0;
    for (std::size_t i = 0;
         i < n && ((faults.differ && differLine == 0) || (faults.loneCr && loneLine == 0) ||
                   (faults.crNul && nulLine == 0));
         ++i) {
        if (p[i] == '\r') {
            const int kind = crKind(p, i, n);
            if (kind == 2 && loneLine == 0)
                loneLine = line;
            if (kind == 1 && nulLine == 0)
                nulLine = line;
        }
        if (p[i] == '\n') {
            if ((i > 0 && p[i - 1] == '\r') != crlf && differLine == 0)
                differLine = line;
            ++line;
        }
    }
    if (faults.differ)
        where.repair(differLine, std::string("lines end in LF and CRLF mixed"),
                     crlf ? "all read as ending in CRLF" : "all read as ending in LF");
    if (faults.loneCr)
        where.repair(loneLine, "a carriage return within a line", "read as the text ^M");
    if (faults.crNul)
        where.note(nulLine, "a carriage return before a NUL", "left out");
    std::string copy;
    copy.reserve(crlf ? n + n / 8 : n + 16);
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == '\r') {
            const int kind = crKind(p, i, n);
            if (kind == 1)
                continue;
            if (kind == 2) {
                copy += "^M";
                continue;
            }
        }
        if (p[i] == '\n') {
            const bool hasCr = !copy.empty() && copy.back() == '\r' && i > 0 && p[i - 1] == '\r';
            if (crlf && !hasCr)
                copy += '\r';
            else if (!crlf && hasCr)
                copy.pop_back();
        }
        copy += p[i];
    }
    return std::make_shared<StringSource>(std::move(copy));
}

std::unique_ptr<AcDbDatabase> readSource(std::shared_ptr<const SourceBuffer> source,
                                         const std::string &name, std::string &error,
                                         const ReadOptions &options) {
    Locator where(name);
    where.allowRepairs(options.repairs != nullptr);
    try {
        const std::size_t maxBytes = std::min(options.limits.maxBytes, kMaxFileBytes);
        if (source->text.size() > maxBytes)
            where.fail(0, "the file has " + std::to_string(source->text.size()) +
                              " bytes, more than the limit of " + std::to_string(maxBytes));
        source = asText(std::move(source), where);
        if (source->text.size() > kMaxFileBytes)
            where.fail(0, "the binary file makes " + std::to_string(source->text.size()) +
                              " bytes of text, more than the limit of " +
                              std::to_string(kMaxFileBytes));
        source = withLineFeeds(std::move(source), where);
        auto db = readDatabase(std::move(source), where, options.limits, options.checkOnly);
        if (options.repairs != nullptr)
            *options.repairs = where.repairs();
        return db;
    } catch (const DxfError &e) {
        error = e.what();
    } catch (const std::bad_alloc &) {
        error = name + ": out of memory";
    }
    return nullptr;
}

// Writes into the file that replaces the drawing, failing with a message on a short write
// (a full disk).
class ReplacementSink : public ByteSink {
public:
    ReplacementSink(host::platform::ReplacementFile &file, const std::string &path)
        : file_(file), path_(path) {}
    void write(std::string_view bytes) override {
        if (!file_.write(bytes))
            throw DxfError("cannot save " + path_ + ": " + file_.error());
        written_ += bytes.size();
        if (written_ >= nextProgress_) {
            reportProgress(written_, 0);
            nextProgress_ = written_ + kProgressStep;
        }
    }

private:
    host::platform::ReplacementFile &file_;
    const std::string &path_;
    std::size_t written_ = 0;
    std::size_t nextProgress_ = kProgressStep;
};

// A group code line: blanks around at most five digits after an optional minus.
bool isCodeLine(std::string_view line, int &code) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    const bool negative = !line.empty() && line.front() == '-';
    if (negative)
        line.remove_prefix(1);
    if (line.empty() || line.size() > 5)
        return false;
    code = 0;
    for (char c : line) {
        if (c < '0' || c > '9')
            return false;
        code = code * 10 + (c - '0');
    }
    return true;
}

// The next line of head from at: false when it does not end within head.
bool nextLine(std::string_view head, std::size_t &at, std::string_view &line) {
    const std::size_t end = head.find_first_of("\r\n", at);
    if (end == std::string_view::npos)
        return false;
    line = head.substr(at, end - at);
    at = end + (head.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    return true;
}

} // namespace

void checkDxfHead(std::string_view head, bool whole, const std::string &name) {
    if (isBinaryDxf(head))
        return;
    std::size_t at = head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    // Comments (999) may come first; the first other group decides, and the reader
    // says the rest. A head that ends within a line is all right when it is the whole
    // file (the reader then names what is missing) or when a comment runs past it.
    for (bool comments = false;; comments = true) {
        std::string_view codeLine, value;
        int code = 0;
        if (!nextLine(head, at, codeLine)) {
            if (whole || comments)
                return;
            break;
        }
        if (!isCodeLine(codeLine, code))
            break;
        if (!nextLine(head, at, value) || code != 999)
            return;
    }
    Locator(name).fail(1, "not a DXF file (it does not start with group code lines)");
}

std::unique_ptr<AcDbDatabase> readDrawing(const std::string &path, std::string &error,
                                          const ReadOptions &options) {
    std::shared_ptr<const SourceBuffer> source;
    try {
        auto mapped =
            std::make_shared<MappedSource>(path, std::min(options.limits.maxBytes, kMaxFileBytes));
        if (options.identity != nullptr)
            *options.identity = mapped->file->identity();
        source = std::move(mapped);
    } catch (const DxfError &e) {
        error = e.what();
        return nullptr;
    } catch (const std::bad_alloc &) {
        error = path + ": out of memory";
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
        if (host::text::toUpper(path.substr(dot)) == ".DXF")
            return path.substr(0, dot) + ".bak";
    }
    return path + ".bak";
}

bool saveDrawing(AcDbDatabase &db, const std::string &path, std::string &error,
                 std::string *warning) {
    host::platform::ReplacementFile file(path);
    try {
        if (!file.ok())
            throw DxfError("cannot save " + path + ": " + file.error());
        {
            // What is written is checked as it goes (every tag well-formed, sections
            // closed, EOF last, no handle twice) instead of reading the file back; the check
            // and the file writes run on a second thread while the writer makes the rest.
            // (The progress hook is then called from that thread, while this one is in the
            // writer, which reports nothing.)
            ReplacementSink sink(file, path);
            WrittenCheck check(sink, "cannot save " + path + ": what was written is faulty");
            BackgroundSink pipe(check);
            writeDatabase(db, pipe);
            pipe.finish();
            check.finish();
        }
        if (!file.finish())
            throw DxfError("cannot save " + path + ": " + file.error());
        // The previous drawing stays as the backup; the rename then replaces the target in
        // one step.
        if (!file.commit(backupPath(file.target())))
            throw DxfError("cannot save " + path + ": " + file.error());
        if (warning != nullptr)
            *warning = file.warning();
        return true;
    } catch (const DxfError &e) {
        error = e.what();
    } catch (const std::bad_alloc &) {
        error = "cannot save " + path + ": out of memory";
    }
    return false; // the temporary file goes with `file`
}

} // namespace dxf
