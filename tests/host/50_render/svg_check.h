// svg_check.h - reads a picture back through python's XML parser (an independent reader)
// and gives the tests its elements, so that they check what a viewer would see.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace render_test {

struct Element {
    int depth = 0;
    std::string tag, cls, stroke, fill, strokeWidth,
        dashes;                               // "-" when absent; dashes comma-separated
    std::map<std::string, std::string> attrs; // all of them, as written
    std::string attr(const std::string &name) const {
        auto it = attrs.find(name);
        return it == attrs.end() ? "" : it->second;
    }
};

struct SvgSummary {
    bool wellFormed = false;
    std::string parseError;
    std::string root, ns;
    double viewBox[4] = {0, 0, 0, 0};
    std::vector<Element> elements;
    std::vector<std::string> texts; // the content of each <text>, in order

    // How many elements carry this class.
    int count(const std::string &cls) const;
    // The elements with this class, in document order.
    std::vector<Element> withClass(const std::string &cls) const;
};

// Parses svg with /usr/bin/python3 and xml.etree.ElementTree.
SvgSummary summarize(const std::string &svg);

} // namespace render_test
