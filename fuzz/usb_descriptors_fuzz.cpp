// The USB descriptor trace: DisplayDeviceDescriptor and then DisplayConfigurationDescriptor,
// as the walk calls them, on one port of a hub whose device and drivers come from the
// input: hostile descriptors (bLength 0 or past the data, types the trace doesn't know,
// strings of odd lengths), failing requests, and drivers that lie about ActualLength and
// the bytes they return (hostile_usb.h). Input, through FuzzedDataProvider: the port (1
// to 12 of a hub with 8), the language the trace starts with, the device (its 18-byte
// descriptor, configuration, strings, driver key, failures), then one byte per request
// for the drivers. Checks: every request as the trace documents it (sizes, ports, setup
// packets, a driver key buffer of the length the probe answered), and no NUL in the texts
// left for the device-tree walk or in the log.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "hostile_usb.h"
#include "usb/descriptor_trace.h"
#include "usb/usb_walk.h"

using namespace portiq;
using namespace portiq::synthetic;
using fuzzusb::Check;
using fuzzusb::HasNul;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SyntheticSystem& system = *new SyntheticSystem;
    FuzzedDataProvider input(data, size);
    system.SetUserLanguage(input.ConsumeBool() ? 1049 : 1033);
    SyntheticUsb usb;
    usb.Attach(system);
    const int hub = usb.AddHub(u"USB#HUB", 8);
    const auto port = input.ConsumeIntegralInRange<std::uint32_t>(1, 12);
    const auto language = static_cast<LANGID>(input.ConsumeBool() ? 0 : input.ConsumeIntegral<std::uint16_t>());
    SyntheticPort device;
    fuzzusb::FillDevice(device, input);
    if (port <= 8) usb.Hub(hub).ports[port - 1] = device;
    UsbDeviceDescriptor descriptor;
    std::memcpy(&descriptor, device.deviceDescriptor.data(), sizeof descriptor);

    fuzzusb::LyingUsb lying(usb, system, input);
    ResetRunState();
    InstallPlatform(Platform{nullptr, &system, nullptr, &lying});
    const DeviceHandle handle = usb.CreateFileA("\\\\.\\USB#HUB");
    const LANGID found = DisplayDeviceDescriptor(handle, port, language, descriptor);
    DisplayConfigurationDescriptor(handle, port, found);
    usb.CloseHandle(handle);

    Check(!HasNul(g_usbPending.strProduct) && !HasNul(g_usbPending.strSerial) && !HasNul(g_usbPending.strDriverKey),
          "a NUL in a captured text");
    Check(!HasNul(g_strLog), "a NUL in the log");
    Check(usb.OpenHandleCount() == 0, "a handle left open");
    ResetRunState();
    InstallPlatform(Platform{});
    return 0;
}
