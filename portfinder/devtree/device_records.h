// What the sound device list and the USB walk hand to the device-tree walk.
#pragma once

#include <cstdint>
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
    // Where it is plugged in and what it is, for the diagnosis: the port on each hub from
    // the root hub down ("2.3": port 3 of the hub on root port 2), and its device
    // descriptor's ids.
    std::string strPortPath;
    int nVendorId = 0;
    int nProductId = 0;
    // The terminal types its audio functions declare (0x0301 speaker, 0x0402 headset ...),
    // from the first 256 bytes of its configuration; empty for a device without audio.
    std::vector<int> audioTerminalTypes;
};

// A hub port whose device can't be used: it failed enumeration, caused overcurrent or
// wants more power than the hub has (the connection status), for the diagnosis.
struct UsbPortFailure {
    int nHostController = -1;
    std::string strPortPath;  // as UsbDeviceRecord's
    std::uint32_t nStatus = 0;
    int nVendorId = 0;  // from the device descriptor, where the hub gave one; else 0
    int nProductId = 0;
};

// The hub ports above a port: "2" of "2.3"; empty for a root hub's port, whose device the
// PC itself holds.
inline std::string HubPortPath(const std::string& portPath) {
    const std::size_t dot = portPath.find_last_of('.');
    return dot == std::string::npos ? std::string() : portPath.substr(0, dot);
}

extern std::vector<CSbRecord> g_soundDevices;
extern std::vector<UsbDeviceRecord> g_usbDevices;
extern std::vector<UsbPortFailure> g_usbPortFailures;

}  // namespace portiq
