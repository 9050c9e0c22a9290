// The USB topology walk.
//
// A PC has USB host controllers, opened as "\\.\HCD0" to "\\.\HCD9". Where Windows gives
// a controller no such link (two driver stacks claiming HCD0, say), the configuration
// manager still lists it by its device interface: after the ten links, the walk opens
// each listed path, asks its driver key name, and walks the controllers whose driver key
// no linked controller had (or whose driver key can't be had), the same way, logging the
// interface path where the link stands. A machine whose controllers all have links logs
// nothing more. Each controller has one root hub; every hub has ports numbered from 1,
// and on a port sits nothing, a device, or another hub. The walk visits them depth
// first, in port order, asking only the drivers (DeviceIoControl), never a device itself:
//
//   host controller  IOCTL_GET_HCD_DRIVERKEY_NAME     516-byte buffer: the driver key, logged
//                    IOCTL_USB_GET_ROOT_HUB_NAME      the same buffer: the root hub's name
//   root hub         opened as "\\.\" + its name, then walked at depth 0
//   hub              IOCTL_USB_GET_NODE_INFORMATION   76 bytes: bNumberOfPorts
//   each port        IOCTL_USB_GET_NODE_CONNECTION_INFORMATION
//                                                     388 bytes: status, hub or not, and
//                                                     the device descriptor
//   a hub on a port  IOCTL_USB_GET_NODE_CONNECTION_NAME
//                                                     520 bytes: its name; opened and
//                                                     walked one level deeper
//   a device         the descriptor trace (descriptor_trace.h) logs it and leaves its
//                    product, serial and driver key in g_usbPending; the walk adds the
//                    controller and port and appends the record to g_usbDevices
//
// The log: an empty line, then "Host Controller \\.\HCDn found. System name is <driver
// key>" (or the interface path in place of \\.\HCDn); then one line per port, "+1" once
// per hub level and " Port[n] = " followed by the status, "Hub connected" (the hub's own
// ports follow, one level deeper) or "I/O device connected" (the device's trace follows).
//
// Names come back in UTF-16 with ActualLength counting the whole structure; the walk
// takes ActualLength / 2 units, which runs a few units past the name's terminator, and
// converts them up to the terminator. A name that would run past the buffer is cut at
// it, and a path always keeps its terminator.
//
// Failures: the first host controller whose driver key name, root hub or root hub node
// information can't be had ends the walking of controllers ("failed with error" entry).
// On a port, a failed request logs its " *** ERROR *** " entry and the port or hub is
// left: connection information not returned counts as nothing connected, a hub whose
// name or node information isn't returned is not walked, and neither is a hub on a port
// whose path was opened before in the run. Every handle is closed before the function
// that opened it returns.
#include "usb/usb_walk.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "base/log.h"
#include "platform/hub_paths.h"
#include "usb/descriptor_trace.h"

namespace portiq {

UsbDeviceRecord g_usbPending;
int g_nHostController = 0;

namespace {

// The port on each hub from the root hub down to the port being walked.
std::vector<std::uint32_t> g_portPath;

std::string PortPathText() {
    std::string text;
    for (const std::uint32_t port : g_portPath) text += (text.empty() ? "" : ".") + std::to_string(port);
    return text;
}

union HcdNameBuffer {
    UsbHcdDriverkeyName driverKey;
    UsbRootHubName rootHub;
    unsigned char bytes[kHcdNameBufferBytes];
};

union NodeInformationBuffer {
    UsbNodeInformation node;
    unsigned char bytes[kNodeInformationBytes];
};

union ConnectionInformationBuffer {
    UsbNodeConnectionInformation connection;
    unsigned char bytes[kNodeConnectionInformationBytes];
};

union ConnectionNameBuffer {
    UsbNodeConnectionName name;
    unsigned char bytes[kNodeConnectionNameBytes];
};

// The hubs opened in this run: none is walked twice.
OpenedHubs g_walkedHubs;

// The driver key names of the host controllers walked in this run: a controller listed by
// its interface is the same as a linked one when its driver key is.
std::set<std::u16string> g_walkedControllers;

// Index numbers for the records of controllers reached by their interface path alone:
// 10 for the first such path in the list, 11 for the next, ...
constexpr int kFirstListedController = 10;
// More characters than any machine's interface list has: a larger size is not asked for.
constexpr std::uint32_t kLongestInterfaceList = 1 << 20;

UsbDevices& Usb() { return *CurrentPlatform().usb; }

// The UTF-16 units of a name that starts at offset of a buffer: count of them, never
// past the buffer's end.
std::u16string NameUnits(const unsigned char* buffer, std::size_t bufferBytes, std::size_t offset, std::size_t count) {
    count = std::min(count, (bufferBytes - offset) / 2);
    std::u16string units(count, u'\0');
    if (count > 0) std::memcpy(&units[0], buffer + offset, count * 2);
    return units;
}

// The name up to its terminator, for "%ws".
std::u16string NameText(const unsigned char* buffer, std::size_t bufferBytes, std::size_t offset) {
    std::u16string text = NameUnits(buffer, bufferBytes, offset, (bufferBytes - offset) / 2);
    text.resize(std::min(text.find(u'\0'), text.size()));
    return text;
}

// The path of the hub a connection name or root hub name names: actualLength / 2 units of
// it, as far as the buffer goes.
std::string NamedHubPath(const unsigned char* buffer, std::size_t bufferBytes, std::size_t offset,
                         std::uint32_t actualLength) {
    return HubPath(*CurrentPlatform().system, NameUnits(buffer, bufferBytes, offset, actualLength / 2));
}

bool Request(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes) {
    std::uint32_t returned = 0;
    return Usb().DeviceIoControl(device, code, buffer, bytes, returned);
}

// Connection status texts; status 1 (connected) is shown as a hub or a device instead.
void LogConnectionStatus(std::uint32_t status) {
    static const char* const kTexts[] = {"No device connected", nullptr, "Device FAILED enumeration",
                                         "Device general FAILURE", "Device caused overcurrent",
                                         "Not enough power for device"};
    if (status < std::size(kTexts) && kTexts[status]) {
        LogPrintf("%s\n", kTexts[status]);
    } else {
        LogPrintf("Connection status %d\n", status);
    }
}

// A hub on a port: its name, then the hub itself, one level deeper.
void WalkChildHub(DeviceHandle hub, std::uint32_t port, int depth) {
    LogPrintf("Hub connected\n");
    ConnectionNameBuffer name{};
    name.name.ConnectionIndex = port;
    if (!Request(hub, kIoctlUsbGetNodeConnectionName, &name, sizeof name)) {
        // Nothing to open: the buffer holds no name of this port's hub.
        LogPrintf(" *** ERROR *** Node connection name not returned\n");
        return;
    }
    if (depth + 1 > kDeepestHub) {
        LogPrintf(" *** ERROR *** Hub nested too deeply, not walked\n");
        return;
    }
    const std::string path = NamedHubPath(name.bytes, sizeof name, kConnectionNameOffset, name.name.ActualLength);
    if (g_walkedHubs.Has(path)) {
        LogPrintf(" *** ERROR *** Hub already walked, not walked again\n");
        return;
    }
    UniqueDeviceHandle child(Usb(), Usb().CreateFileA(path.c_str()));
    if (child) g_walkedHubs.Add(path);
    NodeInformationBuffer node{};
    if (!child || !Request(child.get(), kIoctlUsbGetNodeInformation, &node, sizeof node)) {
        LogPrintf(" *** ERROR *** Node information not returned\n");
        return;
    }
    GetPortData(child.get(), node.node.u.HubInformation.HubDescriptor.bNumberOfPorts, depth + 1);
}

// A device on a port: its trace, then its record.
void WalkDevice(DeviceHandle hub, std::uint32_t port, const UsbDeviceDescriptor& descriptor) {
    LogPrintf("I/O device connected\n");
    const LANGID language = DisplayDeviceDescriptor(hub, port, 0, descriptor);
    DisplayConfigurationDescriptor(hub, port, language);
    g_usbPending.nHostController = g_nHostController;
    g_usbPending.nPort = static_cast<int>(port);
    g_usbPending.strPortPath = PortPathText();
    g_usbPending.nVendorId = descriptor.idVendor;
    g_usbPending.nProductId = descriptor.idProduct;
    g_usbDevices.push_back(g_usbPending);
    g_usbPending = UsbDeviceRecord{};
}

void WalkPort(DeviceHandle hub, std::uint32_t port, int depth) {
    ConnectionInformationBuffer info{};
    info.connection.ConnectionIndex = port;
    if (!Request(hub, kIoctlUsbGetNodeConnectionInformation, &info, sizeof info)) {
        LogPrintf(" *** ERROR *** Node connection information not returned\n");
        info = ConnectionInformationBuffer{};  // nothing of it is known: nothing connected
    }
    for (int level = 0; level < depth; ++level) LogPrintf("+1");
    LogPrintf(" Port[%d] = ", port);
    g_portPath.push_back(port);
    const std::uint32_t status = info.connection.ConnectionStatus;
    if (status != kDeviceConnected) {
        LogConnectionStatus(status);
        if (status != kNoDeviceConnected) {
            const UsbDeviceDescriptor& d = info.connection.DeviceDescriptor;
            g_usbPortFailures.push_back({g_nHostController, PortPathText(), status, d.idVendor, d.idProduct});
        }
    } else if (info.connection.DeviceIsHub) {
        WalkChildHub(hub, port, depth);
    } else {
        WalkDevice(hub, port, info.connection.DeviceDescriptor);
    }
    g_portPath.pop_back();
}

}  // namespace

void GetPortData(DeviceHandle hub, int ports, int depth) {
    for (int port = 1; port <= ports; ++port) WalkPort(hub, static_cast<std::uint32_t>(port), depth);
}

int GetRootHubData(DeviceHandle hostController) {
    HcdNameBuffer names{};
    if (!Request(hostController, kIoctlGetHcdDriverkeyName, &names, sizeof names)) return LogLastError("");
    g_walkedControllers.insert(NameText(names.bytes, sizeof names, kHcdNameOffset));
    LogPrintf("System name is %ws\n", NameText(names.bytes, sizeof names, kHcdNameOffset));
    // Not tested: after a failure the buffer still holds the driver key name, which then
    // fails to open as a hub and is reported as such.
    Request(hostController, kIoctlUsbGetRootHubName, &names, sizeof names);
    const std::string path = NamedHubPath(names.bytes, sizeof names, kHcdNameOffset, names.rootHub.ActualLength);
    UniqueDeviceHandle rootHub(Usb(), Usb().CreateFileA(path.c_str()));
    if (!rootHub) return LogLastError("");
    g_walkedHubs.Add(path);
    NodeInformationBuffer node{};
    if (!Request(rootHub.get(), kIoctlUsbGetNodeInformation, &node, sizeof node)) return LogLastError("");
    GetPortData(rootHub.get(), node.node.u.HubInformation.HubDescriptor.bNumberOfPorts, 0);
    return 0;
}

namespace {

// The configuration manager's list of host controller interface paths; empty when it
// can't be had. A list that grows between the two calls is asked for again.
std::vector<std::string> ListedHostControllers() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint32_t characters = 0;
        if (Usb().GetHostControllerInterfaceListSize(characters) != kCrSuccess || characters == 0 ||
            characters > kLongestInterfaceList) {
            return {};
        }
        std::vector<char> list(characters + 1, '\0');  // a NUL behind the list, whatever it holds
        const CONFIGRET result = Usb().GetHostControllerInterfaceList(list.data(), characters);
        if (result == kCrBufferSmall) continue;
        if (result != kCrSuccess) return {};
        std::vector<std::string> paths;
        for (const char* at = list.data(); at < list.data() + characters && *at != '\0'; at += paths.back().size() + 1) {
            paths.emplace_back(at);
        }
        return paths;
    }
    return {};
}

// A listed controller: walked unless its driver key is one walked already.
int WalkListedHostController(const std::string& path) {
    UniqueDeviceHandle hostController(Usb(), Usb().CreateFileA(path.c_str()));
    if (!hostController) return 0;
    HcdNameBuffer names{};
    if (Request(hostController.get(), kIoctlGetHcdDriverkeyName, &names, sizeof names) &&
        g_walkedControllers.count(NameText(names.bytes, sizeof names, kHcdNameOffset))) {
        return 0;
    }
    LogPrintf("\nHost Controller %s found. ", path);
    return GetRootHubData(hostController.get());
}

}  // namespace

int EnumerateHostControllers() {
    if (!CurrentPlatform().usb) return 0;
    g_walkedHubs.Clear();
    g_walkedControllers.clear();
    int result = 0;
    for (int n = 0; n <= 9; ++n) {
        g_nHostController = n;
        char path[] = "\\\\.\\HCD0";
        path[sizeof path - 2] = static_cast<char>('0' + n);
        UniqueDeviceHandle hostController(Usb(), Usb().CreateFileA(path));
        if (!hostController || result != 0) continue;
        LogPrintf("\nHost Controller %s found. ", path);
        result = GetRootHubData(hostController.get());
    }
    // As after a failing link, the first failing controller ends the walking.
    if (result != 0) return result;
    const std::vector<std::string> listed = ListedHostControllers();
    for (std::size_t i = 0; i < listed.size() && result == 0; ++i) {
        g_nHostController = kFirstListedController + static_cast<int>(i);
        result = WalkListedHostController(listed[i]);
    }
    return result;
}

void ResetUsbWalk() {
    g_usbPending = UsbDeviceRecord{};
    g_nHostController = 0;
    g_walkedHubs.Clear();
    g_walkedControllers.clear();
    g_portPath.clear();
}

}  // namespace portiq
