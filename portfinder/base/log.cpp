#include "base/log.h"

#include <cstdint>

#include "platform/platform.h"

namespace portiq {

std::string g_strMessage;
std::string g_strLog;
int g_nDevicesFound = 0;
std::string g_strFtdiPorts;
bool g_bKeepLog = true;

void LogAppendEntry(std::string entry) {
    const std::size_t nul = entry.find('\0');
    if (nul != std::string::npos) entry.resize(nul);
    if (entry.size() > kLogEntryLimit) entry.resize(kLogEntryLimit);
    g_strLog += entry;
}

int LogLastError(const char* what) {
    SystemServices& system = *CurrentPlatform().system;
    const std::uint32_t code = system.LastError();
    if (g_bKeepLog) LogPrintf("%s failed with error %d: %s", what, code, system.SystemErrorText(code));
    return static_cast<int>(code);
}

}  // namespace portiq
