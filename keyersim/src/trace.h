// The simulator's trace: one line per call, byte taken, key or PTT edge, echo and status
// report, stamped with chip time in ms. Written to the trace file when one is set and,
// for tests and benchmarks, kept in memory on request.
//
// Bytes, edges and echoes that the chip's schedule places are stamped with the time they
// were due and, after '@', the time the keying thread actually made them:
//        655.200 key down @655.262
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace keyersim {

enum class Ev { Call, Byte, KeyDown, KeyUp, PttOn, PttOff, Echo, Status, Button, SpeedPot, Note };

struct TraceEvent {
    double ms;        // when it happened or, for a scheduled event, when it was due
    double actualMs;  // when it happened
    Ev what;
    int value;
    std::string text;  // the line as written, without the time
};

class Trace {
public:
    // Starts over: a new file (truncated) when path isn't empty, a new memory record.
    void reset(const std::string& path, bool keepInMemory);
    // An event stamped with the time it happened.
    void add(double ms, Ev what, int value, const std::string& detail = std::string());
    // An event of the chip's schedule: due then, made at actual.
    void addScheduled(double due, double actual, Ev what, int value,
                      const std::string& detail = std::string());
    std::vector<TraceEvent> events() const;
    void clear();

private:
    void write(double ms, double actual, bool scheduled, Ev what, int value,
               const std::string& detail);
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    mutable std::mutex lock_;
    std::unique_ptr<std::FILE, Closer> file_;
    bool keep_ = false;
    std::vector<TraceEvent> events_;
};

}  // namespace keyersim
