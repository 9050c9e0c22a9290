// The simulator's configuration. The DLL and the host library read it from the
// environment at their first call; host tests may set it directly (keyersim.h).
//
//   KEYERSIM_REVISION     firmware revision mx_open reports (default 20; below 20 is an
//                         MX1 chip, 20 and more an MX2 chip)
//   KEYERSIM_POT          speed-pot setting in WPM (default 20): CB_SPEEDPOT reports it,
//                         and speed 0 keys at it
//   KEYERSIM_PORTS        COM ports that exist, e.g. "1,3,5-8" or "none" (default 1-4);
//                         mx_open on any other gives COM_OPEN_FAILED
//   KEYERSIM_TIMESCALE    how many times faster than real time the chip runs (default 1;
//                         e.g. 20 keys a 60 ms dit in 3 ms). Trace times are chip time.
//   KEYERSIM_BUTTONS      MX2 pushbutton presses, button@ms after mx_open, e.g.
//                         "1@1500,3@4000"
//   KEYERSIM_TRACE        file that records every call, every byte taken from the
//                         buffer, every key and PTT edge, echo and status report, with
//                         chip-time stamps in ms
//   KEYERSIM_OPEN_RESULT  a result mx_open gives instead of opening, e.g. -1 for
//                         NO_ECHO_RESPONSE (default 0: open normally)
//
// A value that doesn't parse leaves the default.
#pragma once

#include <string>
#include <vector>

namespace keyersim {

struct ButtonPress {
    int button;   // 1..4
    double atMs;  // chip time after mx_open
};

struct Config {
    int revision = 20;
    int potWpm = 20;
    std::vector<int> ports{1, 2, 3, 4};
    double timeScale = 1.0;
    std::vector<ButtonPress> buttons;
    std::string tracePath;
    int openResult = 0;
    // Keep trace events in memory for traceEvents() (tests, benchmarks).
    bool keepTrace = false;
    // Trace every library call and speed-pot request; off for runs that flood the
    // library with calls and only want the chip's own timeline.
    bool traceCalls = true;

    static Config fromEnvironment();
};

// Parsers for the variables above; false leaves the output unchanged.
bool parsePorts(const std::string& text, std::vector<int>& ports);
bool parseButtons(const std::string& text, std::vector<ButtonPress>& buttons);
// A time scale from 0.01 to 10000.
bool parseTimeScale(const std::string& text, double& scale);

// One environment variable; empty when unset. (platform file)
std::string environmentValue(const char* name);

}  // namespace keyersim
