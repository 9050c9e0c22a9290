// A simulated chip for one test: configured, traced in memory, its callback reports
// recorded, closed at the end.
#pragma once

#include "keyerlib/morsixdll.h"
#include "keyersim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keyersim::test {

struct Report {
    int kind;
    int value;
    double ms;  // chip time when the callback ran
};

class Reports {
public:
    static Reports& instance() {
        static Reports r;
        return r;
    }
    void add(int kind, int value) {
        std::lock_guard<std::mutex> g(lock_);
        reports_.push_back({kind, value, nowMs()});
        ++arrived_;
    }
    std::vector<Report> all() const {
        std::lock_guard<std::mutex> g(lock_);
        return reports_;
    }
    std::string echoes() const {
        std::string text;
        for (const Report& r : all())
            if (r.kind == CB_ECHOBACK) text.push_back(static_cast<char>(r.value));
        return text;
    }
    // Forgets the reports so far; they still count as arrived.
    void clear() {
        std::lock_guard<std::mutex> g(lock_);
        reports_.clear();
    }
    // Starts over for a new chip.
    void reset() {
        std::lock_guard<std::mutex> g(lock_);
        reports_.clear();
        arrived_ = 0;
    }
    // Reports that reached the callback since reset().
    std::size_t arrived() const {
        std::lock_guard<std::mutex> g(lock_);
        return arrived_;
    }

private:
    mutable std::mutex lock_;
    std::vector<Report> reports_;
    std::size_t arrived_ = 0;
};

inline int MXAPI recordReport(int kind, int value) {
    Reports::instance().add(kind, value);
    return 1;
}

// Waits for a condition in wall time; false on timeout.
inline bool waitFor(const std::function<bool()>& done, double seconds = 20) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class SimTest : public ::testing::Test {
protected:
    // Configures and opens a chip on port 1 with the registers given.
    void open(Config config, const MXSTATE& regs) {
        config.keepTrace = true;
        ASSERT_TRUE(configure(config));
        Reports::instance().reset();
        mx_set_callback(recordReport);
        unsigned char revision = 0;
        ASSERT_EQ(mx_open(&revision, 1), MX_SUCCESS);
        mx_send_defaults(&regs);
    }
    void TearDown() override {
        mx_close();
        mx_set_callback(nullptr);
    }
    static MXSTATE registers(unsigned char wpm) {
        MXSTATE r{0x02, wpm, 5, 50, 0, 0, 5, 20, 0, 0, 18, 50, 50, 6, 0xFF};
        return r;
    }
    static void send(const std::string& text) {
        for (unsigned char c : text) mx_char(c);
    }
    // Waits until the chip has nothing left to key and every report it raised has
    // reached the callback. The chip hands its reports over after it has finished the
    // bytes they report, so idle() alone can come before the last echo arrives (seen
    // under AddressSanitizer on a busy machine). Each report is traced as it is raised
    // (configure() starts the trace, open() the count of arrivals); arrivals are
    // counted first, so that equal counts mean all had arrived.
    static bool waitIdle(double seconds = 20) {
        return waitFor(
            [] {
                if (!keyersim::idle()) return false;
                const std::size_t arrived = Reports::instance().arrived();
                return arrived == raisedReports();
            },
            seconds);
    }
    static std::size_t raisedReports() {
        std::size_t raised = 0;
        for (const TraceEvent& e : traceEvents())
            raised += e.what == Ev::Echo || e.what == Ev::Status || e.what == Ev::Button || e.what == Ev::SpeedPot;
        return raised;
    }
    static std::vector<TraceEvent> events(Ev what) {
        std::vector<TraceEvent> out;
        for (const TraceEvent& e : traceEvents())
            if (e.what == what) out.push_back(e);
        return out;
    }
};

}  // namespace keyersim::test
