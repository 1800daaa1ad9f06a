// handle_index_test.cpp - the flat handle table against a plain map: whatever mix of
// inserts and removals, every handle finds its stub and no removed one is found.
#include "handle_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

AcDbStub *stubFor(std::uint64_t handle) {
    // The table never looks behind the pointer: any distinct value stands for a stub.
    return reinterpret_cast<AcDbStub *>(static_cast<std::uintptr_t>(handle * 16));
}

void expectSame(const tev::db::HandleIndex &index,
                const std::unordered_map<std::uint64_t, AcDbStub *> &model, std::uint64_t upTo) {
    ASSERT_EQ(index.size(), model.size());
    for (std::uint64_t h = 0; h <= upTo; ++h) {
        const auto it = model.find(h);
        EXPECT_EQ(index.find(h), it == model.end() ? nullptr : it->second) << "handle " << h;
    }
}

// Test consecutive handles (as a file gives them), then every third one removed, then
// added again: lookups agree with a map after each step.
TEST(HandleIndex, ConsecutiveHandlesRemovedAndAddedAgain) {
    tev::db::HandleIndex index;
    std::unordered_map<std::uint64_t, AcDbStub *> model;
    for (std::uint64_t h = 1; h <= 5000; ++h) {
        ASSERT_TRUE(index.insert(h, stubFor(h)));
        model.emplace(h, stubFor(h));
    }
    EXPECT_FALSE(index.insert(77, stubFor(1))); // already there: unchanged
    EXPECT_FALSE(index.insert(0, stubFor(1)));  // the null handle is never stored
    expectSame(index, model, 5100);
    for (std::uint64_t h = 3; h <= 5000; h += 3) {
        ASSERT_TRUE(index.erase(h));
        model.erase(h);
    }
    EXPECT_FALSE(index.erase(3));
    EXPECT_FALSE(index.erase(99999));
    expectSame(index, model, 5100);
    for (std::uint64_t h = 3; h <= 5000; h += 6) {
        ASSERT_TRUE(index.insert(h, stubFor(h + 1)));
        model.emplace(h, stubFor(h + 1));
    }
    expectSame(index, model, 5100);
    // assign repoints a handle that is there and adds one that is not.
    EXPECT_TRUE(index.assign(7, stubFor(9)));
    model[7] = stubFor(9);
    EXPECT_TRUE(index.assign(6, stubFor(8)));
    model[6] = stubFor(8);
    EXPECT_FALSE(index.assign(0, stubFor(1)));
    expectSame(index, model, 5100);
}

// Test a long random mix in a small table (many runs wrap round its end), with and
// without room reserved first.
TEST(HandleIndex, RandomMixAgreesWithAMap) {
    for (bool reserved : {false, true}) {
        tev::db::HandleIndex index;
        if (reserved)
            index.reserve(300);
        std::unordered_map<std::uint64_t, AcDbStub *> model;
        std::mt19937_64 random(reserved ? 7 : 11);
        for (int step = 0; step < 20000; ++step) {
            const std::uint64_t h = random() % 400;
            if (random() % 3 == 0) {
                EXPECT_EQ(index.erase(h), model.erase(h) == 1) << "step " << step;
            } else {
                const bool added = model.emplace(h, stubFor(h)).second && h != 0;
                if (h == 0)
                    model.erase(0);
                EXPECT_EQ(index.insert(h, stubFor(h)), added) << "step " << step;
            }
        }
        expectSame(index, model, 400);
    }
}

} // namespace
