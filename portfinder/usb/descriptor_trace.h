// The USB descriptor trace: for one device on a hub port, its device descriptor, its
// strings, its driver key name and its configuration (interfaces, endpoints, HID), logged
// as labelled hexadecimal fields. Everything is asked of the parent hub; the device
// itself is never opened. The texts of string descriptors 2 and 3 and the driver key
// name are left in g_usbPending (usb_walk.h).
//
// The language id travels through the string reads of one device: each read takes the id
// the one before handed back, and string descriptor 0 (the device's language list) is
// read whenever a string is needed while the id is still 0.
//
// Each function is callable on its own with any open hub handle, so a synthetic hub with
// one port and hostile descriptors can be traced directly.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace portiq {

// Logs the device descriptor field by field (reading the strings it names) and the
// driver key name. Returns the language id found, or 0 when no driver key name longer
// than its structure came back.
LANGID DisplayDeviceDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language,
                               const UsbDeviceDescriptor& descriptor);

// Logs " = " and the text of string descriptor index (not 0) after the field that named
// it, and keeps the text of index 2 as the product, of index 3 as the serial. Returns the
// language id in use afterwards.
LANGID DisplayStringDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language, std::uint8_t index);

// Logs configuration descriptor 0 and the descriptors that follow it, as far as the 256
// bytes asked for go. Returns the language id in use afterwards.
LANGID DisplayConfigurationDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language);

}  // namespace portiq
