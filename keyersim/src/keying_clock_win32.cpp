#include "keying_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace keyersim {

// One millisecond, the finest period the multimedia timer offers; every
// timeBeginPeriod is matched by a timeEndPeriod with the same period.
FineTimer::FineTimer() : held_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimer::~FineTimer() {
    if (held_) timeEndPeriod(1);
}

// The highest priority short of time-critical, within the process's own class.
void raiseKeyingThread() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

}  // namespace keyersim
