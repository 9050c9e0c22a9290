// udev rules that give each box the report names stable names: its serial ports a link
// /dev/tavrilink/<model>-<serial number>-<role> (nova-TN0A1B2C-cat), its sound card an
// ALSA id (NovaTN0A1B2C, for hw:CARD=NovaTN0A1B2C). They are keyed on what stays the
// same across reboots and USB ports: the serial number and the interface number. A box
// whose serial number udev can't match exactly (or that has none), and a codec without
// one (the usual case), are keyed on the USB port they are plugged into.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "platform/linux/linux_system.h"
#include "radios/radio_blocks.h"

namespace portiq::linuxsys {

// The rules for the boxes the run found (its report's blocks, with the sound records
// their Audio lines name; the texts in codePage), and for the radios it named beside
// them, for system as it was read.
std::string WriteUdevRules(const LinuxSystem& system, const std::vector<BoxBlock>& boxes,
                           const std::vector<CSbRecord>& sound, unsigned codePage,
                           const std::vector<RadioBlock>& radios = {});

// The links those rules give the boxes' and radios' serial ports, by port: "/dev/ttyUSB0"
// -> "tavrilink/nova-TN0A1B2C-cat" (under /dev).
std::map<std::string, std::string> UdevLinks(const LinuxSystem& system, const std::vector<BoxBlock>& boxes,
                                             const std::vector<CSbRecord>& sound, unsigned codePage,
                                             const std::vector<RadioBlock>& radios = {});

}  // namespace portiq::linuxsys
