// POSIX threads wake at their deadline already.
#include "fine_timer.h"

namespace keyersim {

FineTimer::FineTimer() = default;
FineTimer::~FineTimer() = default;

}  // namespace keyersim
