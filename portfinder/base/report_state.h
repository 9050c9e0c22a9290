// What the walks leave for the report: process-wide, empty when the program starts.
#pragma once

#include <string>

namespace portiq {

extern std::string g_strMessage;     // text of the final message box
extern std::string g_strLog;         // diagnostic log, appended to through LogPrintf only
extern int g_nDevicesFound;          // interface boxes identified
extern std::string g_strFtdiPorts;   // FTDI port names, separated by ", "

}  // namespace portiq
