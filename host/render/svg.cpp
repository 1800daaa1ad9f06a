// svg.cpp - the walk over the model space that turns entities into a scene: transforms of
// block references, colours and linetypes resolved, hidden layers left out.
#include "svg.h"

#include "dashes.h"
#include "groups.h"
#include "kinds.h"
#include "scene.h"
#include "text.h"

#include "access.h"
#include "database_impl.h"
#include "files.h"
#include "shape.h"

#include "dbmain.h"
#include "dbents.h"
#include "dbpl.h"
#include "dbpoly.h"
#include "dbsymtb.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace host::render {
namespace {

// Nesting deeper than this is not a real drawing (the host refuses to make such blocks).
constexpr int kMaxDepth = 32;
// Block references can multiply: a picture beyond this many elements is refused.
constexpr std::size_t kMaxPrimitives = 4'000'000;
constexpr int kWhite = 7; // drawn black on paper

bool sameName(const char *a, const char *b) {
    return strcasecmp(a, b) == 0;
}

// Lineweights: the special values, and the widest there is (hundredths of a millimetre).
constexpr int kWeightByLayer = -1;
constexpr int kWeightByBlock = -2;
constexpr int kWeightWidest = 211;

struct LayerInfo {
    bool isZero = false; // layer "0": entities on it in a block take the reference's layer
    bool off = false;
    bool frozen = false;
    int color = kWhite;
    Rgb rgb = aciToRgb(kWhite); // the true colour where the layer has one
    double weight = 0;          // millimetres; 0 the thinnest line
    AcDbObjectId linetype;
};

struct LinetypeInfo {
    enum Kind { Solid, ByLayer, ByBlock, Dashed } kind = Solid;
    std::vector<double> pattern; // + dash, - gap, 0 dot; empty: none known
};

// What a block reference hands down to the entities of its block.
struct Context {
    Xform xf;                  // block coordinates → world
    int byBlockColor = kWhite; // the reference's resolved colour
    Rgb byBlockRgb = aciToRgb(kWhite);
    double byBlockWeight = 0;     // the reference's resolved lineweight (millimetres)
    AcDbObjectId byBlockLinetype; // the reference's resolved linetype (null: solid)
    AcDbObjectId insertLayer;     // the reference's layer; null at the top
    int depth = 0;
};

// What an entity draws with once ByLayer and ByBlock are resolved; a block reference (or a
// dimension) hands it down to its block.
struct Resolved {
    AcDbObjectId layerId;
    int color = kWhite;
    Rgb rgb = aciToRgb(kWhite);
    double weight = 0;
    AcDbObjectId linetypeId;
};

// The value of a true colour group (0x00RRGGBB).
Rgb rgbOf(long value) {
    return {static_cast<std::uint8_t>((value >> 16) & 0xFF),
            static_cast<std::uint8_t>((value >> 8) & 0xFF),
            static_cast<std::uint8_t>(value & 0xFF)};
}

class Painter {
public:
    Painter(AcDbDatabase &db, Scene &scene, const FileFacts *facts);

    // Draws the entities of a block record. False once the picture is too large.
    bool drawBlock(AcDbObjectId blockId, const Context &ctx);
    // Adds what waited for the picture's box (rays, construction lines, points).
    void finish() { finishDeferred(mDeferred, mScene); }
    void writeNotes();
    bool overflowed() const { return mOverflow; }
    // Draws some entities of the block record space, as drawBlock draws all of them.
    void drawSome(AcDbObjectId space, const std::vector<AcDbObjectId> &ids) {
        mStack.push_back(space);
        for (AcDbObjectId id : ids)
            drawEntity(id, Context());
        mStack.pop_back();
    }

private:
    void drawEntity(AcDbObjectId id, const Context &ctx);
    void drawOpenEntity(AcDbEntity *ent, const Context &ctx, const Stroke &stroke);
    void drawInsert(AcDbBlockReference *ref, const Context &ctx, const Resolved &r);
    // The block's entities through xf, as a reference with these properties draws them.
    void drawBlockAs(std::string_view kind, AcDbObjectId blockId, const Xform &xf,
                     const Context &ctx, const Resolved &r);
    void drawKept(const AcDbUnknownEntity &ent, const Context &ctx, const Resolved &r,
                  const Stroke &stroke);
    void drawAttributes(std::string_view src, const Context &ctx, const Resolved &r);

    // An entity of a kind the database models, from its shape.
    void drawShape(std::string_view kind, const tev::db::Shape &shape, const Stroke &stroke);
    void drawChain(std::string_view kind, const tev::db::Chain &chain, const Stroke &stroke);

    const LayerInfo &layer(AcDbObjectId id);
    AcDbObjectId layerNamed(std::string_view fileName);
    const LinetypeInfo &linetype(AcDbObjectId id);
    int resolveColor(int index, const LayerInfo &layer, const Context &ctx) const;
    Rgb resolveRgb(int index, long trueColour, const LayerInfo &layer, const Context &ctx) const;
    double resolveWeight(int weight, const LayerInfo &layer, const Context &ctx) const;
    AcDbObjectId resolveLinetype(AcDbObjectId own, const LayerInfo &layer, const Context &ctx);
    // The true colour group of an object's bytes as read (-1: none, or the colour since
    // changed).
    long trueColourOf(const AcDbObject &obj);
    Stroke makeStroke(const Resolved &r, double scale);
    // The file's bytes at src were read: those some megabytes behind can leave memory
    // (model space comes in file order; a file's pages once touched would otherwise all
    // stay mapped).
    std::string_view sourceOf(const AcDbObject &obj);

    AcDbDatabase &mDb;
    Scene &mScene;
    FileFacts mFacts;
    const KindSettings &mSettings = mFacts.kinds;
    std::size_t mNextRelease = 0;
    Deferred mDeferred;
    std::vector<AcDbObjectId> mStack; // the blocks being drawn, outermost first
    std::unordered_map<AcDbObjectId, LayerInfo> mLayers;
    std::unordered_map<std::string, AcDbObjectId> mLayerNames;
    std::unordered_map<AcDbObjectId, LinetypeInfo> mLinetypes;
    std::map<std::string, int> mNotDrawn; // kinds the picture does not show
    int mUnreadable = 0;
    int mCyclic = 0;
    int mTooDeep = 0;
    int mTooLarge = 0;         // references past what one picture may expand
    std::size_t mExpanded = 0; // entities the references drawn so far stand for
    tev::db::ExpansionCounter mCounter;
    bool mOverflow = false;
};

Painter::Painter(AcDbDatabase &db, Scene &scene, const FileFacts *facts)
    : mDb(db), mScene(scene), mFacts(facts != nullptr ? *facts : FileFacts()) {}

std::string_view Painter::sourceOf(const AcDbObject &obj) {
    std::string_view src = tev::db::ObjectAccess::source(obj);
    if (!mFacts.doneBefore || src.empty())
        return src;
    constexpr std::size_t kReleaseStep = 4u << 20;
    const std::string_view text = mFacts.text;
    const auto base = reinterpret_cast<std::uintptr_t>(text.data());
    const auto where = reinterpret_cast<std::uintptr_t>(src.data());
    if (where < base || where - base > text.size())
        return src; // not the file's bytes
    const std::size_t at = where - base;
    if (at >= mNextRelease + kReleaseStep) {
        mFacts.doneBefore(at - kReleaseStep / 4); // what is near may be read again
        mNextRelease = at;
    }
    return src;
}

long Painter::trueColourOf(const AcDbObject &obj) {
    // An entity's true colour is the database's (an index set drops it, a new entity may
    // have one); a layer's stays in its bytes.
    if (const auto *ent = AcDbEntity::cast(&obj)) {
        const AcCmColor c = ent->color();
        return c.isByColor() ? long(c.red()) << 16 | long(c.green()) << 8 | long(c.blue()) : -1;
    }
    if (!mFacts.trueColours || tev::db::ObjectAccess::onlyColourChanged(obj))
        return -1;
    std::string_view src = sourceOf(obj);
    // Most records have none: a look for the digits comes before reading the groups.
    if (src.find("420") == std::string_view::npos)
        return -1;
    Groups g = Groups::first(src);
    return g.has(420) ? g.integer(420, -1) & 0xFFFFFF : -1;
}

const LayerInfo &Painter::layer(AcDbObjectId id) {
    auto found = mLayers.find(id);
    if (found != mLayers.end())
        return found->second;
    LayerInfo info;
    AcDbLayerTableRecord *rec = nullptr;
    if (!id.isNull() && acdbOpenObject(rec, id, AcDb::kForRead) == Acad::eOk) {
        const char *name = "";
        (void)rec->getName(name); // a record always has a name
        info.isZero = std::strcmp(name, "0") == 0;
        info.off = rec->isOff();
        info.frozen = rec->isFrozen();
        int c = rec->color().colorIndex();
        info.color = c >= 1 && c <= 255 ? c : kWhite;
        long tc = trueColourOf(*rec);
        info.rgb = tc >= 0 ? rgbOf(tc) : aciToRgb(info.color);
        int w = rec->lineWeight();
        info.weight = w > 0 && w <= kWeightWidest ? w / 100.0 : 0;
        info.linetype = rec->linetypeObjectId();
        (void)rec->close(); // closing our own read open cannot fail
    }
    return mLayers.emplace(id, info).first->second;
}

AcDbObjectId Painter::layerNamed(std::string_view fileName) {
    std::string name = fileTextToDatabase(fileName.empty() ? "0" : fileName, mSettings);
    auto found = mLayerNames.find(name);
    if (found != mLayerNames.end())
        return found->second;
    AcDbObjectId id;
    AcDbLayerTable *table = nullptr;
    if (mDb.getLayerTable(table, AcDb::kForRead) == Acad::eOk) {
        if (table->getAt(name.c_str(), id) != Acad::eOk)
            (void)table->getAt("0", id); // a layer the file does not define: as on "0"
        (void)table->close();
    }
    return mLayerNames.emplace(name, id).first->second;
}

const LinetypeInfo &Painter::linetype(AcDbObjectId id) {
    auto found = mLinetypes.find(id);
    if (found != mLinetypes.end())
        return found->second;
    LinetypeInfo info; // a missing record draws solid
    AcDbLinetypeTableRecord *rec = nullptr;
    if (!id.isNull() && acdbOpenObject(rec, id, AcDb::kForRead) == Acad::eOk) {
        const char *name = "";
        (void)rec->getName(name);
        if (sameName(name, "ByLayer"))
            info.kind = LinetypeInfo::ByLayer;
        else if (sameName(name, "ByBlock"))
            info.kind = LinetypeInfo::ByBlock;
        else if (!sameName(name, "Continuous")) {
            info.kind = LinetypeInfo::Dashed;
            info.pattern = dashesOf(*rec);
            double length = rec->patternLength();
            if (info.pattern.empty() && length > 0 && std::isfinite(length))
                info.pattern = {length / 2, -length / 2};
        }
        (void)rec->close();
    }
    return mLinetypes.emplace(id, info).first->second;
}

int Painter::resolveColor(int index, const LayerInfo &layer, const Context &ctx) const {
    if (index >= 1 && index <= 255)
        return index;
    if (index == 0)
        return ctx.byBlockColor;
    return layer.color; // BYLAYER (and a colour never set)
}

// A true colour stands over the index it comes with.
Rgb Painter::resolveRgb(int index, long trueColour, const LayerInfo &layer,
                        const Context &ctx) const {
    if (trueColour >= 0)
        return rgbOf(trueColour);
    if (index >= 1 && index <= 255)
        return aciToRgb(index);
    if (index == 0)
        return ctx.byBlockRgb;
    return layer.rgb;
}

double Painter::resolveWeight(int weight, const LayerInfo &layer, const Context &ctx) const {
    if (weight == kWeightByLayer)
        return layer.weight;
    if (weight == kWeightByBlock)
        return ctx.byBlockWeight;
    return weight > 0 && weight <= kWeightWidest ? weight / 100.0 : 0; // "default": thin
}

// The linetype that actually draws: ByLayer through the layer, ByBlock through the
// reference. The null id means solid.
AcDbObjectId Painter::resolveLinetype(AcDbObjectId own, const LayerInfo &layer,
                                      const Context &ctx) {
    AcDbObjectId id = own;
    LinetypeInfo::Kind kind = own.isNull() ? LinetypeInfo::ByLayer : linetype(own).kind;
    if (kind == LinetypeInfo::ByLayer)
        id = layer.linetype;
    else if (kind == LinetypeInfo::ByBlock)
        id = ctx.byBlockLinetype;
    if (id.isNull() || linetype(id).kind != LinetypeInfo::Dashed)
        return AcDbObjectId();
    return id;
}

Stroke Painter::makeStroke(const Resolved &r, double scale) {
    Stroke s;
    s.color = r.rgb;
    s.weight = r.weight;
    if (r.linetypeId.isNull())
        return s;
    const LinetypeInfo &lt = linetype(r.linetypeId);
    if (lt.pattern.empty()) {
        s.fixedDash = true;
        return s;
    }
    s.dashes = dashArray(lt.pattern, scale);
    return s;
}

bool Painter::drawBlock(AcDbObjectId blockId, const Context &ctx) {
    AcDbBlockTableRecord *rec = nullptr;
    if (acdbOpenObject(rec, blockId, AcDb::kForRead) != Acad::eOk) {
        ++mUnreadable;
        return !mOverflow;
    }
    std::vector<AcDbObjectId> ids;
    AcDbBlockTableRecordIterator *it = nullptr;
    if (rec->newIterator(it, /*atBeginning=*/true, /*skipDeleted=*/true) == Acad::eOk) {
        std::unique_ptr<AcDbBlockTableRecordIterator> owner(it);
        for (; !it->done(); it->step()) {
            AcDbObjectId id;
            if (it->getEntityId(id) == Acad::eOk)
                ids.push_back(id);
        }
    }
    (void)rec->close();
    mStack.push_back(blockId);
    for (AcDbObjectId id : ids) {
        if (mOverflow)
            break;
        drawEntity(id, ctx);
        if (mScene.primitiveCount() > kMaxPrimitives)
            mOverflow = true;
    }
    mStack.pop_back();
    return !mOverflow;
}

void Painter::drawEntity(AcDbObjectId id, const Context &ctx) {
    AcDbEntity *ent = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, id, AcDb::kForRead);
    if (es == Acad::eWasErased)
        return;
    // What a command holds open for write (while it waits at a prompt on this same thread)
    // is drawn as it stands: it is still in the drawing.
    std::unique_ptr<AcDbEntity, void (*)(AcDbEntity *)> open(nullptr, [](AcDbEntity *e) {
        (void)e->close(); // our own read open
    });
    if (es == Acad::eWasOpenForWrite && (ent = tev::db::peekAs<AcDbEntity>(id)) != nullptr &&
        !ent->isErased()) {
        es = Acad::eOk;
    } else if (es == Acad::eOk) {
        open.reset(ent);
    }
    if (es != Acad::eOk) {
        ++mUnreadable;
        return;
    }
    // Inside a block, what is on layer "0" takes the layer of the reference.
    Resolved r;
    r.layerId = ent->layerId();
    if (!ctx.insertLayer.isNull() && layer(r.layerId).isZero)
        r.layerId = ctx.insertLayer;
    const LayerInfo &lay = layer(r.layerId);
    AcDbBlockReference *ref = AcDbBlockReference::cast(ent);
    // A reference on a layer that is off still shows what its block has on other layers.
    bool hidden = !ent->isVisible() || lay.frozen || (lay.off && ref == nullptr);
    if (hidden)
        return;
    r.color = resolveColor(ent->colorIndex(), lay, ctx);
    r.rgb = resolveRgb(ent->colorIndex(), trueColourOf(*ent), lay, ctx);
    r.weight = resolveWeight(ent->lineWeight(), lay, ctx);
    r.linetypeId = resolveLinetype(ent->linetypeId(), lay, ctx);
    if (ref != nullptr) {
        drawInsert(ref, ctx, r);
        return;
    }
    double dashScale = ent->linetypeScale() * ctx.xf.planScale();
    if (!(dashScale > 0) || !std::isfinite(dashScale))
        dashScale = 1;
    Stroke stroke = makeStroke(r, dashScale);
    if (auto *unknown = AcDbUnknownEntity::cast(ent))
        drawKept(*unknown, ctx, r, stroke);
    else
        drawOpenEntity(ent, ctx, stroke);
}

// The class of a modelled kind's element in the picture; null for a kind not drawn.
const char *kindOf(const AcDbEntity &e) {
    if (AcDbLine::cast(&e))
        return "line";
    if (AcDbCircle::cast(&e))
        return "circle";
    if (AcDbArc::cast(&e))
        return "arc";
    if (AcDbPolyline::cast(&e))
        return "lwpolyline";
    if (AcDb2dPolyline::cast(&e))
        return "polyline2d";
    if (AcDb3dPolyline::cast(&e))
        return "polyline3d";
    if (AcDbText::cast(&e))
        return "text";
    return nullptr;
}

AcGeMatrix3d matrixOf(const Xform &xf) {
    AcGeMatrix3d m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            m.entry[r][c] = xf.m[r][c];
    m.entry[3][0] = m.entry[3][1] = m.entry[3][2] = 0;
    m.entry[3][3] = 1;
    return m;
}

void Painter::drawOpenEntity(AcDbEntity *ent, const Context &ctx, const Stroke &stroke) {
    const char *kind = kindOf(*ent);
    if (kind == nullptr) {
        AcRxClass *cls = ent->isA();
        ++mNotDrawn[cls != nullptr ? cls->name() : "?"];
        return;
    }
    tev::db::Shape shape;
    shape.drawn = true;
    tev::db::collectShape(*ent, matrixOf(ctx.xf), /*depth=*/0, shape);
    drawShape(kind, shape, stroke);
}

void Painter::drawShape(std::string_view kind, const tev::db::Shape &shape, const Stroke &stroke) {
    for (const tev::db::Chain &chain : shape.chains)
        drawChain(kind, chain, stroke);
    for (const tev::db::Arc &a : shape.circles)
        mScene.add(CircleItem{std::string(kind), {a.c.x, a.c.y}, a.r, stroke});
    drawTextLines(shape.texts, Xform(), stroke.color, kind, mScene);
}

// A chain: one path (as wide as it says), or its pieces, bands and thin paths, in a group.
void Painter::drawChain(std::string_view kind, const tev::db::Chain &chain, const Stroke &stroke) {
    if (!chain.pieces.empty()) {
        mScene.open(kind);
        for (const tev::db::Chain &piece : chain.pieces)
            drawChain("", piece, stroke);
        mScene.close();
        return;
    }
    if (!chain.band.empty()) {
        PolygonItem band;
        band.kind = kind;
        band.fill = stroke.color;
        for (tev::db::P2 p : chain.band)
            band.pts.push_back({p.x, p.y});
        mScene.add(std::move(band));
        return;
    }
    if (chain.verts.size() < 2)
        return;
    PathItem item;
    item.kind = kind;
    item.closed = chain.closed;
    item.stroke = stroke;
    item.width = chain.width;
    for (const tev::db::ChainVertex &v : chain.verts)
        item.verts.push_back({{v.p.x, v.p.y}, v.bulge});
    mScene.add(std::move(item));
}

// A kind the database keeps as the file's groups: drawn from them.
void Painter::drawKept(const AcDbUnknownEntity &ent, const Context &ctx, const Resolved &r,
                       const Stroke &stroke) {
    std::string_view type = ent.dxfTypeName();
    std::vector<Groups> records = Groups::records(sourceOf(ent));
    if (!records.empty()) {
        if (type == "DIMENSION") {
            // Its picture is its block, placed in world coordinates as it is.
            AcDbObjectId blockId;
            AcDbBlockTable *table = nullptr;
            std::string name = fileTextToDatabase(records[0].text(2), mSettings);
            if (!name.empty() && mDb.getBlockTable(table, AcDb::kForRead) == Acad::eOk) {
                (void)table->getAt(name.c_str(), blockId);
                (void)table->close();
            }
            if (!blockId.isNull()) {
                drawBlockAs("dimension", blockId, ctx.xf, ctx, r);
                return;
            }
        } else if (type == "ATTDEF") {
            drawAttribute(records[0], ctx.xf, stroke.color, ctx.depth > 0, mSettings, mScene);
            return;
        } else if (drawKind(records, ctx.xf, stroke, mSettings, mScene, mDeferred)) {
            return;
        }
    }
    ++mNotDrawn[std::string(type)];
}

void Painter::drawInsert(AcDbBlockReference *ref, const Context &ctx, const Resolved &r) {
    AcDbObjectId blockId = ref->blockTableRecord();
    AcGePoint3d pos = ref->position();
    AcGeScale3d scale = ref->scaleFactors();
    AcGeVector3d normal = ref->normal();
    double rotation = ref->rotation();
    // The attributes follow the reference's own record in the bytes the file gave.
    std::string_view src = sourceOf(*ref);

    AcDbBlockTableRecord *rec = nullptr;
    if (acdbOpenObject(rec, blockId, AcDb::kForRead) != Acad::eOk) {
        ++mUnreadable;
        return;
    }
    AcGePoint3d origin = rec->origin();
    bool layout = rec->isLayout();
    (void)rec->close();
    if (layout) { // a layout is no block to insert
        ++mNotDrawn["reference to a layout"];
        return;
    }
    if (ctx.depth == 0) { // counted before drawing: no picture grows past its cap first
        std::size_t n = mCounter.ofBlock(blockId);
        if (n > kMaxPrimitives - std::min(mExpanded, kMaxPrimitives)) {
            ++mTooLarge;
            return;
        }
        mExpanded += n;
    }
    Xform xf = ctx.xf * Xform::translation(pos.x, pos.y, pos.z) *
               Xform::fromNormal(normal.x, normal.y, normal.z) * Xform::rotationZ(rotation) *
               Xform::scaling(scale.sx, scale.sy, scale.sz) *
               Xform::translation(-origin.x, -origin.y, -origin.z);
    bool attributes = src.find("\nATTRIB") != std::string_view::npos;
    if (attributes)
        mScene.open("insert");
    drawBlockAs(attributes ? "" : "insert", blockId, xf, ctx, r);
    if (attributes) {
        drawAttributes(src, ctx, r);
        mScene.close();
    }
}

void Painter::drawBlockAs(std::string_view kind, AcDbObjectId blockId, const Xform &xf,
                          const Context &ctx, const Resolved &r) {
    if (std::find(mStack.begin(), mStack.end(), blockId) != mStack.end()) {
        ++mCyclic; // a block that (through others) inserts itself: drawn once, not forever
        return;
    }
    if (ctx.depth + 1 > kMaxDepth) {
        ++mTooDeep;
        return;
    }
    Context inner;
    inner.xf = xf;
    inner.byBlockColor = r.color;
    inner.byBlockRgb = r.rgb;
    inner.byBlockWeight = r.weight;
    inner.byBlockLinetype = r.linetypeId;
    inner.insertLayer = r.layerId;
    inner.depth = ctx.depth + 1;
    if (!kind.empty())
        mScene.open(kind);
    drawBlock(blockId, inner);
    if (!kind.empty())
        mScene.close();
}

// The attributes of a reference, in the reference's coordinates, ByBlock taking its colour.
void Painter::drawAttributes(std::string_view src, const Context &ctx, const Resolved &r) {
    Context own = ctx;
    own.byBlockColor = r.color;
    own.byBlockRgb = r.rgb;
    std::vector<Groups> records = Groups::records(src);
    for (std::size_t i = 1; i < records.size(); ++i) {
        const Groups &g = records[i];
        if (g.type() != "ATTRIB" || (g.integer(60, 0) & 1) != 0)
            continue;
        const LayerInfo &lay = layer(layerNamed(g.text(8)));
        if (lay.off || lay.frozen)
            continue;
        int index = static_cast<int>(g.integer(62, 256));
        long tc = mFacts.trueColours && g.has(420) ? g.integer(420, -1) & 0xFFFFFF : -1;
        drawAttribute(g, ctx.xf, resolveRgb(index, tc, lay, own), /*inBlock=*/false, mSettings,
                      mScene);
    }
}

void Painter::writeNotes() {
    if (mUnreadable > 0)
        mScene.addNote(std::to_string(mUnreadable) + " object(s) could not be opened");
    for (const auto &[kind, count] : mNotDrawn)
        mScene.addNote(std::to_string(count) + " " + kind + " not drawn");
    if (mCyclic > 0)
        mScene.addNote(std::to_string(mCyclic) + " reference(s) of a block inside itself skipped");
    if (mTooDeep > 0)
        mScene.addNote(std::to_string(mTooDeep) + " reference(s) nested too deep skipped");
    if (mTooLarge > 0)
        mScene.addNote(std::to_string(mTooLarge) + " reference(s) standing for more than " +
                       std::to_string(kMaxPrimitives) + " entities skipped");
    if (mScene.refusedCount() > 0)
        mScene.addNote(std::to_string(mScene.refusedCount()) +
                       " element(s) with unusable numbers skipped");
}

} // namespace

bool makeScene(AcDbDatabase &db, Scene &scene, std::string &error, const FileFacts *facts) {
    Painter painter(db, scene, facts);
    AcDbObjectId model = db.modelSpaceId();
    AcDbBlockTableRecord *rec = nullptr;
    Acad::ErrorStatus es = acdbOpenObject(rec, model, AcDb::kForRead);
    if (es != Acad::eOk) {
        error = std::string("the model space cannot be read (") + Acad::errorStatusName(es) + ")";
        return false;
    }
    (void)rec->close(); // our own read open
    if (tev::db::ExpansionCounter().ofBlock(model) > kMaxPrimitives ||
        !painter.drawBlock(model, Context())) {
        error = "the picture would have more than " + std::to_string(kMaxPrimitives) +
                " elements (block references nest too many times)";
        return false;
    }
    painter.finish();
    painter.writeNotes();
    return true;
}

bool makeSvg(AcDbDatabase &db, std::string &svg, std::string &error, const FileFacts *facts) {
    Scene scene;
    if (!makeScene(db, scene, error, facts))
        return false;
    svg = sceneToSvg(scene);
    return true;
}

void drawEntities(AcDbDatabase &db, const std::vector<AcDbObjectId> &ids, Scene &scene,
                  const FileFacts *facts) {
    Painter painter(db, scene, facts);
    painter.drawSome(db.modelSpaceId(), ids);
    painter.finish();
}

bool writeSvg(AcDbDatabase &db, const std::string &path, std::string &error,
              const FileFacts *facts) {
    std::string svg;
    if (!makeSvg(db, svg, error, facts))
        return false;
    if (host::platform::replaceFile(path, svg, error))
        return true;
    error = "cannot write " + path + ": " + error;
    return false;
}

} // namespace host::render
