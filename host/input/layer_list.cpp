// layer_list.cpp - "-LAYER ?": the layers whose names match a pattern, one line each with
// their state, colour and linetype, then the current layer.
#include "drawing_commands.h"

#include "acedads.h"
#include "command_line.h"
#include "dbsymtb.h"
#include "i18n.h"
#include "sysvars.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace host {

namespace {

using i18n::tr;

char upperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A name against one wildcard pattern, any case: "*" any run, "?" one character, "#" a
// digit, "@" a letter, "." any character that is neither, "`" takes the next literally.
bool matches(std::string_view name, std::string_view pattern) {
    if (pattern.empty())
        return name.empty();
    char p = pattern.front();
    if (p == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (matches(name.substr(skip), pattern.substr(1)))
                return true;
        }
        return false;
    }
    if (name.empty())
        return false;
    unsigned char c = static_cast<unsigned char>(name.front());
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
    bool digit = c >= '0' && c <= '9';
    bool one = false;
    std::size_t used = 1;
    switch (p) {
    case '?':
        one = true;
        break;
    case '#':
        one = digit;
        break;
    case '@':
        one = letter;
        break;
    case '.':
        one = !letter && !digit;
        break;
    case '`':
        one = pattern.size() > 1 && upperChar(pattern[1]) == upperChar(name.front());
        used = 2;
        break;
    default:
        one = upperChar(p) == upperChar(name.front());
        break;
    }
    return one && matches(name.substr(1), pattern.substr(used));
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

void listLayers(AcDbDatabase &db) {
    CommandLine &cl = CommandLine::current();
    Answer a = cl.ask(tr("\nEnter layer name(s) to list <*>: "), AnswerEnd::LineOnly);
    if (!a.isText())
        return;
    std::string patterns = a.text.empty() ? "*" : a.text;
    AcDbLayerTable *table = nullptr;
    if (db.getSymbolTable(table, AcDb::kForRead) != Acad::eOk) {
        cl.refuse(tr("The layer table cannot be opened."));
        return;
    }
    std::vector<std::string> rows;
    AcDbSymbolTableIterator *raw = nullptr;
    if (table->newIterator(raw) == Acad::eOk) {
        std::unique_ptr<AcDbSymbolTableIterator> it(raw);
        for (; !it->done(); it->step()) {
            AcDbSymbolTableRecord *rec = nullptr;
            if (it->getRecord(rec, AcDb::kForRead) != Acad::eOk)
                continue;
            if (const auto *layer = AcDbLayerTableRecord::cast(rec);
                layer != nullptr && matchesAny(layer->nameRef(), patterns))
                rows.push_back(layerRow(*layer));
            (void)rec->close();
        }
    }
    (void)table->close();
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
