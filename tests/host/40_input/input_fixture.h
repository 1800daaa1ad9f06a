// input_fixture.h - a fresh command line fed from a queue, for every test.
#pragma once

#include "command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace inputtest {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { cl = &host::CommandLine::reset(); }
    // Queues answers (ASCII or Windows-1251).
    void type(std::initializer_list<std::string> answers) {
        for (const auto &a : answers)
            cl->queue()->push(a);
    }
    void escape() { cl->queue()->pushEscape(); }
    std::string transcript() { return cl->captured(); }
    std::size_t unread() { return cl->queue()->remaining(); }

    host::CommandLine *cl = nullptr;
};

// Counts how often needle occurs in hay.
inline int occurrences(const std::string &hay, const std::string &needle) {
    int n = 0;
    for (std::size_t at = hay.find(needle); at != std::string::npos;
         at = hay.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace inputtest
