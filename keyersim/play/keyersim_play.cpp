// keyersim-play: plays a message as cwbench's message sender does (upper-case, token
// parser, mx_char, waiting while mx_xoff holds) into the simulated chip, and prints the
// chip's timeline: bytes taken, key and PTT edges, echoes, status reports.
//
//   keyersim-play [--wpm N] [--farns N] [--scale S] [--calls] "CQ TEST [S25]DE ..."
//
// --wpm sets the speed register (default 20; 0 keys at the speed pot, KEYERSIM_POT),
// --farns the Farnsworth register (default 0, off: cwbench's default registers hold 18,
// which would silently stretch the gaps of anything keyed below 18 WPM), --scale how many
// times faster than real time the chip runs (default KEYERSIM_TIMESCALE when set, else
// 20), --calls adds the library calls to the timeline. Times are chip time.
#include "keyerlib/morsixdll.h"
#include "keyersim.h"
#include "messages/message_player.h"
#include "settings/settings.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

int MXAPI callback(int kind, int) {
    return kind == CB_STATUS || kind == CB_SPEEDPOT || kind == CB_ECHOBACK ? 1 : 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: keyersim-play [--wpm N] [--farns N] [--scale S] [--calls] \"message\"\n"
                 "  --wpm N    speed in WPM (default 20; 0: the speed pot, KEYERSIM_POT)\n"
                 "  --farns N  Farnsworth speed: characters at N WPM, gaps for --wpm (default 0: off)\n"
                 "  --scale S  run S times faster than real time (default KEYERSIM_TIMESCALE, else 20)\n"
                 "  --calls    show the library calls too\n");
    return 2;
}

// A whole number from lo to hi; false for anything else.
bool parseNumber(const char* text, int lo, int hi, int& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int wpm = 20;
    int farns = 0;
    double scale = 20;
    keyersim::parseTimeScale(keyersim::environmentValue("KEYERSIM_TIMESCALE"), scale);
    bool calls = false;
    const char* text = nullptr;
    for (int i = 1; i < argc; ++i) {
        bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--wpm") && more) {
            if (!parseNumber(argv[++i], 0, 255, wpm)) return usage();
        } else if (!std::strcmp(argv[i], "--farns") && more) {
            if (!parseNumber(argv[++i], 0, 255, farns)) return usage();
        } else if (!std::strcmp(argv[i], "--scale") && more) {
            if (!keyersim::parseTimeScale(argv[++i], scale)) return usage();
        } else if (!std::strcmp(argv[i], "--calls")) {
            calls = true;
        } else if (!text && argv[i][0] != '-') {
            text = argv[i];
        } else {
            return usage();
        }
    }
    if (!text) return usage();

    keyersim::Config config = keyersim::Config::fromEnvironment();
    config.timeScale = scale;
    config.keepTrace = true;
    keyersim::configure(config);

    // The message memory, cut as the editor cuts it.
    char memory[cwbench::kMsgBufSize] = {};
    std::strncpy(memory, text, sizeof memory - 1);

    MXSTATE regs;
    std::memcpy(&regs, cwbench::kDefaultRegisters, sizeof regs);
    regs.speed = static_cast<unsigned char>(wpm);
    regs.farns = static_cast<unsigned char>(farns);

    mx_set_callback(callback);
    unsigned char revision = 0;
    int opened = mx_open(&revision, static_cast<unsigned char>(config.ports.empty() ? 1 : config.ports[0]));
    if (opened != MX_SUCCESS) {
        std::fprintf(stderr, "mx_open failed: %d\n", opened);
        return 1;
    }
    mx_send_defaults(&regs);

    std::atomic<int> active{1};
    cwbench::KeyerOutput out;
    cwbench::playMessage(memory, sizeof memory, active, out);
    // Until the chip has keyed everything.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (std::chrono::steady_clock::now() < deadline &&
           !keyersim::idle())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    mx_close();

    std::printf("chip time in ms, running %g times faster than real time; '@' marks when an "
                "edge was actually made\n",
                scale);
    double unit = 1200.0 / (wpm ? wpm : config.potWpm);
    double first = -1;
    double last = 0;
    bool farnsworth = false;
    for (const keyersim::TraceEvent& e : keyersim::traceEvents()) {
        if (e.what == keyersim::Ev::Call && !calls) continue;
        if (e.what == keyersim::Ev::KeyDown && first < 0) first = e.ms;
        if (e.what == keyersim::Ev::KeyUp) last = e.ms;
        if (e.text.find("Farnsworth spacing:") != std::string::npos) farnsworth = true;
        std::printf("%10.1f  %s\n", e.ms, e.text.c_str());
    }
    if (first >= 0)
        std::printf("first key down to last key up: %.1f ms = %.2f units of %.1f ms%s\n",
                    last - first, (last - first) / unit, unit,
                    farnsworth ? " (with Farnsworth spacing, see the notes)" : "");
    return 0;
}
