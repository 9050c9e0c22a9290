// The simulated chip through the 34 operations: opening, keying and its timing, flow
// control, the buffered and pointer commands, reports, concurrency.
#include "sim_fixture.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace keyersim::test {
namespace {

class ChipTest : public SimTest {};

std::string keyedText(const std::vector<TraceEvent>& bytes) {
    std::string text;
    for (const TraceEvent& e : bytes) text.push_back(static_cast<char>(e.value));
    return text;
}

TEST_F(ChipTest, OpenAndCloseResults) {
    Config c;
    c.ports = {3, 4};
    c.revision = 12;
    c.keepTrace = true;
    ASSERT_TRUE(configure(c));
    EXPECT_EQ(mx_close(), MX_NOT_OPEN);
    EXPECT_EQ(mx_char('A'), MX_NOT_OPEN);
    EXPECT_EQ(mx_xoff(), 0);
    unsigned char revision = 0;
    EXPECT_EQ(mx_open(&revision, 1), COM_OPEN_FAILED);
    EXPECT_EQ(mx_open(&revision, 3), MX_SUCCESS);
    EXPECT_EQ(revision, 12);
    EXPECT_EQ(mx_open(&revision, 4), MX_ALREADY_OPEN);
    EXPECT_FALSE(configure(c)) << "no reconfiguring under an open chip";
    EXPECT_EQ(mx_close(), MX_SUCCESS);
    EXPECT_EQ(mx_close(), MX_NOT_OPEN);

    c.openResult = NO_ECHO_RESPONSE;
    ASSERT_TRUE(configure(c));
    EXPECT_EQ(mx_open(&revision, 3), NO_ECHO_RESPONSE);
    EXPECT_EQ(mx_close(), MX_NOT_OPEN);
}

TEST_F(ChipTest, ParisAtTwentyWpmIsFiftyUnitsOfSixtyMs) {
    open(scaled(10), registers(20));
    double start = nowMs();
    send("PARIS P");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Reports::instance().echoes(), "PARIS P");

    std::vector<TraceEvent> downs = events(Ev::KeyDown);
    std::vector<TraceEvent> ups = events(Ev::KeyUp);
    ASSERT_EQ(downs.size(), 18u);  // P 4, A 2, R 3, I 2, S 3, then P again
    ASSERT_EQ(ups.size(), 18u);
    EXPECT_NEAR(ups[0].ms - downs[0].ms, 60, 2) << "the first dit";
    EXPECT_NEAR(ups[1].ms - downs[1].ms, 180, 2) << "the first dah";
    EXPECT_NEAR(downs[14].ms - downs[0].ms, 50 * 60, 2) << "PARIS and its word space";
    double keyDown = 0;
    for (int i = 0; i < 14; ++i) keyDown += ups[i].ms - downs[i].ms;
    EXPECT_NEAR(keyDown, 22 * 60, 2);

    // Every edge carries the time it was due and, after '@', when it was made.
    double late = 0;
    for (const std::vector<TraceEvent>* edges : {&downs, &ups}) {
        for (const TraceEvent& e : *edges) {
            EXPECT_GE(e.actualMs, e.ms) << e.text;
            EXPECT_NE(e.text.find(" @"), std::string::npos) << e.text;
            late = std::max(late, e.actualMs - e.ms);
        }
    }

    // How late the echoes reached the callback against the chip's schedule, in wall
    // time: a figure for the record, not a pass mark.
    std::vector<TraceEvent> scheduled = events(Ev::Echo);
    double worst = 0;
    std::size_t n = 0;
    for (const Report& r : Reports::instance().all())
        if (r.kind == CB_ECHOBACK && n < scheduled.size()) worst = std::max(worst, r.ms - scheduled[n++].ms);
    std::printf("PARIS at 20 WPM: first key down %.1f ms after sending, %.3f ms per unit, "
                "edges at most %.2f ms and echo callbacks at most %.2f ms (wall) behind "
                "schedule\n",
                downs[0].ms - start, (downs[14].ms - downs[0].ms) / 50, late / 10, worst / 10);
}

TEST_F(ChipTest, EchoesComeAfterEachCharacterIsKeyed) {
    open(scaled(20), registers(30));
    send("TEST");
    ASSERT_TRUE(waitIdle());
    std::vector<TraceEvent> echoes = events(Ev::Echo);
    std::vector<TraceEvent> ups = events(Ev::KeyUp);
    ASSERT_EQ(echoes.size(), 4u);
    ASSERT_EQ(ups.size(), 6u);  // T E S T: -, ., ..., -
    EXPECT_GE(echoes[0].ms, ups[0].ms);
    EXPECT_GE(echoes[3].ms, ups.back().ms);
}

TEST_F(ChipTest, XoffRisesAndFallsAndAnObedientProducerLosesNothing) {
    // About 2 ms a character: slow enough for a producer on a busy machine (or under
    // ThreadSanitizer) to fill the buffer.
    open(scaled(100), registers(60));
    std::string text;
    for (int i = 0; i < 320; ++i) text.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[i % 36]);
    int held = 0;
    for (unsigned char c : text) {
        while (mx_xoff()) {
            ++held;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        mx_char(c);
    }
    ASSERT_TRUE(waitIdle(60));
    EXPECT_GT(held, 0);
    EXPECT_EQ(Reports::instance().echoes(), text);
    EXPECT_EQ(keyedText(events(Ev::Byte)), text);

    int rises = 0;
    int falls = 0;
    bool xoff = false;
    for (const Report& r : Reports::instance().all()) {
        if (r.kind != CB_STATUS) continue;
        bool now = (r.value & XOFF) != 0;
        rises += now && !xoff;
        falls += !now && xoff;
        xoff = now;
    }
    EXPECT_GE(rises, 2) << "320 characters fill the 96-byte high-water mark more than once";
    EXPECT_EQ(rises, falls);
    EXPECT_FALSE(xoff);
}

TEST_F(ChipTest, ProducerIgnoringXoffLosesWhatOverflowsTheBuffer) {
    open(scaled(1), registers(20));
    mx_pause(1);
    for (int i = 0; i < 200; ++i) mx_char('E');
    EXPECT_NE(mx_xoff(), 0);
    EXPECT_EQ(pendingBytes().size(), 128u);
    mx_clearbuf();
    EXPECT_EQ(mx_xoff(), 0);
    EXPECT_TRUE(pendingBytes().empty());
}

TEST_F(ChipTest, BackspaceDropsWholeItemsAndNeverSplitsACommand) {
    open(scaled(1), registers(20));
    mx_pause(1);
    struct Case {
        const char* name;
        std::string sent;
        int backspaces;
        std::string sentAfter;
        std::string left;
    };
    const Case cases[] = {
        {"a character", "AB", 1, "", "A"},
        {"a command with its argument", "E\x1C\x19", 1, "", "E"},
        {"a command waiting for its argument stays", "E\x1C", 1, "\x19", "\x1C\x19"},
        {"an argument equal to a command code", "A\x1C\x1C", 1, "", "A"},
        {"merge takes no argument", "\x18\x01\x1B", 1, "", "\x18\x01"},
        {"two in a row", "AB\x1A\x02", 2, "", "A"},
        {"an empty buffer", "", 1, "N", "N"},
    };
    for (const Case& c : cases) {
        mx_clearbuf();
        send(c.sent);
        for (int i = 0; i < c.backspaces; ++i) mx_backspace();
        send(c.sentAfter);
        std::vector<unsigned char> pending = pendingBytes();
        EXPECT_EQ(std::string(pending.begin(), pending.end()), c.left) << c.name;
    }
}

TEST_F(ChipTest, FarnsworthSpacingIsNotedWhereItStartsAndEnds) {
    open(scaled(50), registers(10));  // the Farnsworth register holds 18
    send(std::string("E\x1C\x19" "E"));
    ASSERT_TRUE(waitIdle());
    std::vector<std::string> notes;
    for (const TraceEvent& e : events(Ev::Note)) notes.push_back(e.text);
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "note Farnsworth spacing: characters at 18 WPM, gaps for 10 WPM",
                         "note Farnsworth spacing off: 25 WPM"}));
}

TEST_F(ChipTest, CallsignCompletionBuffer) {
    open(scaled(20), registers(30));
    mx_pause(1);
    mx_ptr_reset();
    send("Q2Z");
    mx_load_nulls(10);
    send(" 5NN NH");
    mx_setptr_ovr(3);
    send("X/1");
    mx_setptr_ins(20);
    std::string expected = std::string("Q2ZX/1") + std::string(7, '\0') + " 5NN NH";
    std::vector<unsigned char> pending = pendingBytes();
    EXPECT_EQ(std::string(pending.begin(), pending.end()), expected);
    mx_char('?');
    mx_pause(0);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Reports::instance().echoes(), "Q2ZX/1 5NN NH?");
}

TEST_F(ChipTest, CallsignCompletionWhileTheChipIsAlreadyKeying) {
    // The test bed's own sequence: the chip starts on Q while the rest arrives.
    open(scaled(10), registers(20));
    mx_ptr_reset();
    send("Q2Z");
    mx_load_nulls(10);
    send(" 5NN NH");
    mx_setptr_ovr(3);
    send("X/1");
    mx_setptr_ins(20);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Reports::instance().echoes(), "Q2ZX/1 5NN NH");
    EXPECT_EQ(events(Ev::Byte).size(), 20u) << "every buffer position is taken once";
}

TEST_F(ChipTest, BufferedCommandsFromTheTokenParser) {
    MXSTATE regs = registers(20);
    regs.farns = 0;  // else 10 WPM would key its characters at the Farnsworth speed
    open(scaled(10), regs);
    // [P]E[S10]E[X]E[N]: PTT on, E at 20, E at 10, E at 20 again, PTT off.
    send(std::string("\x18\x01" "E" "\x1C\x0A" "E" "\x1E" "E" "\x18", 9) + std::string(1, '\0'));
    ASSERT_TRUE(waitIdle());
    std::vector<TraceEvent> downs = events(Ev::KeyDown);
    std::vector<TraceEvent> ups = events(Ev::KeyUp);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_NEAR(ups[0].ms - downs[0].ms, 60, 1);
    EXPECT_NEAR(ups[1].ms - downs[1].ms, 120, 1);
    EXPECT_NEAR(ups[2].ms - downs[2].ms, 60, 1);
    std::vector<TraceEvent> pttOn = events(Ev::PttOn);
    std::vector<TraceEvent> pttOff = events(Ev::PttOff);
    ASSERT_EQ(pttOn.size(), 1u);
    ASSERT_EQ(pttOff.size(), 1u);
    EXPECT_LE(pttOn[0].ms, downs[0].ms);
    EXPECT_GE(pttOff[0].ms, ups[2].ms);
    EXPECT_EQ(Reports::instance().echoes(), "EEE");
}

TEST_F(ChipTest, BufferedWaitAndKeyDownReportTheirStatus) {
    Config c = scaled(50);
    c.revision = 12;  // an MX1 chip reports KTUNE
    open(c, registers(20));
    send(std::string("\x1A\x01\x19\x01", 4));
    ASSERT_TRUE(waitIdle());
    bool sawWait = false;
    bool sawTune = false;
    for (const Report& r : Reports::instance().all()) {
        if (r.kind != CB_STATUS) continue;
        sawWait = sawWait || (r.value & (KWAIT | KBUSY)) == (KWAIT | KBUSY);
        sawTune = sawTune || (r.value & KTUNE);
    }
    EXPECT_TRUE(sawWait);
    EXPECT_TRUE(sawTune);
    std::vector<TraceEvent> downs = events(Ev::KeyDown);
    std::vector<TraceEvent> ups = events(Ev::KeyUp);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_NEAR(ups[0].ms - downs[0].ms, 1000, 1);
    EXPECT_GE(downs[0].ms - events(Ev::Byte)[0].ms, 1000 - 1) << "the key goes down after the wait";
}

TEST_F(ChipTest, SpeedPotReportAndSpeedZeroFollowsThePot) {
    Config c = scaled(10);
    c.potWpm = 24;
    open(c, registers(0));
    mx_getpot();
    send("E");
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(waitFor([] { return !Reports::instance().echoes().empty(); }));
    bool pot = false;
    for (const Report& r : Reports::instance().all()) pot = pot || (r.kind == CB_SPEEDPOT && r.value == 24);
    EXPECT_TRUE(pot);
    std::vector<TraceEvent> downs = events(Ev::KeyDown);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_NEAR(events(Ev::KeyUp)[0].ms - downs[0].ms, 50, 1);
}

TEST_F(ChipTest, Mx2PushbuttonsAreReportedAndMx1KeepsKtune) {
    Config c = scaled(10);
    c.buttons = {{2, 100}};
    open(c, registers(20));
    ASSERT_TRUE(waitFor([] {
        int n = 0;
        for (const Report& r : Reports::instance().all()) n += r.kind == CB_STATUS && (r.value & KPBSTAT);
        return n >= 2;
    }));
    std::vector<int> buttonReports;
    for (const Report& r : Reports::instance().all())
        if (r.kind == CB_STATUS && (r.value & KPBSTAT)) buttonReports.push_back(r.value);
    EXPECT_EQ(buttonReports, (std::vector<int>{KPBSTAT | KPB2, KPBSTAT}));
    // Tune on an MX2 chip must not look like a pushbutton report.
    Reports::instance().clear();
    mx_key(1);
    send("E");
    mx_key(0);
    ASSERT_TRUE(waitIdle());
    for (const Report& r : Reports::instance().all()) {
        if (r.kind == CB_STATUS) {
            EXPECT_EQ(r.value & KPBSTAT, 0);
        }
    }
}

TEST_F(ChipTest, PaddlesBreakIntoSending) {
    open(scaled(1), registers(20));
    send("CQ CQ CQ");
    ASSERT_TRUE(waitFor([] { return !events(Ev::KeyDown).empty(); }));
    mx_directkey(DIT_DIRECT);
    EXPECT_TRUE(pendingBytes().empty());
    ASSERT_TRUE(waitFor([] {
        for (const Report& r : Reports::instance().all())
            if (r.kind == CB_STATUS && (r.value & BREAKIN)) return true;
        return false;
    }));
    mx_directkey(0);
    EXPECT_TRUE(waitIdle());
}

// A callback that closes the chip from the chip's own thread.
int MXAPI closeOnEcho(int kind, int value) {
    Reports::instance().add(kind, value);
    if (kind == CB_ECHOBACK) mx_close();
    return 1;
}

TEST_F(ChipTest, CallbackMayCloseTheChip) {
    open(scaled(20), registers(30));
    mx_set_callback(closeOnEcho);
    send("EE");
    ASSERT_TRUE(waitFor([] { return !Reports::instance().echoes().empty(); }));
    ASSERT_TRUE(waitFor([] { return mx_xoff() == 0 && mx_char('E') == MX_NOT_OPEN; }));
    unsigned char revision = 0;
    EXPECT_EQ(mx_open(&revision, 1), MX_SUCCESS);
}

TEST_F(ChipTest, ConcurrentProducersAndPollers) {
    open(scaled(400), registers(60));
    std::atomic<bool> done{false};
    auto producer = [](char letter) {
        for (int i = 0; i < 100; ++i) {
            while (mx_xoff()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            mx_char(static_cast<unsigned char>(letter));
        }
    };
    std::thread a(producer, 'A');
    std::thread b(producer, 'B');
    std::thread poller([&] {
        while (!done) {
            mx_getpot();
            mx_wpm(60);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    a.join();
    b.join();
    ASSERT_TRUE(waitIdle(60));
    done = true;
    poller.join();
    std::string echoes = Reports::instance().echoes();
    EXPECT_EQ(std::count(echoes.begin(), echoes.end(), 'A'), 100);
    EXPECT_EQ(std::count(echoes.begin(), echoes.end(), 'B'), 100);
}

}  // namespace
}  // namespace keyersim::test
