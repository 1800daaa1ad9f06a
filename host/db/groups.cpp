// groups.cpp - splitting a record's bytes into groups, and reading their values.
#include "groups.h"
#include "text_util.h"

#include <charconv>
#include <cmath>

namespace tev::db {
namespace {

using host::text::trim;

// The next line of src from pos (without its line end); false at the end.
bool nextLine(std::string_view src, std::size_t &pos, std::string_view &line) {
    if (pos >= src.size())
        return false;
    std::size_t end = src.find('\n', pos);
    if (end == std::string_view::npos)
        end = src.size();
    line = src.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = end + 1;
    return true;
}

template <class F> void forEachGroup(std::string_view src, F &&f) {
    std::size_t pos = 0;
    std::string_view codeLine, value;
    int braces = 0;
    while (nextLine(src, pos, codeLine) && nextLine(src, pos, value)) {
        codeLine = trim(codeLine);
        int code = 0;
        auto [end, ec] = std::from_chars(codeLine.data(), codeLine.data() + codeLine.size(), code);
        if (ec != std::errc() || end != codeLine.data() + codeLine.size())
            return; // not DXF any more: what came before is all there is
        if (code == 102) {
            std::string_view v = trim(value);
            braces += !v.empty() && v.front() == '{' ? 1 : v == "}" ? -1 : 0;
            braces = braces < 0 ? 0 : braces;
            continue;
        }
        if (code != 0 && (braces > 0 || code >= 1000))
            continue;
        braces = code == 0 ? 0 : braces;
        if (!f(Group{code, code == 1 || code == 3 ? value : trim(value)}))
            return;
    }
}

} // namespace

std::vector<Groups> Groups::records(std::string_view src) {
    std::vector<Groups> out;
    forEachGroup(src, [&](const Group &g) {
        if (g.code == 0 || out.empty())
            out.emplace_back();
        out.back().mList.push_back(g);
        return true;
    });
    return out;
}

Groups Groups::first(std::string_view src) {
    Groups out;
    forEachGroup(src, [&](const Group &g) {
        if (g.code == 0 && !out.mList.empty())
            return false;
        out.mList.push_back(g);
        return true;
    });
    return out;
}

std::string_view Groups::type() const {
    return !mList.empty() && mList[0].code == 0 ? mList[0].value : std::string_view();
}

bool Groups::has(int code) const {
    for (const Group &g : mList)
        if (g.code == code)
            return true;
    return false;
}

double Groups::number(const Group &g, double dflt) {
    double v = 0;
    std::string_view s = g.value;
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return dflt;
    return v;
}

long Groups::integer(const Group &g, long dflt) {
    long v = 0;
    std::string_view s = g.value;
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec != std::errc() || end != s.data() + s.size() ? dflt : v;
}

double Groups::number(int code, double dflt) const {
    for (const Group &g : mList)
        if (g.code == code)
            return number(g, dflt);
    return dflt;
}

long Groups::integer(int code, long dflt) const {
    for (const Group &g : mList)
        if (g.code == code)
            return integer(g, dflt);
    return dflt;
}

std::string_view Groups::text(int code) const {
    for (const Group &g : mList)
        if (g.code == code)
            return g.value;
    return {};
}

Point3 Groups::point(int code, Point3 dflt) const {
    if (!has(code))
        return dflt;
    return {number(code, dflt.x), number(code + 10, dflt.y), number(code + 20, 0)};
}

} // namespace tev::db
