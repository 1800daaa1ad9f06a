// fuzz_report.h - how a fuzz entry point reports a broken property: by aborting, so that
// libFuzzer keeps the input as a crash. A fault already known can be let through with
// TEV_FUZZ_TOLERATE="text|text|...": a problem containing one of the texts is printed the
// first time and counted, and the run goes on looking for new faults while the owner
// fixes the known one.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace tevfuzz {

// The listed text that problem contains, or empty when it matches none.
inline std::string toleratedPart(std::string_view problem, std::string_view list) {
    while (!list.empty()) {
        const std::size_t bar = list.find('|');
        const std::string_view part = list.substr(0, bar);
        if (!part.empty() && problem.find(part) != std::string_view::npos)
            return std::string(part);
        if (bar == std::string_view::npos)
            break;
        list.remove_prefix(bar + 1);
    }
    return {};
}

inline void reportProblem(const char *target, const std::string &problem) {
    if (problem.empty())
        return;
    const char *list = std::getenv("TEV_FUZZ_TOLERATE");
    const std::string known = list != nullptr ? toleratedPart(problem, list) : std::string();
    if (known.empty()) {
        std::fprintf(stderr, "%s: %s\n", target, problem.c_str());
        std::abort();
    }
    static std::map<std::string, long> seen;
    if (++seen[known] == 1)
        std::fprintf(stderr, "%s: tolerated known fault: %s\n", target, problem.c_str());
}

} // namespace tevfuzz
