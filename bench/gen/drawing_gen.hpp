// The benchmark drawing: a deterministic DXF R2000 file (AC1015, Windows-1251 text) with the mix
// of entities a real plan has, at any size. Same entity count and seed, same bytes, on every
// machine: the generator uses its own random numbers and formats values itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tevbench {

struct GenOptions {
    uint64_t entities = 10000; // top-level entities in model space (vertices not counted)
    uint64_t seed = 1;
};

// What went into the file, for the generator's own summary line and for tests.
struct GenStats {
    uint64_t lines = 0;
    uint64_t lwpolylines = 0;
    uint64_t polylines2d = 0;
    uint64_t polylines3d = 0;
    uint64_t circles = 0;
    uint64_t arcs = 0;
    uint64_t texts = 0;
    uint64_t inserts = 0;
    uint64_t vertices = 0; // VERTEX entities of 2D and 3D polylines
    uint64_t byLayer = 0;  // top-level entities without a colour of their own
    uint64_t handleSeed = 0;
    uint64_t bytes = 0;

    uint64_t total() const {
        return lines + lwpolylines + polylines2d + polylines3d + circles + arcs + texts + inserts;
    }
};

// Writes the whole drawing through sink in blocks of about a megabyte. Returns false when the
// sink refused a block; stats (when given) is filled either way.
[[nodiscard]] bool generateDrawing(const GenOptions &opts,
                                   const std::function<bool(std::string_view)> &sink,
                                   GenStats *stats = nullptr);

// The drawing as one string; for small sizes in tests.
std::string generateDrawingText(const GenOptions &opts, GenStats *stats = nullptr);

} // namespace tevbench
