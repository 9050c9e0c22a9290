// The machine PortIQ's walks see on a Linux system, built from what linux_system.h read.
// linux_machine.cpp opens with the model: how much of a Windows PC's shape it imitates,
// and what it gives the walks directly.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/linux_system.h"
#include "platform/synthetic/synthetic_platform.h"

namespace portiq::linuxsys {

// Builds system into machine, which is fresh and has its language (and so its code
// page) set. Returns notes on what the machine can't show.
std::vector<std::string> BuildMachine(const LinuxSystem& system, synthetic::SyntheticMachine& machine);

// What a program is configured with to record from a card's capture device, as the
// report's Audio line shows it: "hw:CARD=CODEC / hw:2", with ",DEV=1" / ",1" for a device
// other than 0; the card's id alone where both don't fit the 31 characters the sound
// list keeps of a name.
std::string AlsaName(const SoundCard& card, unsigned device);

// The interface of a USB device that holds a card, or nullptr.
const UsbInterface* CardInterface(const LinuxSystem& system, const SoundCard& card, const UsbDevice** device = nullptr);

}  // namespace portiq::linuxsys
