// udev rules that give each box the report names stable names: its serial ports a link
// /dev/tavrilink/<model>-<serial number>-<role> (nova-TN0A1B2C-cat), its sound card an
// ALSA id (NovaTN0A1B2C, for hw:CARD=NovaTN0A1B2C). They are keyed on what stays the
// same across reboots and USB ports: the serial number and the interface number. A box
// without a serial number, and a codec without one (the usual case), are keyed on the
// USB port they are plugged into.
#pragma once

#include <string>

#include "platform/linux/linux_system.h"

namespace portiq::linuxsys {

// The rules for the boxes of report (the run's report, ANSI, as the walks wrote it: a
// box's port lines are "/dev/ttyUSB0\tTavrilink Nova CAT port", its sound line
// "Audio\thw:CARD=CODEC / hw:2"), for system as it was read.
std::string WriteUdevRules(const LinuxSystem& system, const std::string& report, unsigned codePage);

}  // namespace portiq::linuxsys
