// tev_gen: writes the benchmark drawing.
//   tev_gen --entities N --seed S OUT.dxf
// The file is written beside OUT under a temporary name and renamed when complete, so a failed
// run never leaves half a drawing under the real name.
#include "drawing_gen.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

int usage() {
    std::fprintf(stderr, "usage: tev_gen [--entities N] [--seed S] OUT.dxf\n");
    return 2;
}

bool parseCount(std::string_view text, uint64_t &out) {
    auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

} // namespace

int main(int argc, char **argv) {
    tevbench::GenOptions opts;
    std::string outPath;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if ((arg == "--entities" || arg == "--seed") && i + 1 < argc) {
            uint64_t &target = arg == "--entities" ? opts.entities : opts.seed;
            if (!parseCount(argv[++i], target)) {
                std::fprintf(stderr, "tev_gen: %s wants a whole number, not \"%s\"\n", argv[i - 1],
                             argv[i]);
                return 2;
            }
        } else if (!arg.empty() && arg[0] != '-' && outPath.empty()) {
            outPath = std::string(arg);
        } else {
            return usage();
        }
    }
    if (outPath.empty())
        return usage();

    const std::string tmpPath = outPath + ".tmp";
    std::FILE *f = std::fopen(tmpPath.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "tev_gen: cannot create %s: %s\n", tmpPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    tevbench::GenStats stats;
    bool ok = tevbench::generateDrawing(
        opts,
        [f](std::string_view block) {
            return std::fwrite(block.data(), 1, block.size(), f) == block.size();
        },
        &stats);
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(tmpPath.c_str(), outPath.c_str()) != 0) {
        std::fprintf(stderr, "tev_gen: cannot write %s: %s\n", outPath.c_str(),
                     std::strerror(errno));
        std::remove(tmpPath.c_str());
        return 1;
    }
    std::printf("%s: %llu entities (%llu LINE, %llu LWPOLYLINE, %llu 2D POLYLINE, %llu 3D "
                "POLYLINE, %llu CIRCLE, %llu ARC, %llu TEXT, %llu INSERT), %llu vertices, %llu "
                "ByLayer, %llu bytes\n",
                outPath.c_str(), (unsigned long long)stats.total(), (unsigned long long)stats.lines,
                (unsigned long long)stats.lwpolylines, (unsigned long long)stats.polylines2d,
                (unsigned long long)stats.polylines3d, (unsigned long long)stats.circles,
                (unsigned long long)stats.arcs, (unsigned long long)stats.texts,
                (unsigned long long)stats.inserts, (unsigned long long)stats.vertices,
                (unsigned long long)stats.byLayer, (unsigned long long)stats.bytes);
    return 0;
}
