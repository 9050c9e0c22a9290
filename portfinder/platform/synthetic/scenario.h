// Scenario files: a synthetic machine written by hand (or by portiq-dump), in UTF-8 text,
// one statement per line. README.md describes the format with a complete example.
//
//   # A comment runs to the end of its line.
//   language 1049             the user's default language (decimal or 0x hex)
//   system-language 1033      what 0x0800 stands for; the user's language when absent
//   codepage 1251             1251, 1252 or 65001; by default chosen from the user's language
//   arguments 1               command-line arguments after the program name
//   hold shift                keys down as the box is dismissed: none, shift, ctrl, shift+ctrl
//   error-text 121 text=E"The semaphore timeout period has expired.\r\n"
//   no-tree error=19          a tree the configuration manager doesn't locate (without nodes)
//
//   wavein name="USB Audio CODEC" interface="\\?\usb#vid_08bb&pid_2902&mi_00#6&2c1b&0&0000#{...}\global"
//   waveout name="Speakers (USB Audio CODEC)" interface="..."
//
//   hc 0 driver="{36fc9e60-...}\0000" hub="USB#ROOT_HUB#4&2a2f1e9&0#{f18a0e88-...}" ports=2
//     port 1 device driver="{36fc9e60-...}\0012"
//       device 12 01 00 02 00 00 00 08 03 04 10 60 00 05 01 02 03 01
//       config 09 02 37 00 02 01 00 80 2d ...
//       string 0 times=1 04 03 09 04
//       fail string 0
//       string 2 text="Tavrilink Nova (CAT+PTT/CW)"
//       fail driverkey-name error=0
//     port 2 hub="USB#VID_05E3&PID_0608#5&1b2c3d4e&0&2#{f18a0e88-...}" ports=4
//   hc interface="\\?\PCI#VEN_8086&DEV_1E2D#3&11583659&0&D0#{3abf6f2d-...}" driver=... hub=... ports=4
//
//   node class=none id="HTREE\ROOT\0"
//     node class={4d36e978-e325-11ce-bfc1-08002be10318} name="USB Serial Port (COM5)" id="FTDIBUS\..."
//
// "error-text" gives the system's text for an error code (the table of
// SyntheticSystem::DefaultErrorTexts holds for the others). "wavein" and "waveout" lines
// are the wave devices, each list numbered in order. "hc" lines are host controllers 0
// to 9 with their root hub, or (hc interface=PATH) a controller Windows gave no \\.\HCDn
// link; "port" lines, indented under a host controller or a port with a hub, are that
// hub's ports: "device" for a device, hub= for a hub, neither for an empty one;
// driver-length= gives the ActualLength a driver misreports for a driver key name. Under a port: "device" (the 18-byte device descriptor), "config" (configuration
// 0 and all that follows; lines add up), "string" (by index and optionally language, as
// text= or as bytes; with times=N it answers N requests and the next statement for that
// string answers after it), "fail" (a request that fails, with its Windows error code,
// 0 included). Bytes are two hex digits each.
//
// "node" lines form the device tree: the first is the root, and each node is a child of
// the nearest line above it that is indented less (spaces only). Node keys: class (a
// class GUID, or none: then the walk skips the node), name (friendly name), desc (device
// description), id (device instance ID), driver (driver key), handle (a non-zero number;
// by default the next free one). A key left out is a value the node doesn't have.
//
// A value is a word without blanks or quotes, a text in double quotes taken as it stands
// (a backslash is an ordinary character), or E"..." with escapes: \" a quote, \\ a
// backslash, \t \r \n, \xHH the character U+00HH (never NUL); in a text kept in the
// code page of a UTF-8 machine (65001), \x80 to \xFF are that byte, a letter's bytes cut
// apart as a wave device's name holds them. Values are UTF-8 (a malformed sequence is a
// fault). Words are separated by spaces, tabs or carriage
// returns; no other control character (NUL included) may stand in a line outside a
// comment, inside a quoted text neither: it is written as an escape, so that whatever a
// machine holds can be written out and read back the same.
// Device-tree texts, wave device names, error texts and interface paths are converted to
// the machine's code page ('?' for what it lacks); USB names and strings are kept in
// UTF-16, as the drivers give them.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "platform/synthetic/synthetic_platform.h"

namespace portiq::synthetic {

// Where a scenario's line numbers start, and statements read after its own.
struct ScenarioOptions {
    // The number of the stream's first line, for a scenario that goes on from text read
    // elsewhere: error texts count from it.
    std::uint64_t firstLine = 1;
    // Statements read after the stream's, as if appended to it: portiq-sim's command-line
    // settings (of a setting given twice, the later one holds).
    std::string appended;
};

// Loads a scenario into machine, which should be fresh. The stream is read line by
// line and each line word by word, so that the whole file is never held; reading stops
// at the first fault. On a fault returns false and sets error to "line N: what is wrong";
// the machine then holds what came before it.
bool LoadScenario(std::istream& in, SyntheticMachine& machine, std::string& error, const ScenarioOptions& options = {});
bool LoadScenarioFile(const std::string& path, SyntheticMachine& machine, std::string& error,
                      const ScenarioOptions& options = {});

// Deepest nesting of nodes (or of hubs) a scenario may have: far beyond any real
// machine, and well within the stack of the recursive walks.
inline constexpr int kDeepestScenarioNode = 256;

// Default error codes of a failing request: an open that fails doesn't find the device;
// a request that fails meets a device that doesn't work.
inline constexpr std::uint32_t kDefaultOpenError = kErrorFileNotFound;
inline constexpr std::uint32_t kDefaultRequestError = kErrorGenFailure;

}  // namespace portiq::synthetic
