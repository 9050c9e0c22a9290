// What the keying thread asks of the system to keep its edges on time (platform files:
// keying_clock_win32.cpp, keying_clock_posix.cpp).
//
// FineTimer keeps the system's timer fine while a chip is open, so that the keying
// thread wakes within about a millisecond of each edge: Windows otherwise wakes sleeping
// threads only at its clock tick, 15.6 ms by default, half a dit at 40 WPM. Elsewhere it
// does nothing.
//
// raiseKeyingThread puts the calling thread ahead of ordinary ones where the process may
// ask for that (Windows: highest priority short of time-critical; POSIX: the lowest
// real-time priority, else a nice value of -10). The keying thread sleeps nearly all the
// time, runs none of the caller's code and works for microseconds per edge, so this
// costs other threads nothing, but on a loaded machine it is what keeps an edge from
// waiting behind them. Failure leaves the thread as it was.
#pragma once

namespace keyersim {

class FineTimer {
public:
    FineTimer();
    ~FineTimer();
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    // Set where the system's timer was made fine (Windows only).
    [[maybe_unused]] bool held_ = false;
};

void raiseKeyingThread();

}  // namespace keyersim
