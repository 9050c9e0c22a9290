// What the sound device list and the USB walk hand to the device-tree walk.
#pragma once

#include <string>
#include <vector>

namespace portiq {

// One wave-input device.
struct CSbRecord {
    int nWaveIn = 0;           // wave-input device number
    std::string strName;       // product name from its capabilities
    std::string strInterface;  // device interface path, ANSI, upper-cased

    // The instance part of the interface path: the text between "MI_00#" and the next
    // "#"; the whole path when it has no such part.
    std::string GetInstanceKey() const;
};

// One USB device that is not a hub.
struct UsbDeviceRecord {
    // The host controller it was found under: n of \\.\HCDn, or 10 and on for one
    // listed by its device interface alone.
    int nHostController = -1;
    int nPort = -1;            // port on its own hub, from 1
    std::string strProduct;    // string descriptor 2
    std::string strSerial;     // string descriptor 3
    std::string strDriverKey;  // driver key name of the device on that port
};

extern std::vector<CSbRecord> g_soundDevices;
extern std::vector<UsbDeviceRecord> g_usbDevices;

}  // namespace portiq
