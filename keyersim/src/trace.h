// The simulator's trace: one line per call, byte taken, key or PTT edge, echo and status
// report, stamped with chip time in ms. Written to the trace file when one is set and,
// for tests, kept in memory on request.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace keyersim {

enum class Ev { Call, Byte, KeyDown, KeyUp, PttOn, PttOff, Echo, Status, Button, SpeedPot, Note };

struct TraceEvent {
    double ms;
    Ev what;
    int value;
    std::string text;  // the line as written, without the time
};

class Trace {
public:
    // Starts over: a new file (truncated) when path isn't empty, a new memory record.
    void reset(const std::string& path, bool keepInMemory);
    void add(double ms, Ev what, int value, const std::string& detail = std::string());
    std::vector<TraceEvent> events() const;
    void clear();

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    mutable std::mutex lock_;
    std::unique_ptr<std::FILE, Closer> file_;
    bool keep_ = false;
    std::vector<TraceEvent> events_;
};

}  // namespace keyersim
