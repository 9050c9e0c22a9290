// keyersim-bench: keys N x PARIS (default 20) in real time at 20 and 40 WPM through the
// simulator library and prints, from the edges' actual times, the keyed span's error
// against the ideal and each edge's lateness against its schedule (p50, p99, max), under
// three loads: a callback that returns at once, one that takes 50 ms per report, and a
// thread calling mx_getpot in a loop. When the cw command (Debian package cw) is
// installed, the same text goes through `cw -s null` at each speed and its timing error
// is printed beside the simulator's. For scale it first measures the machine itself: a
// bare thread at the keying thread's priority sleeping to a deadline every 30 ms. Not a
// test: it prints figures and takes minutes.
//
//   keyersim-bench [--words N]
#include "keyerlib/morsixdll.h"
#include "keyersim.h"
#include "keying_clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<long> g_reports{0};

int MXAPI quickCallback(int, int) {
    ++g_reports;
    return 1;
}

int MXAPI slowCallback(int, int) {
    ++g_reports;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return 1;
}

struct Load {
    const char* name;
    MXCALLBACK callback;
    bool potLoop;
};

const Load kLoads[] = {
    {"quick callback", quickCallback, false},
    {"50 ms callback", slowCallback, false},
    {"mx_getpot loop", quickCallback, true},
};

struct Result {
    double spanMs = 0;
    std::size_t edges = 0;
    double p50 = 0;
    double p99 = 0;
    double max = 0;
    long polls = 0;
    long reports = 0;
};

std::string parisText(int words) {
    std::string text;
    for (int i = 0; i < words; ++i) text += i ? " PARIS" : "PARIS";
    return text;
}

// From the first key down to the last key up, leaving out the word space after the last
// PARIS: 50 units a word, less 7.
double idealSpanMs(int wpm, int words) { return (50.0 * words - 7) * 1200.0 / wpm; }

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    std::size_t rank = static_cast<std::size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

bool keyThroughSimulator(int wpm, int words, const Load& load, Result& result) {
    keyersim::Config config;
    config.timeScale = 1;
    config.keepTrace = true;
    config.traceCalls = false;  // the pot loop makes millions of calls
    if (!keyersim::configure(config)) return false;
    g_reports = 0;
    mx_set_callback(load.callback);
    unsigned char revision = 0;
    if (mx_open(&revision, 1) != MX_SUCCESS) return false;
    MXSTATE regs{0x02, static_cast<unsigned char>(wpm), 5, 50, 0, 0, 5, 20, 0, 0, 0, 50, 50, 6, 0xFF};
    mx_send_defaults(&regs);

    std::atomic<bool> stop{false};
    std::atomic<long> polls{0};
    std::thread poller;
    if (load.potLoop)
        poller = std::thread([&] {
            while (!stop) {
                mx_getpot();
                ++polls;
            }
        });
    auto started = Clock::now();
    for (unsigned char c : parisText(words)) {
        while (mx_xoff()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        mx_char(c);
    }
    // Asks whether the keying is done only near its end: each question takes the chip's
    // lock, and a caller that loses the CPU while holding it would hold up the keying
    // thread and show in the figures as the simulator's lateness.
    auto nearEnd = std::chrono::duration<double, std::milli>(idealSpanMs(wpm, words) - 500);
    std::this_thread::sleep_until(started + std::chrono::duration_cast<Clock::duration>(nearEnd));
    while (!keyersim::keyingIdle()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    if (poller.joinable()) poller.join();
    result.reports = g_reports;  // a slow callback's backlog is dropped by mx_close
    mx_close();
    mx_set_callback(nullptr);

    std::vector<double> lateness;
    double first = -1;
    double last = 0;
    for (const keyersim::TraceEvent& e : keyersim::traceEvents()) {
        if (e.what != keyersim::Ev::KeyDown && e.what != keyersim::Ev::KeyUp) continue;
        if (e.what == keyersim::Ev::KeyDown && first < 0) first = e.actualMs;
        if (e.what == keyersim::Ev::KeyUp) last = e.actualMs;
        lateness.push_back(e.actualMs - e.ms);
    }
    std::sort(lateness.begin(), lateness.end());
    result.spanMs = last - first;
    result.edges = lateness.size();
    result.p50 = percentile(lateness, 0.50);
    result.p99 = percentile(lateness, 0.99);
    result.max = lateness.empty() ? 0 : lateness.back();
    result.polls = polls;
    return true;
}

// How late a thread at the keying thread's priority wakes from sleeping to a deadline
// every 30 ms, for seconds: what this machine allows any keyer, before the simulator.
std::vector<double> machineLateness(double seconds) {
    std::vector<double> lateness;
    std::thread sleeper([&] {
        keyersim::raiseKeyingThread();
        keyersim::FineTimer fine;
        auto due = Clock::now();
        for (int i = 0; i < seconds * 1000 / 30; ++i) {
            due += std::chrono::milliseconds(30);
            std::this_thread::sleep_until(due);
            lateness.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due).count());
        }
    });
    sleeper.join();
    std::sort(lateness.begin(), lateness.end());
    return lateness;
}

bool cwInstalled() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string file = dirs.substr(start, end - start) + "/cw";
        struct stat st;
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111)) return true;
        start = end + 1;
    }
    return false;
}

// Wall time of one `cw -s null` run that keys the text; negative when cw fails.
double cwSeconds(int wpm, const std::string& text) {
    std::string command = "cw -s null -e -m -w " + std::to_string(wpm);
    auto start = Clock::now();
    std::FILE* cw = popen(command.c_str(), "w");
    if (!cw) return -1;
    std::fprintf(cw, "%s\n", text.c_str());
    int status = pclose(cw);
    std::chrono::duration<double> took = Clock::now() - start;
    if (status != 0) {
        std::fprintf(stderr, "keyersim-bench: `%s` ended with status %d\n", command.c_str(), status);
        return -1;
    }
    return took.count();
}

double errorPercent(double actual, double ideal) { return 100 * (actual - ideal) / ideal; }

}  // namespace

int main(int argc, char** argv) {
    int words = 20;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--words") && i + 1 < argc && std::atoi(argv[i + 1]) >= 2) {
            words = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: keyersim-bench [--words N]   (N >= 2, default 20)\n");
            return 2;
        }
    }
    const bool cw = cwInstalled();
    std::printf("keyersim-bench: %d x PARIS keyed in real time; the span runs from the first key "
                "down to the last key up, at the times the edges were actually made; lateness is "
                "each edge's actual time less its scheduled time (goal: within 5 ms)\n\n",
                words);
    std::fprintf(stderr, "measuring how late this machine wakes a thread (10 s) ...\n");
    std::vector<double> machine = machineLateness(10);
    std::printf("this machine: a bare thread at the keying thread's priority, waking every 30 ms, "
                "is late by p50 %.3f, p99 %.3f, max %.3f ms (%zu wakes)\n\n",
                percentile(machine, 0.5), percentile(machine, 0.99), machine.back(), machine.size());
    std::printf("%-7s %-15s %6s %11s %11s %9s %9s %9s %9s %10s %9s\n", "speed", "load", "edges",
                "span ms", "ideal ms", "error %", "late p50", "late p99", "late max", "pot polls",
                "reports");
    struct Summary {
        int wpm;
        double simRatio;
    };
    std::vector<Summary> quick;
    for (int wpm : {20, 40}) {
        double ideal = idealSpanMs(wpm, words);
        for (const Load& load : kLoads) {
            std::fprintf(stderr, "keying %d x PARIS at %d WPM with a %s (%.0f s) ...\n", words, wpm,
                         load.name, ideal / 1000);
            Result r;
            if (!keyThroughSimulator(wpm, words, load, r)) {
                std::printf("%2d WPM  %-15s could not open the simulated chip\n", wpm, load.name);
                continue;
            }
            std::printf("%2d WPM  %-15s %6zu %11.1f %11.1f %+9.4f %9.3f %9.3f %9.3f %10ld %9ld\n", wpm,
                        load.name, r.edges, r.spanMs, ideal, errorPercent(r.spanMs, ideal), r.p50,
                        r.p99, r.max, r.polls, r.reports);
            if (load.callback == quickCallback && !load.potLoop) quick.push_back({wpm, r.spanMs / ideal});
        }
    }

    std::printf("\n");
    if (!cw) {
        std::printf("cw: not installed (Debian package cw), so no comparison; the figures above "
                    "stand alone\n");
        return 0;
    }
    // cw is timed from start to exit, so its start-up and its last gaps are taken out by
    // keying one PARIS and N of them and comparing the difference, N - 1 words of 50
    // units, with the ideal.
    std::printf("cw -s null, timed from start to exit: %d words less 1 word, against %d x 50 units; "
                "the simulator's span against its ideal, from the quick-callback runs\n",
                words, words - 1);
    std::printf("%-7s %12s %12s %9s   %14s %15s\n", "speed", "cw ms", "ideal ms", "error %", "cw / ideal",
                "simulator/ideal");
    for (const Summary& s : quick) {
        std::fprintf(stderr, "keying %d x PARIS and 1 x PARIS through cw at %d WPM ...\n", words, s.wpm);
        double many = cwSeconds(s.wpm, parisText(words));
        double one = many < 0 ? -1 : cwSeconds(s.wpm, parisText(1));
        if (many < 0 || one < 0) {
            std::printf("%2d WPM  cw failed (see above)\n", s.wpm);
            continue;
        }
        double cwMs = (many - one) * 1000;
        double ideal = (words - 1) * 50 * 1200.0 / s.wpm;
        std::printf("%2d WPM  %12.1f %12.1f %+9.3f   %14.5f %15.5f\n", s.wpm, cwMs, ideal,
                    errorPercent(cwMs, ideal), cwMs / ideal, s.simRatio);
    }
    return 0;
}
