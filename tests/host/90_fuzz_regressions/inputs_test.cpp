// inputs_test.cpp - every kept input of the fuzz targets, run once: the seed corpus in
// fuzz/corpus/<target>/ and the faults found in fuzz/regressions/<target>/. One test per
// file, named after it, so a failure names the input to replay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "command_script.h"
#include "dxf_round_trip.h"

namespace {

namespace fs = std::filesystem;

struct Input {
    std::string path;       // relative to fuzz/
    std::string name;       // a test name made of it
    std::string knownFault; // why it still fails, when fuzz/known-failures.txt lists it
};

// A kept input whose fault is listed as known is skipped with the fault named, without
// running it (a known leak would still fail the sanitizer suite at exit), so the suite
// stays green while the owner fixes it. TEV_FUZZ_RUN_KNOWN=1 runs them all, to see which
// are fixed and whose lines can go.
#define EXPECT_NO_PROBLEM(check)                                                                   \
    do {                                                                                           \
        if (!GetParam().knownFault.empty() && std::getenv("TEV_FUZZ_RUN_KNOWN") == nullptr)        \
            GTEST_SKIP() << "known fault: " << GetParam().knownFault;                              \
        EXPECT_EQ(check, "") << GetParam().path;                                                   \
    } while (false)

// The faults fuzz/known-failures.txt lists, by "<target>/<file>".
std::map<std::string, std::string> knownFailures() {
    std::map<std::string, std::string> known;
    std::ifstream in(fs::path(TEV_FUZZ_DIR) / "known-failures.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find_first_of(" \t");
        const std::size_t reason = line.find_first_not_of(" \t", space);
        known[line.substr(0, space)] = reason == std::string::npos ? "" : line.substr(reason);
    }
    return known;
}

// Files of fuzz/<kind>/<target>/, dot files (.gitkeep) left out, in name order, each with
// the known fault it still shows, if it is listed.
std::vector<Input> inputsOf(const char *target) {
    std::vector<Input> inputs;
    const fs::path root(TEV_FUZZ_DIR);
    const std::map<std::string, std::string> known = knownFailures();
    for (const char *kind : {"corpus", "regressions"}) {
        const fs::path dir = root / kind / target;
        if (!fs::is_directory(dir))
            continue;
        for (const auto &entry : fs::directory_iterator(dir)) {
            const std::string file = entry.path().filename().string();
            if (!entry.is_regular_file() || file.starts_with("."))
                continue;
            std::string name = std::string(kind) + "_" + file;
            std::replace_if(
                name.begin(), name.end(), [](char c) { return !std::isalnum((unsigned char)c); },
                '_');
            const auto fault = known.find(std::string(target) + "/" + file);
            inputs.push_back({fs::relative(entry.path(), root).string(), name,
                              fault != known.end() ? fault->second : ""});
        }
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const Input &a, const Input &b) { return a.path < b.path; });
    return inputs;
}

std::string readInput(const std::string &relative) {
    std::ifstream in(fs::path(TEV_FUZZ_DIR) / relative, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Shown by gtest instead of the bytes of the struct.
void PrintTo(const Input &input, std::ostream *os) {
    *os << input.path;
}

std::string nameOf(const ::testing::TestParamInfo<Input> &info) {
    return info.param.name;
}

class DxfReaderInput : public ::testing::TestWithParam<Input> {};
class CommandLineInput : public ::testing::TestWithParam<Input> {};

// Test that the kept input reads and round-trips (or is refused with a message).
TEST_P(DxfReaderInput, RoundTrips) {
    const std::string bytes = readInput(GetParam().path);
    ASSERT_FALSE(bytes.empty()) << GetParam().path << " cannot be read";
    EXPECT_NO_PROBLEM(tevfuzz::checkDxfRoundTrip(bytes));
}
INSTANTIATE_TEST_SUITE_P(Fuzz, DxfReaderInput, ::testing::ValuesIn(inputsOf("fuzz_dxf_reader")),
                         nameOf);

// Test that the kept script runs its commands with nothing left behind after each.
TEST_P(CommandLineInput, LeavesNothingBehind) {
    const std::string bytes = readInput(GetParam().path);
    EXPECT_NO_PROBLEM(tevfuzz::checkCommandScript(bytes));
}
INSTANTIATE_TEST_SUITE_P(Fuzz, CommandLineInput, ::testing::ValuesIn(inputsOf("fuzz_command_line")),
                         nameOf);

// Test that both targets have a seed corpus to start from: an empty folder would make
// the tests above vanish instead of fail.
TEST(FuzzCorpus, EveryTargetHasSeeds) {
    for (const char *target : {"fuzz_dxf_reader", "fuzz_command_line"}) {
        const auto inputs = inputsOf(target);
        const auto seeds = std::count_if(inputs.begin(), inputs.end(), [](const Input &i) {
            return i.path.starts_with("corpus/");
        });
        EXPECT_GE(seeds, 8) << target;
    }
}

// Test that every input listed as a known failure is still kept: a stale line would hide
// nothing and mislead whoever reads the list.
TEST(FuzzCorpus, KnownFailuresAreKeptInputs) {
    for (const auto &[entry, fault] : knownFailures()) {
        const fs::path path = fs::path(TEV_FUZZ_DIR) / "regressions" / entry;
        EXPECT_TRUE(fs::is_regular_file(path)) << entry;
        EXPECT_FALSE(fault.empty()) << entry << " names no fault";
    }
}

} // namespace
