#include "platform/platform.h"

namespace portiq {
namespace {
Platform g_platform;
}

void InstallPlatform(const Platform& platform) { g_platform = platform; }

const Platform& CurrentPlatform() { return g_platform; }

}  // namespace portiq
