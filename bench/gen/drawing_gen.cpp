// Writes the benchmark drawing. The file is a complete R2000 drawing (header, classes, tables,
// blocks, entities, objects) so that any reader, ours or another, can open it without repairs.
//
// The generator runs twice with the same seed: first with a counting writer to learn how many
// handles the drawing uses, then for real, so that $HANDSEED at the top is already right.
#include "drawing_gen.hpp"

#include "tag_writer.hpp"

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace tevbench {
namespace {

// splitmix64: tiny, fast and the same everywhere (std distributions are not).
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 without modulo bias worth speaking of.
    uint32_t below(uint32_t n) {
        return static_cast<uint32_t>((static_cast<unsigned __int128>(next()) * n) >> 64);
    }
    // [lo, hi)
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
    }
    bool chance(uint32_t percent) { return below(100) < percent; }

private:
    uint64_t state_;
};

// Coordinates on a 0.0001 grid: short numbers in the file, as real drawings have.
double grid(double v) {
    return std::round(v * 10000.0) / 10000.0;
}

constexpr double kWidth = 100000.0;
constexpr double kHeight = 70000.0;
constexpr double kPi = 3.14159265358979323846;

// Layer names in Windows-1251, as a Russian office would name them.
constexpr std::array<std::string_view, 20> kLayerNames = {
    "0",
    "\xD1\xF2\xE5\xED\xFB",         // Стены
    "\xCE\xEA\xED\xE0",             // Окна
    "\xC4\xE2\xE5\xF0\xE8",         // Двери
    "\xCE\xF1\xE8",                 // Оси
    "\xD0\xE0\xE7\xEC\xE5\xF0\xFB", // Размеры
    "\xCC\xE5\xE1\xE5\xEB\xFC",     // Мебель
    "\xD2\xE5\xEA\xF1\xF2",         // Текст
    "A-WALL",
    "A-DOOR",
    "A-GLAZ",
    "E-LITE",
    "E-POWR",
    "M-HVAC",
    "P-PIPE",
    "S-COLS",
    "S-BEAM",
    "C-TOPO",
    "DEFPOINTS",
    "\xCF\xEE\xEC\xE5\xF9\xE5\xED\xE8\xFF", // Помещения
};

constexpr std::array<std::string_view, 6> kWords = {
    "\xD1\xF2\xE5\xED\xE0",                 // Стена
    "\xCF\xEE\xEC\xE5\xF9\xE5\xED\xE8\xE5", // Помещение
    "\xCA\xF3\xF5\xED\xFF",                 // Кухня
    "\xCE\xF2\xEC.",                        // Отм.
    "Room",
    "Level",
};

struct BlockDef {
    std::string_view name;
};
constexpr std::array<BlockDef, 3> kBlocks = {{
    {"DOOR"}, {"WINDOW"}, {"\xC1\xEE\xEB\xF2"}, // Болт
}};

class Generator {
public:
    Generator(TagWriter &w, const GenOptions &opts, GenStats &stats)
        : w_(w), opts_(opts), stats_(stats), rng_(opts.seed) {}

    void run(uint64_t handleSeed) {
        reserveHandles();
        pickLayerColours();
        header(handleSeed);
        classes();
        tables();
        blocks();
        entities();
        objects();
        w_.str(0, "EOF");
        stats_.handleSeed = next_;
    }

private:
    struct Fixed {
        uint64_t vportTable, ltypeTable, layerTable, styleTable, viewTable, ucsTable, appidTable,
            dimstyleTable, blockRecordTable;
        uint64_t vportActive, style, appid, dimstyle;
        std::array<uint64_t, 4> ltypes;
        std::array<uint64_t, kLayerNames.size()> layers;
        uint64_t modelRecord, paperRecord;
        std::array<uint64_t, kBlocks.size()> blockRecords;
        uint64_t modelBlock, modelEnd, paperBlock, paperEnd;
        std::array<uint64_t, kBlocks.size()> blockBegins, blockEnds;
        uint64_t rootDict, groupDict, layoutDict, modelLayout, paperLayout;
    };

    uint64_t take() { return next_++; }

    void reserveHandles() {
        Fixed &f = fixed_;
        for (uint64_t *h :
             {&f.vportTable, &f.ltypeTable, &f.layerTable,    &f.styleTable,       &f.viewTable,
              &f.ucsTable,   &f.appidTable, &f.dimstyleTable, &f.blockRecordTable, &f.vportActive,
              &f.style,      &f.appid,      &f.dimstyle,      &f.modelRecord,      &f.paperRecord,
              &f.modelBlock, &f.modelEnd,   &f.paperBlock,    &f.paperEnd,         &f.rootDict,
              &f.groupDict,  &f.layoutDict, &f.modelLayout,   &f.paperLayout})
            *h = take();
        for (auto &h : f.ltypes)
            h = take();
        for (auto &h : f.layers)
            h = take();
        for (size_t i = 0; i < kBlocks.size(); ++i) {
            f.blockRecords[i] = take();
            f.blockBegins[i] = take();
            f.blockEnds[i] = take();
        }
    }

    void pickLayerColours() {
        layerColours_[0] = 7;
        for (size_t i = 1; i < kLayerNames.size(); ++i)
            layerColours_[i] = 1 + static_cast<int>(rng_.below(255));
    }

    void section(std::string_view name) {
        w_.str(0, "SECTION");
        w_.str(2, name);
    }
    void endSection() { w_.str(0, "ENDSEC"); }

    void header(uint64_t handleSeed) {
        section("HEADER");
        w_.str(9, "$ACADVER");
        w_.str(1, "AC1015");
        w_.str(9, "$ACADMAINTVER");
        w_.integer(70, 6);
        w_.str(9, "$DWGCODEPAGE");
        w_.str(3, "ANSI_1251");
        w_.str(9, "$INSBASE");
        w_.point(10, 0.0, 0.0, 0.0);
        w_.str(9, "$EXTMIN");
        w_.point(10, 0.0, 0.0, 0.0);
        w_.str(9, "$EXTMAX");
        w_.point(10, kWidth, kHeight, 0.0);
        w_.str(9, "$LIMMIN");
        w_.real(10, 0.0);
        w_.real(20, 0.0);
        w_.str(9, "$LIMMAX");
        w_.real(10, kWidth);
        w_.real(20, kHeight);
        w_.str(9, "$TILEMODE");
        w_.integer(70, 1);
        w_.str(9, "$CLAYER");
        w_.str(8, "0");
        w_.str(9, "$CECOLOR");
        w_.integer(62, 256);
        w_.str(9, "$CELTYPE");
        w_.str(6, "ByLayer");
        w_.str(9, "$HANDSEED");
        w_.handle(5, handleSeed);
        endSection();
    }

    void classes() {
        section("CLASSES");
        endSection();
    }

    void tableHead(std::string_view name, uint64_t handle, int count) {
        w_.str(0, "TABLE");
        w_.str(2, name);
        w_.handle(5, handle);
        w_.handle(330, 0);
        w_.str(100, "AcDbSymbolTable");
        w_.integer(70, count);
    }
    void entryHead(std::string_view type, uint64_t handle, uint64_t table,
                   std::string_view subclass, int handleCode = 5) {
        w_.str(0, type);
        w_.handle(handleCode, handle);
        w_.handle(330, table);
        w_.str(100, "AcDbSymbolTableRecord");
        w_.str(100, subclass);
    }

    void tables() {
        const Fixed &f = fixed_;
        section("TABLES");

        tableHead("VPORT", f.vportTable, 1);
        entryHead("VPORT", f.vportActive, f.vportTable, "AcDbViewportTableRecord");
        w_.str(2, "*ACTIVE");
        w_.integer(70, 0);
        w_.real(10, 0.0);
        w_.real(20, 0.0);
        w_.real(11, 1.0);
        w_.real(21, 1.0);
        w_.real(12, kWidth / 2);
        w_.real(22, kHeight / 2);
        w_.real(13, 0.0);
        w_.real(23, 0.0);
        w_.real(14, 10.0);
        w_.real(24, 10.0);
        w_.real(15, 10.0);
        w_.real(25, 10.0);
        w_.point(16, 0.0, 0.0, 1.0);
        w_.point(17, 0.0, 0.0, 0.0);
        w_.real(40, kHeight);
        w_.real(41, kWidth / kHeight);
        w_.real(42, 50.0);
        w_.real(43, 0.0);
        w_.real(44, 0.0);
        w_.real(50, 0.0);
        w_.real(51, 0.0);
        w_.integer(71, 0);
        w_.integer(72, 1000);
        w_.integer(73, 1);
        w_.integer(74, 3);
        w_.integer(75, 0);
        w_.integer(76, 0);
        w_.integer(77, 0);
        w_.integer(78, 0);
        w_.str(0, "ENDTAB");

        tableHead("LTYPE", f.ltypeTable, 4);
        const std::array<std::string_view, 4> names = {"ByBlock", "ByLayer", "Continuous",
                                                       "DASHED"};
        for (size_t i = 0; i < names.size(); ++i) {
            entryHead("LTYPE", f.ltypes[i], f.ltypeTable, "AcDbLinetypeTableRecord");
            w_.str(2, names[i]);
            w_.integer(70, 0);
            if (i == 3) {
                w_.str(3, "Dashed __ __ __ __");
                w_.integer(72, 65);
                w_.integer(73, 2);
                w_.real(40, 0.75);
                w_.real(49, 0.5);
                w_.integer(74, 0);
                w_.real(49, -0.25);
                w_.integer(74, 0);
            } else {
                w_.str(3, i == 2 ? "Solid line" : "");
                w_.integer(72, 65);
                w_.integer(73, 0);
                w_.real(40, 0.0);
            }
        }
        w_.str(0, "ENDTAB");

        tableHead("LAYER", f.layerTable, static_cast<int>(kLayerNames.size()));
        for (size_t i = 0; i < kLayerNames.size(); ++i) {
            entryHead("LAYER", f.layers[i], f.layerTable, "AcDbLayerTableRecord");
            w_.str(2, kLayerNames[i]);
            w_.integer(70, 0);
            w_.integer(62, layerColours_[i]);
            w_.str(6, i == 4 ? "DASHED" : "Continuous");
            w_.integer(370, -3);
        }
        w_.str(0, "ENDTAB");

        tableHead("STYLE", f.styleTable, 1);
        entryHead("STYLE", f.style, f.styleTable, "AcDbTextStyleTableRecord");
        w_.str(2, "Standard");
        w_.integer(70, 0);
        w_.real(40, 0.0);
        w_.real(41, 1.0);
        w_.real(50, 0.0);
        w_.integer(71, 0);
        w_.real(42, 2.5);
        w_.str(3, "txt");
        w_.str(4, "");
        w_.str(0, "ENDTAB");

        tableHead("VIEW", f.viewTable, 0);
        w_.str(0, "ENDTAB");
        tableHead("UCS", f.ucsTable, 0);
        w_.str(0, "ENDTAB");

        tableHead("APPID", f.appidTable, 1);
        entryHead("APPID", f.appid, f.appidTable, "AcDbRegAppTableRecord");
        w_.str(2, "ACAD");
        w_.integer(70, 0);
        w_.str(0, "ENDTAB");

        tableHead("DIMSTYLE", f.dimstyleTable, 1);
        w_.str(100, "AcDbDimStyleTable");
        entryHead("DIMSTYLE", f.dimstyle, f.dimstyleTable, "AcDbDimStyleTableRecord",
                  /*handleCode=*/105);
        w_.str(2, "Standard");
        w_.integer(70, 0);
        w_.handle(340, f.style);
        w_.str(0, "ENDTAB");

        tableHead("BLOCK_RECORD", f.blockRecordTable, static_cast<int>(2 + kBlocks.size()));
        entryHead("BLOCK_RECORD", f.modelRecord, f.blockRecordTable, "AcDbBlockTableRecord");
        w_.str(2, "*Model_Space");
        w_.handle(340, f.modelLayout);
        entryHead("BLOCK_RECORD", f.paperRecord, f.blockRecordTable, "AcDbBlockTableRecord");
        w_.str(2, "*Paper_Space");
        w_.handle(340, f.paperLayout);
        for (size_t i = 0; i < kBlocks.size(); ++i) {
            entryHead("BLOCK_RECORD", f.blockRecords[i], f.blockRecordTable,
                      "AcDbBlockTableRecord");
            w_.str(2, kBlocks[i].name);
        }
        w_.str(0, "ENDTAB");

        endSection();
    }

    void blockBegin(uint64_t handle, uint64_t record, std::string_view name, bool paper) {
        w_.str(0, "BLOCK");
        w_.handle(5, handle);
        w_.handle(330, record);
        w_.str(100, "AcDbEntity");
        if (paper)
            w_.integer(67, 1);
        w_.str(8, "0");
        w_.str(100, "AcDbBlockBegin");
        w_.str(2, name);
        w_.integer(70, 0);
        w_.point(10, 0.0, 0.0, 0.0);
        w_.str(3, name);
        w_.str(1, "");
    }
    void blockEnd(uint64_t handle, uint64_t record, bool paper) {
        w_.str(0, "ENDBLK");
        w_.handle(5, handle);
        w_.handle(330, record);
        w_.str(100, "AcDbEntity");
        if (paper)
            w_.integer(67, 1);
        w_.str(8, "0");
        w_.str(100, "AcDbBlockEnd");
    }

    // Common head of an entity; colour < 0 means ByLayer (no 62 group).
    void entityHead(std::string_view type, uint64_t handle, uint64_t owner, std::string_view layer,
                    int colour, std::string_view linetype = {}) {
        w_.str(0, type);
        w_.handle(5, handle);
        w_.handle(330, owner);
        w_.str(100, "AcDbEntity");
        w_.str(8, layer);
        if (!linetype.empty())
            w_.str(6, linetype);
        if (colour >= 0)
            w_.integer(62, colour);
    }

    void line(uint64_t owner, std::string_view layer, int colour, double x1, double y1, double z1,
              double x2, double y2, double z2, std::string_view linetype = {}) {
        entityHead("LINE", take(), owner, layer, colour, linetype);
        w_.str(100, "AcDbLine");
        w_.point(10, x1, y1, z1);
        w_.point(11, x2, y2, z2);
    }

    // Block contents are drawn on layer 0 in colour ByBlock, as block libraries usually are.
    void blocks() {
        const Fixed &f = fixed_;
        section("BLOCKS");
        blockBegin(f.modelBlock, f.modelRecord, "*Model_Space", false);
        blockEnd(f.modelEnd, f.modelRecord, false);
        blockBegin(f.paperBlock, f.paperRecord, "*Paper_Space", true);
        blockEnd(f.paperEnd, f.paperRecord, true);

        for (size_t i = 0; i < kBlocks.size(); ++i) {
            const uint64_t rec = f.blockRecords[i];
            blockBegin(f.blockBegins[i], rec, kBlocks[i].name, false);
            switch (i) {
            case 0: // a door: leaf and swing
                line(rec, "0", 0, 0, 0, 0, 0, 900, 0);
                entityHead("ARC", take(), rec, "0", 0);
                w_.str(100, "AcDbCircle");
                w_.point(10, 0.0, 0.0, 0.0);
                w_.real(40, 900.0);
                w_.str(100, "AcDbArc");
                w_.real(50, 0.0);
                w_.real(51, 90.0);
                break;
            case 1: // a window: frame and glass
                entityHead("LWPOLYLINE", take(), rec, "0", 0);
                w_.str(100, "AcDbPolyline");
                w_.integer(90, 4);
                w_.integer(70, 1);
                w_.real(43, 0.0);
                for (auto [x, y] :
                     {std::pair{0.0, 0.0}, {1200.0, 0.0}, {1200.0, 250.0}, {0.0, 250.0}})
                    w_.real(10, x), w_.real(20, y);
                line(rec, "0", 0, 0, 125, 0, 1200, 125, 0);
                break;
            default: // a bolt head
                entityHead("CIRCLE", take(), rec, "0", 0);
                w_.str(100, "AcDbCircle");
                w_.point(10, 0.0, 0.0, 0.0);
                w_.real(40, 12.0);
                line(rec, "0", 0, -15, 0, 0, 15, 0, 0);
                line(rec, "0", 0, 0, -15, 0, 0, 15, 0);
                break;
            }
            blockEnd(f.blockEnds[i], rec, false);
        }
        endSection();
    }

    struct Look {
        std::string_view layer;
        int colour; // -1: ByLayer
        std::string_view linetype;
    };

    Look look() {
        Look l;
        l.layer = kLayerNames[rng_.below(kLayerNames.size())];
        l.colour = rng_.below(3) == 0 ? -1 : 1 + static_cast<int>(rng_.below(255));
        l.linetype = rng_.chance(5) ? std::string_view("DASHED") : std::string_view();
        if (l.colour < 0)
            ++stats_.byLayer;
        return l;
    }

    double px() { return grid(rng_.uniform(0, kWidth)); }
    double py() { return grid(rng_.uniform(0, kHeight)); }
    // A step of a random walk, kept on the grid.
    void walk(double &x, double &y, double maxStep) {
        const double a = rng_.uniform(0, 2 * kPi);
        const double r = rng_.uniform(1, maxStep);
        x = grid(x + r * std::cos(a));
        y = grid(y + r * std::sin(a));
    }

    void entities() {
        section("ENTITIES");
        const uint64_t ms = fixed_.modelRecord;
        for (uint64_t i = 0; i < opts_.entities; ++i) {
            const uint32_t kind = rng_.below(100);
            const Look l = look();
            if (kind < 60)
                randomLine(ms, l);
            else if (kind < 85)
                randomLwpolyline(ms, l);
            else if (kind < 90)
                randomPolyline(ms, l, /*threeD=*/false);
            else if (kind < 92)
                randomPolyline(ms, l, /*threeD=*/true);
            else if (kind < 94)
                randomCircle(ms, l, /*arc=*/false);
            else if (kind < 96)
                randomCircle(ms, l, /*arc=*/true);
            else if (kind < 97)
                randomText(ms, l);
            else
                randomInsert(ms, l);
        }
        endSection();
    }

    void randomLine(uint64_t ms, const Look &l) {
        ++stats_.lines;
        double x1 = px(), y1 = py();
        double x2 = x1, y2 = y1;
        walk(x2, y2, 500);
        double z1 = 0, z2 = 0;
        if (rng_.chance(10)) { // some lines leave the ground: length is still measured in XY
            z1 = grid(rng_.uniform(-100, 100));
            z2 = grid(rng_.uniform(-100, 100));
        }
        line(ms, l.layer, l.colour, x1, y1, z1, x2, y2, z2, l.linetype);
    }

    void randomLwpolyline(uint64_t ms, const Look &l) {
        ++stats_.lwpolylines;
        const uint32_t n = 2 + rng_.below(49);
        const bool closed = rng_.chance(30);
        const bool bulged = rng_.chance(20);
        entityHead("LWPOLYLINE", take(), ms, l.layer, l.colour, l.linetype);
        w_.str(100, "AcDbPolyline");
        w_.integer(90, n);
        w_.integer(70, closed ? 1 : 0);
        w_.real(43, 0.0);
        double x = px(), y = py();
        for (uint32_t v = 0; v < n; ++v) {
            if (v > 0)
                walk(x, y, 200);
            w_.real(10, x);
            w_.real(20, y);
            if (bulged && rng_.chance(30))
                w_.real(42, grid(rng_.uniform(-1, 1)));
        }
    }

    void randomPolyline(uint64_t ms, const Look &l, bool threeD) {
        ++(threeD ? stats_.polylines3d : stats_.polylines2d);
        const uint32_t n = 2 + rng_.below(threeD ? 11 : 15);
        const bool closed = rng_.chance(25);
        const bool bulged = !threeD && rng_.chance(20);
        const uint64_t pl = take();
        entityHead("POLYLINE", pl, ms, l.layer, l.colour, l.linetype);
        w_.str(100, threeD ? "AcDb3dPolyline" : "AcDb2dPolyline");
        w_.integer(66, 1);
        w_.point(10, 0.0, 0.0, 0.0);
        w_.integer(70, (closed ? 1 : 0) | (threeD ? 8 : 0));
        double x = px(), y = py(), z = 0;
        for (uint32_t v = 0; v < n; ++v) {
            if (v > 0)
                walk(x, y, 200);
            if (threeD)
                z = grid(rng_.uniform(-50, 50));
            ++stats_.vertices;
            entityHead("VERTEX", take(), pl, l.layer, l.colour, l.linetype);
            w_.str(100, "AcDbVertex");
            w_.str(100, threeD ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
            w_.point(10, x, y, z);
            if (bulged && rng_.chance(30))
                w_.real(42, grid(rng_.uniform(-1, 1)));
            w_.integer(70, threeD ? 32 : 0);
        }
        entityHead("SEQEND", take(), pl, l.layer, l.colour, l.linetype);
    }

    void randomCircle(uint64_t ms, const Look &l, bool arc) {
        ++(arc ? stats_.arcs : stats_.circles);
        entityHead(arc ? "ARC" : "CIRCLE", take(), ms, l.layer, l.colour, l.linetype);
        w_.str(100, "AcDbCircle");
        w_.point(10, px(), py(), 0.0);
        w_.real(40, grid(rng_.uniform(1, 200)));
        if (arc) {
            w_.str(100, "AcDbArc");
            w_.real(50, grid(rng_.uniform(0, 360)));
            w_.real(51, grid(rng_.uniform(0, 360)));
        }
    }

    void randomText(uint64_t ms, const Look &l) {
        ++stats_.texts;
        entityHead("TEXT", take(), ms, l.layer, l.colour, l.linetype);
        w_.str(100, "AcDbText");
        w_.point(10, px(), py(), 0.0);
        w_.real(40, grid(rng_.uniform(2.5, 10)));
        std::string text(kWords[rng_.below(kWords.size())]);
        text += ' ';
        text += std::to_string(rng_.below(1000));
        w_.str(1, text);
        if (rng_.chance(20))
            w_.real(50, grid(rng_.uniform(0, 360)));
        w_.str(100, "AcDbText");
    }

    void randomInsert(uint64_t ms, const Look &l) {
        ++stats_.inserts;
        entityHead("INSERT", take(), ms, l.layer, l.colour, l.linetype);
        w_.str(100, "AcDbBlockReference");
        w_.str(2, kBlocks[rng_.below(kBlocks.size())].name);
        w_.point(10, px(), py(), 0.0);
        if (rng_.chance(30)) {
            const double s = grid(rng_.uniform(0.5, 2));
            w_.real(41, s);
            w_.real(42, s);
            w_.real(43, 1.0);
        }
        if (rng_.chance(50))
            w_.real(50, 90.0 * rng_.below(4));
    }

    void dictionary(uint64_t handle, uint64_t owner) {
        w_.str(0, "DICTIONARY");
        w_.handle(5, handle);
        if (owner != 0) {
            w_.str(102, "{ACAD_REACTORS");
            w_.handle(330, owner);
            w_.str(102, "}");
        }
        w_.handle(330, owner);
        w_.str(100, "AcDbDictionary");
        w_.integer(281, 1);
    }

    void layout(uint64_t handle, std::string_view name, int order, uint64_t record) {
        const uint64_t dict = fixed_.layoutDict;
        w_.str(0, "LAYOUT");
        w_.handle(5, handle);
        w_.str(102, "{ACAD_REACTORS");
        w_.handle(330, dict);
        w_.str(102, "}");
        w_.handle(330, dict);
        w_.str(100, "AcDbPlotSettings");
        w_.str(1, "");
        w_.str(2, "none_device");
        w_.str(4, "");
        w_.str(6, "");
        for (int code : {40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 140, 141})
            w_.real(code, 0.0);
        w_.real(142, 1.0);
        w_.real(143, 1.0);
        w_.integer(70, order == 0 ? 1712 : 688);
        w_.integer(72, 0);
        w_.integer(73, 0);
        w_.integer(74, order == 0 ? 0 : 5);
        w_.str(7, "");
        w_.integer(75, 0);
        w_.real(147, 1.0);
        w_.real(148, 0.0);
        w_.real(149, 0.0);
        w_.str(100, "AcDbLayout");
        w_.str(1, name);
        w_.integer(70, 1);
        w_.integer(71, order);
        w_.real(10, 0.0);
        w_.real(20, 0.0);
        w_.real(11, order == 0 ? kWidth : 420.0);
        w_.real(21, order == 0 ? kHeight : 297.0);
        w_.point(12, 0.0, 0.0, 0.0);
        w_.point(14, 0.0, 0.0, 0.0);
        w_.point(15, order == 0 ? kWidth : 420.0, order == 0 ? kHeight : 297.0, 0.0);
        w_.real(146, 0.0);
        w_.point(13, 0.0, 0.0, 0.0);
        w_.point(16, 1.0, 0.0, 0.0);
        w_.point(17, 0.0, 1.0, 0.0);
        w_.integer(76, 0);
        w_.handle(330, record);
    }

    void objects() {
        const Fixed &f = fixed_;
        section("OBJECTS");
        dictionary(f.rootDict, 0);
        w_.str(3, "ACAD_GROUP");
        w_.handle(350, f.groupDict);
        w_.str(3, "ACAD_LAYOUT");
        w_.handle(350, f.layoutDict);
        dictionary(f.groupDict, f.rootDict);
        dictionary(f.layoutDict, f.rootDict);
        w_.str(3, "Layout1");
        w_.handle(350, f.paperLayout);
        w_.str(3, "Model");
        w_.handle(350, f.modelLayout);
        layout(f.modelLayout, "Model", 0, f.modelRecord);
        layout(f.paperLayout, "Layout1", 1, f.paperRecord);
        endSection();
    }

    TagWriter &w_;
    const GenOptions &opts_;
    GenStats &stats_;
    Rng rng_;
    Fixed fixed_{};
    std::array<int, kLayerNames.size()> layerColours_{};
    uint64_t next_ = 1;
};

} // namespace

bool generateDrawing(const GenOptions &opts, const std::function<bool(std::string_view)> &sink,
                     GenStats *stats) {
    GenStats counted;
    {
        TagWriter counter([](std::string_view) { return true; }, /*counting=*/true);
        Generator(counter, opts, counted).run(0);
    }
    GenStats real;
    TagWriter writer(sink);
    Generator(writer, opts, real).run(counted.handleSeed);
    const bool ok = writer.finish();
    real.bytes = writer.bytesWritten();
    if (stats)
        *stats = real;
    return ok;
}

std::string generateDrawingText(const GenOptions &opts, GenStats *stats) {
    std::string out;
    (void)generateDrawing(
        opts,
        [&out](std::string_view block) {
            out.append(block);
            return true;
        },
        stats);
    return out;
}

} // namespace tevbench
