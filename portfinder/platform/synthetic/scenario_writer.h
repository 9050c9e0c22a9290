// Writes a machine as scenario text, so that a machine read on a real PC can be sent in
// and replayed by portiq-sim and the tests: its device tree, its wave-input devices and
// every answer its USB host controllers and hubs give to the walks' requests.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

namespace portiq::synthetic {

// The tree's nodes as "node" lines (handles kept), read with the same calls as the walk;
// a value too long for the walk's buffer is read whole in a bigger one (up to 256 KiB).
// toUtf8 turns the platform's ANSI texts into UTF-8. A quote in a value can't be written
// and becomes an apostrophe; control characters become blanks (no scenario has either).
// Nodes below kDeepestScenarioNode levels are left out. Empty when the root can't be had.
std::string WriteScenarioTree(DeviceTree& tree, const std::function<std::string(const std::string&)>& toUtf8);

// The wave-input devices as "wavein" lines: each name, its whole interface path (however
// long) and the queries that fail. toUtf8 as above.
std::string WriteScenarioWave(WaveDevices& wave, const std::function<std::string(const std::string&)>& toUtf8);

// The USB host controllers, hubs and ports as "hc" and "port" lines: every name, status
// and descriptor the walks can ask for (configurations whole, the strings any descriptor
// names in the language the trace would use, string 0 with all its languages), and each
// request that fails, with its error code (read from system's last error). Hubs are
// followed as the walk follows them: as deep, and each path once; a hub on a port that
// the walk doesn't open by its name is written under a name no other hub has.
std::string WriteScenarioUsb(UsbDevices& usb, SystemServices& system);

struct SyntheticMachine;

// A synthetic machine whole: its settings (languages, code page, arguments, keys held),
// then the three parts above. Loaded again it gives a machine that answers every request
// of the run the same, and writes out the same text.
std::string WriteScenario(SyntheticMachine& machine);

}  // namespace portiq::synthetic
