// The stress test: the control panel, the callback and the workers on the simulated chip
// (the simulator library on the host, morsixdll.dll beside the program on Windows), with
// a message playing and restarted by pushbutton presses, the random character test and
// the random keying test all at once, and callbacks as fast as the simulator delivers
// them; then Exit.
//
// It checks that Exit and every worker end (a ten-second watchdog, far above what they
// take, only catches a deadlock), that the messages' characters reach the chip in order,
// none skipped and none twice, however often the chip held input, and that the keying
// test let go of both contacts before the chip was closed. It prints how long Exit took,
// how many callbacks came, and how often the chip held input.
#include "bench_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace cwbench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// 27 characters the random test never sends, each once, so the trace tells the
// messages' characters apart from everything else and shows any skip or repeat.
constexpr char kMessage[] = "!\"#$%&'()*+/:;<=>@\\]^_`{|}~";

void setVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The simulator's trace: the calls ("mx_char(33)", in order) and how many reports of each
// kind ("echo", "status", "button") it made.
struct Trace {
    std::vector<std::string> calls;
    std::map<std::string, int> reports;
    int xoffHolds = 0, lostBytes = 0;
};

Trace readTrace(const std::string& path) {
    Trace t;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string ms, what, value;
        fields >> ms >> what >> value;
        if (what == "call") t.calls.push_back(value);
        else ++t.reports[what];
        if (what == "status" && (std::strtol(value.c_str(), nullptr, 16) & XOFF)) ++t.xoffHolds;
        if (line.find("byte lost") != std::string::npos) ++t.lostBytes;
    }
    return t;
}

class StressTest : public ::testing::Test {
protected:
    test::QueuePoster poster;
    test::FakePanelWindow window;
    RecordingDialog dlg;
    MorsixKeyer keyer;
    WorkerEnvironment env;
};

TEST_F(StressTest, ExitEndsEverythingWhileAllTestsRunAtOnce) {
    test::InFreshDirectory dir("Stress");
    const std::string tracePath = "stress-trace.txt";
    // A thousand times real time: a character is keyed in well under a millisecond, so
    // echoes and status reports come as fast as the chip's thread can deliver them, and
    // pushbutton 1 is pressed every 20 chip seconds (20 ms) for two seconds.
    std::string buttons;
    for (int i = 1; i <= 90; ++i) buttons += (i > 1 ? "," : "") + std::string("1@") + std::to_string(i * 20000);
    setVariable("KEYERSIM_TIMESCALE", "1000");
    setVariable("KEYERSIM_REVISION", "20");
    setVariable("KEYERSIM_BUTTONS", buttons);
    setVariable("KEYERSIM_TRACE", tracePath);

    test::resetGlobals();
    setConfigName("cwbench.cfg");
    env.keyer = &keyer;
    env.poster = &poster;
    setWorkerEnvironment(&env);
    Panel panel(dlg, keyer, window);
    loadConfigFile();
    std::strcpy(mxf.msg1Buf, kMessage);

    // The test's thread is the window thread: it presses the buttons and carries the
    // posts to the panel.
    std::size_t delivered = 0;
    auto runWindowFor = [&](std::chrono::milliseconds span) {
        const auto until = Clock::now() + span;
        while (Clock::now() < until) {
            const std::vector<PanelPost> posts = poster.take();
            panel.applyAll(posts);
            delivered += posts.size();
            std::this_thread::sleep_for(1ms);
        }
    };
    panel.init();
    panel.command(IDOPEN, 0);
    ASSERT_EQ(mxOpen.load(), 1) << dlg.at(MXSERIAL).text;
    ASSERT_TRUE(startMessage(1));
    panel.command(IDLOOP, 0);   // RandChar
    runWindowFor(300ms);
    panel.command(TESTSTR, 0);  // KeyerTest
    runWindowFor(1200ms);

    const auto pressed = Clock::now();
    panel.command(IDEXIT, 0);
    const double exitMs = msSince(pressed);
    const bool ended = waitForWorkers(10s);
    const double allEndedMs = msSince(pressed);
    runWindowFor(50ms);
    setWorkerEnvironment(nullptr);
    ASSERT_TRUE(ended) << "a worker was still running 10 s after Exit";
    EXPECT_EQ(window.quits, 1);

    Trace trace = readTrace(tracePath);
    std::printf("Exit took %.1f ms; every worker had ended %.1f ms after it was pressed\n", exitMs, allEndedMs);
    std::printf("callbacks: %d echoes, %d status reports (%d with XOFF set), %d pushbutton reports; %zu posts "
                "delivered\n",
                trace.reports["echo"], trace.reports["status"], trace.xoffHolds, trace.reports["button"], delivered);

    // The messages' characters: each either follows the one before in the message, or
    // starts it over (a pushbutton restarted it after break-in or its end).
    int plays = 0, sent = 0;
    std::size_t next = 0;
    for (const std::string& call : trace.calls) {
        const char c = static_cast<char>(std::atoi(call.c_str() + 8));
        if (call.rfind("mx_char(", 0) != 0 || !c || !std::strchr(kMessage, c)) continue;
        ++sent;
        if (c != kMessage[0]) {
            ASSERT_EQ(c, kMessage[next++]) << "character " << sent << " of the message's sent: skipped or repeated";
        } else {
            ++plays;
            next = 1;
        }
    }
    std::printf("%d plays of the message, %d of its characters sent\n", plays, sent);
    EXPECT_GE(plays, 1);
    EXPECT_GT(trace.xoffHolds, 0) << "the chip never held input: the test did not load it";
    EXPECT_EQ(trace.lostBytes, 0) << "a byte reached a full buffer";

    // Both contacts released, and before the chip was closed.
    int lastKey = -1;
    bool closed = false, keyedAfterClose = false;
    for (const std::string& call : trace.calls) {
        if (call == "mx_close()") closed = true;
        if (call.rfind("mx_directkey(", 0) == 0) {
            lastKey = std::atoi(call.c_str() + 13);
            keyedAfterClose = keyedAfterClose || closed;
        }
    }
    EXPECT_EQ(lastKey, 0);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(keyedAfterClose);
}

}  // namespace
}  // namespace cwbench
