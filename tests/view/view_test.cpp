// The live view's pieces with a drawing: who may ask, answers posted by the page from its
// own threads reaching the prompts (picks with the page's pick box, windows), queries run
// on the command thread while it waits, and pictures that leave out what a pixel hides.
#include "database_impl.h"
#include "drawing_fixture.h"
#include "selection_sets.h"
#include "view_input.h"
#include "view_scene.h"
#include "view_server.h"

#include <cstring>
#include <thread>
#include <vector>

using drawingtest::DrawingTest;
using host::view::Hub;
using host::view::Item;

namespace {

TEST(ViewRequests, OnlyTheTokenFromTheViewsOwnPageGetsIn) {
    const std::set<std::string> own = {"127.0.0.1:8000", "localhost:8000", "[::1]:8000"};
    const std::string token = host::view::makeToken();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_NE(token, host::view::makeToken());
    struct Case {
        const char *host, *origin;
        std::string given;
        bool allowed;
    } cases[] = {
        {"127.0.0.1:8000", "", token, true},
        {"localhost:8000", "http://localhost:8000", token, true},
        {"[::1]:8000", "http://127.0.0.1:8000", token, true},
        {"127.0.0.1:8000", "", "", false},                          // no token
        {"127.0.0.1:8000", "", token.substr(0, 31) + "x", false},   // a wrong one
        {"127.0.0.1:8000", "", token + "0", false},                 // longer
        {"evil.example:8000", "", token, false},                    // a rebound name
        {"127.0.0.1:8001", "", token, false},                       // another port
        {"127.0.0.1:8000", "http://evil.example", token, false},    // another site
        {"127.0.0.1:8000", "https://127.0.0.1:8000", token, false}, // not the page
        {"127.0.0.1:8000", "null", token, false},                   // a sandboxed frame
    };
    for (const Case &c : cases)
        EXPECT_EQ(host::view::requestAllowed(own, token, c.host, c.origin, c.given), c.allowed)
            << c.host << " " << c.origin << " " << c.given;
}

class ViewTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        hub = std::make_shared<Hub>();
        cl->setSource(std::make_unique<host::view::ViewSource>(hub, nullptr, nullptr));
        cl->selectionSets().showPending(true);
        cl->setBreakSource([h = hub](bool clear) { return h->breakPending(clear); });
    }
    // Waits until the transcript the page sees holds text.
    void waitForTranscript(const std::string &text) {
        std::uint64_t since = 0, from = 0;
        std::string all;
        for (int i = 0; i < 200 && all.find(text) == std::string::npos; ++i) {
            std::string more;
            since = hub->waitState(since, std::chrono::milliseconds(50), from, more).version;
            all += more;
        }
    }
    std::shared_ptr<Hub> hub;
};

// The page picks with its pick box, drags a window, and asks for a picture and for what is
// highlighted while the prompts wait; everything touching the drawing runs on this thread.
TEST_F(ViewTest, PageAnswersAndQueriesRunWhileThePromptWaits) {
    cl->setTranscriptTap([this](std::string_view s) { hub->appendTranscript(s); });
    AcDbObjectId low = addLine(0, 0, 10, 0);
    AcDbObjectId high = addLine(0, 5, 10, 5);
    std::string picture, highlighted;
    const std::thread::id commandThread = std::this_thread::get_id();
    bool queriesOnCommandThread = true;
    std::thread page([&] {
        using namespace std::chrono_literals;
        host::view::ViewBox box{-1, -1, 11, 6, 0.01};
        picture = hub->call(
                         [&] {
                             queriesOnCommandThread &= std::this_thread::get_id() == commandThread;
                             return host::view::encodeView(*db, box, {});
                         },
                         5s)
                      .value_or("");
        // 2 units below the upper line: PICKAPERTURE (1) misses, a 3-unit pick box takes it.
        hub->post({Item{Item::Kind::Line, "2,3", 3, false}});
        hub->post({Item{Item::Kind::Line, "W", 0, false}, Item{Item::Kind::Line, "-1,-1", 0, false},
                   Item{Item::Kind::Line, "11,1", 0, false}});
        waitForTranscript("1 found");
        highlighted = hub->call(
                             [&] {
                                 queriesOnCommandThread &=
                                     std::this_thread::get_id() == commandThread;
                                 auto ids = host::view::highlightedIds();
                                 return std::to_string(ids.size()) + (ids.count(low) ? "low" : "");
                             },
                             5s)
                          .value_or("none");
        hub->post({Item{Item::Kind::Line, "", 0, false}});
    });
    ads_name ent, ss;
    ads_point pt;
    int pick = acedEntSel(nullptr, ent, pt);
    int select = acedSSGet(nullptr, nullptr, nullptr, nullptr, ss);
    page.join();
    ASSERT_EQ(pick, RTNORM);
    EXPECT_EQ(idOf(ent), high);
    ASSERT_EQ(select, RTNORM);
    long n = 0;
    EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
    EXPECT_EQ(n, 1);
    (void)acedSSFree(ss);
    EXPECT_EQ(highlighted, "1low");
    ASSERT_GE(picture.size(), 28u);
    EXPECT_EQ(picture.substr(0, 4), "TVW1");
    EXPECT_TRUE(queriesOnCommandThread);
    EXPECT_NE(transcript().find("Select objects: W"), std::string::npos);
}

// Escape in the page while a command runs (no prompt waits) breaks it, once; at a prompt it
// is that prompt's answer.
TEST_F(ViewTest, EscapeWhileACommandRunsIsABreak) {
    hub->post({Item{Item::Kind::Escape, {}, 0, false}});
    EXPECT_TRUE(acedUsrBrk());
    EXPECT_FALSE(acedUsrBrk());
    hub->post({Item{Item::Kind::Escape, {}, 0, false}});
    ads_point pt;
    EXPECT_EQ(acedGetPoint(nullptr, "\nPoint: ", pt), RTCAN); // the break cancels the prompt
    std::thread page([&] {
        std::uint64_t since = 0, from = 0;
        std::string text;
        for (int i = 0; i < 200; ++i) { // until the prompt waits
            host::view::PromptState st =
                hub->waitState(since, std::chrono::milliseconds(50), from, text);
            if (st.waiting && st.prompt == "Second: ")
                break;
            since = st.version;
        }
        hub->post({Item{Item::Kind::Escape, {}, 0, false}});
    });
    EXPECT_EQ(acedGetPoint(nullptr, "\nSecond: ", pt), RTCAN);
    page.join();
    EXPECT_FALSE(acedUsrBrk()); // the Escape answered the prompt and is gone
}

// Entity count and group count of a picture.
std::pair<std::uint32_t, std::uint32_t> counts(const std::string &picture) {
    std::uint32_t entities = 0, groups = 0;
    if (picture.size() >= 28) {
        std::memcpy(&entities, picture.data() + 20, 4);
        std::memcpy(&groups, picture.data() + 24, 4);
    }
    return {entities, groups};
}

// The pixels the server drew: how many cells each colour has (the picture's last section).
std::vector<std::uint32_t> rasterCells(const std::string &picture, std::size_t colours) {
    std::vector<std::uint32_t> out;
    // From the end: per colour 8 bytes and its cells; a single cell per colour is enough here.
    if (picture.size() < colours * 12 + 4)
        return out;
    std::uint32_t count = 0;
    std::memcpy(&count, picture.data() + picture.size() - colours * 12 - 4, 4);
    if (count != colours)
        return out;
    for (std::size_t c = 0; c < colours; ++c) {
        std::uint32_t n = 0;
        std::memcpy(&n, picture.data() + picture.size() - (colours - c) * 12 + 4, 4);
        out.push_back(n);
    }
    return out;
}

// Test what a pixel hides and what is beyond the vectors' limit are still drawn (into the
// picture's pixels) and counted; vectors are grouped by look.
TEST_F(ViewTest, PictureDrawsEverythingInViewAndGroupsByLook) {
    AcDbObjectId red1 = addLine(0, 0, 100, 0), red2 = addLine(0, 10, 100, 10);
    addLine(50, 50, 50.05, 50); // smaller than a pixel of 1 unit
    addCircle(20, 20, 5);
    addLine(500, 500, 600, 500); // outside the view
    for (AcDbObjectId id : {red1, red2}) {
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForWrite), Acad::eOk);
        (void)e->setColorIndex(1);
        (void)e->close();
    }
    // Seen coarsely: two red lines in one group, the circle in another, the speck one pixel.
    std::string coarse = host::view::encodeView(*db, {-10, -10, 110, 110, 1}, {});
    EXPECT_EQ(counts(coarse), std::make_pair(4u, 2u));
    EXPECT_EQ(rasterCells(coarse, 1), std::vector<std::uint32_t>{1});
    // Zoomed in the speck is a vector (beside the circle: one look); a highlighted line gets
    // a group of its own.
    EXPECT_EQ(counts(host::view::encodeView(*db, {-10, -10, 110, 110, 0.01}, {red1})),
              std::make_pair(4u, 3u));
    // A view crowded beyond what goes as vectors counts and draws every entity.
    std::vector<AcDbObjectId> crowd;
    for (int i = 0; i < 12'500; ++i)
        crowd.push_back(addLine(200 + i * 0.01, 0, 200 + i * 0.01, 1 + (i % 7)));
    std::string crowded = host::view::encodeView(*db, {-10, -10, 400, 110, 1}, {});
    EXPECT_EQ(counts(crowded).first, 12'504u);
    // The whole drawing in view: its small entities' pixels are kept for pans at that scale,
    // and an edit is seen at once, the same pan before and after an erase.
    const host::view::ViewBox whole{-10, -10, 610, 510, 1};
    const std::string before = host::view::encodeView(*db, whole, {});
    EXPECT_EQ(counts(before).first, 12'505u);
    EXPECT_EQ(host::view::encodeView(*db, whole, {}), before);
    for (std::size_t i = 0; i < 100; ++i) {
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenObject(e, crowd[i], AcDb::kForWrite), Acad::eOk);
        (void)e->erase();
        (void)e->close();
    }
    const std::string after = host::view::encodeView(*db, whole, {});
    EXPECT_EQ(counts(after).first, 12'405u);
    EXPECT_NE(after, before);
}

// Test a crowded view's pixels drawn in two parts at once, one on another thread, are those
// one pass draws: overlapping lines, circles and polylines in many colours, the later in
// drawing order on top, beside the largest sent as vectors.
TEST_F(ViewTest, PixelsDrawnInTwoPartsAreThoseOfOnePass) {
    for (int i = 0; i < 15'000; ++i) {
        double x = i % 53, y = i % 37, size = 1.5 + (i % 5) * 0.5;
        AcDbObjectId id = i % 3 == 0 ? addCircle(x, y, size / 2) : addLine(x, y, x + size, y + 1);
        AcDbEntity *e = nullptr;
        ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForWrite), Acad::eOk);
        (void)e->setColorIndex(static_cast<Adesk::UInt16>(1 + i % 255));
        (void)e->close();
    }
    const host::view::ViewBox whole{-5, -5, 60, 45, 1};
    std::string pictures[2];
    const std::size_t from = host::view::twoPassesFrom();
    for (std::size_t parts : {1, 2}) {
        host::view::twoPassesFrom() = parts == 1 ? std::size_t(-1) : 1;
        pictures[parts - 1] = host::view::encodeView(*db, whole, {});
        EXPECT_EQ(counts(pictures[parts - 1]).first, 15'000u);
        ++tev::db::drawingEpoch(); // as after a change: the pixels are drawn again
    }
    host::view::twoPassesFrom() = from;
    EXPECT_EQ(pictures[0], pictures[1]);
}

// Test that the page's JSON carries no infinity or NaN (which it cannot parse), whatever the
// drawing holds: a circle whose box reaches beyond the largest double.
TEST_F(ViewTest, RepliesCarryOnlyFiniteNumbers) {
    addCircle(1e308, 0, 1e308);
    std::string json = host::view::extentsJson(*db);
    EXPECT_EQ(json.find("inf"), std::string::npos) << json;
    EXPECT_EQ(json.find("nan"), std::string::npos) << json;
}

} // namespace
