#include "trace.h"

namespace keyersim {

namespace {

std::string byteText(int b) {
    char text[16];
    if (b >= 0x20 && b < 0x7F)
        std::snprintf(text, sizeof text, "0x%02x '%c'", b, b);
    else
        std::snprintf(text, sizeof text, "0x%02x", b & 0xFF);
    return text;
}

std::string describe(Ev what, int value, const std::string& detail) {
    switch (what) {
    case Ev::Call: return "call " + detail;
    case Ev::Byte: return "byte " + byteText(value) + (detail.empty() ? "" : " " + detail);
    case Ev::KeyDown: return "key down";
    case Ev::KeyUp: return "key up";
    case Ev::PttOn: return "ptt on";
    case Ev::PttOff: return "ptt off";
    case Ev::Echo: return "echo " + byteText(value);
    case Ev::Status: {
        char text[24];
        std::snprintf(text, sizeof text, "status 0x%02x", value & 0xFF);
        return text;
    }
    case Ev::Button: return "button " + std::to_string(value) + (detail.empty() ? "" : " " + detail);
    case Ev::SpeedPot: return "speedpot " + std::to_string(value);
    case Ev::Note: return "note " + detail;
    }
    return detail;
}

}  // namespace

void Trace::reset(const std::string& path, bool keepInMemory) {
    std::lock_guard<std::mutex> g(lock_);
    file_.reset(path.empty() ? nullptr : std::fopen(path.c_str(), "w"));
    keep_ = keepInMemory;
    events_.clear();
}

void Trace::add(double ms, Ev what, int value, const std::string& detail) {
    write(ms, ms, false, what, value, detail);
}

void Trace::addScheduled(double due, double actual, Ev what, int value, const std::string& detail) {
    write(due, actual, true, what, value, detail);
}

void Trace::write(double ms, double actual, bool scheduled, Ev what, int value,
                  const std::string& detail) {
    std::lock_guard<std::mutex> g(lock_);
    if (!file_ && !keep_) return;
    std::string text = describe(what, value, detail);
    if (scheduled) {
        char at[32];
        std::snprintf(at, sizeof at, " @%.3f", actual);
        text += at;
    }
    if (file_) {
        std::fprintf(file_.get(), "%12.3f %s\n", ms, text.c_str());
        std::fflush(file_.get());
    }
    if (keep_) events_.push_back(TraceEvent{ms, actual, what, value, std::move(text)});
}

std::vector<TraceEvent> Trace::events() const {
    std::lock_guard<std::mutex> g(lock_);
    return events_;
}

void Trace::clear() {
    std::lock_guard<std::mutex> g(lock_);
    events_.clear();
}

}  // namespace keyersim
