// layer_states.cpp - -LAYER ON, OFF, Freeze, Thaw, Make and LType.
#include "layer_states.h"

#include "acedads.h"
#include "command_line.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "i18n.h"
#include "layer_table.h"
#include "text_util.h"

#include <string>
#include <vector>

namespace host {

namespace {

using i18n::tr;

std::string currentLayerName(AcDbDatabase &db) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (acdbOpenObject(rec, db.clayer(), AcDb::kForRead) != Acad::eOk)
        return {};
    std::string name = rec->nameRef();
    (void)rec->close(); // our own read open
    return name;
}

// Asks for a name list; the names of the layers it matches (none: said so). Escape: false.
bool askLayers(AcDbDatabase &db, const std::string &prompt, const std::string &dflt,
               std::vector<std::string> &names) {
    auto &cl = CommandLine::current();
    Answer a = cl.ask(prompt);
    if (!a.isText())
        return false;
    std::string patterns = a.text.empty() ? dflt : a.text;
    if (patterns.empty())
        return true;
    (void)forEachLayer(db, [&](const AcDbLayerTableRecord &layer) {
        if (layerNameMatches(layer.nameRef(), patterns))
            names.push_back(layer.nameRef());
    });
    if (names.empty())
        cl.refuse(std::string(tr("No matching layer names found:")) + " " + patterns);
    return true;
}

// Opens the layer of that name for write and calls change; false when it cannot be opened.
template <class Change> bool changeLayer(AcDbDatabase &db, const std::string &name, Change change) {
    AcDbLayerTable *table = nullptr;
    if (db.getLayerTable(table, AcDb::kForRead) != Acad::eOk)
        return false;
    AcDbLayerTableRecord *layer = nullptr;
    bool opened = table->getAt(name.c_str(), layer, AcDb::kForWrite) == Acad::eOk;
    (void)table->close(); // our own read open
    if (!opened)
        return false;
    change(*layer);
    (void)layer->close(); // our own write open: closing commits
    return true;
}

bool setCurrent(const std::string &name) {
    resbuf rb{};
    rb.restype = RTSTR;
    std::string copy = name;
    rb.resval.rstring = copy.data();
    return acedSetVar("CLAYER", &rb) == RTNORM;
}

} // namespace

bool layerOnOff(AcDbDatabase &db, bool on) {
    auto &cl = CommandLine::current();
    std::vector<std::string> names;
    if (!askLayers(db,
                   on ? tr("\nEnter name list of layer(s) to turn On: ")
                      : tr("\nEnter name list of layer(s) to turn Off: "),
                   {}, names))
        return false;
    const std::string current = currentLayerName(db);
    for (const std::string &name : names) {
        if (!on && text::equalsIgnoreCase(name, current)) {
            Answer a = cl.ask(
                i18n::format(tr("\nReally want layer %s (the CURRENT layer) off? <N>: "), {name}));
            if (!a.isText())
                return false;
            std::string yes = text::toUpper(a.text);
            if (yes != "Y" && yes != "YES")
                continue;
        }
        (void)changeLayer(db, name, [&](AcDbLayerTableRecord &l) { (void)l.setIsOff(!on); });
    }
    return true;
}

bool layerFreezeThaw(AcDbDatabase &db, bool freeze) {
    auto &cl = CommandLine::current();
    std::vector<std::string> names;
    if (!askLayers(db,
                   freeze ? tr("\nEnter name list of layer(s) to freeze: ")
                          : tr("\nEnter name list of layer(s) to thaw: "),
                   {}, names))
        return false;
    const std::string current = currentLayerName(db);
    for (const std::string &name : names) {
        if (freeze && text::equalsIgnoreCase(name, current)) {
            cl.refuse(
                i18n::format(tr("Cannot freeze layer \"%s\".  It is the CURRENT layer."), {name}));
            continue;
        }
        (void)changeLayer(db, name, [&](AcDbLayerTableRecord &l) { (void)l.setIsFrozen(freeze); });
    }
    return true;
}

bool layerMake(AcDbDatabase &db) {
    auto &cl = CommandLine::current();
    const std::string current = currentLayerName(db);
    Answer a = cl.ask(i18n::format(
        tr("\nEnter name for new layer (becomes the current layer) <%s>: "), {current}));
    if (!a.isText())
        return false;
    const std::string name = a.text.empty() ? current : a.text;
    AcDbLayerTable *table = nullptr;
    if (db.getLayerTable(table, AcDb::kForWrite) != Acad::eOk) {
        cl.refuse(tr("The layer table cannot be opened."));
        return true;
    }
    if (!table->has(name.c_str())) {
        auto *layer = newLayerRecord(db);
        if (layer == nullptr || layer->setName(name.c_str()) != Acad::eOk ||
            table->add(layer) != Acad::eOk) {
            delete layer;
            (void)table->close();
            cl.refuse(std::string(tr("Invalid layer name:")) + " " + name);
            return true;
        }
        (void)layer->close(); // added: the table owns it
    }
    (void)table->close();
    (void)changeLayer(db, name, [](AcDbLayerTableRecord &l) {
        if (l.isOff())
            (void)l.setIsOff(false);
    });
    if (!setCurrent(name))
        cl.refuse(i18n::format(tr("Cannot find layer \"%s\" or it is frozen."), {name}));
    return true;
}

bool layerLinetype(AcDbDatabase &db) {
    auto &cl = CommandLine::current();
    AcDbObjectId linetype;
    std::string typeName;
    for (;;) {
        Answer a = cl.ask(tr("\nEnter a loaded linetype name <Continuous>: "));
        if (!a.isText())
            return false;
        typeName = a.text.empty() ? std::string("Continuous") : a.text;
        AcDbLinetypeTable *types = nullptr;
        if (db.getLinetypeTable(types, AcDb::kForRead) != Acad::eOk)
            return true;
        bool found = types->getAt(typeName.c_str(), linetype) == Acad::eOk;
        (void)types->close(); // our own read open
        if (found)
            break;
        cl.refuse(i18n::format(tr("Linetype \"%s\" is not loaded."), {typeName}));
    }
    std::vector<std::string> names;
    const std::string current = currentLayerName(db);
    if (!askLayers(db,
                   i18n::format(tr("\nEnter name list of layer(s) for linetype \"%s\" <%s>: "),
                                {typeName, current}),
                   current, names))
        return false;
    for (const std::string &name : names)
        (void)changeLayer(db, name,
                          [&](AcDbLayerTableRecord &l) { (void)l.setLinetypeObjectId(linetype); });
    return true;
}

} // namespace host
