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
    // Never destroyed: a callback whose delivery had begun may still run after mx_close
    // has returned, and the chip's threads are not joined at exit.
    static Reports& instance() {
        static Reports* r = new Reports;
        return *r;
    }
    void add(int kind, int value) {
        std::lock_guard<std::mutex> g(lock_);
        reports_.push_back({kind, value, nowMs()});
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
    void clear() {
        std::lock_guard<std::mutex> g(lock_);
        reports_.clear();
    }

private:
    mutable std::mutex lock_;
    std::vector<Report> reports_;
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
        Reports::instance().clear();
        mx_set_callback(recordReport);
        unsigned char revision = 0;
        ASSERT_EQ(mx_open(&revision, 1), MX_SUCCESS);
        mx_send_defaults(&regs);
    }
    void TearDown() override {
        mx_close();
        mx_set_callback(nullptr);
    }
    // A chip running scale times faster than real time.
    static Config scaled(double scale) {
        Config c;
        c.timeScale = scale;
        return c;
    }
    static MXSTATE registers(unsigned char wpm) {
        MXSTATE r{0x02, wpm, 5, 50, 0, 0, 5, 20, 0, 0, 18, 50, 50, 6, 0xFF};
        return r;
    }
    static void send(const std::string& text) {
        for (unsigned char c : text) mx_char(c);
    }
    static bool waitIdle(double seconds = 20) {
        return waitFor([] { return keyersim::idle(); }, seconds);
    }
    static std::vector<TraceEvent> events(Ev what) {
        std::vector<TraceEvent> out;
        for (const TraceEvent& e : traceEvents())
            if (e.what == what) out.push_back(e);
        return out;
    }
};

}  // namespace keyersim::test
