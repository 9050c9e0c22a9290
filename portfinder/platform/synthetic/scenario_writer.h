// Writes a machine as scenario text, so that a machine read on a real PC can be sent in
// and replayed by portiq-sim and the tests: its device tree, its wave devices, every
// answer its USB host controllers and hubs give to the walks' requests, and the system's
// text for every error code among them.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "platform/platform.h"

namespace portiq::synthetic {

// Turns the platform's ANSI texts into UTF-8. On a UTF-8 system (code page 65001) it
// gives them as they are: bytes that aren't UTF-8 (a wave device's name cut inside a
// letter) are written as what they are.
using ToUtf8 = std::function<std::string(const std::string&)>;

// A UTF-8 value as a scenario holds it: in double quotes, or as E"..." with escapes when
// it holds a quote or a control character.
std::string ScenarioText(const std::string& utf8);

// The same for a text the machine keeps in its code page, given in UTF-8: a byte that
// isn't part of a UTF-8 character is written as \xHH, which loads back as that byte on a
// UTF-8 machine.
std::string CodePageScenarioText(const std::string& text);

// The tree's nodes as "node" lines (handles kept), read with the same calls as the walk;
// a value too long for the walk's buffer is read whole in a bigger one (up to 256 KiB).
// Nodes below kDeepestScenarioNode levels are left out. When the root can't be had, a
// "no-tree" line with what the configuration manager answered. A node's status is
// written where it has a problem, and a Unix system's facts where unix is given.
std::string WriteScenarioTree(DeviceTree& tree, const ToUtf8& toUtf8, UnixDevices* unixDevices = nullptr);

// The wave devices as "wavein" and then "waveout" lines: each name, its whole interface
// path (however long) and the queries that fail.
std::string WriteScenarioWave(WaveDevices& wave, const ToUtf8& toUtf8);

// The USB host controllers, hubs and ports as "hc" and "port" lines: every name, status
// and descriptor the walks can ask for (configurations whole, the strings any descriptor
// names in every language the trace could ask them in, each asked as often as the trace
// could ask it, so that answers that change are written as the sequence they were),
// ActualLength values that don't fit their names, and each request that fails with its
// error code (read from system's last error; the codes are added to codes). toUtf8
// turns the ANSI interface paths into UTF-8. Host
// controllers come from \\.\HCD0 to \\.\HCD9 and from the configuration manager's list of
// their device interfaces. Hubs are followed as the walk follows them: as deep, each
// path once, and by the name the walk opens; a hub on a port that the walk doesn't open
// by its name is written under a name no other hub has.
std::string WriteScenarioUsb(UsbDevices& usb, SystemServices& system, const ToUtf8& toUtf8,
                             std::set<std::uint32_t>* codes = nullptr);

// "error-text" lines: the system's text (SystemErrorText) for each code.
std::string WriteScenarioErrorTexts(SystemServices& system, const std::set<std::uint32_t>& codes, const ToUtf8& toUtf8);

// What portiq-dump writes of a PC from its platform, in sections with a comment each: the
// wave devices, the USB, the system's texts for the error codes the USB met and for
// moreCodes, and the device tree.
std::string WriteScenarioHardware(const Platform& platform, const ToUtf8& toUtf8, const std::set<std::uint32_t>& moreCodes = {});

struct SyntheticMachine;

// A synthetic machine whole: its settings (languages, code page, arguments, keys held),
// then what WriteScenarioHardware writes of it, with the error texts it holds that are
// not DefaultErrorTexts'. Loaded again it gives a machine that answers every request of
// the run the same, and writes out the same text.
std::string WriteScenario(SyntheticMachine& machine);

}  // namespace portiq::synthetic
