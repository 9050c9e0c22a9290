// What the radio pass finds: the radios after the boxes in the report, for what reads the
// run's findings (the JSON report, the udev rules on Linux).
#pragma once

#include <string>
#include <vector>

#include "diagnosis/causes.h"

namespace portiq {

struct RadioPort {
    std::string strPort;  // "COM4", "/dev/ttyUSB0"; empty where the port node names none
    int nInterface = -1;  // the USB interface (FTDI channel) that carries it
    std::string strRole;  // "CAT", "PTT/CW" ...; empty where no source gives one
};

struct RadioBlock {
    // The table row's name, or empty for a serial bridge and a codec alone on one hub
    // (the report shows them as one unnamed interface).
    std::string strName;
    int nRecord = -1;       // g_usbDevices index of the device that carries its ports
    int nSoundDevice = -1;  // g_soundDevices index of its sound device; -1: none
    std::vector<RadioPort> ports;
    std::vector<Finding> findings;  // why a port or its sound device can't be used
};

extern std::vector<RadioBlock> g_radioBlocks;

}  // namespace portiq
