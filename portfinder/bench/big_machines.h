// Synthetic machines of any size with the shape of real ones, for the benchmarks: trees
// of boxes (controllers, hubs, boxes with interfaces, ports and a sound codec) repeated,
// the records the sound list and the USB walk leave for the device-tree walk, and the
// wave-input devices and USB devices that give those records.
#pragma once

#include <string>
#include <vector>

#include "devtree/device_records.h"
#include "platform/synthetic/synthetic_platform.h"

namespace portiq::bench {

// The records the sound list and the USB walk would leave for the device-tree walk.
struct WalkRecords {
    std::vector<CSbRecord> sound;
    std::vector<UsbDeviceRecord> usb;
};

// A tree of about nodeCount nodes: a root, then host controllers with a hub each, each
// hub carrying boxes of 7 nodes (device, two interfaces, two ports, a codec and its
// interface). The records match every third codec and every fourth box's driver key.
void BuildBoxes(synthetic::SyntheticMachine& machine, WalkRecords& records, int nodeCount, int soundRecords,
                int usbRecords);

// Sound codecs side by side under one hub, each with its own sound record.
void BuildCodecs(synthetic::SyntheticMachine& machine, WalkRecords& records, int codecs);

// The devices of the bundled default machine, as their ports describe them (an audio
// codec with a 305-byte configuration, FT2232 boxes, an FT232R cable).
std::vector<synthetic::SyntheticPort> DefaultDevices();

// Host controllers 0, 1, ... with 7 hubs of 17 devices each on their root hubs (the hubs
// and devices take 126 of the 127 addresses a controller has), until count devices are
// placed (at most 1,190); the devices take turns among models. Device k gets driver key driverKeys[k] where there is one.
// Returns the devices placed.
int BuildUsb(synthetic::SyntheticMachine& machine, int count, const std::vector<synthetic::SyntheticPort>& models,
             const std::vector<UsbDeviceRecord>& driverKeys = {});

// The hardware behind records: a wave-input device per sound record, and a USB device
// per USB record with its product string and driver key, so that PortIQ's own walks
// find those records on the machine.
void AddHardwareFor(synthetic::SyntheticMachine& machine, const WalkRecords& records);

}  // namespace portiq::bench
