// picture_facts.cpp - the picture's facts from the file's kept header, tables and bytes.
#include "picture_facts.h"

#include "codepage.h"
#include "document.h"
#include "groups.h"

#include <algorithm>
#include <memory>

namespace host::app {
namespace {

// A header variable's number, or dflt.
double headerNumber(const dxf::DocumentKept &doc, std::string_view name, double dflt) {
    for (const dxf::HeaderVar &var : doc.header)
        if (var.name == name)
            return render::Groups::number(render::Group{40, var.value}, dflt);
    return dflt;
}

} // namespace

render::FileFacts pictureFacts(AcDbDatabase &db) {
    render::FileFacts facts;
    const dxf::DocumentKept *doc = dxf::documentOf(db);
    if (doc == nullptr)
        return facts;
    auto codec =
        std::make_shared<dxf::TextCodec>(dxf::TextCodec::forFile(doc->acadver, doc->codePage));
    facts.kinds.toDatabaseText = [codec](std::string_view text) { return codec->toDatabase(text); };
    facts.trueColours = dxf::versionAtLeast(doc->acadver, "AC1018");
    double size = headerNumber(*doc, "$DIMASZ", 2.5);
    double scale = headerNumber(*doc, "$DIMSCALE", 1);
    facts.kinds.arrowSize = (size > 0 ? size : 2.5) * (scale > 0 ? scale : 1);
    facts.kinds.pointMode =
        static_cast<int>(std::clamp(headerNumber(*doc, "$PDMODE", 0), 0.0, 127.0));
    facts.kinds.pointSize = headerNumber(*doc, "$PDSIZE", 0);
    for (const dxf::SectionKept &section : doc->sections)
        for (const dxf::TableKept &table : section.tables)
            if (table.name == "DIMSTYLE")
                for (std::string_view entry : table.entries) {
                    render::Groups g = render::Groups::first(entry);
                    double styleSize = g.number(41, size), styleScale = g.number(40, scale);
                    facts.kinds.styleArrowSizes[std::string(g.text(2))] =
                        (styleSize > 0 ? styleSize : 2.5) * (styleScale > 0 ? styleScale : 1);
                }
    if (doc->source != nullptr) {
        facts.text = doc->source->text;
        facts.doneBefore = [source = doc->source](std::size_t offset) {
            source->doneBefore(offset);
        };
    }
    return facts;
}

} // namespace host::app
