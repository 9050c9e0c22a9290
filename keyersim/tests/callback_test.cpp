// What a window program needs from the callback: closing never waits for a callback in
// progress, no callback starts once mx_close has returned, and nothing a callback does
// (block, call back into the library, close) holds up the keying. Run under
// ThreadSanitizer too (the tsan preset).
#include "sim_fixture.h"

#include <atomic>
#include <random>
#include <thread>

namespace keyersim::test {
namespace {

// A callback that blocks on its first report until the test lets it go, as a callback
// does that updates a control synchronously while the window thread sits in mx_close.
struct Gate {
    std::atomic<int> entries{0};
    std::atomic<int> returned{0};
    std::atomic<bool> open{false};
    void reset() {
        entries = 0;
        returned = 0;
        open = false;
    }
};
Gate g_gate;

int MXAPI blockOnFirstReport(int kind, int value) {
    Reports::instance().add(kind, value);
    if (g_gate.entries++ == 0)
        while (!g_gate.open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++g_gate.returned;
    return 1;
}

class CallbackTest : public SimTest {
protected:
    // The chip keys text with a callback that blocks on its first report.
    void sendBehindABlockedCallback(const char* text) {
        open(scaled(20), registers(30));
        g_gate.reset();
        mx_set_callback(blockOnFirstReport);
        send(text);
    }
};

TEST_F(CallbackTest, CloseReturnsWhileACallbackBlocksAndNoCallbackFollows) {
    sendBehindABlockedCallback("EEEE");
    ASSERT_TRUE(waitFor([] { return g_gate.entries > 0; }));

    std::atomic<bool> closed{false};
    std::atomic<int> result{1};
    std::thread closer([&] {
        result = mx_close();
        closed = true;
    });
    bool returned = waitFor([&] { return closed.load(); });
    EXPECT_TRUE(returned) << "mx_close waited for the callback in progress";
    EXPECT_EQ(g_gate.returned, 0) << "the callback was still blocked when mx_close returned";
    EXPECT_EQ(result, MX_SUCCESS);

    g_gate.open = true;
    closer.join();
    ASSERT_TRUE(waitFor([] { return g_gate.returned == 1; }));
    // The chip had more to report (busy, echoes); none of it may arrive now.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(g_gate.entries, 1);
    EXPECT_EQ(mx_char('E'), MX_NOT_OPEN);
}

TEST_F(CallbackTest, KeyingGoesOnWhileACallbackBlocks) {
    sendBehindABlockedCallback("PARIS");
    // PARIS is 14 elements: every one is keyed while the first report is still held.
    bool keyed = waitFor([] { return events(Ev::KeyUp).size() == 14; });
    EXPECT_TRUE(keyed) << "the keying waited for the callback";
    EXPECT_EQ(g_gate.returned, 0);
    EXPECT_EQ(g_gate.entries, 1) << "the rest wait behind the blocked callback";

    g_gate.open = true;
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Reports::instance().echoes(), "PARIS") << "held reports arrive afterwards, in order";
}

int MXAPI slowCallback(int kind, int value) {
    Reports::instance().add(kind, value);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

TEST_F(CallbackTest, PotPollingLoopAndASlowCallbackDoNotHoldUpKeying) {
    Config c = scaled(10);
    c.traceCalls = false;  // hundreds of thousands of calls
    open(c, registers(40));
    mx_set_callback(slowCallback);
    std::atomic<bool> stop{false};
    std::atomic<long> polls{0};
    std::thread poller([&] {
        while (!stop) {
            mx_getpot();
            ++polls;
        }
    });
    send("PARIS");
    bool keyed = waitFor([] { return events(Ev::KeyUp).size() == 14; });
    stop = true;
    poller.join();
    EXPECT_TRUE(keyed) << "no key edge got through " << polls << " speed-pot requests";
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Reports::instance().echoes(), "PARIS");
    std::size_t pots = 0;
    for (const Report& r : Reports::instance().all()) pots += r.kind == CB_SPEEDPOT;
    EXPECT_GT(pots, 0u);
    EXPECT_LE(pots, static_cast<std::size_t>(polls.load())) << "waiting pot reports merge";
}

// Callbacks that block, call back into the library or close the chip themselves, while
// another thread closes it and a third keeps calling. Counts callbacks that start after
// the closing thread's mx_close has returned: at most the one whose delivery had begun.
struct Race {
    std::atomic<int> inCallback{0};
    std::atomic<int> entries{0};
    std::atomic<int> lateEntries{0};
    std::atomic<bool> closeReturned{false};
    std::atomic<bool> release{false};
    std::atomic<bool> closeFromCallback{false};
};
Race g_race;

int MXAPI racingCallback(int, int) {
    ++g_race.inCallback;
    if (g_race.closeReturned) ++g_race.lateEntries;
    switch (g_race.entries++ % 4) {
    case 0:
        while (!g_race.release) std::this_thread::sleep_for(std::chrono::microseconds(200));
        break;
    case 1:
        mx_xoff();
        mx_getpot();
        mx_char('E');
        break;
    case 2:
        if (g_race.closeFromCallback) mx_close();
        break;
    default:
        break;
    }
    --g_race.inCallback;
    return 1;
}

TEST_F(CallbackTest, CallbacksBlockingCallingInAndClosingRaceWithClose) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        g_race.entries = 0;
        g_race.lateEntries = 0;
        g_race.closeReturned = false;
        g_race.release = false;
        g_race.closeFromCallback = round % 3 == 0;
        open(scaled(50), registers(40));
        mx_set_callback(racingCallback);
        send("TEST EEEE");

        int delayUs = static_cast<int>(random() % 20000);
        std::thread closer([delayUs] {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            int r = mx_close();
            EXPECT_TRUE(r == MX_SUCCESS || r == MX_NOT_OPEN) << r;
            g_race.closeReturned = true;
        });
        std::thread caller([] {
            for (int i = 0; i < 200 && !g_race.closeReturned; ++i) {
                mx_char('T');
                mx_getpot();
                mx_xoff();
            }
        });
        closer.join();
        caller.join();
        EXPECT_EQ(mx_char('E'), MX_NOT_OPEN);
        g_race.release = true;
        // Quiet twice over: a delivery that had begun before the close gets in between.
        for (int settled = 0; settled < 2; ++settled) {
            ASSERT_TRUE(waitFor([] { return g_race.inCallback == 0; }));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_LE(g_race.lateEntries, 1);
        mx_set_callback(nullptr);
    }
}

}  // namespace
}  // namespace keyersim::test
