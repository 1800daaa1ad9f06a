// dxf_test_util.h - helpers shared by the DXF reading and writing tests: DXF text from
// lines, a scratch folder, and running Debian's python3-ezdxf as an independent reader.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <unistd.h>

namespace dxftest {

// Joins lines into DXF text.
inline std::string lines(std::initializer_list<const char *> ls) {
    std::string out;
    for (const char *l : ls) {
        out += l;
        out += '\n';
    }
    return out;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "dxftest-XXXXXX").string();
        path_ = ::mkdtemp(templ.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline bool haveEzdxf() {
    return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0;
}

// Runs a Python script with ezdxf imported; returns its standard output, or "ERROR: ..."
// with its exit status when it fails.
inline std::string runPython(const std::string &script) {
    ScratchDir dir;
    const std::string path = dir.file("check.py");
    writeFile(path, "import ezdxf, sys\n" + script);
    const std::string cmd = "/usr/bin/python3 " + path + " 2>&1";
    std::FILE *p = ::popen(cmd.c_str(), "r");
    if (p == nullptr)
        return "ERROR: cannot run python";
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = ::pclose(p);
    if (status != 0)
        return "ERROR: status " + std::to_string(status) + ": " + out;
    return out;
}

// A Python snippet that loads `path` with ezdxf, audits it, and prints "audit errors N" and
// one line per entity: type, handle, layer, colour and the main point, in file order.
inline std::string ezdxfSummaryScript(const std::string &path) {
    return "doc = ezdxf.readfile(r'" + path +
           "')\n"
           "auditor = doc.audit()\n"
           "print('audit errors', len(auditor.errors))\n"
           "for e in auditor.errors: print('  ', e)\n"
           "def pt(e):\n"
           "    for a in ('start', 'center', 'insert', 'location'):\n"
           "        if e.dxf.hasattr(a):\n"
           "            v = e.dxf.get(a)\n"
           "            return '%.6g,%.6g,%.6g' % (v[0], v[1], v[2])\n"
           "    if e.dxftype() == 'LWPOLYLINE':\n"
           "        return ';'.join('%.6g,%.6g,%.6g' % (p[0], p[1], p[4]) for p in "
           "e.get_points())\n"
           "    if e.dxftype() == 'POLYLINE':\n"
           "        return ';'.join('%.6g,%.6g,%.6g' % tuple(v.dxf.location) for v in e.vertices)\n"
           "    return '-'\n"
           "for space in (doc.modelspace(), doc.layouts.get('Layout1') if 'Layout1' in doc.layouts "
           "else []):\n"
           "    for e in space:\n"
           "        print(e.dxftype(), e.dxf.handle, e.dxf.layer, e.dxf.color, pt(e))\n";
}

} // namespace dxftest
