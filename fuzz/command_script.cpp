// command_script.cpp - the command-line fuzz target's model: script parsing, the sample
// drawing, and the checks after every command.
#include "command_script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "acedads.h"
#include "allocator.h"
#include "command_line.h"
#include "draw.h"
#include "edit.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"
#include "dxf_io.h"
#include "dxf_round_trip.h"
#include "misuse.h"

namespace tevfuzz {

// clang-format off
const CommandEntry kCommands[] = {
    // name    body
    {"Cl",    colorLineCommand},
    {"Sel",   recolorCommand},
    {"Lp",    cornerLineCommand},
    {"Jl",    joinLinesCommand},
    {"Nor",   snapAngleCommand},
    {"Lpl",   lengthByColorCommand},
    {"Wpe",   polylineWidthCommand},
    {"En",    entityListCommand},
    {"nEn",   nestedEntityListCommand},
};
// clang-format on
const std::size_t kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The command a "@..." line names: its own when it is one of the nine, otherwise one
// chosen by its bytes so that no input is wasted.
std::size_t commandNamed(std::string_view name) {
    std::size_t sum = 0;
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        if (sameNameIgnoringCase(name, kCommands[i].name))
            return i;
    }
    for (char c : name)
        sum += static_cast<unsigned char>(c);
    return sum % kCommandCount;
}

// "Name" or "Name !N": the command and the failing allocation (0 when not given or not
// a positive number below a million: larger ones never fire in a short command anyway).
CommandRun commandLine(std::string_view rest) {
    CommandRun run;
    const std::size_t bang = rest.find(" !");
    std::string_view name = rest.substr(0, bang);
    run.command = commandNamed(name);
    if (bang != std::string_view::npos) {
        std::string_view digits = rest.substr(bang + 2);
        long n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9' || n >= 100000) {
                n = 0;
                break;
            }
            n = n * 10 + (c - '0');
        }
        run.failAt = n;
    }
    return run;
}

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

// --- building the sample drawing --------------------------------------------------------

// Calls the fuzz target cannot go on without: a sample drawing that cannot be built is
// a broken host, not a finding, so it stops the run loudly.
void need(Acad::ErrorStatus es, const char *what) {
    if (es == Acad::eOk)
        return;
    std::fprintf(stderr, "sample drawing: %s: %s\n", what, Acad::errorStatusName(es));
    std::abort();
}

void addLayer(AcDbDatabase &db, const char *name, int color, bool locked) {
    AcDbLayerTable *table = nullptr;
    need(db.getSymbolTable(table, AcDb::kForWrite), "open the layer table");
    auto *record = new AcDbLayerTableRecord;
    need(record->setName(name), "layer name");
    AcCmColor c;
    need(c.setColorIndex(static_cast<Adesk::UInt16>(color)), "colour index");
    need(record->setColor(c), "layer colour");
    need(record->setIsLocked(locked), "layer lock");
    need(table->add(record), "add the layer");
    need(record->close(), "close the layer");
    need(table->close(), "close the layer table");
}

AcDbObjectId addBlock(AcDbDatabase &db, const char *name) {
    AcDbBlockTable *table = nullptr;
    need(db.getSymbolTable(table, AcDb::kForWrite), "open the block table");
    auto *record = new AcDbBlockTableRecord;
    need(record->setName(name), "block name");
    AcDbObjectId id;
    need(table->add(id, record), "add the block");
    need(record->close(), "close the block");
    need(table->close(), "close the block table");
    return id;
}

// Appends entity to space with the given colour and layer.
void append(AcDbObjectId space, AcDbEntity *entity, int color = 256, const char *layer = "0") {
    AcDbBlockTableRecord *record = nullptr;
    need(acdbOpenObject(record, space, AcDb::kForWrite), "open the space");
    AcDbObjectId id;
    need(record->appendAcDbEntity(id, entity), "append");
    // Layer names are looked up in the entity's own database: set once it has one.
    need(entity->setColorIndex(static_cast<Adesk::UInt16>(color)), "entity colour");
    need(entity->setLayer(layer), "entity layer");
    need(entity->close(), "close the entity");
    need(record->close(), "close the space");
}

AcGePoint3dArray points(std::initializer_list<AcGePoint3d> list) {
    AcGePoint3dArray array;
    for (const AcGePoint3d &p : list)
        array.append(p);
    return array;
}

// --- the checks after a command -----------------------------------------------------------

std::string joined(const std::vector<std::string> &lines) {
    std::string out;
    for (const std::string &line : lines)
        out += (out.empty() ? "" : "; ") + line;
    return out;
}

// The drawing writes, the text reads back, and that drawing writes the same text.
std::string roundTripProblem(AcDbDatabase &db) {
    std::string first, error;
    if (!dxf::writeDrawingText(db, first, error))
        return "the drawing no longer writes: " + error;
    std::unique_ptr<AcDbDatabase> again = dxf::readDrawingText(first, "after.dxf", error);
    if (again == nullptr)
        return "the drawing written does not read back: " + error;
    std::string second;
    if (!dxf::writeDrawingText(*again, second, error))
        return "the drawing read back does not write: " + error;
    if (second != first)
        return "the drawing read back writes differently, at " + describeDifference(first, second);
    return {};
}

} // namespace

std::vector<CommandRun> parseCommandScript(std::string_view bytes) {
    std::vector<CommandRun> runs;
    if (bytes.empty())
        return runs;
    for (std::string_view line : splitLines(bytes)) {
        if (!line.empty() && line[0] == '@') {
            if (runs.size() == kMaxCommands)
                break;
            runs.push_back(commandLine(line.substr(1)));
            continue;
        }
        if (runs.empty()) {
            CommandRun first;
            first.command = static_cast<unsigned char>(bytes[0]) % kCommandCount;
            runs.push_back(first);
        }
        auto &answers = runs.back().answers;
        if (answers.size() == kMaxAnswers)
            continue;
        if (line == "^C")
            answers.emplace_back(std::nullopt);
        else
            answers.emplace_back(std::string(line));
    }
    return runs;
}

AcDbDatabase *buildSampleDrawing() {
    tev::db::alloc::Exempt exempt;
    auto *db = new AcDbDatabase(/*buildDefaultDrawing=*/true);
    addLayer(*db, "RED", 1, /*locked=*/false);
    addLayer(*db, "LOCKED", 3, /*locked=*/true);
    const AcDbObjectId ms = db->modelSpaceId();

    append(ms, new AcDbLine({0, 0, 0}, {10, 0, 0}), 1);
    append(ms, new AcDbLine({12, 0, 0}, {20, 0, 0}));
    append(ms, new AcDbLine({0, 5, 0}, {0, 15, 0}), 256, "RED");
    append(ms, new AcDbLine({30, 0, 0}, {40, 10, 0}), 2, "LOCKED");
    append(ms, new AcDbLine({0, 40, 0}, {10, 50, 5}), 0);

    auto *lw = new AcDbPolyline;
    const AcGePoint2d lwPoints[] = {{0, 20}, {10, 20}, {10, 30}};
    for (unsigned int i = 0; i < 3; ++i)
        need(lw->addVertexAt(i, lwPoints[i]), "polyline vertex");
    append(ms, lw, 5);
    AcGePoint3dArray p2 = points({{20, 20, 0}, {30, 20, 0}, {30, 30, 0}});
    append(ms, new AcDb2dPolyline(AcDb::k2dSimplePoly, p2, 0.0, /*closed=*/true), 4);
    AcGePoint3dArray p3 = points({{40, 20, 0}, {50, 20, 1}, {50, 30, 2}});
    append(ms, new AcDb3dPolyline(AcDb::k3dSimplePoly, p3), 6);
    append(ms, new AcDbCircle({50, 50, 0}, AcGeVector3d::kZAxis, 5), 5);

    const AcDbObjectId post = addBlock(*db, "POST");
    append(post, new AcDbLine({0, 0, 0}, {5, 0, 0}), 1);
    append(post, new AcDbCircle({0, 0, 0}, AcGeVector3d::kZAxis, 1), 0);
    append(ms, new AcDbBlockReference({100, 0, 0}, post), 3);
    const AcDbObjectId nest = addBlock(*db, "NEST");
    append(nest, new AcDbBlockReference({10, 0, 0}, post));
    append(ms, new AcDbBlockReference({100, 50, 0}, nest), 0, "RED");
    return db;
}

std::string problemsAfterCommand(AcDbDatabase &db, std::string_view command) {
    std::string problems;
    auto add = [&](const std::string &what) {
        problems += (problems.empty() ? "" : "\n") + std::string(command) + ": " + what;
    };
    if (tev::db::openObjectCount(db) != 0)
        add("left open: " + joined(tev::db::objectsLeftOpen(db)));
    host::CommandLine &cl = host::CommandLine::current();
    if (const std::size_t sets = cl.allocatedSelectionSets(); sets != 0)
        add(std::to_string(sets) + " selection set(s) left allocated");
    if (!tev::db::misuseReports().empty()) {
        add("database misuse: " + joined(tev::db::misuseReports()));
        tev::db::clearMisuseReports();
    }
    // Only a drawing with nothing open can be written fairly.
    if (problems.empty()) {
        if (std::string trip = roundTripProblem(db); !trip.empty())
            add(trip);
    }
    return problems;
}

std::string checkCommandScript(std::string_view bytes) {
    const std::vector<CommandRun> runs = parseCommandScript(bytes);
    tev::db::alloc::reset();
    tev::db::clearMisuseReports();
    const long liveBefore = tev::db::alloc::liveObjects();
    std::unique_ptr<AcDbDatabase> db(buildSampleDrawing());
    acdbHostApplicationServices()->setWorkingDatabase(db.get());

    std::string problems;
    for (const CommandRun &run : runs) {
        host::CommandLine &cl = host::CommandLine::reset();
        for (const auto &answer : run.answers) {
            if (answer)
                cl.queue()->push(*answer);
            else
                cl.queue()->pushEscape();
        }
        {
            tev::db::alloc::ScopedFailure failure(run.failAt);
            kCommands[run.command].body();
        }
        problems = problemsAfterCommand(*db, kCommands[run.command].name);
        if (!problems.empty())
            break;
    }
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    if (!problems.empty())
        return problems;
    db.reset();
    host::CommandLine::reset(); // drops anything the last command line still held
    if (const long leaked = tev::db::alloc::liveObjects() - liveBefore; leaked != 0)
        return std::to_string(leaked) + " database object(s) outlived their drawing";
    return {};
}

} // namespace tevfuzz
