// layer_list.cpp - "-LAYER ?": the layers whose names match a pattern, one line each with
// their state, colour and linetype, then the current layer.
#include "drawing_commands.h"

#include "acedads.h"
#include "command_line.h"
#include "dbsymtb.h"
#include "i18n.h"
#include "layer_table.h"
#include "sysvars.h"
#include "text_util.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace host {

namespace {

using i18n::tr;

using text::toUpper;

// Whether the pattern element at pattern[at] matches the character c; at moves past the
// element. "?" any character, "#" a digit, "@" a letter, "." any character that is neither,
// "`" takes the next literally; anything else itself, in any case.
bool elementMatches(std::string_view pattern, std::size_t &at, char c) {
    unsigned char u = static_cast<unsigned char>(c);
    bool letter = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0xC0;
    bool digit = u >= '0' && u <= '9';
    char p = pattern[at++];
    switch (p) {
    case '?':
        return true;
    case '#':
        return digit;
    case '@':
        return letter;
    case '.':
        return !letter && !digit;
    case '`':
        return at < pattern.size() && toUpper(pattern[at++]) == toUpper(c);
    default:
        return toUpper(p) == toUpper(c);
    }
}

// A name against one wildcard pattern ("*" any run, and the elements above). Every element
// but "*" takes one character, so going back to the last "*" is enough: linear in practice,
// never exponential.
bool matches(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        std::size_t next = p;
        if (p < pattern.size() && elementMatches(pattern, next, name[n])) {
            p = next;
            ++n;
            continue;
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool matchesAny(std::string_view name, const std::string &patterns) {
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = patterns.find(',', start);
        std::string_view one = std::string_view(patterns).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        if (matches(name, one))
            return true;
        if (comma == std::string::npos)
            return false;
        start = comma + 1;
    }
}

std::string pad(std::string s, std::size_t width) {
    s.resize(std::max(s.size() + 1, width), ' ');
    return s;
}

std::string linetypeName(AcDbObjectId id) {
    AcDbSymbolTableRecord *rec = nullptr;
    if (id.isNull() || acdbOpenObject(rec, id, AcDb::kForRead) != Acad::eOk)
        return "CONTINUOUS";
    std::string name = rec->nameRef();
    (void)rec->close();
    return name;
}

std::string layerRow(const AcDbLayerTableRecord &layer) {
    int colour = layer.color().colorIndex();
    static const char *const kNames[] = {"",
                                         i18n::N_("red"),
                                         i18n::N_("yellow"),
                                         i18n::N_("green"),
                                         i18n::N_("cyan"),
                                         i18n::N_("blue"),
                                         i18n::N_("magenta"),
                                         i18n::N_("white")};
    std::string colourText = std::to_string(colour);
    if (colour >= 1 && colour <= 7)
        colourText += std::string(" (") + tr(kNames[colour]) + ")";
    return pad(layer.nameRef(), 24) + pad(layer.isOff() ? tr("Off") : tr("On"), 6) +
           pad(layer.isFrozen() ? tr("Frozen") : tr("Thawed"), 11) +
           pad(layer.isLocked() ? tr("Locked") : tr("Unlocked"), 14) + pad(colourText, 13) +
           linetypeName(layer.linetypeObjectId());
}

} // namespace

bool layerNameMatches(std::string_view name, const std::string &patterns) {
    return matchesAny(name, patterns);
}

void listLayers(AcDbDatabase &db) {
    CommandLine &cl = CommandLine::current();
    Answer a = cl.ask(tr("\nEnter layer name(s) to list <*>: "), AnswerEnd::LineOnly);
    if (!a.isText())
        return;
    std::string patterns = a.text.empty() ? "*" : a.text;
    std::vector<std::string> rows;
    if (!forEachLayer(db, [&](const AcDbLayerTableRecord &layer) {
            if (matchesAny(layer.nameRef(), patterns))
                rows.push_back(layerRow(layer));
        })) {
        cl.refuse(tr("The layer table cannot be opened."));
        return;
    }
    if (rows.empty()) {
        cl.refuse(tr("No matching layer names found."));
        return;
    }
    std::string text = "\n" + pad(tr("Layer name"), 24) + pad(tr("State"), 31) +
                       pad(tr("Color"), 13) + tr("Linetype") + "\n";
    for (const std::string &row : rows)
        text += "\n" + row;
    resbuf current{};
    std::string currentName;
    if (acedGetVar("CLAYER", &current) == RTNORM && current.restype == RTSTR &&
        current.resval.rstring != nullptr) {
        currentName = current.resval.rstring;
        std::free(current.resval.rstring); // acedGetVar's string is malloc'd for the caller
    }
    cl.print(text + "\n\n" + tr("Current layer:") + " " + currentName + "\n");
}

} // namespace host
