// The JSON report: what the run found, for programs to read (portiq --json, portiq-sim
// --json, portiq-dump --json). Built from what the walks and the diagnosis left, the
// same findings the message box shows; README.md documents every field. Format 1: a
// field's meaning never changes within it, fields may be added.
#pragma once

#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace portiq {

inline constexpr int kJsonReportFormat = 1;

// An ALSA card a sound device is, on Linux.
struct AlsaCardFacts {
    std::string id;        // "CODEC"
    unsigned number = 0;   // 2
    unsigned device = 0;   // its capture PCM device
};

// What only the platform knows, handed in by the entry point.
struct JsonReportPlatform {
    // The walks' texts (ANSI, in the user's code page) in UTF-8.
    std::function<std::string(const std::string&)> toUtf8;
    // A USB record's driver key is the device's sysfs name ("1-4.2"), as on Linux.
    bool sysfsNames = false;
    // By port name ("/dev/ttyUSB0"): the stable link udev made for it, where the link
    // exists and leads to the port ("/dev/tavrilink/nova-TN0A1B2C-cat").
    std::map<std::string, std::string> stableLinks;
    // By g_soundDevices index: the ALSA card it is.
    std::map<int, AlsaCardFacts> alsaCards;
};

// The document for the run that just ended.
nlohmann::ordered_json BuildJsonReport(const JsonReportPlatform& platform);

// The document as printed: indented, a line feed at its end; bytes that aren't UTF-8
// (a text the conversion couldn't make sense of) become U+FFFD, never an exception.
std::string JsonReportText(const nlohmann::ordered_json& report);

}  // namespace portiq
