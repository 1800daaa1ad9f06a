// svg_check.cpp - runs svg_check.py over a picture and reads its report.
#include "svg_check.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace render_test {

int SvgSummary::count(const std::string &cls) const {
    int n = 0;
    for (const Element &e : elements)
        n += e.cls == cls;
    return n;
}

std::vector<Element> SvgSummary::withClass(const std::string &cls) const {
    std::vector<Element> out;
    for (const Element &e : elements)
        if (e.cls == cls)
            out.push_back(e);
    return out;
}

SvgSummary summarize(const std::string &svg) {
    char path[] = "/tmp/render_test_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    close(fd);
    std::ofstream(path, std::ios::binary) << svg;
    std::string command = std::string("/usr/bin/python3 ") + RENDER_SVG_CHECK + " " + path;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run python3");
    std::string report;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, pipe))
        report.append(buf, n);
    pclose(pipe);
    unlink(path);

    SvgSummary s;
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string key;
        in >> key;
        if (key == "error") {
            s.parseError = line;
            return s;
        }
        if (key == "root")
            in >> s.root;
        else if (key == "namespace")
            in >> s.ns;
        else if (key == "viewBox")
            in >> s.viewBox[0] >> s.viewBox[1] >> s.viewBox[2] >> s.viewBox[3];
        else if (key == "elem") {
            Element e;
            in >> e.depth >> e.tag >> e.cls >> e.stroke >> e.fill >> e.strokeWidth >> e.dashes;
            s.elements.push_back(e);
        } else if (key == "attr" && !s.elements.empty()) {
            std::string name, value;
            in >> name;
            std::getline(in, value);
            s.elements.back().attrs[name] = value.empty() ? value : value.substr(1);
        } else if (key == "text") {
            std::string cls;
            in >> cls;
            std::string rest;
            std::getline(in, rest);
            s.texts.push_back(rest.empty() ? rest : rest.substr(1));
        }
    }
    s.wellFormed = !s.root.empty();
    return s;
}

} // namespace render_test
