// The USB topology walk, EnumerateHostControllers, over a machine built from the input:
// host controllers 0 to 9 present or not, some listed by their device interface too, and
// up to two reached through their interface alone, with names and failing requests; hubs with up
// to 255 ports, nested past the depth the walk follows, with names in any UTF-16 and
// failing opens; ports with every connection status; devices as in usb_descriptors; and
// in front of it all, drivers that fail requests and lie about ActualLength and the bytes
// they return (hostile_usb.h). Checks: every request as documented, every handle the walk
// opens closed again, one record per port logged as a device, records whose controller
// and port numbers are in range, and no NUL in the records' texts or the log.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "devtree/device_records.h"
#include "hostile_usb.h"
#include "usb/usb_walk.h"

using namespace portiq;
using namespace portiq::synthetic;
using fuzzusb::Check;
using fuzzusb::HasNul;

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Builds hubs and what is on their ports from the input, within a budget of ports so
// that one input stays quick.
class MachineBuilder {
public:
    MachineBuilder(SyntheticUsb& usb, FuzzedDataProvider& input) : usb_(usb), input_(input) {}

    // A hub and, depth first, what is on its ports; -1 when its name is taken.
    int Hub(int depth) {
        std::u16string name = fuzzusb::Name(input_, 40);
        if (input_.ConsumeBool()) name = u"USB#HUB#" + std::u16string(1, static_cast<char16_t>(u'A' + usb_.HubCount() % 26)) +
                                         std::u16string(usb_.HubCount() / 26, u'x');
        std::size_t ports = input_.ConsumeIntegralInRange<std::size_t>(0, input_.ConsumeBool() ? 255 : 8);
        ports = std::min<std::size_t>(ports, portsLeft_);
        portsLeft_ -= ports;
        const int hub = usb_.AddHub(name, ports);
        if (hub < 0) return -1;
        usb_.Hub(hub).openError = fuzzusb::MaybeError(input_);
        usb_.Hub(hub).informationError = fuzzusb::MaybeError(input_);
        for (std::size_t p = 0; p < ports && input_.remaining_bytes() > 0; ++p) Port(hub, p, depth);
        return hub;
    }

private:
    void Port(int hub, std::size_t p, int depth) {
        switch (input_.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: break;  // nothing connected
            case 1: usb_.Hub(hub).ports[p].status = input_.ConsumeIntegral<std::uint32_t>(); break;
            case 2: {
                if (depth > kDeepestHub + 1) break;
                const int child = Hub(depth + 1);  // adds hubs: take the port afterwards
                SyntheticPort& port = usb_.Hub(hub).ports[p];
                port.status = kDeviceConnected;
                port.hub = child;
                const std::vector<std::uint8_t> descriptor = input_.ConsumeBytes<std::uint8_t>(sizeof(UsbDeviceDescriptor));
                std::copy(descriptor.begin(), descriptor.end(), port.deviceDescriptor.begin());
                port.connectionNameError = fuzzusb::MaybeError(input_);
                port.connectionInformationError = fuzzusb::MaybeError(input_);
                break;
            }
            default:
                fuzzusb::FillDevice(usb_.Hub(hub).ports[p], input_);
                break;
        }
    }

    SyntheticUsb& usb_;
    FuzzedDataProvider& input_;
    std::size_t portsLeft_ = 300;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SyntheticSystem& system = *new SyntheticSystem;
    FuzzedDataProvider input(data, size);
    system.SetUserLanguage(input.ConsumeBool() ? 1049 : 1033);
    SyntheticUsb usb;
    usb.Attach(system);
    MachineBuilder builder(usb, input);
    for (int n = 0; n < SyntheticUsb::kHostControllers && input.remaining_bytes() > 0; ++n) {
        if (!input.ConsumeBool()) continue;
        SyntheticHostController controller;
        controller.driverKey = fuzzusb::Name(input, 40);
        controller.openError = fuzzusb::MaybeError(input);
        controller.driverKeyError = fuzzusb::MaybeError(input);
        controller.rootHubNameError = fuzzusb::MaybeError(input);
        controller.rootHub = input.ConsumeBool() ? builder.Hub(0) : -1;
        // Half of them listed by their device interface too.
        if (controller.driverKey.size() % 2) controller.interfacePath = "\\\\?\\PCI#LINKED#" + std::to_string(n);
        usb.AddHostController(n, controller);
    }
    // Controllers Windows gave no \\.\HCDn link, reached through their interface alone.
    for (int listed = 0; listed < 2 && input.remaining_bytes() > 0 && input.ConsumeBool(); ++listed) {
        SyntheticHostController controller;
        controller.interfacePath = "\\\\?\\PCI#LISTED#" + std::to_string(listed);
        controller.driverKey = fuzzusb::Name(input, 40);
        controller.openError = fuzzusb::MaybeError(input);
        controller.driverKeyError = fuzzusb::MaybeError(input);
        controller.rootHubNameError = fuzzusb::MaybeError(input);
        controller.rootHub = input.ConsumeBool() ? builder.Hub(0) : -1;
        usb.AddHostController(SyntheticUsb::kNoLink, controller);
    }

    fuzzusb::LyingUsb lying(usb, system, input);
    ResetRunState();
    InstallPlatform(Platform{nullptr, &system, nullptr, &lying});
    EnumerateHostControllers();

    Check(usb.OpenHandleCount() == 0, "a handle left open");
    Check(g_usbDevices.size() == Count(g_strLog, "] = I/O device connected\n"), "not one record per device port");
    for (const UsbDeviceRecord& record : g_usbDevices) {
        // 0 to 9 for a link, 10 and on for a place in the interface list.
        const int controllers = 10 + static_cast<int>(usb.HostControllerCount());
        Check(record.nHostController >= 0 && record.nHostController < controllers && record.nPort >= 1 && record.nPort <= 255,
              "a record's controller or port out of range");
        Check(!HasNul(record.strProduct) && !HasNul(record.strSerial) && !HasNul(record.strDriverKey), "a NUL in a record");
    }
    Check(!HasNul(g_strLog), "a NUL in the log");
    ResetRunState();
    InstallPlatform(Platform{});
    return 0;
}
