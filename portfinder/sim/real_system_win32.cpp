#include "platform/win32/win32_platform.h"
#include "sim/real_system.h"

namespace portiq::sim {

SystemServices* RealSystem() {
    static win32::Win32System system;
    return &system;
}

}  // namespace portiq::sim
