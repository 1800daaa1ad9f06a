// save_property_test.cpp - whatever drawing the reader accepts saves, unchanged and after
// Sel, Wpe and ERASE of everything, and reads back the same: over every drawing the tests
// have (the fuzz targets' seeds and kept faults, the examples, LibreCAD's drawings when it
// is installed).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "save_property.h"

namespace {

namespace fs = std::filesystem;

struct Folder {
    const char *name;
    fs::path path;
    bool dxfOnly;  // only *.dxf files (a folder of other files besides)
    bool optional; // may be missing (a package not installed)
};

std::vector<fs::path> filesOf(const Folder &folder) {
    std::vector<fs::path> files;
    if (!fs::is_directory(folder.path))
        return files;
    for (const auto &entry : fs::recursive_directory_iterator(folder.path)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with(".") &&
            (!folder.dxfOnly || ext == ".dxf"))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void PrintTo(const Folder &folder, std::ostream *os) {
    *os << folder.path;
}

class SavedDrawings : public ::testing::TestWithParam<Folder> {};

// Test that every drawing of the folder the reader accepts saves, unchanged and after each
// command, passing the written-bytes check, and reads back the same.
TEST_P(SavedDrawings, SaveUnchangedAndAfterCommands) {
    const std::vector<fs::path> files = filesOf(GetParam());
    if (files.empty() && GetParam().optional)
        GTEST_SKIP() << GetParam().path << " is not installed";
    ASSERT_FALSE(files.empty()) << GetParam().path;
    for (const fs::path &file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(tevfuzz::checkSaveProperty(bytes.str(), dxf::ReadOptions()), "") << file;
    }
}

const Folder kFolders[] = {
    {"reader_seeds", fs::path(TEV_FUZZ_DIR) / "corpus/fuzz_dxf_reader", false, false},
    {"reader_faults", fs::path(TEV_FUZZ_DIR) / "regressions/fuzz_dxf_reader", false, false},
    {"save_faults", fs::path(TEV_FUZZ_DIR) / "regressions/fuzz_dxf_save", false, true},
    {"examples", fs::path(TEV_SOURCE_DIR) / "examples", true, false},
    {"librecad", "/usr/share/librecad", true, true},
};
INSTANTIATE_TEST_SUITE_P(Drawings, SavedDrawings, ::testing::ValuesIn(kFolders),
                         [](const auto &info) { return std::string(info.param.name); });

// A drawing of R2000 form from its entities and its objects (beside a root dictionary C with
// the entry "G": handle D, which the objects may fill), model space 1F, the next handle 1000.
std::string r2000(const std::string &entities, const std::string &objects) {
    return "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$HANDSEED\n5\n1000\n0\nENDSEC\n"
           "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n5\n1\n330\n0\n100\n"
           "AcDbSymbolTable\n70\n1\n0\nBLOCK_RECORD\n5\n1F\n330\n1\n100\nAcDbSymbolTableRecord\n"
           "100\nAcDbBlockTableRecord\n2\n*Model_Space\n0\nENDTAB\n0\nENDSEC\n"
           "0\nSECTION\n2\nENTITIES\n" +
           entities +
           "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n"
           "0\nDICTIONARY\n5\nC\n330\n0\n100\nAcDbDictionary\n3\nG\n350\nD\n" +
           objects + "0\nENDSEC\n0\nEOF\n";
}

const std::string kLine = "0\nLINE\n5\nA1\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n"
                          "10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n";
const std::string kOtherLine = "0\nLINE\n5\nA2\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n"
                               "10\n0\n20\n5\n30\n0\n11\n10\n21\n5\n31\n0\n";

// The saved text with the blanks that start its lines taken out ("  0" is "0").
std::string unindented(const std::string &text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == ' ')
            continue;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

// Test each kind of fault a save showed after a command on a drawing the reader accepts:
// what the saved file holds (pieces in this order) and what it must not hold.
TEST(SaveAfterCommand, SavedFileHoldsWhatTheCommandLeft) {
    struct Case {
        const char *what;
        std::string input;
        const char *command;
        std::vector<std::string> inOrder, absent;
    } cases[] = {
        // A draw-order table's sort handle (5 after 331) may equal another object's handle.
        {"draw order",
         r2000(kLine + kOtherLine, "0\nSORTENTSTABLE\n5\nD\n330\nC\n100\nAcDbSortentsTable\n"
                                   "331\nA1\n5\nA2\n331\nA2\n5\nA1\n"),
         "Sel",
         {"331\nA1\n5\nA2\n331\nA2\n5\nA1\n"},
         {}},
        // A true colour a writer left after the subclass marker goes with the new colour.
        {"true colour after marker",
         r2000("0\nPOINT\n5\nA3\n100\nAcDbEntity\n8\n0\n62\n5\n100\nAcDbPoint\n420\n16711680\n"
               "10\n1\n20\n2\n30\n0\n",
               ""),
         "Sel",
         {"POINT\n", "\n62\n3\n"},
         {"\n420\n"}},
        // Attributes of an insert in a file without handles take the colour too, and lose a
        // true colour a writer left after their subclass marker.
        {"attribute without handles",
         "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nB\n70\n2\n10\n0\n20\n0\n30\n0\n3\nB\n"
         "0\nENDBLK\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
         "0\nINSERT\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockReference\n66\n1\n2\nB\n"
         "10\n0\n20\n0\n30\n0\n0\nATTRIB\n100\nAcDbEntity\n8\n0\n100\nAcDbText\n420\n255\n"
         "10\n0\n20\n0\n30\n0\n40\n1\n1\nV\n100\nAcDbAttribute\n2\nTAG\n70\n0\n"
         "0\nSEQEND\n100\nAcDbEntity\n8\n0\n0\nENDSEC\n0\nEOF\n",
         "Sel",
         {"ATTRIB\n", "\n62\n3\n", "SEQEND\n"},
         {"\n420\n"}},
        // The polyline that replaced a line takes its place in the line's group.
        {"group after Wpe",
         r2000(kLine, "0\nDICTIONARY\n5\nD\n330\nC\n100\nAcDbDictionary\n3\nG1\n350\nE0\n"
                      "0\nGROUP\n5\nE0\n330\nD\n100\nAcDbGroup\n300\n\n70\n0\n71\n1\n340\nA1\n"),
         "Wpe",
         {"GROUP\n", "\n340\n1000\n"},
         {"\n340\nA1\n"}},
        // A hatch's boundary no longer names the line Wpe replaced, nor is associative.
        {"hatch boundary after Wpe",
         r2000(kLine + "0\nHATCH\n5\nB1\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbHatch\n"
                       "10\n0\n20\n0\n30\n0\n210\n0\n220\n0\n230\n1\n2\nSOLID\n70\n1\n"
                       "71\n1\n91\n1\n92\n1\n93\n1\n72\n1\n10\n0\n20\n0\n11\n10\n21\n0\n"
                       "97\n1\n330\nA1\n75\n0\n76\n1\n98\n0\n",
               ""),
         "Wpe",
         {"HATCH\n", "\n71\n0\n", "\n97\n0\n75\n0\n"},
         {"\n330\nA1\n"}},
        // References to what ERASE erased go, and so does an association that needs them.
        {"references after ERASE",
         r2000(kLine + kOtherLine,
               "0\nDICTIONARY\n5\nD\n330\nC\n100\nAcDbDictionary\n3\nDA\n350\nE2\n3\nIB\n350\nE1\n"
               "0\nIDBUFFER\n5\nE1\n330\nD\n100\nAcDbIdBuffer\n330\nA1\n330\nA2\n"
               "0\nDIMASSOC\n5\nE2\n330\nD\n100\nAcDbDimAssoc\n90\n1\n70\n0\n71\n0\n"
               "1\nAcDbOsnapPointRef\n72\n0\n331\nA1\n73\n0\n"),
         "ERASE",
         {"\n3\nIB\n350\nE1\n0\nIDBUFFER\n5\nE1\n330\nD\n100\nAcDbIdBuffer\n0\n"},
         {"DIMASSOC", "\nDA\n", "\n330\nA1\n", "\n330\nA2\n"}},
        // Entities alone, of the R13 form without handles: saved whole in that form.
        {"entities alone of the later form",
         "0\nSECTION\n2\nENTITIES\n0\nSPLINE\n100\nAcDbEntity\n8\n0\n100\nAcDbSpline\n"
         "70\n8\n71\n1\n72\n4\n73\n2\n74\n0\n40\n0\n40\n0\n40\n1\n40\n1\n"
         "10\n0\n20\n0\n30\n0\n10\n5\n20\n5\n30\n0\n"
         "0\nLWPOLYLINE\n100\nAcDbEntity\n8\n0\n100\nAcDbPolyline\n90\n2\n70\n0\n"
         "10\n0\n20\n0\n10\n1\n20\n1\n0\nENDSEC\n0\nEOF\n",
         "Sel",
         {"$ACADVER\n1\nAC1015\n", "SPLINE\n5\n", "\n330\n", "\n100\nAcDbEntity\n"},
         {"SPLINE\n100\n", "SPLINE\n8\n", "LWPOLYLINE\n100\n", "LWPOLYLINE\n8\n"}},
        // A new object's handle is above every handle the file names, a dangling one too.
        {"handle named but missing",
         r2000("0\nLINE\n5\nA1\n102\n{ACAD_XDICTIONARY\n360\n2000\n102\n}\n100\nAcDbEntity\n"
               "8\n0\n100\nAcDbLine\n10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n",
               ""),
         "Wpe",
         {"POLYLINE\n5\n2001\n"},
         {}},
    };
    for (const Case &c : cases) {
        std::string error;
        const std::string saved = unindented(tevfuzz::saveAfter(c.input, c.command, error));
        EXPECT_EQ(error, "") << c.what;
        std::size_t at = 0;
        for (const std::string &piece : c.inOrder) {
            at = saved.find(piece, at);
            if (at == std::string::npos) {
                ADD_FAILURE() << c.what << ": no " << piece << " in its place\n" << saved;
                break;
            }
        }
        for (const std::string &piece : c.absent)
            EXPECT_EQ(saved.find(piece), std::string::npos) << c.what << ": " << piece << "\n"
                                                            << saved;
    }
}

} // namespace
