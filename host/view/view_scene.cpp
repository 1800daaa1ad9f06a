// view_scene.cpp - the picture of one view: the entities whose boxes meet it and are not
// smaller than a pixel, drawn as the SVG picture draws them, packed by look into arrays.
#include "view_scene.h"
#include "view.h"

#include "acedads.h"
#include "command_line.h"
#include "database_impl.h"
#include "dbapserv.h"
#include "dbents.h"
#include "dbmain.h"
#include "dbpl.h"
#include "dbsymtb.h"
#include "layer_table.h"
#include "scene.h"
#include "selection_sets.h"
#include "shape.h"
#include "spatial.h"
#include "svg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <exception>
#include <optional>
#include <map>
#include <memory>
#include <tuple>

namespace host::view {
namespace {

// A byte buffer written little-endian (the page reads it with typed arrays).
class Writer {
public:
    void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) { raw(&v, 2); }
    void u32(std::uint32_t v) { raw(&v, 4); }
    // Numbers the page can draw: none infinite or NaN, whatever the drawing holds.
    void f32(double v) {
        float f = static_cast<float>(finite(v, std::numeric_limits<float>::max()));
        raw(&f, 4);
    }
    void f64(double v) {
        v = finite(v, std::numeric_limits<double>::max());
        raw(&v, 8);
    }
    void bytes(std::string_view s) { out_.append(s); }
    void pad4() {
        while (out_.size() % 4)
            out_.push_back('\0');
    }
    std::string &str() { return out_; }

private:
    static double finite(double v, double most) {
        return std::isnan(v) ? 0 : std::clamp(v, -most, most);
    }
    void raw(const void *p, std::size_t n) { out_.append(static_cast<const char *>(p), n); }
    std::string out_;
};

// Everything drawn with one look.
struct Group {
    std::vector<std::uint32_t> pathEnds;
    std::vector<float> xy;
    std::vector<float> circles;
    std::vector<const render::TextItem *> texts;
};

using Look =
    std::tuple<std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t, double, std::vector<double>>;

constexpr std::uint8_t kHighlighted = 1, kFilled = 2, kFixedDash = 4, kScreenWidth = 8;

// The width of a line of this weight (millimetres) on the screen, at 96 dots per inch.
double weightPixels(double weightMm) {
    return std::max(1.0, weightMm * 96 / 25.4);
}
// The most entities one picture sends as vectors: more than a screen shows distinctly, and
// few enough to be drawn in a fraction of a second. The rest is drawn into its pixels.
constexpr std::size_t kMaxEntitiesInView = 12000;

std::string unescapeXml(std::string_view s) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        bool done = false;
        if (s[i] == '&') {
            for (auto [name, c] : kEntities) {
                if (s.substr(i, name.size()) == name) {
                    out += c;
                    i += name.size();
                    done = true;
                    break;
                }
            }
        }
        if (!done)
            out += s[i++];
    }
    return out;
}

class Packer {
public:
    Packer(double ox, double oy) : ox_(ox), oy_(oy) {}

    void add(const render::Scene &scene, std::uint8_t flags) {
        for (const render::SceneItem &item : scene.items()) {
            if (auto *path = std::get_if<render::PathItem>(&item))
                addPath(*path, flags);
            else if (auto *poly = std::get_if<render::PolygonItem>(&item))
                addPolygon(*poly, flags);
            else if (auto *circle = std::get_if<render::CircleItem>(&item))
                addCircle(*circle, flags);
            else if (auto *text = std::get_if<render::TextItem>(&item))
                group(text->color, flags, 0, {}).texts.push_back(text);
        }
    }

    void write(Writer &w) const {
        w.u32(static_cast<std::uint32_t>(groups_.size()));
        for (const auto &[look, g] : groups_) {
            const auto &[r, gr, b, flags, width, dashes] = look;
            w.u8(r);
            w.u8(gr);
            w.u8(b);
            w.u8(flags);
            w.f32(width);
            w.u32(static_cast<std::uint32_t>(dashes.size()));
            for (double d : dashes)
                w.f32(d);
            w.u32(static_cast<std::uint32_t>(g.pathEnds.size()));
            w.u32(static_cast<std::uint32_t>(g.xy.size() / 2));
            for (std::uint32_t e : g.pathEnds)
                w.u32(e);
            w.bytes(std::string_view(reinterpret_cast<const char *>(g.xy.data()),
                                     g.xy.size() * sizeof(float)));
            w.u32(static_cast<std::uint32_t>(g.circles.size() / 3));
            w.bytes(std::string_view(reinterpret_cast<const char *>(g.circles.data()),
                                     g.circles.size() * sizeof(float)));
            w.u32(static_cast<std::uint32_t>(g.texts.size()));
            for (const render::TextItem *t : g.texts) {
                w.f32(t->pos.x - ox_);
                w.f32(t->pos.y - oy_);
                w.f32(t->height);
                w.f32(t->rotation);
                w.f32(t->widthFactor);
                w.u8(static_cast<std::uint8_t>(t->anchor));
                w.u8(static_cast<std::uint8_t>(t->baseline));
                std::string s = unescapeXml(t->xmlText);
                if (s.size() > 0xFFFF)
                    s.resize(0xFFFF);
                w.u16(static_cast<std::uint16_t>(s.size()));
                w.bytes(s);
                w.pad4();
            }
        }
    }

private:
    Group &group(render::Rgb c, std::uint8_t flags, double width, std::vector<double> dashes) {
        return groups_[Look{c.r, c.g, c.b, flags, width, std::move(dashes)}];
    }

    void point(Group &g, render::Point2 p) {
        g.xy.push_back(static_cast<float>(p.x - ox_));
        g.xy.push_back(static_cast<float>(p.y - oy_));
    }

    void endPath(Group &g, bool closed) {
        auto n = static_cast<std::uint32_t>(g.xy.size() / 2);
        g.pathEnds.push_back(n | (closed ? 0x80000000u : 0u));
    }

    void addPath(const render::PathItem &path, std::uint8_t flags) {
        if (path.verts.empty())
            return;
        if (path.stroke.fixedDash)
            flags |= kFixedDash;
        double width = path.width;
        if (width == 0 && path.stroke.weight > 0) // a lineweight: as wide as the screen shows it
            width = weightPixels(path.stroke.weight), flags |= kScreenWidth;
        Group &g = group(path.stroke.color, flags, width, path.stroke.dashes);
        std::size_t n = path.verts.size();
        const std::size_t first = g.xy.size();
        point(g, path.verts[0].p);
        std::size_t segments = path.closed ? n : n - 1;
        for (std::size_t i = 0; i < segments; ++i) {
            const render::PathVertex &a = path.verts[i];
            const render::PathVertex &b = path.verts[(i + 1) % n];
            if (a.bulge != 0) {
                auto pts = render::tessellateBulge(a.p, b.p, a.bulge);
                for (std::size_t k = 1; k < pts.size(); ++k)
                    point(g, pts[k]);
            } else {
                point(g, b.p);
            }
        }
        if (path.closed && g.xy.size() - first >= 8) { // back at its start: closed there instead,
            g.xy.resize(g.xy.size() - 2);              // so that the corner there is joined too
            endPath(g, true);
        } else {
            endPath(g, false);
        }
    }

    void addPolygon(const render::PolygonItem &poly, std::uint8_t flags) {
        if (poly.pts.size() < 3)
            return;
        Group &g = group(poly.fill, flags | kFilled, 0, {});
        for (render::Point2 p : poly.pts)
            point(g, p);
        endPath(g, true);
        for (const std::vector<render::Point2> &hole : poly.holes) { // filled by even-odd
            for (render::Point2 p : hole)
                point(g, p);
            g.pathEnds.push_back(static_cast<std::uint32_t>(g.xy.size() / 2) | 0xC0000000u);
        }
    }

    void addCircle(const render::CircleItem &c, std::uint8_t flags) {
        if (c.stroke.fixedDash)
            flags |= kFixedDash;
        double width = 0;
        if (c.stroke.weight > 0)
            width = weightPixels(c.stroke.weight), flags |= kScreenWidth;
        Group &g = group(c.stroke.color, flags, width, c.stroke.dashes);
        g.circles.push_back(static_cast<float>(c.center.x - ox_));
        g.circles.push_back(static_cast<float>(c.center.y - oy_));
        g.circles.push_back(static_cast<float>(c.radius));
    }

    double ox_, oy_;
    std::map<Look, Group> groups_;
};

// What is too small or too many to send as vectors, drawn into the view's own pixels: each
// cell holds the colour of the last entity (in drawing order) that covers it, whatever the
// order they are drawn in (each cell keeps the place in drawing order of what it shows).
class Raster {
public:
    explicit Raster(const ViewBox &box)
        : x0_(box.x0), y1_(box.y1), pixel_(box.pixel), perPixel_(1 / box.pixel) {
        w_ = cells(box.x1 - box.x0), h_ = cells(box.y1 - box.y0);
    }
    bool usable() const { return w_ > 0 && h_ > 0; }

    // Draws what needs no shape: an entity no larger than a couple of pixels by its box, a
    // line, a thin straight polyline in the plan. It reads the entity alone, so it may run
    // beside a pass over other entities. False when the entity needs its shape.
    bool drawPlain(const tev::db::BoxedEntity &b, const AcDbEntity &e, render::Rgb colour) {
        if (!begin())
            return true;
        const std::uint64_t c = cellValue(b, colour);
        if (std::max(b.x1 - b.x0, b.y1 - b.y0) <= 2 * pixel_) {
            for (double y = b.y0; y <= b.y1 + pixel_ / 2; y += pixel_)
                for (double x = b.x0; x <= b.x1 + pixel_ / 2; x += pixel_)
                    mark(std::min(x, b.x1), std::min(y, b.y1), c);
            return true;
        }
        if (auto *l = AcDbLine::cast(&e)) { // most of a drawing
            line({l->startPoint().x, l->startPoint().y}, {l->endPoint().x, l->endPoint().y}, c);
            return true;
        }
        auto *pl = AcDbPolyline::cast(&e);
        if (pl == nullptr || pl->numVerts() < 2 || pl->hasBulges() || pl->hasWidth() ||
            pl->normal() != AcGeVector3d::kZAxis)
            return false;
        AcGePoint2d from, to;
        const unsigned n = pl->numVerts();
        (void)pl->getPointAt(0, from); // every index below n is in range
        for (unsigned i = 1; i < n + (pl->isClosed() ? 1 : 0); ++i) {
            (void)pl->getPointAt(i % n, to);
            line({from.x, from.y}, {to.x, to.y}, c);
            from = to;
        }
        return true;
    }

    // Draws one entity, by its shape where drawPlain cannot.
    void draw(const tev::db::BoxedEntity &b, render::Rgb colour) {
        auto *e = tev::db::peekAs<AcDbEntity>(b.id);
        if (e == nullptr || drawPlain(b, *e, colour))
            return;
        const std::uint64_t c = cellValue(b, colour);
        tev::db::Shape shape;
        tev::db::collectShape(*e, AcGeMatrix3d(), tev::db::kMaxBlockNesting, shape);
        for (const tev::db::Seg &s : shape.segs)
            line(s.a, s.b, c);
        for (const tev::db::Arc &a : shape.arcs) {
            int n = std::clamp(static_cast<int>(a.r * a.sweep / pixel_), 4, 4096);
            for (int i = 0; i < n; ++i)
                line(a.at(a.a0 + a.sweep * i / n), a.at(a.a0 + a.sweep * (i + 1) / n), c);
        }
        for (const tev::db::Box4 &q : shape.boxes)
            for (int i = 0; i < 4; ++i)
                line(q[i], q[(i + 1) % 4], c);
        for (const tev::db::Area &area : shape.areas)
            for (const auto &ring : area)
                for (std::size_t i = 0; i < ring.size(); ++i)
                    line(ring[i], ring[(i + 1) % ring.size()], c);
    }

    // Takes the cells of other, a raster of the same box, where what it shows is later in
    // drawing order: two passes over parts of a drawing make the picture one pass makes.
    void merge(const Raster &other) {
        if (other.drawing_.empty() || !begin())
            return;
        for (std::size_t i = 0; i < drawing_.size(); ++i)
            if ((other.drawing_[i] >> 32) > (drawing_[i] >> 32))
                drawing_[i] = other.drawing_[i];
    }

    // u32 width, height (0 0: none), f64 left, top (drawing units), f64 cell size, u32
    // colourCount, per colour u8 r, g, b, 0, u32 cellCount, u32 cells (row by row from the
    // top left).
    void write(Writer &w) const { write(w, 0, 0, w_, h_); }

    // The same for the cells of columns i0 to i1 and rows j0 to j1 (exclusive) alone: the
    // part of a larger picture a view shows.
    void write(Writer &w, std::uint32_t i0, std::uint32_t j0, std::uint32_t i1,
               std::uint32_t j1) const {
        std::map<std::uint32_t, std::vector<std::uint32_t>> byColour;
        const std::uint32_t cw = i1 > i0 ? i1 - i0 : 0, ch = j1 > j0 ? j1 - j0 : 0;
        std::uint32_t lastColour = 0;
        std::vector<std::uint32_t> *last = nullptr; // neighbouring cells mostly share a colour
        if (!grid_.empty())
            for (std::uint32_t j = j0; j < j0 + ch; ++j)
                for (std::uint32_t i = i0; i < i0 + cw; ++i)
                    if (std::uint32_t c = grid_[static_cast<std::size_t>(j) * w_ + i]) {
                        if (c != lastColour || last == nullptr)
                            last = &byColour[c], lastColour = c;
                        last->push_back((j - j0) * cw + (i - i0));
                    }
        bool any = !byColour.empty();
        w.u32(any ? cw : 0);
        w.u32(any ? ch : 0);
        w.f64(x0_ + i0 * pixel_);
        w.f64(y1_ - j0 * pixel_);
        w.f64(pixel_);
        w.u32(static_cast<std::uint32_t>(byColour.size()));
        for (const auto &[c, list] : byColour) {
            w.u8(static_cast<std::uint8_t>(c >> 16));
            w.u8(static_cast<std::uint8_t>(c >> 8));
            w.u8(static_cast<std::uint8_t>(c));
            w.u8(0);
            w.u32(static_cast<std::uint32_t>(list.size()));
            w.bytes(std::string_view(reinterpret_cast<const char *>(list.data()),
                                     list.size() * sizeof(std::uint32_t)));
        }
    }

    // Done drawing: the orders are no longer needed, only the colours are kept.
    void finish() {
        grid_.resize(drawing_.size());
        for (std::size_t i = 0; i < drawing_.size(); ++i)
            grid_[i] = static_cast<std::uint32_t>(drawing_[i]);
        std::vector<std::uint64_t>().swap(drawing_);
    }

    double left() const { return x0_; }
    double top() const { return y1_; }
    double pixel() const { return pixel_; }
    std::uint32_t width() const { return w_; }
    std::uint32_t height() const { return h_; }

private:
    std::uint32_t cells(double extent) const {
        double n = std::ceil(extent / pixel_);
        return n >= 1 && n <= 8192 ? static_cast<std::uint32_t>(n) : 0;
    }
    // Makes the cells on first use; false when there are none or drawing is over.
    bool begin() {
        if (!usable() || (drawing_.empty() && !grid_.empty()))
            return false;
        if (drawing_.empty())
            drawing_.assign(static_cast<std::size_t>(w_) * h_, 0);
        return true;
    }
    static std::uint64_t cellValue(const tev::db::BoxedEntity &b, render::Rgb colour) {
        const std::uint64_t order = b.id.stub()->order + 1; // 0: an empty cell
        return (order << 32) | 0x1000000u | (std::uint32_t(colour.r) << 16) |
               (std::uint32_t(colour.g) << 8) | colour.b;
    }
    // c: the drawing order (+ 1) in the upper split, the colour in the lower.
    void mark(double x, double y, std::uint64_t c) {
        double i = std::floor((x - x0_) * perPixel_), j = std::floor((y1_ - y) * perPixel_);
        if (i >= 0 && j >= 0 && i < w_ && j < h_) {
            std::size_t at = static_cast<std::size_t>(j) * w_ + static_cast<std::size_t>(i);
            if ((drawing_[at] >> 32) <= (c >> 32))
                drawing_[at] = c;
        }
    }
    void line(tev::db::P2 a, tev::db::P2 b, std::uint64_t c) {
        // Two steps a cell along the longer side: every cell the line crosses is met.
        double length = std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y));
        int n = std::clamp(static_cast<int>(2 * length / pixel_), 1, 1 << 16);
        for (int i = 0; i <= n; ++i)
            mark(a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n, c);
    }

    double x0_, y1_, pixel_, perPixel_;
    std::uint32_t w_ = 0, h_ = 0;
    std::vector<std::uint64_t> drawing_; // while drawing: each cell's order and colour
    std::vector<std::uint32_t> grid_;    // after: its colour (0: empty)
};

// An entity's colour for the raster: its true colour or index, ByLayer through its layer
// (ByBlock at the top level is the default colour).
render::Rgb flatColour(const AcDbEntity &e) {
    AcCmColor c = e.color();
    if (c.isByColor())
        return {c.red(), c.green(), c.blue()};
    int index = e.colorIndex();
    if (index == 256)
        if (auto *layer = tev::db::peekAs<AcDbLayerTableRecord>(e.layerId()))
            index = layer->color().colorIndex();
    return render::aciToRgb(index >= 1 && index <= 255 ? index : 7);
}

render::Rgb flatColour(AcDbObjectId id) {
    auto *e = tev::db::peekAs<AcDbEntity>(id);
    return e != nullptr ? flatColour(*e) : render::aciToRgb(7);
}

// Boxed entities in drawing order: sorted by their places in the list, read once each.
void sortByDrawingOrder(std::vector<tev::db::BoxedEntity> &list) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
    keys.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        keys.emplace_back(list[i].id.stub()->order, static_cast<std::uint32_t>(i));
    std::sort(keys.begin(), keys.end());
    std::vector<tev::db::BoxedEntity> sorted;
    sorted.reserve(list.size());
    for (const auto &[order, i] : keys)
        sorted.push_back(list[i]);
    list = std::move(sorted);
}

void appendHex(std::string &out, unsigned v) {
    static const char kDigits[] = "0123456789abcdef";
    out += kDigits[(v >> 4) & 15];
    out += kDigits[v & 15];
}

// Whether a command holds the entity open for write or has highlighted it (the first line
// Jl picked, while it asks for the second): shown as a pick is.
bool heldByCommand(AcDbObjectId id) {
    auto *e = tev::db::peekAs<AcDbEntity>(id);
    return e != nullptr && (e->isHighlighted() || e->isWriteEnabled());
}

// Whether a point is drawn with a mark (the header's PDMODE other than a dot or nothing):
// such a point goes as a vector, its mark sized by the view, not as one pixel.
bool markedPoint(AcDbObjectId id, int pointMode) {
    if ((pointMode & 96) == 0 && (pointMode & 7) <= 1)
        return false;
    auto *e = tev::db::peekAs<AcDbUnknownEntity>(id);
    return e != nullptr && std::string_view(e->dxfTypeName()) == "POINT";
}

} // namespace

std::unordered_set<AcDbObjectId> highlightedIds() {
    auto &sets = CommandLine::current().selectionSets();
    std::unordered_set<AcDbObjectId> out(sets.pending().begin(), sets.pending().end());
    for (const auto &[number, members] : sets.sets()) {
        for (const EntName &n : members) {
            ads_name name;
            n.to(name);
            AcDbObjectId id;
            if (acdbGetObjectId(id, name) == Acad::eOk)
                out.insert(id);
        }
    }
    return out;
}

namespace {
PictureFacts &pictureFacts() {
    static PictureFacts s_facts;
    return s_facts;
}
} // namespace

void setPictureFacts(PictureFacts facts) {
    pictureFacts() = std::move(facts);
}

namespace {

int pointModeOf(AcDbDatabase &db) {
    return pictureFacts() ? pictureFacts()(db).kinds.pointMode : 0;
}

// The vectors of a picture (plain and lit) and what it draws into pixels, written out.
std::string writePicture(AcDbDatabase &db, const ViewBox &box,
                         const std::vector<AcDbObjectId> &plain,
                         const std::vector<AcDbObjectId> &lit, std::size_t rastered,
                         const std::function<void(Writer &)> &writeRaster) {
    // Coordinates go as f32 relative to the view's centre: exact to far below a pixel.
    double ox = std::floor((box.x0 + box.x1) / 2), oy = std::floor((box.y0 + box.y1) / 2);
    if (!std::isfinite(ox) || !std::isfinite(oy))
        ox = oy = 0;
    Packer packer(ox, oy);
    auto scenePlain = std::make_unique<render::Scene>();
    render::FileFacts facts;
    if (pictureFacts())
        facts = pictureFacts()(db);
    facts.kinds.viewHeight = box.y1 - box.y0; // points are sized by the view, as on a screen
    const render::FileFacts *factsOrNone = &facts;
    render::drawEntities(db, plain, *scenePlain, factsOrNone);
    packer.add(*scenePlain, 0);
    render::Scene sceneLit;
    render::drawEntities(db, lit, sceneLit, factsOrNone);
    packer.add(sceneLit, kHighlighted);
    Writer w;
    w.bytes("TVW1");
    w.f64(ox);
    w.f64(oy);
    w.u32(static_cast<std::uint32_t>(plain.size() + lit.size() + rastered));
    packer.write(w);
    writeRaster(w);
    return std::move(w.str());
}

// What a view that shows most of a crowded drawing keeps of its picture at one scale: the
// entities no larger than the smallest it sends as vectors, drawn into pixels over the whole
// drawing. A pan at that scale takes its part of them instead of drawing them all again. Made
// anew when the drawing, what is highlighted or the scale changes.
struct KeptPicture {
    const AcDbDatabase *db = nullptr;
    std::uint64_t epoch = 0;
    double pixel = 0;
    double vectorSize = 0; // what is at least this large goes as vectors
    std::unordered_set<AcDbObjectId> highlighted;
    std::unique_ptr<Raster> raster;
    std::vector<tev::db::BoxedEntity> drawn;   // what the pixels hold
    std::vector<tev::db::BoxedEntity> lit;     // as small, but highlighted: vectors
    std::vector<tev::db::BoxedEntity> vectors; // the larger, in drawing order
    std::vector<AcDbObjectId> endless;         // lines without end: in every view
    std::vector<tev::db::BoxedEntity> marks;   // points with marks: vectors
};

KeptPicture &keptPicture() {
    static KeptPicture s_kept;
    return s_kept;
}

bool meets(const tev::db::BoxedEntity &b, const ViewBox &box) {
    return b.x0 <= box.x1 && b.x1 >= box.x0 && b.y0 <= box.y1 && b.y1 >= box.y0;
}

// What a pass over a part of a crowded drawing finds besides its pixels.
struct KeptPart {
    std::vector<tev::db::BoxedEntity> lit, marks, drawn;
    std::vector<tev::db::BoxedEntity> left; // what the command thread is to draw
};

// The kept picture for box's scale, made when there is none that fits; null when the view
// shows too little of the drawing for one to pay.
KeptPicture *keptFor(AcDbDatabase &db, const ViewBox &box,
                     const std::unordered_set<AcDbObjectId> &highlighted) {
    AcGePoint2d lo, hi;
    if (!tev::db::spaceExtents(db, db.modelSpaceId(), lo, hi))
        return nullptr;
    // What lies beyond the extents is drawn as vectors (lines without end) or not at all.
    ViewBox whole{lo.x, lo.y, hi.x, hi.y, box.pixel};
    double wc = std::ceil((std::max(hi.x, box.x1) - std::min(lo.x, box.x0)) / box.pixel),
           hc = std::ceil((std::max(hi.y, box.y1) - std::min(lo.y, box.y0)) / box.pixel);
    double vc = std::max(1.0, std::ceil((box.x1 - box.x0) / box.pixel)) *
                std::max(1.0, std::ceil((box.y1 - box.y0) / box.pixel));
    if (!(wc >= 1 && hc >= 1 && wc <= 8192 && hc <= 8192 && wc * hc <= 4 * vc))
        return nullptr;
    KeptPicture &k = keptPicture();
    if (k.raster && k.db == &db && k.epoch == tev::db::drawingEpoch() &&
        std::abs(k.pixel - box.pixel) <= 1e-9 * box.pixel && k.highlighted == highlighted)
        return &k;
    // Every entity that shows, with its box; the lines without end come back as ids.
    std::vector<tev::db::BoxedEntity> all;
    std::vector<AcDbObjectId> endless = tev::db::entitiesInBox(
        db, db.modelSpaceId(), AcGePoint2d(whole.x0, whole.y0), AcGePoint2d(whole.x1, whole.y1),
        std::numeric_limits<double>::infinity(), std::numeric_limits<std::size_t>::max(), &all);
    auto size = [](const tev::db::BoxedEntity &b) { return std::max(b.x1 - b.x0, b.y1 - b.y0); };
    // As many vectors as a picture may send, the largest: what is larger than the first one
    // left out (and not below a pixel).
    std::vector<double> sizes;
    for (const auto &b : all)
        if (size(b) >= box.pixel)
            sizes.push_back(size(b));
    std::size_t room = kMaxEntitiesInView - std::min(kMaxEntitiesInView, endless.size());
    double vectorSize = box.pixel;
    if (sizes.size() > room) {
        std::nth_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(room),
                         sizes.end(), std::greater<>());
        vectorSize = std::nextafter(sizes[room], std::numeric_limits<double>::infinity());
    }
    KeptPicture fresh;
    for (const auto &b : all)
        if (size(b) >= vectorSize)
            fresh.vectors.push_back(b);
    sortByDrawingOrder(fresh.vectors);
    fresh.endless = std::move(endless);
    // Drawn in the index's order, which keeps neighbours together; the cells keep which is
    // last in drawing order.
    std::erase_if(all, [&](const auto &b) { return size(b) >= vectorSize; });
    fresh.db = &db;
    fresh.epoch = tev::db::drawingEpoch();
    fresh.pixel = box.pixel;
    fresh.vectorSize = vectorSize;
    fresh.highlighted = highlighted;
    fresh.raster = std::make_unique<Raster>(whole);
    if (!fresh.raster->usable())
        return nullptr;
    const int pointMode = pointModeOf(db);
    // One pass over a part of them: what is highlighted stays a vector, the rest is drawn.
    // With plainOnly, only what drawPlain draws; the others are left for the command thread.
    auto pass = [&](std::size_t from, std::size_t to, Raster &raster, KeptPart &part,
                    bool plainOnly) {
        for (std::size_t i = from; i < to; ++i) {
            tev::db::prefetchAhead(all, i);
            const tev::db::BoxedEntity &b = all[i];
            auto *e = tev::db::peekAs<AcDbEntity>(b.id);
            if (e == nullptr)
                continue;
            if ((!highlighted.empty() && highlighted.count(b.id)) || e->isHighlighted() ||
                e->isWriteEnabled()) {
                part.lit.push_back(b);
                continue;
            }
            if (markedPoint(b.id, pointMode)) // a dot too, for views with more than they send
                part.marks.push_back(b);
            const render::Rgb colour = flatColour(*e);
            if (!plainOnly)
                raster.draw(b, colour);
            else if (!raster.drawPlain(b, *e, colour)) {
                part.left.push_back(b);
                continue;
            }
            part.drawn.push_back(b);
        }
    };
    // A crowded drawing is drawn in two parts at once: the second on a thread of its own,
    // which only reads the entities it draws (what needs a shape, which may build what a
    // drawing keeps, is left to this thread), into pixels of its own that are then merged.
    KeptPart mine, theirs;
    Raster second(whole);
    // This thread also draws whatever needs a shape, about a third of the work: it takes the
    // first third of the entities, the other thread the rest.
    const std::size_t split = all.size() >= twoPassesFrom() ? all.size() / 3 : all.size();
    std::exception_ptr failed;
    std::thread helper;
    if (split < all.size())
        helper = std::thread([&] {
            try {
                pass(split, all.size(), second, theirs, /*plainOnly=*/true);
            } catch (...) {
                failed = std::current_exception();
            }
        });
    try {
        pass(0, split, *fresh.raster, mine, /*plainOnly=*/false);
    } catch (...) {
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (failed)
        std::rethrow_exception(failed);
    for (const tev::db::BoxedEntity &b : theirs.left) {
        fresh.raster->draw(b, flatColour(b.id));
        theirs.drawn.push_back(b);
    }
    fresh.raster->merge(second);
    fresh.lit = std::move(mine.lit);
    fresh.lit.insert(fresh.lit.end(), theirs.lit.begin(), theirs.lit.end());
    fresh.marks = std::move(mine.marks);
    fresh.marks.insert(fresh.marks.end(), theirs.marks.begin(), theirs.marks.end());
    fresh.drawn = std::move(mine.drawn);
    fresh.drawn.insert(fresh.drawn.end(), theirs.drawn.begin(), theirs.drawn.end());
    fresh.raster->finish();
    sortByDrawingOrder(fresh.lit);
    k = std::move(fresh);
    return &k;
}

// The picture of box from the kept one; nothing when the view holds more vectors than a
// picture sends (it is then drawn the ordinary way).
std::optional<std::string> encodeKept(AcDbDatabase &db, const ViewBox &box, KeptPicture &k) {
    // The vectors in view: the kept larger ones that meet it, and the lines without end.
    std::vector<AcDbObjectId> ids;
    for (const tev::db::BoxedEntity &b : k.vectors)
        if (meets(b, box) && ids.size() <= kMaxEntitiesInView)
            ids.push_back(b.id);
    if (ids.size() + k.endless.size() > kMaxEntitiesInView)
        return std::nullopt;
    if (!k.endless.empty()) {
        ids.insert(ids.end(), k.endless.begin(), k.endless.end());
        std::sort(ids.begin(), ids.end(), [](const AcDbObjectId &a, const AcDbObjectId &b) {
            return a.stub()->order < b.stub()->order;
        });
    }
    std::vector<AcDbObjectId> plain, lit;
    plain.reserve(ids.size());
    for (const AcDbObjectId &id : ids)
        (k.highlighted.count(id) || heldByCommand(id) ? lit : plain).push_back(id);
    for (const tev::db::BoxedEntity &b : k.lit)
        if (meets(b, box))
            lit.push_back(b.id);
    std::size_t rastered = 0;
    for (const tev::db::BoxedEntity &b : k.drawn)
        rastered += meets(b, box) ? 1 : 0;
    for (const tev::db::BoxedEntity &b : k.marks)
        if (meets(b, box) && plain.size() < kMaxEntitiesInView) {
            plain.push_back(b.id); // counted once, as a vector
            --rastered;
        }
    const Raster &r = *k.raster;
    auto cell = [](double v, std::uint32_t n) {
        return static_cast<std::uint32_t>(std::clamp(v, 0.0, static_cast<double>(n)));
    };
    std::uint32_t i0 = cell(std::floor((box.x0 - r.left()) / k.pixel), r.width()),
                  i1 = cell(std::ceil((box.x1 - r.left()) / k.pixel), r.width()),
                  j0 = cell(std::floor((r.top() - box.y1) / k.pixel), r.height()),
                  j1 = cell(std::ceil((r.top() - box.y0) / k.pixel), r.height());
    return writePicture(db, box, plain, lit, rastered,
                        [&](Writer &w) { r.write(w, i0, j0, i1, j1); });
}

} // namespace

std::size_t &twoPassesFrom() {
    static std::size_t from = 50000; // where a pass on another thread pays
    return from;
}

std::string encodeView(AcDbDatabase &db, const ViewBox &box,
                       const std::unordered_set<AcDbObjectId> &highlighted) {
    if (KeptPicture *k = keptFor(db, box, highlighted))
        if (auto out = encodeKept(db, box, *k))
            return std::move(*out);
    // A view crowded beyond what a screen can show leaves out its smallest entities first,
    // so that one picture never holds the command line up for long.
    std::vector<tev::db::BoxedEntity> rest;
    std::vector<AcDbObjectId> ids =
        tev::db::entitiesInBox(db, db.modelSpaceId(), AcGePoint2d(box.x0, box.y0),
                               AcGePoint2d(box.x1, box.y1), box.pixel, kMaxEntitiesInView, &rest);
    std::vector<AcDbObjectId> plain, lit;
    plain.reserve(ids.size());
    for (const AcDbObjectId &id : ids)
        (highlighted.count(id) || heldByCommand(id) ? lit : plain).push_back(id);
    // The rest is drawn into the picture's pixels, in drawing order; what is highlighted
    // stays a vector, to be drawn as such.
    sortByDrawingOrder(rest);
    Raster raster(box);
    std::size_t rastered = 0;
    const int pointMode = pointModeOf(db);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        tev::db::prefetchAhead(rest, i);
        const tev::db::BoxedEntity &b = rest[i];
        if (highlighted.count(b.id) || heldByCommand(b.id)) {
            lit.push_back(b.id);
            continue;
        }
        if (plain.size() < kMaxEntitiesInView && markedPoint(b.id, pointMode)) {
            plain.push_back(b.id);
            continue;
        }
        raster.draw(b, flatColour(b.id));
        ++rastered;
    }
    raster.finish();
    return writePicture(db, box, plain, lit, rastered, [&](Writer &w) { raster.write(w); });
}

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            out += "\\u00";
            appendHex(out, b);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string layersJson(AcDbDatabase &db) {
    std::string out = "[";
    if (!forEachLayer(db, [&](const AcDbLayerTableRecord &layer) {
            int aci = layer.color().colorIndex();
            render::Rgb c = render::aciToRgb(aci >= 1 && aci <= 255 ? aci : 7);
            if (out.size() > 1)
                out += ',';
            out += "{\"name\":" + jsonString(cp1251ToUtf8(layer.nameRef())) + ",\"color\":\"#";
            appendHex(out, c.r);
            appendHex(out, c.g);
            appendHex(out, c.b);
            out += std::string("\",\"on\":") + (layer.isOff() ? "false" : "true") +
                   ",\"frozen\":" + (layer.isFrozen() ? "true" : "false") +
                   ",\"locked\":" + (layer.isLocked() ? "true" : "false") +
                   ",\"current\":" + (layer.objectId() == db.clayer() ? "true" : "false") + "}";
        }))
        return "[]";
    return out + "]";
}

std::string extentsJson(AcDbDatabase &db) {
    AcGePoint2d lo, hi;
    if (!tev::db::spaceExtents(db, db.modelSpaceId(), lo, hi))
        return "null";
    for (double v : {lo.x, lo.y, hi.x, hi.y})
        if (!std::isfinite(v))
            return "null"; // JSON has no infinity: no extents to zoom to
    char buf[200];
    std::snprintf(buf, sizeof buf, "{\"x0\":%.17g,\"y0\":%.17g,\"x1\":%.17g,\"y1\":%.17g}", lo.x,
                  lo.y, hi.x, hi.y);
    return buf;
}

} // namespace host::view
