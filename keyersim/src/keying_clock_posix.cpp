#include "keying_clock.h"

#include <pthread.h>
#include <sched.h>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace keyersim {

// POSIX threads wake at their deadline already.
FineTimer::FineTimer() = default;
FineTimer::~FineTimer() = default;

// The lowest real-time priority: it wakes ahead of every ordinary thread, which a busy
// machine's fair scheduler doesn't promise even to a raised nice value. Both need the
// right to (root, CAP_SYS_NICE, or RLIMIT_RTPRIO / RLIMIT_NICE); without it the thread
// stays as it was.
void raiseKeyingThread() {
    sched_param lowestRealTime{};
    lowestRealTime.sched_priority = sched_get_priority_min(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowestRealTime) == 0) return;
#if defined(__linux__)
    // On Linux a thread has a nice value of its own.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -10);
#endif
}

}  // namespace keyersim
