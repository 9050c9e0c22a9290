#include "sim/real_system.h"

namespace portiq::sim {

SystemServices* RealSystem() { return nullptr; }

}  // namespace portiq::sim
