// view_scene.cpp - the picture of one view: the entities whose boxes meet it and are not
// smaller than a pixel, drawn as the SVG picture draws them, packed by look into arrays.
#include "view_scene.h"
#include "view.h"

#include "acedads.h"
#include "command_line.h"
#include "dbapserv.h"
#include "dbmain.h"
#include "dbsymtb.h"
#include "layer_table.h"
#include "scene.h"
#include "selection_sets.h"
#include "spatial.h"
#include "svg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstring>
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

constexpr std::uint8_t kHighlighted = 1, kFilled = 2, kFixedDash = 4;
// The most entities one picture draws: more than a screen shows distinctly, and few enough
// to be drawn in a fraction of a second.
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
        Group &g = group(path.stroke.color, flags, path.width, path.stroke.dashes);
        std::size_t n = path.verts.size();
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
        endPath(g, false); // a closed path came back to its start above
    }

    void addPolygon(const render::PolygonItem &poly, std::uint8_t flags) {
        if (poly.pts.size() < 3)
            return;
        Group &g = group(poly.fill, flags | kFilled, 0, {});
        for (render::Point2 p : poly.pts)
            point(g, p);
        endPath(g, true);
    }

    void addCircle(const render::CircleItem &c, std::uint8_t flags) {
        if (c.stroke.fixedDash)
            flags |= kFixedDash;
        Group &g = group(c.stroke.color, flags, 0, c.stroke.dashes);
        g.circles.push_back(static_cast<float>(c.center.x - ox_));
        g.circles.push_back(static_cast<float>(c.center.y - oy_));
        g.circles.push_back(static_cast<float>(c.radius));
    }

    double ox_, oy_;
    std::map<Look, Group> groups_;
};

void appendHex(std::string &out, unsigned v) {
    static const char kDigits[] = "0123456789abcdef";
    out += kDigits[(v >> 4) & 15];
    out += kDigits[v & 15];
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

std::string encodeView(AcDbDatabase &db, const ViewBox &box,
                       const std::unordered_set<AcDbObjectId> &highlighted) {
    // A view crowded beyond what a screen can show leaves out its smallest entities first,
    // so that one picture never holds the command line up for long.
    std::vector<AcDbObjectId> ids =
        tev::db::entitiesInBox(db, db.modelSpaceId(), AcGePoint2d(box.x0, box.y0),
                               AcGePoint2d(box.x1, box.y1), box.pixel, kMaxEntitiesInView);
    std::vector<AcDbObjectId> plain, lit;
    plain.reserve(ids.size());
    for (const AcDbObjectId &id : ids)
        (highlighted.count(id) ? lit : plain).push_back(id);
    // Coordinates go as f32 relative to the view's centre: exact to far below a pixel.
    double ox = std::floor((box.x0 + box.x1) / 2), oy = std::floor((box.y0 + box.y1) / 2);
    if (!std::isfinite(ox) || !std::isfinite(oy))
        ox = oy = 0;
    Packer packer(ox, oy);
    auto scenePlain = std::make_unique<render::Scene>();
    render::FileFacts facts;
    const render::FileFacts *factsOrNone = nullptr;
    if (pictureFacts()) {
        facts = pictureFacts()(db);
        factsOrNone = &facts;
    }
    render::drawEntities(db, plain, *scenePlain, factsOrNone);
    packer.add(*scenePlain, 0);
    render::Scene sceneLit;
    render::drawEntities(db, lit, sceneLit, factsOrNone);
    packer.add(sceneLit, kHighlighted);
    Writer w;
    w.bytes("TVW1");
    w.f64(ox);
    w.f64(oy);
    w.u32(static_cast<std::uint32_t>(ids.size()));
    packer.write(w);
    return std::move(w.str());
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
                   ",\"frozen\":" + (layer.isFrozen() ? "true" : "false") + "}";
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
