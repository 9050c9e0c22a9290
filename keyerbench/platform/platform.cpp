#include "platform/platform.h"

#include <atomic>

namespace cwbench {

namespace {
std::atomic<Platform*> g_override{nullptr};
}

Platform& platform() {
    Platform* p = g_override.load();
    return p ? *p : nativePlatform();
}

void setPlatform(Platform* p) { g_override.store(p); }

}  // namespace cwbench
