// Why a box's port or sound card can't be used: the causes PortIQ recognises, each with
// the line the report gives it (what is wrong, and the one thing to do) on Windows and on
// a Unix-like system, where the remedy differs.
#pragma once

#include <string>

namespace portiq {

enum class Cause {
    kNoDriver,        // Windows: problem 1 or 28; Linux: an interface with no driver bound
    kDisabled,        // Windows: problem 22; Linux: the device isn't authorized
    kFailedStart,     // Windows: problem 10; Linux: a codec without a sound card
    kOtherProblem,    // Windows: any other problem number
    kPortFailure,     // a hub port's device failed enumeration, overcurrent, power
    kHeldByProgram,   // Linux: a program holds the interface through usbfs
    kOtherDriver,     // Linux: another driver than the serial one took the interface
    kNoAccess,        // Linux: the user may not open the serial port's device node
    kModemManager,    // Linux: the modem manager will probe the port
};

// One thing wrong: its cause, what it concerns ("COM6", "Channel B", "Sound codec") and
// what the cause's text names besides (a group, a driver, a problem code, the device's
// sysfs name).
struct Finding {
    Cause cause;
    std::string subject;
    std::string detail;
};

// The finding's line as the report shows it, in the user's language (ANSI): "!\t", the
// cause's text (with a Unix system's remedy where asked) and a line feed.
std::string FindingLine(const Finding& finding, bool unixRemedies);

// The cause as programs reading the JSON report know it: "no_driver", "port_failure" ...
// These words stay as they are; a new cause gets a new one.
const char* CauseKeyword(Cause cause);

}  // namespace portiq
