// layer_table.cpp - the walk over a drawing's layer table.
#include "layer_table.h"

#include "dbmain.h"
#include "dbsymtb.h"

#include <memory>

namespace host {

bool forEachLayer(AcDbDatabase &db,
                  const std::function<void(const AcDbLayerTableRecord &)> &visit) {
    AcDbLayerTable *table = nullptr;
    if (db.getLayerTable(table, AcDb::kForRead) != Acad::eOk)
        return false;
    AcDbSymbolTableIterator *raw = nullptr;
    if (table->newIterator(raw) == Acad::eOk) {
        std::unique_ptr<AcDbSymbolTableIterator> it(raw);
        for (; !it->done(); it->step()) {
            AcDbSymbolTableRecord *rec = nullptr;
            if (it->getRecord(rec, AcDb::kForRead) != Acad::eOk)
                continue;
            if (const auto *layer = AcDbLayerTableRecord::cast(rec))
                visit(*layer);
            (void)rec->close(); // our own read open
        }
    }
    (void)table->close(); // our own read open
    return true;
}

AcDbLayerTableRecord *newLayerRecord(AcDbDatabase &db) {
    auto *layer = new AcDbLayerTableRecord; // the objects' allocator: nullptr when out of memory
    if (layer == nullptr)
        return nullptr;
    AcDbLinetypeTable *linetypes = nullptr;
    if (db.getLinetypeTable(linetypes, AcDb::kForRead) == Acad::eOk) {
        AcDbObjectId continuous;
        if (linetypes->getAt("Continuous", continuous) == Acad::eOk)
            (void)layer->setLinetypeObjectId(continuous); // a record not yet added takes any
        (void)linetypes->close();                         // our own read open
    }
    return layer;
}

} // namespace host
