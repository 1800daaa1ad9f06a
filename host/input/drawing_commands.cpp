// drawing_commands.cpp - LINE, PLINE, CIRCLE and -LAYER.
#include "drawing_commands.h"
#include "drawing_helpers.h"
#include "text_util.h"

#include "acedads.h"
#include "answer_parse.h"
#include "command_line.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbsymtb.h"
#include "i18n.h"
#include "layer_states.h"
#include "layer_table.h"
#include "point_snaps.h"
#include "prompt_band.h"
#include "sysvars.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace host {

using i18n::tr;

using host::text::toUpper;

namespace draw {

AcDbDatabase *working() {
    return acdbHostApplicationServices()->workingDatabase();
}

Point3 lastPoint() {
    ads_point p;
    getLastPoint(p);
    return {p[X], p[Y], p[Z]};
}

void rememberPoint(const Point3 &p) {
    ads_point q = {p.x, p.y, p.z};
    setLastPoint(q);
}

AcGePoint3d ge(const Point3 &p) {
    return {p.x, p.y, p.z};
}

AcDbObjectId addEntity(AcDbDatabase &db, AcDbEntity *entity) {
    auto &cl = CommandLine::current();
    if (entity == nullptr) {
        cl.refuse(tr("Out of memory: nothing was drawn."));
        return {};
    }
    AcDbBlockTableRecord *space = nullptr;
    if (acdbOpenObject(space, db.currentSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        delete entity;
        cl.refuse(tr("The current space cannot be changed now."));
        return {};
    }
    AcDbObjectId id;
    Acad::ErrorStatus es = space->appendAcDbEntity(id, entity);
    (void)space->close(); // our own write open: closing commits and cannot fail
    if (es != Acad::eOk) {
        delete entity;
        cl.refuse(std::string(tr("Cannot add the entity:")) + " " + Acad::errorStatusName(es));
        return {};
    }
    (void)entity->close();
    return id;
}

void eraseEntity(AcDbObjectId id) {
    AcDbEntity *ent = nullptr;
    if (acdbOpenAcDbEntity(ent, id, AcDb::kForWrite) != Acad::eOk)
        return;
    (void)ent->erase();
    (void)ent->close();
}

Step askPointOrWord(const std::string &prompt, const Point3 &base, Point3 &pt, std::string &word,
                    const Point3 *rubber) {
    auto &cl = CommandLine::current();
    PromptSnaps snaps(rubber);
    for (;;) {
        cl.expect(Want::Point);
        Answer a = cl.ask(snaps.prompt(prompt));
        if (!a.isText())
            return Step::Cancel;
        if (a.text.empty() && snaps.pending()) {
            snaps.drop();
            continue;
        }
        if (a.text.empty())
            return Step::Empty;
        if (snaps.modifier(a))
            continue;
        bool far = false;
        if (auto p = parsePoint(a.text, base, &far)) {
            auto landed = snaps.land(*p, a);
            if (!landed)
                continue;
            pt = *landed;
            rememberPoint(pt);
            return Step::Point;
        }
        if (far) {
            cl.refuse(tr(kOutOfRangeMessage));
            continue;
        }
        word = toUpper(a.text);
        return Step::Word;
    }
}

AcDbDatabase *needDrawing() {
    AcDbDatabase *db = working();
    if (!db)
        CommandLine::current().refuse(tr("No drawing is open."));
    return db;
}

} // namespace draw

using namespace draw;

namespace {

// Opens the layer table of db for read or write; nullptr with a message when it cannot.
AcDbLayerTable *openLayers(AcDbDatabase &db, AcDb::OpenMode mode) {
    AcDbLayerTable *table = nullptr;
    if (db.getSymbolTable(table, mode) != Acad::eOk) {
        CommandLine::current().refuse(tr("The layer table cannot be opened."));
        return nullptr;
    }
    return table;
}

// Splits "a,b,c" into names; empty names are dropped.
std::vector<std::string> nameList(const std::string &text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::string name =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!name.empty())
            out.push_back(name);
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

// Applies change to each named layer, reporting those that do not exist.
template <class Change> void forLayers(AcDbDatabase &db, const std::string &names, Change change) {
    auto &cl = CommandLine::current();
    AcDbLayerTable *table = openLayers(db, AcDb::kForRead);
    if (!table)
        return;
    for (const std::string &name : nameList(names)) {
        AcDbLayerTableRecord *layer = nullptr;
        if (table->getAt(name.c_str(), layer, AcDb::kForWrite) != Acad::eOk) {
            cl.refuse(std::string(tr("No matching layer names found:")) + " " + name);
            continue;
        }
        change(*layer);
        (void)layer->close();
    }
    (void)table->close();
}

void newLayers(AcDbDatabase &db, const std::string &names) {
    auto &cl = CommandLine::current();
    AcDbLayerTable *table = openLayers(db, AcDb::kForWrite);
    if (!table)
        return;
    for (const std::string &name : nameList(names)) {
        if (table->has(name.c_str())) {
            cl.refuse(i18n::format(tr("Layer \"%s\" already exists."), {name}));
            continue;
        }
        auto *layer = newLayerRecord(db);
        if (layer == nullptr) {
            cl.refuse(i18n::format(tr("Out of memory: layer \"%s\" was not made."), {name}));
            continue;
        }
        if (layer->setName(name.c_str()) != Acad::eOk || table->add(layer) != Acad::eOk) {
            delete layer;
            cl.refuse(std::string(tr("Invalid layer name:")) + " " + name);
            continue;
        }
        (void)layer->close();
    }
    (void)table->close();
}

} // namespace

void lineCommand() {
    AcDbDatabase *db = needDrawing();
    if (!db)
        return;
    Point3 first, prev, p;
    std::string word;
    for (;;) {
        Step s = askPointOrWord(tr("\nSpecify first point: "), lastPoint(), first, word);
        if (s == Step::Point)
            break;
        if (s != Step::Word)
            return;
        CommandLine::current().refuse(tr("Invalid point."));
    }
    prev = first;
    std::vector<std::pair<AcDbObjectId, Point3>> drawn; // each line and its start
    for (;;) {
        std::string prompt = drawn.size() >= 2 ? tr("\nSpecify next point or [Close/Undo]: ")
                                               : tr("\nSpecify next point or [Undo]: ");
        BandScope band(bandFrom(Band::Kind::Line, prev));
        Step s = askPointOrWord(prompt, prev, p, word, &prev);
        if (s == Step::Empty || s == Step::Cancel)
            return;
        if (s == Step::Word && (word == "U" || word == "UNDO")) {
            if (drawn.empty()) {
                CommandLine::current().refuse(tr("All segments already undone."));
                continue;
            }
            eraseEntity(drawn.back().first);
            prev = drawn.back().second;
            drawn.pop_back();
            continue;
        }
        if (s == Step::Word && (word == "C" || word == "CLOSE") && drawn.size() >= 2) {
            (void)addEntity(*db, new AcDbLine(ge(prev), ge(first)));
            rememberPoint(first);
            return;
        }
        if (s == Step::Word) {
            CommandLine::current().refuse(tr("Invalid point."));
            continue;
        }
        AcDbObjectId id = addEntity(*db, new AcDbLine(ge(prev), ge(p)));
        if (id.isNull())
            return;
        drawn.emplace_back(id, prev);
        prev = p;
    }
}

void layerCommand() {
    AcDbDatabase *db = needDrawing();
    if (!db)
        return;
    auto &cl = CommandLine::current();
    for (;;) {
        Answer a = cl.ask(
            tr("\nEnter an option [?/Make/Set/New/ON/OFF/Color/Ltype/Freeze/Thaw/LOck/Unlock]: "));
        if (!a.isText() || a.text.empty())
            return;
        std::string option = toUpper(a.text);
        if (option == "?") {
            listLayers(*db);
        } else if (option == "N" || option == "NEW") {
            Answer names = cl.ask(tr("\nEnter name list for new layer(s): "));
            if (!names.isText())
                return;
            newLayers(*db, names.text);
        } else if (option == "C" || option == "COLOR") {
            int color = 0; // 0: none given
            for (;;) {
                Answer c = cl.ask(tr("\nEnter color name or number (1-255): "));
                if (!c.isText())
                    return;
                if (c.text.empty())
                    break;
                std::optional<int> typed = parseColorText(c.text);
                if (typed && *typed >= 1 && *typed <= 255) {
                    color = *typed;
                    break;
                }
                cl.refuse(tr("Invalid color."));
            }
            if (color == 0)
                continue;
            Answer names = cl.ask(i18n::format(tr("\nEnter name list of layer(s) for color %s: "),
                                               {std::to_string(color)}));
            if (!names.isText())
                return;
            forLayers(*db, names.text, [&](AcDbLayerTableRecord &layer) {
                AcCmColor c;
                (void)c.setColorIndex(static_cast<Adesk::UInt16>(color)); // 1..255: taken
                (void)layer.setColor(c);
            });
        } else if (option == "LO" || option == "LOCK" || option == "U" || option == "UNLOCK") {
            bool lock = option[0] == 'L';
            Answer names = cl.ask(lock ? tr("\nEnter name list of layer(s) to lock: ")
                                       : tr("\nEnter name list of layer(s) to unlock: "));
            if (!names.isText())
                return;
            forLayers(*db, names.text,
                      [&](AcDbLayerTableRecord &layer) { (void)layer.setIsLocked(lock); });
        } else if (option == "ON" || option == "OFF") {
            if (!layerOnOff(*db, option == "ON"))
                return;
        } else if (option == "F" || option == "FREEZE" || option == "T" || option == "THAW") {
            if (!layerFreezeThaw(*db, option[0] == 'F'))
                return;
        } else if (option == "M" || option == "MAKE") {
            if (!layerMake(*db))
                return;
        } else if (option == "L" || option == "LT" || option == "LTYPE") {
            if (!layerLinetype(*db))
                return;
        } else if (option == "S" || option == "SET") {
            Answer name = cl.ask(tr("\nEnter layer name to make current: "));
            if (!name.isText())
                return;
            if (!name.text.empty()) {
                resbuf rb{};
                rb.restype = RTSTR;
                rb.resval.rstring = name.text.data();
                if (acedSetVar("CLAYER", &rb) != RTNORM)
                    cl.refuse(
                        i18n::format(tr("Cannot find layer \"%s\" or it is frozen."), {name.text}));
            }
        } else {
            cl.refuse(tr("Invalid option keyword."));
        }
    }
}

} // namespace host
