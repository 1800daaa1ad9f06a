// Tests of the benchmark drawing: deterministic, structurally whole (handles, owners, tables,
// sections) and with the entity mix it promises. The drawing is read back here with a reader
// of its own, independent of the tag-scan passes.
#include "drawing_gen.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tevbench {
namespace {

struct Pair {
    int code;
    std::string value;
};

std::vector<Pair> pairsOf(const std::string &text) {
    std::vector<Pair> out;
    size_t p = 0;
    while (p < text.size()) {
        const size_t a = text.find('\n', p);
        const size_t b = text.find('\n', a + 1);
        EXPECT_NE(b, std::string::npos) << "the file must end with a whole value line";
        if (a == std::string::npos || b == std::string::npos)
            break;
        out.push_back({std::atoi(text.substr(p, a - p).c_str()), text.substr(a + 1, b - a - 1)});
        p = b + 1;
    }
    return out;
}

unsigned long long hex(const std::string &s) {
    return std::strtoull(s.c_str(), nullptr, 16);
}

// One record: from a 0 group up to the next.
struct Record {
    std::string type;
    std::vector<Pair> groups;
    std::string get(int code) const {
        for (const Pair &p : groups)
            if (p.code == code)
                return p.value;
        return {};
    }
    bool has(int code) const {
        for (const Pair &p : groups)
            if (p.code == code)
                return true;
        return false;
    }
};

struct Parsed {
    std::map<std::string, std::vector<Record>> sections; // by section name
    std::vector<std::string> order;
};

Parsed parse(const std::string &text) {
    Parsed out;
    std::string section;
    for (const Pair &p : pairsOf(text)) {
        if (p.code == 0 && p.value == "SECTION") {
            section = "?";
            continue;
        }
        if (section == "?" && p.code == 2) {
            section = p.value;
            out.order.push_back(section);
            continue;
        }
        if (p.code == 0 && p.value == "ENDSEC") {
            section.clear();
            continue;
        }
        if (p.code == 0 && p.value == "EOF") {
            out.order.push_back("EOF");
            continue;
        }
        if (section.empty())
            continue;
        if (p.code == 0)
            out.sections[section].push_back({p.value, {}});
        else if (!out.sections[section].empty())
            out.sections[section].back().groups.push_back(p);
        else
            out.sections[section].push_back({"", {p}}); // header variables before any 0
    }
    return out;
}

// Test that the same seed gives the same bytes and another seed other bytes, and that the
// sizes the generator reports are the sizes written.
TEST(DrawingGen, Deterministic) {
    GenStats a, b, c;
    const std::string one = generateDrawingText({3000, 7}, &a);
    const std::string two = generateDrawingText({3000, 7}, &b);
    const std::string other = generateDrawingText({3000, 8}, &c);
    EXPECT_EQ(one, two);
    EXPECT_NE(one, other);
    EXPECT_EQ(a.bytes, one.size());
    EXPECT_EQ(c.bytes, other.size());
    EXPECT_EQ(a.total(), 3000u);
    EXPECT_EQ(c.total(), 3000u);
}

// Test that a refusing sink is reported as a failure.
TEST(DrawingGen, SinkFailureIsReported) {
    int calls = 0;
    EXPECT_FALSE(generateDrawing({50000, 1}, [&calls](std::string_view) {
        ++calls;
        return false;
    }));
    EXPECT_GE(calls, 1);
}

// Test the file's frame: sections in order, the header variables an R2000 reader needs, the
// tables and their entries, the blocks and the root dictionary.
TEST(DrawingGen, CompleteR2000Frame) {
    const Parsed d = parse(generateDrawingText({2000, 3}));
    const std::vector<std::string> order = {"HEADER",   "CLASSES", "TABLES", "BLOCKS",
                                            "ENTITIES", "OBJECTS", "EOF"};
    EXPECT_EQ(d.order, order);

    std::map<std::string, std::vector<Pair>> vars;
    std::string current;
    for (const Record &r : d.sections.at("HEADER"))
        for (const Pair &p : r.groups) {
            if (p.code == 9)
                current = p.value;
            else
                vars[current].push_back(p);
        }
    EXPECT_EQ(vars["$ACADVER"].at(0).value, "AC1015");
    EXPECT_EQ(vars["$DWGCODEPAGE"].at(0).value, "ANSI_1251");
    EXPECT_EQ(vars["$TILEMODE"].at(0).value, "1");
    EXPECT_EQ(vars["$CLAYER"].at(0).value, "0");
    EXPECT_EQ(vars["$CECOLOR"].at(0).value, "256");
    EXPECT_EQ(vars["$CELTYPE"].at(0).value, "ByLayer");
    ASSERT_EQ(vars["$HANDSEED"].size(), 1u);

    std::map<std::string, std::vector<std::string>> entries; // table type -> names
    for (const Record &r : d.sections.at("TABLES"))
        if (r.type != "TABLE" && r.type != "ENDTAB")
            entries[r.type].push_back(r.get(2));
    using V = std::vector<std::string>;
    EXPECT_EQ(entries["VPORT"], V{"*ACTIVE"});
    EXPECT_EQ(entries["LTYPE"], (V{"ByBlock", "ByLayer", "Continuous", "DASHED"}));
    EXPECT_EQ(entries["STYLE"], V{"Standard"});
    EXPECT_EQ(entries["APPID"], V{"ACAD"});
    EXPECT_EQ(entries["DIMSTYLE"], V{"Standard"});
    EXPECT_EQ(entries["LAYER"].size(), 20u);
    EXPECT_EQ(entries["LAYER"].at(0), "0");
    EXPECT_EQ(std::set<std::string>(entries["LAYER"].begin(), entries["LAYER"].end()).size(), 20u);
    const V &records = entries["BLOCK_RECORD"];
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0], "*Model_Space");
    EXPECT_EQ(records[1], "*Paper_Space");

    for (const Record &r : d.sections.at("TABLES"))
        if (r.type == "LAYER") {
            const int colour = std::atoi(r.get(62).c_str());
            EXPECT_TRUE(colour >= 1 && colour <= 255) << r.get(2);
        }

    V blockNames;
    for (const Record &r : d.sections.at("BLOCKS"))
        if (r.type == "BLOCK")
            blockNames.push_back(r.get(2));
    EXPECT_EQ(blockNames, records) << "one block per block record, in the same order";

    const Record &root = d.sections.at("OBJECTS").at(0);
    EXPECT_EQ(root.type, "DICTIONARY");
    EXPECT_EQ(root.get(3), "ACAD_GROUP");
}

// Test handles and owners: every handle unique, $HANDSEED above all of them, every owner an
// existing handle, model space entities owned by the model space record, vertices and the end
// of sequence owned by their polyline.
TEST(DrawingGen, HandlesAndOwners) {
    const std::string text = generateDrawingText({5000, 11});
    const Parsed d = parse(text);
    std::set<unsigned long long> handles;
    unsigned long long seed = 0;
    std::vector<std::pair<std::string, unsigned long long>> owners;
    std::map<std::string, unsigned long long> recordHandle;
    for (const auto &[name, records] : d.sections) {
        for (const Record &r : records) {
            for (const Pair &p : r.groups) {
                if (name == "HEADER" && p.code == 5)
                    seed = hex(p.value);
                else if (name != "HEADER" && (p.code == 5 || p.code == 105)) {
                    EXPECT_TRUE(handles.insert(hex(p.value)).second)
                        << "duplicate handle " << p.value;
                } else if (p.code == 330)
                    owners.push_back({r.type, hex(p.value)});
            }
            if (r.type == "BLOCK_RECORD")
                recordHandle[r.get(2)] = hex(r.get(5));
        }
    }
    ASSERT_FALSE(handles.empty());
    EXPECT_GT(seed, *handles.rbegin());
    for (const auto &[type, owner] : owners)
        EXPECT_TRUE(owner == 0 || handles.count(owner)) << type << " owned by " << owner;

    const unsigned long long model = recordHandle.at("*Model_Space");
    unsigned long long polyline = 0;
    int vertices = 0;
    for (const Record &r : d.sections.at("ENTITIES")) {
        if (r.type == "VERTEX" || r.type == "SEQEND") {
            ASSERT_NE(polyline, 0u) << r.type << " outside a polyline";
            EXPECT_EQ(hex(r.get(330)), polyline);
            ++vertices;
            if (r.type == "SEQEND") {
                EXPECT_GE(vertices, 3) << "two vertices at least, then SEQEND";
                polyline = 0;
            }
            continue;
        }
        EXPECT_EQ(polyline, 0u) << "polyline without SEQEND before " << r.type;
        EXPECT_EQ(hex(r.get(330)), model) << r.type << " " << r.get(5);
        if (r.type == "POLYLINE") {
            polyline = hex(r.get(5));
            vertices = 0;
        }
    }
}

// Test the mix: shares of each kind near what was asked, a third ByLayer, lightweight
// polylines of 2..50 vertices with the count in 90, some closed and some bulged, 2D and 3D
// polylines told apart by flag 8, and only the blocks that exist inserted.
TEST(DrawingGen, EntityMix) {
    const uint64_t n = 40000;
    GenStats stats;
    const Parsed d = parse(generateDrawingText({n, 5}, &stats));
    std::map<std::string, uint64_t> count;
    uint64_t byLayer = 0, closedLw = 0, bulgedLw = 0, poly2d = 0, poly3d = 0;
    std::set<std::string> blocks;
    for (const Record &r : d.sections.at("BLOCKS"))
        if (r.type == "BLOCK")
            blocks.insert(r.get(2));
    std::set<std::string> layers;
    for (const Record &r : d.sections.at("TABLES"))
        if (r.type == "LAYER")
            layers.insert(r.get(2));

    for (const Record &r : d.sections.at("ENTITIES")) {
        if (r.type == "VERTEX" || r.type == "SEQEND")
            continue;
        ++count[r.type];
        EXPECT_TRUE(layers.count(r.get(8))) << "layer " << r.get(8) << " not in the table";
        if (!r.has(62)) {
            ++byLayer;
        } else {
            const int c = std::atoi(r.get(62).c_str());
            EXPECT_TRUE(c >= 1 && c <= 255) << c;
        }
        if (r.type == "LWPOLYLINE") {
            int verts = 0;
            bool bulge = false;
            for (const Pair &p : r.groups) {
                verts += p.code == 10;
                bulge = bulge || p.code == 42;
            }
            EXPECT_TRUE(verts >= 2 && verts <= 50) << verts;
            EXPECT_EQ(std::to_string(verts), r.get(90));
            closedLw += (std::atoi(r.get(70).c_str()) & 1) != 0;
            bulgedLw += bulge;
        }
        if (r.type == "POLYLINE")
            ++((std::atoi(r.get(70).c_str()) & 8) ? poly3d : poly2d);
        if (r.type == "INSERT") {
            EXPECT_TRUE(blocks.count(r.get(2))) << r.get(2);
        }
    }
    auto near = [n](uint64_t got, double share) {
        return std::abs(static_cast<double>(got) - share * n) < 0.01 * n;
    };
    EXPECT_TRUE(near(count["LINE"], 0.60)) << count["LINE"];
    EXPECT_TRUE(near(count["LWPOLYLINE"], 0.25)) << count["LWPOLYLINE"];
    EXPECT_TRUE(near(poly2d, 0.05)) << poly2d;
    EXPECT_TRUE(near(poly3d, 0.02)) << poly3d;
    EXPECT_TRUE(near(count["INSERT"], 0.03)) << count["INSERT"];
    EXPECT_GT(count["CIRCLE"], 0u);
    EXPECT_GT(count["ARC"], 0u);
    EXPECT_GT(count["TEXT"], 0u);
    EXPECT_TRUE(near(byLayer, 1.0 / 3)) << byLayer;
    EXPECT_GT(closedLw, count["LWPOLYLINE"] / 10);
    EXPECT_LT(closedLw, count["LWPOLYLINE"] / 2);
    EXPECT_GT(bulgedLw, count["LWPOLYLINE"] / 20);

    // The generator's own summary agrees with what is in the file.
    EXPECT_EQ(stats.lines, count["LINE"]);
    EXPECT_EQ(stats.lwpolylines, count["LWPOLYLINE"]);
    EXPECT_EQ(stats.polylines2d, poly2d);
    EXPECT_EQ(stats.polylines3d, poly3d);
    EXPECT_EQ(stats.byLayer, byLayer);
    EXPECT_EQ(stats.total(), n);
}

} // namespace
} // namespace tevbench
