// Links morsixdll through its import library, so Windows binds the 34 operations by name
// when the program loads: without morsixdll.dll beside it the program doesn't start.
// With the simulator's DLL it opens the chip, sends PARIS, gets the echoes and a speed
// pot report through the callback, closes, and checks the simulator's trace file.
//
// Exit code 0 when the round succeeds; the reason on standard output otherwise.
#include "keyerlib/morsixdll.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<int> g_echoCount{0};
std::atomic<int> g_pot{-1};
char g_echoes[64];

int MXAPI callback(int kind, int value) {
    switch (kind) {
    case CB_ECHOBACK: {
        int n = g_echoCount.load();
        if (n < 63) g_echoes[n] = static_cast<char>(value);
        g_echoCount = n + 1;
        return 1;
    }
    case CB_SPEEDPOT:
        g_pot = value;
        return 1;
    case CB_STATUS:
        return 1;
    default:
        return 0;
    }
}

int fail(const char* what, int value = 0) {
    std::printf("FAILED: %s (%d)\n", what, value);
    return 1;
}

std::string readAll(const char* path) {
    std::string text;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
    CloseHandle(h);
    return text;
}

}  // namespace

int main() {
    const char* trace = "mxdll_roundtrip.trace";
    DeleteFileA(trace);
    SetEnvironmentVariableA("KEYERSIM_TRACE", trace);
    SetEnvironmentVariableA("KEYERSIM_TIMESCALE", "20");
    SetEnvironmentVariableA("KEYERSIM_PORTS", "5");
    SetEnvironmentVariableA("KEYERSIM_POT", "27");

    mx_set_callback(callback);
    unsigned char revision = 0;
    int r = mx_open(&revision, 4);
    if (r != COM_OPEN_FAILED) return fail("mx_open on a port that doesn't exist", r);
    r = mx_open(&revision, 5);
    if (r != MX_SUCCESS) return fail("mx_open", r);
    if (revision != 20) return fail("revision", revision);
    if ((r = mx_open(&revision, 5)) != MX_ALREADY_OPEN) return fail("second mx_open", r);

    MXSTATE regs = {0x02, 20, 5, 50, 0, 0, 5, 20, 0, 0, 18, 50, 50, 6, 0xFF};
    mx_send_defaults(&regs);
    mx_setmx2mode();
    for (const char* p = "PARIS"; *p; ++p) {
        while (mx_xoff()) Sleep(5);
        mx_char(static_cast<unsigned char>(*p));
    }
    mx_getpot();
    for (int waited = 0; (g_echoCount < 5 || g_pot < 0) && waited < 20000; waited += 5) Sleep(5);
    if (g_echoCount != 5) return fail("echo count", g_echoCount);
    if (std::memcmp(g_echoes, "PARIS", 5) != 0) return fail("echoes differ from PARIS");
    if (g_pot != 27) return fail("speed pot report", g_pot);

    if ((r = mx_close()) != MX_SUCCESS) return fail("mx_close", r);
    if ((r = mx_close()) != MX_NOT_OPEN) return fail("second mx_close", r);

    std::string text = readAll(trace);
    for (const char* line : {"call mx_open(5)", "byte 0x50 'P'", "byte 0x53 'S'", "key down",
                             "key up", "echo 0x53 'S'", "call mx_close()"})
        if (text.find(line) == std::string::npos) return fail(line);

    std::printf("morsixdll round trip: open, PARIS, %d echoes, pot %d, close\n",
                g_echoCount.load(), g_pot.load());
    return 0;
}
