// The system portiq-sim runs on, for --show: on Windows the real message box and
// keyboard, elsewhere none.
#pragma once

#include "platform/platform.h"

namespace portiq::sim {

// The real system's services, or nullptr where the build has none.
SystemServices* RealSystem();

}  // namespace portiq::sim
