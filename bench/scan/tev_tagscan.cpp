// tev_tagscan: the floor the host is measured against.
//   tev_tagscan IN.dxf                 length by colour over ALL, printed per colour and in total
//   tev_tagscan --recolor C IN OUT     copy IN to OUT with every entity given colour C
// The input is mapped read-only; the copy is written under a temporary name and renamed when
// complete.
#include "tag_scan.hpp"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A read-only mapping of a whole file; empty files are refused (there is nothing to map).
class MappedFile {
public:
    bool open(const char *path, std::string &error) {
        fd_ = ::open(path, O_RDONLY);
        if (fd_ < 0) {
            error = std::string("cannot open ") + path + ": " + std::strerror(errno);
            return false;
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = std::string(path) + " is not a regular file";
            return false;
        }
        if (st.st_size == 0) {
            error = std::string(path) + " is empty";
            return false;
        }
        size_ = static_cast<size_t>(st.st_size);
        void *p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
        if (p == MAP_FAILED) {
            error = std::string("cannot map ") + path + ": " + std::strerror(errno);
            return false;
        }
        data_ = static_cast<const char *>(p);
        (void)::madvise(p, size_, MADV_SEQUENTIAL); // only a hint; the scan works without it
        return true;
    }
    ~MappedFile() {
        if (data_)
            ::munmap(const_cast<char *>(data_), size_);
        if (fd_ >= 0)
            ::close(fd_);
    }
    std::string_view text() const { return {data_, size_}; }

private:
    int fd_ = -1;
    const char *data_ = nullptr;
    size_t size_ = 0;
};

bool writeAll(int fd, std::string_view s) {
    while (!s.empty()) {
        const ssize_t n = ::write(fd, s.data(), s.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        s.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: tev_tagscan IN.dxf\n"
                         "       tev_tagscan --recolor C IN.dxf OUT.dxf   (C: 0..256)\n");
    return 2;
}

int scan(const char *in) {
    MappedFile f;
    std::string error;
    if (!f.open(in, error)) {
        std::fprintf(stderr, "tev_tagscan: %s\n", error.c_str());
        return 1;
    }
    const tevbench::ScanResult r = tevbench::scanLengths(f.text());
    if (!r.ok) {
        std::fprintf(stderr, "tev_tagscan: %s: %s\n", in, r.error.c_str());
        return 1;
    }
    const tevbench::LengthTotals &t = r.totals;
    std::printf("selected %llu entities; measured %llu LINE, %llu LWPOLYLINE, %llu 2D POLYLINE\n",
                (unsigned long long)t.entities, (unsigned long long)t.lines,
                (unsigned long long)t.lwpolylines, (unsigned long long)t.polylines2d);
    for (size_t c = 0; c < t.byColour.size(); ++c)
        if (t.byColour[c] != 0.0)
            std::printf("colour %zu: %f\n", c, t.byColour[c]);
    std::printf("all colours: %f\n", t.all);
    return 0;
}

int recolour(const char *colourText, const char *in, const char *out) {
    int colour = -1;
    std::string_view ct(colourText);
    auto pr = std::from_chars(ct.data(), ct.data() + ct.size(), colour);
    if (pr.ec != std::errc() || pr.ptr != ct.data() + ct.size() || colour < 0 || colour > 256)
        return usage();
    MappedFile f;
    std::string error;
    if (!f.open(in, error)) {
        std::fprintf(stderr, "tev_tagscan: %s\n", error.c_str());
        return 1;
    }
    const std::string tmp = std::string(out) + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "tev_tagscan: cannot create %s: %s\n", tmp.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const tevbench::RecolourResult r = tevbench::recolourAll(
        f.text(), colour, [fd](std::string_view s) { return writeAll(fd, s); });
    const bool closed = ::close(fd) == 0;
    if (!r.ok || !closed || std::rename(tmp.c_str(), out) != 0) {
        std::fprintf(stderr, "tev_tagscan: %s: %s\n", r.ok ? out : in,
                     r.ok ? std::strerror(errno) : r.error.c_str());
        std::remove(tmp.c_str());
        return 1;
    }
    std::printf("recoloured %llu entities to %d\n", (unsigned long long)r.entities, colour);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && argv[1][0] != '-')
        return scan(argv[1]);
    if (argc == 5 &&
        (std::strcmp(argv[1], "--recolor") == 0 || std::strcmp(argv[1], "--recolour") == 0))
        return recolour(argv[2], argv[3], argv[4]);
    return usage();
}
