// Single-pass scans over an ASCII DXF file: the length-by-colour total and the recolouring copy.
// One walker follows sections and the layer table; a handler per pass sees the ENTITIES
// section. Values stay views into the file; numbers are parsed with from_chars only where a
// pass needs them.
#include "tag_scan.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace tevbench {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view v) {
    while (!v.empty() && isBlank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back()))
        v.remove_suffix(1);
    return v;
}

std::string lineError(uint64_t line, std::string_view what) {
    std::string msg = "line " + std::to_string(line) + ": ";
    msg.append(what);
    return msg;
}

// "line N: "VALUE" what", N being the value's own line; long values are cut short.
std::string valueError(const Tag &t, std::string_view what) {
    std::string msg = "\"";
    msg.append(trim(t.value).substr(0, 20));
    msg.append("\" ");
    msg.append(what);
    return lineError(t.line + 1, msg);
}

} // namespace

std::string_view TagCursor::lineEnding(std::string_view text) {
    const size_t nl = text.find('\n');
    if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

TagCursor::Result TagCursor::next(Tag &tag) {
    if (p_ >= end_)
        return kEnd;
    // Group code: blanks, an optional minus, up to 4 digits, blanks ('\r' counts as one), then
    // the line end. Read in place: group code lines are too short to be worth a memchr.
    const char *codeStart = p_;
    const char *q = p_;
    while (q < end_ && isBlank(*q))
        ++q;
    bool negative = false;
    if (q < end_ && *q == '-') {
        negative = true;
        ++q;
    }
    int code = 0;
    int digits = 0;
    while (q < end_ && *q >= '0' && *q <= '9' && digits < 5) {
        code = code * 10 + (*q - '0');
        ++q;
        ++digits;
    }
    while (q < end_ && isBlank(*q))
        ++q;
    if (q >= end_) {
        // A last line of blanks only is a harmless tail without a line end.
        if (digits == 0 && !negative) {
            p_ = end_;
            return kEnd;
        }
        error_ = lineError(line_, "group code without a value line (file cut short?)");
        return kError;
    }
    if (digits == 0 || digits > 4 || *q != '\n') {
        const char *nl = static_cast<const char *>(std::memchr(q, '\n', end_ - q));
        std::string shown(trim(std::string_view(p_, (nl ? nl : end_) - p_)).substr(0, 20));
        error_ = lineError(line_, "group code \"" + shown + "\" is not a number");
        return kError;
    }
    const char *valueStart = q + 1;
    if (valueStart >= end_) {
        error_ = lineError(line_, "group code without a value line (file cut short?)");
        return kError;
    }
    // Most values are a few characters long; a plain loop beats a library call there.
    const char *v = valueStart;
    while (v < end_ && *v != '\n')
        ++v;
    p_ = v < end_ ? v + 1 : end_;
    if (v > valueStart && v[-1] == '\r')
        --v;
    tag.code = negative ? -code : code;
    tag.value = std::string_view(valueStart, v - valueStart);
    tag.start = codeStart;
    tag.line = line_;
    line_ += 2;
    return kTag;
}

namespace {

bool parseInt(std::string_view v, int &out) {
    v = trim(v);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return r.ec == std::errc() && r.ptr == v.data() + v.size() && !v.empty();
}

// Exact powers of ten: a whole number below 2^53 divided by one of these is correctly
// rounded, so the fast path below gives the same double as from_chars.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool parseReal(std::string_view v, double &out) {
    // Fast path: [-]digits[.digits] with at most 15 digits, as drawings write coordinates.
    const char *p = v.data(), *e = p + v.size();
    const bool negative = p < e && *p == '-';
    if (negative)
        ++p;
    uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    while (p < e && *p >= '0' && *p <= '9') {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        ++digits;
    }
    if (p < e && *p == '.') {
        ++p;
        while (p < e && *p >= '0' && *p <= '9') {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
            ++digits;
            ++fraction;
        }
    }
    if (p == e && digits > 0 && digits <= 15) {
        const double m = static_cast<double>(mantissa) / kPow10[fraction];
        out = negative ? -m : m;
        return true;
    }
    v = trim(v);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return r.ec == std::errc() && r.ptr == v.data() + v.size() && !v.empty() && std::isfinite(out);
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

struct Layer {
    std::string_view name;
    int colour = 7;
    bool frozen = false;
};

// The layer table as read so far. Names compare without regard to ASCII case, as the host's
// symbol tables do. A layer the table does not hold is treated as a fresh layer: colour 7,
// thawed, which is what a reader creates for it.
class Layers {
public:
    const Layer &find(std::string_view name) {
        if (last_ < list_.size() && list_[last_].name == name)
            return list_[last_];
        for (size_t i = 0; i < list_.size(); ++i) {
            if (list_[i].name == name || equalNoCase(list_[i].name, name)) {
                last_ = i;
                return list_[i];
            }
        }
        return missing_;
    }
    void add(const Layer &l) { list_.push_back(l); }
    bool anyFrozen() const {
        for (const Layer &l : list_)
            if (l.frozen)
                return true;
        return false;
    }

private:
    std::vector<Layer> list_;
    size_t last_ = 0;
    Layer missing_{};
};

// Follows the sections of the file and reads the layer table; every tag of the ENTITIES
// section goes to the handler, and the handler is told where the section ends. Returns false
// with error set on malformed input, including a file that ends before its EOF marker.
template <class Handler>
bool walk(std::string_view dxf, Layers &layers, Handler &h, std::string &error) {
    TagCursor cur(dxf);
    Tag t;
    enum Section { kNone, kTables, kEntities, kOther } sec = kNone;
    bool wantSectionName = false;
    bool inLayerTable = false;
    bool inLayerEntry = false;
    bool wantTableName = false;
    Layer entry;

    auto finishEntry = [&] {
        if (inLayerEntry)
            layers.add(entry);
        inLayerEntry = false;
    };

    for (;;) {
        const auto r = cur.next(t);
        if (r == TagCursor::kError) {
            error = cur.error();
            return false;
        }
        if (r == TagCursor::kEnd) {
            error = lineError(t.line + 2, "the file ends without 0/EOF (cut short?)");
            return false;
        }
        if (wantSectionName) {
            wantSectionName = false;
            if (t.code != 2) {
                error = lineError(t.line, "SECTION without a name");
                return false;
            }
            sec = t.value == "TABLES" ? kTables : t.value == "ENTITIES" ? kEntities : kOther;
            continue;
        }
        if (t.code == 0) {
            if (t.value == "SECTION") {
                if (sec != kNone) {
                    error = lineError(t.line, "SECTION inside a section");
                    return false;
                }
                wantSectionName = true;
                continue;
            }
            if (t.value == "ENDSEC") {
                finishEntry();
                if (sec == kEntities)
                    h.endSection(t);
                sec = kNone;
                continue;
            }
            if (t.value == "EOF") {
                if (sec != kNone) {
                    error = lineError(t.line, "EOF inside a section");
                    return false;
                }
                h.endFile(t);
                return true;
            }
        }
        if (sec == kEntities) {
            if (!h.tag(t, layers, error))
                return false;
            continue;
        }
        if (sec != kTables)
            continue;
        if (wantTableName) {
            wantTableName = false;
            inLayerTable = t.code == 2 && equalNoCase(t.value, "LAYER");
            continue;
        }
        if (t.code == 0) {
            finishEntry();
            if (t.value == "TABLE") {
                wantTableName = true;
            } else if (t.value == "ENDTAB") {
                inLayerTable = false;
            } else if (inLayerTable && t.value == "LAYER") {
                inLayerEntry = true;
                entry = Layer{};
            }
            continue;
        }
        if (!inLayerEntry)
            continue;
        if (t.code == 2) {
            entry.name = t.value;
        } else if (t.code == 62 || t.code == 70) {
            int v = 0;
            if (!parseInt(t.value, v)) {
                error = lineError(t.line + 1, "layer colour or flags is not a whole number");
                return false;
            }
            if (t.code == 62)
                entry.colour = v < 0 ? -v : v; // negative: the layer is off, colour kept
            else
                entry.frozen = (v & 1) != 0;
        }
    }
}

double xyDistance(double x1, double y1, double x2, double y2) {
    const double dx = x1 - x2, dy = y1 - y2;
    return std::sqrt(dx * dx + dy * dy);
}

// The common groups of an entity that decide whether ALL selects it and what colour it has.
struct Common {
    std::string_view layer = "0";
    int colour = 256;
    bool paper = false;
};

bool readColour(const Tag &t, int &colour, std::string &error) {
    int v = 0;
    if (!parseInt(t.value, v) || v < 0 || v > 256) {
        error = valueError(t, "is not an entity colour 0..256");
        return false;
    }
    colour = v;
    return true;
}

// Length-by-colour handler.
class LengthHandler {
public:
    explicit LengthHandler(LengthTotals &totals) : totals_(totals) {}

    bool tag(const Tag &t, Layers &layers, std::string &error) {
        if (t.code == 0) {
            finishEntity(layers);
            startEntity(t.value, layers);
            return true;
        }
        if (kind_ == kSkip)
            return true;
        Common &c = kind_ == kVertex ? vertexCommon_ : common_;
        switch (t.code) {
        case 8:
            c.layer = t.value;
            return true;
        case 62:
            return readColour(t, c.colour, error);
        case 67:
            c.paper = trim(t.value) == "1";
            return true;
        default:
            break;
        }
        switch (kind_) {
        case kLine:
            return lineTag(t, error);
        case kLw:
            return lwTag(t, error);
        case kPoly:
            if (t.code == 70)
                return parseIntAt(t, polyFlags_, error);
            return true;
        case kVertex:
            if (t.code == 10)
                return parseRealAt(t, vx_, error);
            if (t.code == 20)
                return parseRealAt(t, vy_, error);
            return true;
        default:
            return true;
        }
    }

    void endSection(const Tag &) {
        finishEntity(*layersSeen_);
        finishPolyline(*layersSeen_);
        kind_ = kSkip;
    }
    void endFile(const Tag &) {}

    void setLayers(Layers &layers) { layersSeen_ = &layers; }

private:
    enum Kind { kSkip, kLine, kLw, kPoly, kVertex, kOther };

    static bool parseRealAt(const Tag &t, double &out, std::string &error) {
        if (parseReal(t.value, out))
            return true;
        error = valueError(t, "is not a number");
        return false;
    }
    static bool parseIntAt(const Tag &t, int &out, std::string &error) {
        if (parseInt(t.value, out))
            return true;
        error = valueError(t, "is not a whole number");
        return false;
    }

    bool lineTag(const Tag &t, std::string &error) {
        switch (t.code) {
        case 10:
            return parseRealAt(t, lx1_, error);
        case 20:
            return parseRealAt(t, ly1_, error);
        case 11:
            return parseRealAt(t, lx2_, error);
        case 21:
            return parseRealAt(t, ly2_, error);
        default:
            return true;
        }
    }

    bool lwTag(const Tag &t, std::string &error) {
        switch (t.code) {
        case 10:
            flushLwVertex();
            lwPending_ = true;
            vy_ = 0.0;
            return parseRealAt(t, vx_, error);
        case 20:
            return parseRealAt(t, vy_, error);
        case 70:
            return parseIntAt(t, lwFlags_, error);
        default:
            return true;
        }
    }

    void flushLwVertex() {
        if (!lwPending_)
            return;
        lwPending_ = false;
        if (lwCount_ == 0) {
            fx_ = vx_;
            fy_ = vy_;
        } else {
            len_ += xyDistance(px_, py_, vx_, vy_);
        }
        px_ = vx_;
        py_ = vy_;
        ++lwCount_;
    }

    void startEntity(std::string_view type, Layers &layers) {
        const bool sub = type == "VERTEX" || type == "SEQEND";
        if (!sub)
            finishPolyline(layers);
        if (type == "VERTEX" && polyActive_) {
            kind_ = kVertex;
            vertexCommon_ = Common{};
            vx_ = vy_ = 0.0;
            return;
        }
        if (type == "SEQEND") {
            finishPolyline(layers);
            kind_ = kSkip;
            return;
        }
        if (sub) { // a vertex without its polyline: nothing to measure
            kind_ = kSkip;
            return;
        }
        common_ = Common{};
        len_ = 0.0;
        if (type == "LINE") {
            kind_ = kLine;
            lx1_ = ly1_ = lx2_ = ly2_ = 0.0;
        } else if (type == "LWPOLYLINE") {
            kind_ = kLw;
            lwFlags_ = 0;
            lwCount_ = 0;
            lwPending_ = false;
            fx_ = fy_ = px_ = py_ = 0.0;
        } else if (type == "POLYLINE") {
            kind_ = kPoly;
            polyActive_ = true;
            polyFlags_ = 0;
            polyVertices_ = 0;
        } else {
            kind_ = kOther;
        }
    }

    bool selected(const Common &c, Layers &layers) const {
        if (c.paper)
            return false;
        return !anyFrozen_ || !layers.find(c.layer).frozen;
    }

    int resolvedColour(const Common &c, Layers &layers) const {
        return c.colour == 256 ? layers.find(c.layer).colour : c.colour;
    }

    void add(const Common &c, Layers &layers, double len) {
        const int colour = resolvedColour(c, layers);
        totals_.byColour[static_cast<size_t>(colour)] += len;
        totals_.all += len;
    }

    void finishEntity(Layers &layers) {
        switch (kind_) {
        case kLine:
            countIfSelected(layers);
            if (selected(common_, layers)) {
                ++totals_.lines;
                add(common_, layers, xyDistance(lx1_, ly1_, lx2_, ly2_));
            }
            break;
        case kLw:
            countIfSelected(layers);
            flushLwVertex();
            if ((lwFlags_ & 1) && lwCount_ > 0)
                len_ += xyDistance(px_, py_, fx_, fy_);
            if (selected(common_, layers)) {
                ++totals_.lwpolylines;
                add(common_, layers, len_);
            }
            break;
        case kVertex:
            if (polyVertices_ > 0)
                len_ += xyDistance(px_, py_, vx_, vy_);
            px_ = vx_;
            py_ = vy_;
            ++polyVertices_;
            break;
        case kOther:
            countIfSelected(layers);
            break;
        case kPoly:
            countIfSelected(layers);
            break; // measured when its vertices are done
        case kSkip:
            break;
        }
        kind_ = kSkip;
    }

    void countIfSelected(Layers &layers) {
        anyFrozen_ = anyFrozenKnown_ ? anyFrozen_ : layers.anyFrozen();
        anyFrozenKnown_ = true;
        if (selected(common_, layers))
            ++totals_.entities;
    }

    // A 3D polyline (8), a mesh (16) or a polyface mesh (64) is not a 2D polyline.
    void finishPolyline(Layers &layers) {
        if (!polyActive_)
            return;
        polyActive_ = false;
        if ((polyFlags_ & (8 | 16 | 64)) != 0 || !selected(common_, layers))
            return;
        ++totals_.polylines2d;
        add(common_, layers, len_);
    }

    LengthTotals &totals_;
    Layers *layersSeen_ = nullptr;
    Kind kind_ = kSkip;
    Common common_, vertexCommon_;
    bool anyFrozen_ = false, anyFrozenKnown_ = false;
    double len_ = 0.0;
    double lx1_ = 0, ly1_ = 0, lx2_ = 0, ly2_ = 0;
    double vx_ = 0, vy_ = 0, px_ = 0, py_ = 0, fx_ = 0, fy_ = 0;
    int lwFlags_ = 0;
    uint64_t lwCount_ = 0;
    bool lwPending_ = false;
    bool polyActive_ = false;
    int polyFlags_ = 0;
    uint64_t polyVertices_ = 0;
};

// Output gathered in large blocks; long unchanged spans of the input go straight through.
class SpanWriter {
public:
    explicit SpanWriter(const std::function<bool(std::string_view)> &sink) : sink_(sink) {
        buf_.reserve(kBlock);
    }
    void put(std::string_view s) {
        if (!ok_)
            return;
        if (buf_.size() + s.size() > kBlock)
            flush();
        if (s.size() >= kBlock) {
            ok_ = sink_(s);
            return;
        }
        buf_.append(s);
    }
    bool flush() {
        if (ok_ && !buf_.empty())
            ok_ = sink_(buf_);
        buf_.clear();
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    static constexpr size_t kBlock = 4 << 20;
    const std::function<bool(std::string_view)> &sink_;
    std::string buf_;
    bool ok_ = true;
};

// Recolouring handler. Positions inside the current entity are noted and the decision is made
// when the entity ends, so group order inside an entity does not matter.
class RecolourHandler {
public:
    RecolourHandler(std::string_view dxf, int colour, SpanWriter &out)
        : dxf_(dxf), out_(out), copyFrom_(dxf.data()) {
        const std::string_view eol = TagCursor::lineEnding(dxf);
        colourTag_.append(" 62").append(eol).append(std::to_string(colour)).append(eol);
        byLayer_ = colour == 256;
    }

    bool tag(const Tag &t, Layers &layers, std::string &error) {
        if (t.code == 0) {
            finishEntity(t.start, layers);
            startEntity(t);
            return true;
        }
        if (!inEntity_)
            return true;
        switch (t.code) {
        case 8:
            common_.layer = t.value;
            break;
        case 67:
            common_.paper = trim(t.value) == "1";
            break;
        case 62:
            if (commonPart_) {
                int ignored = 0;
                if (!readColour(t, ignored, error))
                    return false;
                colourTags_.push_back({t.start, tagEnd(t)});
            }
            break;
        case 100:
            if (commonPart_ && t.value != "AcDbEntity") {
                commonPart_ = false;
                insertAt_ = t.start;
            }
            break;
        default:
            break;
        }
        return true;
    }

    void endSection(const Tag &t) { finishEntity(t.start, *layers_); }
    void endFile(const Tag &) { out_.put(std::string_view(copyFrom_, dxfEnd() - copyFrom_)); }
    void setLayers(Layers &layers) { layers_ = &layers; }
    uint64_t recoloured() const { return recoloured_; }

private:
    struct Span {
        const char *begin, *end;
    };

    const char *dxfEnd() const { return dxf_.data() + dxf_.size(); }
    // End of the value line of t, its line end included.
    const char *tagEnd(const Tag &t) const {
        const char *e = t.value.data() + t.value.size();
        while (e < dxfEnd() && *e != '\n')
            ++e;
        return e < dxfEnd() ? e + 1 : e;
    }

    void startEntity(const Tag &t) {
        inEntity_ = true;
        commonPart_ = true;
        insertAt_ = nullptr;
        colourTags_.clear();
        const std::string_view type = t.value;
        sub_ = type == "VERTEX" || type == "SEQEND" || type == "ATTRIB";
        common_ = Common{};
    }

    void finishEntity(const char *entityEnd, Layers &layers) {
        if (!inEntity_)
            return;
        inEntity_ = false;
        bool chosen;
        if (sub_) {
            chosen = ownerChosen_; // sub-entities follow their owner
        } else {
            chosen = !common_.paper && !layers.find(common_.layer).frozen;
            ownerChosen_ = chosen;
        }
        if (!chosen)
            return;
        ++recoloured_;
        if (colourTags_.empty()) {
            if (byLayer_)
                return; // no colour group is already ByLayer
            const char *at = insertAt_ ? insertAt_ : entityEnd;
            out_.put(std::string_view(copyFrom_, at - copyFrom_));
            out_.put(colourTag_);
            copyFrom_ = at;
            return;
        }
        // The first colour group takes the new colour; any repeats are dropped.
        for (size_t i = 0; i < colourTags_.size(); ++i) {
            const Span &s = colourTags_[i];
            out_.put(std::string_view(copyFrom_, s.begin - copyFrom_));
            if (i == 0 && !byLayer_)
                out_.put(colourTag_);
            copyFrom_ = s.end;
        }
    }

    std::string_view dxf_;
    SpanWriter &out_;
    Layers *layers_ = nullptr;
    const char *copyFrom_;
    std::string colourTag_;
    bool byLayer_ = false;
    bool inEntity_ = false, commonPart_ = false, sub_ = false, ownerChosen_ = false;
    const char *insertAt_ = nullptr;
    std::vector<Span> colourTags_;
    Common common_;
    uint64_t recoloured_ = 0;
};

} // namespace

ScanResult scanLengths(std::string_view dxf) {
    ScanResult result;
    Layers layers;
    LengthHandler h(result.totals);
    h.setLayers(layers);
    result.ok = walk(dxf, layers, h, result.error);
    if (!result.ok)
        result.totals = LengthTotals{};
    return result;
}

RecolourResult recolourAll(std::string_view dxf, int colour,
                           const std::function<bool(std::string_view)> &sink) {
    RecolourResult result;
    if (colour < 0 || colour > 256) {
        result.error = "colour " + std::to_string(colour) + " is not 0..256";
        return result;
    }
    Layers layers;
    SpanWriter out(sink);
    RecolourHandler h(dxf, colour, out);
    h.setLayers(layers);
    if (!walk(dxf, layers, h, result.error))
        return result;
    if (!out.flush()) {
        result.error = "cannot write the copy";
        return result;
    }
    result.entities = h.recoloured();
    result.ok = true;
    return result;
}

} // namespace tevbench
