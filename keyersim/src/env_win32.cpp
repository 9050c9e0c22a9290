// The process's own environment: a DLL with its own C runtime would otherwise see only
// the copy taken when it was loaded.
#include "config.h"

#include <windows.h>

namespace keyersim {

std::string environmentValue(const char* name) {
    char buffer[1024];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return "";
    return std::string(buffer, n);
}

}  // namespace keyersim
