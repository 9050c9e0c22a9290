// The diagnostic log: entries appended to g_strLog, saved as "PortIq.lst" on request.
#pragma once

#include <cstddef>
#include <string>

#include "base/printf_format.h"
#include "base/report_state.h"

namespace portiq {

// The longest entry kept: an entry is formatted into a 512-byte buffer.
inline constexpr std::size_t kLogEntryLimit = 511;

// Whether the run keeps its log (true unless set otherwise). PortIQ on Windows always
// does: the user may ask for it as the box closes. portiq on Linux keeps it only for
// --log; formatting tens of thousands of entries nobody reads is most of its work.
extern bool g_bKeepLog;

// Appends one formatted entry to the log as it stands (see printf_format.h for the
// rules, %ws included), cut to its first kLogEntryLimit characters and at any NUL.
void LogAppendEntry(std::string entry);

template <typename... Args>
void LogPrintf(const char* format, const Args&... args) {
    if (g_bKeepLog) LogAppendEntry(FormatPrintf(format, args...));
}

// Appends "<what> failed with error <code>: <system text>" for the thread's last error
// code and returns that code.
int LogLastError(const char* what);

}  // namespace portiq
