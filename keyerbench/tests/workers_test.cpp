// The status callback and the five workers against a recording keyer library: what they
// send, what they post to the panel, and how they stop.
#include "bench_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <thread>

namespace cwbench {
namespace {

using Calls = std::vector<std::string>;
using namespace std::chrono_literals;

// The generator's next value, range 0..32767 (seed 1 unless set).
int nextRandom(std::uint32_t& seed) {
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) & 0x7FFF);
}

class WorkersTest : public test::BenchTest {
protected:
    // The posts so far, as "control=text" for texts and "kind:value" for the others.
    std::vector<std::string> posted() {
        std::vector<std::string> out;
        for (const PanelPost& p : poster.take()) {
            if (p.kind == PostKind::ShowText)
                out.push_back(shows(p.control, panelText(static_cast<PanelText>(p.value))));
            else if (p.kind == PostKind::Append)
                out.push_back(std::to_string(p.control) + "+" + std::string(1, static_cast<char>(p.value)));
            else
                out.push_back(kind(p.kind, p.value));
        }
        return out;
    }
    static std::string shows(int control, const char* text) { return std::to_string(control) + "=" + text; }
    static std::string kind(PostKind k, long value) { return std::to_string(static_cast<int>(k)) + ":" + std::to_string(value); }
    static std::string play(int n) { return kind(PostKind::PlayMessage, n); }
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 5s) {
        auto until = std::chrono::steady_clock::now() + bound;
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

TEST_F(WorkersTest, StatusReportsDriveTheIndicators) {
    const std::string busy = std::to_string(IDBUSY), xoff = std::to_string(IDXOFF), brk = std::to_string(IDBREAKIN),
                      wait = std::to_string(IDWAIT), tune = std::to_string(IDTUNESTAT);
    struct Case {
        int isMx2;
        int status;
        int active;  // activeMsg before
        std::vector<std::string> posts;
        int activeAfter;
    };
    const Case cases[] = {
        {0, 0x1F, 5, {xoff + "=Xoff", brk + "=BrkIn", busy + "=Busy", tune + "=Tune", wait + "=Wait"}, 0},
        {0, 0x104, 5, {xoff + "= ", brk + "= ", busy + "=Busy", tune + "= ", wait + "= "}, 5},
        {0, 0x08, 0, {xoff + "= ", brk + "= ", busy + "= ", tune + "=Tune", wait + "= "}, 0},  // MX1: tune
        {1, 0x08, 0, {tune + "=   "}, 0},                   // MX2: pushbutton report, no button
        {1, 0x0A, 0, {tune + "=PB2", play(2)}, 0},          // button 2 plays message 2
        {1, 0x1D, 0, {tune + "=PB1", play(1)}, 0},          // several: the lowest
        {1, 0x18, 0, {tune + "=PB4", play(4)}, 0},
        {1, 0x0C, 9, {tune + "=PB3"}, 9},                   // a message plays: only the text
        {1, 0x03, 9, {xoff + "=Xoff", brk + "=BrkIn", busy + "= ", tune + "= ", wait + "= "}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        g_isMX2 = c.isMx2;
        activeMsg = c.active;
        EXPECT_EQ(mxCallBack(CB_STATUS, c.status), 1);
        EXPECT_EQ(mxStatus.load(), c.status & 0xFF);
        EXPECT_EQ(posted(), c.posts);
        EXPECT_EQ(activeMsg.load(), c.activeAfter);
    }
    EXPECT_TRUE(calls().empty());
}

TEST_F(WorkersTest, SpeedPotEchoAndUnknownReports) {
    mxf.mxState.minwpm = 5;
    mxf.mxState.wpmrange = 20;
    EXPECT_EQ(mxCallBack(CB_SPEEDPOT, 0x112), 1);
    EXPECT_EQ(mxSpeedPot.load(), 0x12);
    EXPECT_TRUE(posted().empty()) << "pot lock off: stored, nothing shown or sent";
    EXPECT_TRUE(calls().empty());
    potLock = 1;
    EXPECT_EQ(mxCallBack(CB_SPEEDPOT, 30), 1);
    EXPECT_EQ(posted(), std::vector<std::string>{kind(PostKind::SpeedPot, 30)});
    EXPECT_EQ(calls(), Calls{"mx_wpm(30)"});
    EXPECT_EQ(mxCallBack(CB_ECHOBACK, 0x151), 1);
    EXPECT_EQ(posted(), std::vector<std::string>{std::to_string(OUTBOUND) + "+Q"});
    for (int kind : {0, 4, -1, 1000}) EXPECT_EQ(mxCallBack(kind, 7), 0);
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(mxStatus.load(), 0);
}

TEST_F(WorkersTest, PlayedMessageSendsTokensAndEchoesEveryCharacter) {
    std::strcpy(mxf.msg3Buf, "test[s25]ab[x][n][P]");
    // The chip holds input for the first looks: the player waits and drops nothing.
    std::atomic<int> holds{3};
    keyer.xoff = [&] { return holds.fetch_sub(1) > 0 ? 1 : 0; };
    ASSERT_TRUE(startMessage(3));
    EXPECT_EQ(lpActiveMsg.load(), mxf.msg3Buf);
    EXPECT_FALSE(startMessage(1)) << "one message at a time";
    ASSERT_TRUE(waitUntil([] { return activeMsg.load() == 0; }));
    ASSERT_TRUE(waitForWorkers(5s));
    EXPECT_EQ(keyer.callsStartingWith("mx_char("),
              (Calls{"mx_char(84)", "mx_char(69)", "mx_char(83)", "mx_char(84)", "mx_char(28)", "mx_char(25)",
                     "mx_char(65)", "mx_char(66)", "mx_char(30)", "mx_char(24)", "mx_char(0)", "mx_char(24)",
                     "mx_char(1)"}));
    std::string echoed;
    for (const PanelPost& p : poster.take()) {
        ASSERT_EQ(p.kind, PostKind::Append);
        ASSERT_EQ(p.control, INBOUND);
        echoed.push_back(static_cast<char>(p.value));
    }
    EXPECT_EQ(echoed, "TEST[S25]AB[X][N][P]");

    // Over, it plays again from its first character.
    keyer.clear();
    ASSERT_TRUE(startMessage(3));
    ASSERT_TRUE(waitForWorkers(5s));
    EXPECT_EQ(keyer.callsStartingWith("mx_char(").size(), 13u);
    EXPECT_FALSE(startMessage(0));
    EXPECT_FALSE(startMessage(5));
}

// Files in memory, and a message box that stays up until the test lets it go, as a user
// would.
class HeldBoxes final : public RecordingPlatform {
public:
    int messageBox(const char* text, const char*, unsigned) override {
        std::unique_lock<std::mutex> lk(m);
        shown.push_back(text);
        cv.notify_all();
        cv.wait(lk, [&] { return released; });
        return kIdOk;
    }
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> shown;
    bool released = false;
};

TEST_F(WorkersTest, APlayerHeldByItsBoxNeverPlaysBesideTheNextOne) {
    HeldBoxes boxes;
    test::PlatformScope heldScope(boxes);
    std::strcpy(mxf.msg1Buf, "A[Q]BCD");
    std::strcpy(mxf.msg2Buf, "XYZ");
    ASSERT_TRUE(startMessage(1));
    {
        std::unique_lock<std::mutex> lk(boxes.m);
        ASSERT_TRUE(boxes.cv.wait_for(lk, 5s, [&] { return !boxes.shown.empty(); }));
    }
    EXPECT_EQ(boxes.shown[0], "Bad Buf Msg Cmd");
    // ClearBuf while the box is up (it doesn't wait for the box), then another message:
    // it plays whole at once.
    auto cleared = std::async(std::launch::async, [&] { panel.command(CLEARBUF, 0); });
    ASSERT_EQ(cleared.wait_for(5s), std::future_status::ready) << "ClearBuf waited for the player's box";
    ASSERT_TRUE(startMessage(2));
    ASSERT_TRUE(waitUntil([] { return activeMsg.load() == 0; }));
    // Exit, with the chip open and the box still up, doesn't wait for it either.
    mxOpen = 1;
    unsigned char revision;
    keyer.mx_open(&revision, 1);
    auto exited = std::async(std::launch::async, [&] { panel.command(IDEXIT, 0); });
    ASSERT_EQ(exited.wait_for(5s), std::future_status::ready) << "Exit waited for the player's box";
    EXPECT_EQ(window.quits, 1);
    {
        std::lock_guard<std::mutex> g(boxes.m);
        boxes.released = true;
    }
    boxes.cv.notify_all();
    ASSERT_TRUE(waitForWorkers(5s));
    EXPECT_EQ(keyer.callsStartingWith("mx_char("), (Calls{"mx_char(65)", "mx_char(24)", "mx_char(0)", "mx_char(88)", "mx_char(89)",
                                                          "mx_char(90)", "mx_char(24)", "mx_char(0)"}))
        << "the first player ends once its box is closed, without sending B, C or D; ClearBuf and Exit end PTT";
    EXPECT_EQ(keyer.callsStartingWith("mx_close(").size(), 1u);
}

TEST_F(WorkersTest, RandomTestDrawsTheSameSeriesAndDropsOnlyHeldDraws) {
    // The first draws of the generator (range 0..32767, seed 1) that are at most 42.
    auto expected = [] {
        std::uint32_t seed = 1;
        std::string out;
        while (out.size() < 30)
            if (const int v = nextRandom(seed); v <= 42) out.push_back(testChars[v]);
        return out;
    }();
    std::atomic<int> sent{0};
    keyer.onCall = [&](const std::string& call) {
        if (call.rfind("mx_char(", 0) == 0 && ++sent >= 30) test_string = 0;
    };
    toggleRandomTest();
    ASSERT_TRUE(waitForWorkers(10s));
    std::string got;
    for (const std::string& c : keyer.callsStartingWith("mx_char("))
        got.push_back(static_cast<char>(std::stoi(c.substr(8))));
    EXPECT_EQ(got, expected);
    std::string shown;
    for (const PanelPost& p : poster.take()) shown.push_back(static_cast<char>(p.value));
    EXPECT_EQ(shown, expected);

    // A hold drops the drawn index: the next character sent is a later draw.
    keyer.clear();
    sent = 0;
    std::atomic<int> holds{1};
    keyer.xoff = [&] { return holds.fetch_sub(1) > 0 ? 1 : 0; };
    keyer.onCall = [&](const std::string& call) {
        if (call.rfind("mx_char(", 0) == 0 && ++sent >= 2) test_string = 0;
    };
    toggleRandomTest();
    ASSERT_TRUE(waitForWorkers(10s));
    Calls chars = keyer.callsStartingWith("mx_char(");
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0], "mx_char(" + std::to_string(static_cast<int>(expected[1])) + ")");

    // The button stops it again. The hooks go first: they hold this test's locals, and the
    // worker may still look at XOFF after the body returns.
    keyer.xoff = nullptr;
    keyer.onCall = nullptr;
    toggleRandomTest();
    EXPECT_EQ(test_string.load(), 1);
    toggleRandomTest();
    EXPECT_EQ(test_string.load(), 0);
    ASSERT_TRUE(waitForWorkers(10s));
}

TEST_F(WorkersTest, RandomKeyingEndsWithBothContactsReleased) {
    toggleKeyingTest();
    ASSERT_TRUE(waitUntil([&] { return keyer.callsStartingWith("mx_directkey(").size() >= 5; }));
    toggleKeyingTest();
    EXPECT_EQ(random_keying.load(), 0);
    EXPECT_TRUE(awaitKeyingReleased());
    Calls keys = keyer.callsStartingWith("mx_directkey(");
    EXPECT_EQ(keys.back(), "mx_directkey(0)");
    // The series: the generator's values masked to two bits.
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i + 1 < keys.size(); ++i)
        EXPECT_EQ(keys[i], "mx_directkey(" + std::to_string(nextRandom(seed) & 3) + ")");
}

TEST_F(WorkersTest, NoCloseLeavesAContactDown) {
    // KeyerTest holds DAH (its first press) when CloseMx or Exit comes; in the last case
    // it is stuck in that press, holding the keying lock past the close's patience.
    env.timing.keyingReleaseMs = 30;
    keyer.closeFollowsOpen = false;  // mx_close closes
    for (const auto& [button, stuck] : {std::pair{IDCLOSEX, false}, {IDEXIT, false}, {IDCLOSEX, true}}) {
        mxOpen = 1;
        keyer.clear();
        std::atomic<bool> held{false}, unstick{false};
        keyer.onCall = [&, stuck = stuck](const std::string& call) {
            if (call == "mx_directkey(1)" && !held.exchange(true) && stuck) waitUntil([&] { return unstick.load(); });
        };
        toggleKeyingTest();
        ASSERT_TRUE(waitUntil([&] { return held.load(); }));
        auto closing = std::async(std::launch::async, [&, button = button] { panel.command(button, 0); });
        ASSERT_TRUE(waitUntil([&] { return !keyer.callsStartingWith("mx_close(").empty(); }));
        unstick = true;
        closing.get();
        ASSERT_TRUE(waitForWorkers(5s));
        const Calls all = calls();
        const auto close = std::find(all.rbegin(), all.rend(), "mx_close()");
        EXPECT_EQ(*std::find_if(close, all.rend(), [](const std::string& c) { return c.rfind("mx_directkey(", 0) == 0; }),
                  "mx_directkey(0)") << "both contacts released before mx_close: " << button << " " << stuck;
    }
}

TEST_F(WorkersTest, EveryCloseLeavesTheChipReleasedAndEmpty) {
    // What keys (its button, 0: Msg1 plays; the call its first press after the close makes;
    // the bytes after which XOFF holds the message), closed by CloseMx, Exit, the window's
    // end (0) and a pass of the open/close loop (-1).
    const struct { const char* what; int button; const char* press; int heldAt; } keyings[] = {
        {"Tune", IDTUNE, "mx_key(1)", 0}, {"DIT", IDDIT, "mx_directkey(2)", 0}, {"DAH", IDDAH, "mx_directkey(1)", 0},
        {"KeyerTest", TESTSTR, nullptr, 0}, {"PTT, full buffer", 0, nullptr, 0}, {"message mid-way", 0, nullptr, 6}};
    std::atomic<int> sent{0}, heldAt{0};
    keyer.xoff = [&] { return heldAt && sent >= heldAt ? 1 : 0; };
    keyer.onCall = [&](const std::string& call) {
        if (call.rfind("mx_char(", 0) == 0) ++sent;
        if (call == "mx_close()") keyer.openResult = NO_ECHO_RESPONSE;  // the loop's second pass fails
    };
    loadConfigFile();
    std::strcpy(mxf.msg1Buf, "[P]CQ CQ DE Q2ZX");  // 15 bytes
    panel.init();
    for (const auto& k : keyings) {
        for (int path : {IDCLOSEX, IDEXIT, 0, -1}) {
            const std::string where = std::string(k.what) + ", path " + std::to_string(path);
            env.timing.loopDwellMs = path == -1 ? 100 : 1;
            keyer.openResult = MX_SUCCESS;
            sent = 0;
            heldAt = k.heldAt;
            ASSERT_TRUE(path != -1 || (startInitLoop() && waitUntil([] { return mxOpen.load() == 1; })));
            if (path != -1) panel.command(IDOPEN, 0);
            ASSERT_TRUE(k.button || startMessage(1));
            if (k.button) panel.command(k.button, 0);
            ASSERT_TRUE(waitUntil([&] { return k.button == TESTSTR ? !keyer.callsStartingWith("mx_directkey(1)").empty()
                                                                   : k.button || sent >= (k.heldAt ? k.heldAt : 15); }));
            const std::size_t closes = keyer.linesAtClose().size();
            if (path > 0) panel.command(path, 0);
            if (path == 0) closeChipAtExit(keyer);
            ASSERT_TRUE(waitForWorkers(5s));
            ASSERT_EQ(keyer.linesAtClose().size(), closes + 1) << where;
            EXPECT_TRUE(keyer.linesAtClose().back() == RecordingKeyer::Lines{}) << where;
            EXPECT_EQ(activeMsg + test_string + random_keying + mxOpen, 0) << where;
            if (!k.press) continue;
            panel.command(k.button, 0);  // keys, the toggle having started released; the next press lets go
            EXPECT_EQ(calls().back(), k.press) << where;
            panel.command(k.button, 0);
        }
    }
}

TEST_F(WorkersTest, CallsignCompletionWaitsForTheChipThenLoadsTheBuffer) {
    mxStatus = KBUSY;
    ASSERT_TRUE(startPtrTest());
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(calls().empty()) << "waits while the chip is busy";
    mxStatus = 0;
    ASSERT_TRUE(waitForWorkers(5s));
    const Calls expected{"mx_ptr_reset()", "mx_char(81)",  "mx_char(50)",     "mx_char(90)",     "mx_load_nulls(10)",
                         "mx_char(32)",    "mx_char(53)",  "mx_char(78)",     "mx_char(78)",     "mx_char(32)",
                         "mx_char(78)",    "mx_char(72)",  "mx_setptr_ovr(3)", "mx_char(88)",    "mx_char(47)",
                         "mx_char(49)",    "mx_setptr_ins(20)"};
    EXPECT_EQ(calls(), expected);

    // A chip that stays busy past the patience gets no test.
    keyer.clear();
    mxStatus = KBUSY | XOFF;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(startPtrTest());
    ASSERT_TRUE(waitForWorkers(5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(env.timing.busyPatienceMs));
    EXPECT_TRUE(calls().empty());
}

TEST_F(WorkersTest, OpenCloseLoopStopsAtTheFirstFailure) {
    mxf.comPort = 0x204;
    std::memcpy(&mxf.mxState, kDefaultRegisters, sizeof(MXSTATE));
    std::atomic<int> opens{0};
    keyer.onCall = [&](const std::string& call) {
        if (call.rfind("mx_open(", 0) == 0 && ++opens == 3) keyer.openResult = NO_ECHO_RESPONSE;
    };
    ASSERT_TRUE(startInitLoop());
    EXPECT_FALSE(startInitLoop()) << "one loop at a time";
    ASSERT_TRUE(waitForWorkers(10s));
    const Calls pass{"mx_open(4)", "mx_send_defaults()", "mx_getpot()", "mx_clearbuf()", "mx_char(24)", "mx_char(0)", "mx_close()"};
    Calls expected = pass;
    expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back("mx_open(4)");
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(mxOpen.load(), 0);
    std::vector<std::string> expectedPosts;
    for (long passNo : {0, 1}) {
        expectedPosts.insert(expectedPosts.end(), {kind(PostKind::FillFromRecord, 0), kind(PostKind::LoopOpened, passNo * 256 + 20),
                                                   shows(IDOPENSTAT, "Open")});
        for (int indicator : {IDXOFF, IDBREAKIN, IDBUSY, IDTUNESTAT, IDWAIT}) expectedPosts.push_back(shows(indicator, " "));
        expectedPosts.insert(expectedPosts.end(), {shows(IDOPENSTAT, "Closed"), shows(MXSERIAL, " ")});
    }
    expectedPosts.push_back(kind(PostKind::LoopFailed, 2));
    EXPECT_EQ(posted(), expectedPosts);

    // Started while the chip is open: pass 0 fails.
    keyer.clear();
    keyer.onCall = nullptr;
    keyer.openResult = MX_SUCCESS;
    unsigned char revision;
    keyer.mx_open(&revision, 4);
    keyer.clear();
    ASSERT_TRUE(startInitLoop());
    ASSERT_TRUE(waitForWorkers(10s));
    EXPECT_EQ(posted(), std::vector<std::string>{kind(PostKind::LoopFailed, 0)});
}

TEST_F(WorkersTest, PushbuttonPlaysThroughTheWindowThread) {
    std::strcpy(mxf.msg4Buf, "73");
    g_isMX2 = 1;
    mxOpen = 1;  // pushbuttons report only from an open chip
    mxCallBack(CB_STATUS, KPBSTAT | KPB4);
    EXPECT_TRUE(calls().empty()) << "the callback starts nothing itself";
    deliverPosts();
    EXPECT_EQ(dlg.at(IDTUNESTAT).text, "PB4");
    ASSERT_TRUE(waitForWorkers(5s));
    EXPECT_EQ(keyer.callsStartingWith("mx_char("), (Calls{"mx_char(55)", "mx_char(51)"}));
}

}  // namespace
}  // namespace cwbench
