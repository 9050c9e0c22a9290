// Keeps the system's timer fine while a chip is open, so that the keying thread wakes
// within about a millisecond of each edge. Windows otherwise wakes sleeping threads only
// at its clock tick, 15.6 ms by default: half a dit at 40 WPM. Elsewhere it does nothing.
// (platform files: fine_timer_win32.cpp, fine_timer_posix.cpp)
#pragma once

namespace keyersim {

class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    bool held_ = false;
};

}  // namespace keyersim
