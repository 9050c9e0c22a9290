#include "platform/synthetic/synthetic_usb.h"

#include <algorithm>
#include <cstring>

#include "devtree/ansi_text.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/synthetic_platform.h"

namespace portiq::synthetic {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr std::size_t kDevicePrefixLength = sizeof kDevicePrefix - 1;

template <typename T>
T ReadAt(const unsigned char* buffer, std::size_t offset) {
    T value;
    std::memcpy(&value, buffer + offset, sizeof value);
    return value;
}

}  // namespace

std::string HubNameKey(const std::u16string& name) {
    std::string key;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        // A surrogate pair is one character, as WideToCodePage takes it.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) ++i;
        key += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return UpperCaseAscii(key);
}

bool SyntheticUsb::AddHostController(int n, SyntheticHostController controller) {
    if (n < 0 || n >= kHostControllers || controllers_[n]) return false;
    controllers_[n] = std::move(controller);
    return true;
}

SyntheticHostController* SyntheticUsb::HostController(int n) {
    return n >= 0 && n < kHostControllers && controllers_[n] ? &*controllers_[n] : nullptr;
}

int SyntheticUsb::AddHub(const std::u16string& name, std::size_t ports) {
    // An empty name opens no hub, so any number of hubs may have it.
    if (ports > kMostPorts || (!name.empty() && !namesTaken_.insert(HubNameKey(name)).second)) return -1;
    hubs_.push_back(SyntheticHub{name, std::vector<SyntheticPort>(ports)});
    hubsByName_.clear();
    return static_cast<int>(hubs_.size()) - 1;
}

bool SyntheticUsb::Fail(std::uint32_t code) {
    if (system_) system_->lastError = code;
    return false;
}

// ---- opening and closing ----

DeviceHandle SyntheticUsb::Open(bool hostController, int index) {
    const DeviceHandle handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = Opened{hostController, index};
    return handle;
}

int SyntheticUsb::FindHub(const std::string& name) {
    if (hubsByName_.empty()) {
        const unsigned codePage = system_ ? system_->codePage : 1252;
        for (std::size_t i = 0; i < hubs_.size(); ++i) {
            const std::u16string& wide = hubs_[i].name;
            std::string ansi(3 * wide.size() + 1, '\0');
            ansi.resize(std::max(0, WideToCodePage(codePage, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                                                   static_cast<int>(ansi.size()), nullptr)));
            hubsByName_.emplace(UpperCaseAscii(ansi), static_cast<int>(i));
        }
    }
    const auto found = hubsByName_.find(UpperCaseAscii(name));
    return found == hubsByName_.end() ? -1 : found->second;
}

DeviceHandle SyntheticUsb::CreateFileA(const char* path) {
    const std::string text = path ? path : "";
    if (text.compare(0, kDevicePrefixLength, kDevicePrefix) != 0) {
        Fail(kErrorFileNotFound);
        return kInvalidDeviceHandle;
    }
    const std::string name = text.substr(kDevicePrefixLength);
    if (name.size() == 4 && UpperCaseAscii(name.substr(0, 3)) == "HCD" && name[3] >= '0' && name[3] <= '9') {
        const SyntheticHostController* controller = HostController(name[3] - '0');
        if (!controller || controller->openError) {
            Fail(controller ? controller->openError : kErrorFileNotFound);
            return kInvalidDeviceHandle;
        }
        return Open(true, name[3] - '0');
    }
    const int hub = name.empty() ? -1 : FindHub(name);
    if (hub < 0 || hubs_[hub].openError) {
        Fail(hub < 0 ? kErrorFileNotFound : hubs_[hub].openError);
        return kInvalidDeviceHandle;
    }
    return Open(false, hub);
}

bool SyntheticUsb::CloseHandle(DeviceHandle device) {
    if (handles_.erase(device) == 0) return Fail(kErrorInvalidHandle);
    return true;
}

// ---- requests ----

void SyntheticUsb::Record(std::uint32_t code, const unsigned char* buffer, std::uint32_t bytes) {
    UsbRequest request;
    request.code = code;
    request.bytes = bytes;
    const bool namesPort = code != kIoctlGetHcdDriverkeyName && code != kIoctlUsbGetRootHubName;
    if (buffer && namesPort && bytes >= 4) request.connectionIndex = ReadAt<std::uint32_t>(buffer, 0);
    if (buffer && code == kIoctlUsbGetDescriptorFromNodeConnection && bytes >= sizeof(UsbDescriptorRequest)) {
        const auto setup = ReadAt<UsbDescriptorRequest>(buffer, 0).SetupPacket;
        request.bmRequest = setup.bmRequest;
        request.bRequest = setup.bRequest;
        request.wValue = setup.wValue;
        request.wIndex = setup.wIndex;
        request.wLength = setup.wLength;
    }
    requests.push_back(request);
}

bool SyntheticUsb::DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                                   std::uint32_t& returned) {
    returned = 0;
    auto* data = static_cast<unsigned char*>(buffer);
    const auto opened = handles_.find(device);
    if (opened == handles_.end()) return Fail(kErrorInvalidHandle);
    if (recordRequests) Record(code, data, bytes);
    if (!data && bytes > 0) return Fail(kErrorInvalidParameter);
    if (opened->second.hostController) {
        return HostControllerRequest(*controllers_[opened->second.index], code, data, bytes, returned);
    }
    return HubRequest(hubs_[opened->second.index], code, data, bytes, returned);
}

bool SyntheticUsb::HostControllerRequest(const SyntheticHostController& controller, std::uint32_t code,
                                         unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned) {
    if (code == kIoctlGetHcdDriverkeyName) {
        if (controller.driverKeyError) return Fail(controller.driverKeyError);
        return AnswerName(controller.driverKey, kHcdNameOffset, buffer, bytes, returned);
    }
    if (code == kIoctlUsbGetRootHubName) {
        if (controller.rootHubNameError) return Fail(controller.rootHubNameError);
        const std::u16string name = controller.rootHub >= 0 ? hubs_[controller.rootHub].name : u"";
        return AnswerName(name, kHcdNameOffset, buffer, bytes, returned);
    }
    return Fail(kErrorInvalidFunction);
}

bool SyntheticUsb::HubRequest(const SyntheticHub& hub, std::uint32_t code, unsigned char* buffer,
                              std::uint32_t bytes, std::uint32_t& returned) {
    if (code == kIoctlUsbGetNodeInformation) return AnswerNodeInformation(hub, buffer, bytes, returned);
    if (code == kIoctlUsbGetNodeConnectionInformation) return AnswerConnectionInformation(hub, buffer, bytes, returned);
    if (code == kIoctlUsbGetDescriptorFromNodeConnection) return AnswerDescriptor(hub, buffer, bytes, returned);
    if (code != kIoctlUsbGetNodeConnectionName && code != kIoctlUsbGetNodeConnectionDriverkeyName) {
        return Fail(kErrorInvalidFunction);
    }
    if (bytes < sizeof(UsbNodeConnectionName)) return Fail(kErrorInsufficientBuffer);
    const SyntheticPort* port = PortOf(hub, buffer);
    if (!port) return false;
    if (code == kIoctlUsbGetNodeConnectionName) {
        if (port->connectionNameError) return Fail(port->connectionNameError);
        const std::u16string name = port->hub >= 0 ? hubs_[port->hub].name : u"";
        return AnswerName(name, kConnectionNameOffset, buffer, bytes, returned);
    }
    if (port->status != kDeviceConnected) return Fail(kErrorDeviceNotConnected);
    if (port->driverKeyError) return Fail(port->driverKeyError);
    return AnswerName(port->driverKey.value_or(u""), kConnectionNameOffset, buffer, bytes, returned);
}

// The port a request's ConnectionIndex names; fails the request when there is none.
const SyntheticPort* SyntheticUsb::PortOf(const SyntheticHub& hub, const unsigned char* buffer) {
    const auto index = ReadAt<std::uint32_t>(buffer, 0);
    if (index == 0 || index > hub.ports.size()) {
        Fail(kErrorInvalidParameter);
        return nullptr;
    }
    return &hub.ports[index - 1];
}

// ActualLength is always written; the name and its terminator only when all of them fit.
bool SyntheticUsb::AnswerName(const std::u16string& name, std::size_t nameOffset, unsigned char* buffer,
                              std::uint32_t bytes, std::uint32_t& returned) {
    const std::size_t structure = nameOffset + sizeof(char16_t);
    if (bytes < structure) return Fail(kErrorInsufficientBuffer);
    const auto actualLength = static_cast<std::uint32_t>(nameOffset + 2 * (name.size() + 1));
    std::memcpy(buffer + nameOffset - sizeof actualLength, &actualLength, sizeof actualLength);
    if (bytes < actualLength) {
        returned = static_cast<std::uint32_t>(structure);
        return true;
    }
    std::memcpy(buffer + nameOffset, name.c_str(), 2 * (name.size() + 1));
    returned = actualLength;
    return true;
}

bool SyntheticUsb::AnswerNodeInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                         std::uint32_t& returned) {
    if (hub.informationError) return Fail(hub.informationError);
    if (bytes < sizeof(UsbNodeInformation)) return Fail(kErrorInsufficientBuffer);
    UsbNodeInformation node{};
    node.NodeType = 0;  // UsbHub
    node.u.HubInformation.HubDescriptor.bDescriptorLength = 9;
    node.u.HubInformation.HubDescriptor.bDescriptorType = kHubDescriptorType;
    node.u.HubInformation.HubDescriptor.bNumberOfPorts = static_cast<std::uint8_t>(hub.ports.size());
    node.u.HubInformation.HubDescriptor.bPowerOnToPowerGood = 50;
    node.u.HubInformation.HubDescriptor.bHubControlCurrent = 100;
    std::memcpy(buffer, &node, sizeof node);
    returned = sizeof node;
    return true;
}

bool SyntheticUsb::AnswerConnectionInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                               std::uint32_t& returned) {
    if (bytes < sizeof(UsbNodeConnectionInformation)) return Fail(kErrorInsufficientBuffer);
    const SyntheticPort* port = PortOf(hub, buffer);
    if (!port) return false;
    if (port->connectionInformationError) return Fail(port->connectionInformationError);
    const bool connected = port->status == kDeviceConnected;
    UsbNodeConnectionInformation info{};
    info.ConnectionIndex = ReadAt<std::uint32_t>(buffer, 0);
    if (connected) std::memcpy(&info.DeviceDescriptor, port->deviceDescriptor.data(), sizeof info.DeviceDescriptor);
    info.CurrentConfigurationValue = connected ? 1 : 0;
    info.DeviceIsHub = port->hub >= 0 ? 1 : 0;
    info.DeviceAddress = static_cast<std::uint16_t>(connected ? info.ConnectionIndex : 0);
    info.NumberOfOpenPipes = 0;
    info.ConnectionStatus = port->status;
    std::memcpy(buffer, &info, sizeof info);
    returned = sizeof info;
    return true;
}

bool SyntheticUsb::AnswerDescriptor(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                    std::uint32_t& returned) {
    if (bytes < sizeof(UsbDescriptorRequest)) return Fail(kErrorInsufficientBuffer);
    const SyntheticPort* port = PortOf(hub, buffer);
    if (!port) return false;
    if (port->status != kDeviceConnected) return Fail(kErrorDeviceNotConnected);
    const auto setup = ReadAt<UsbDescriptorRequest>(buffer, 0).SetupPacket;
    const unsigned type = setup.wValue >> 8, index = setup.wValue & 0xFF;
    DescriptorAnswer device;
    const DescriptorAnswer* answer = nullptr;
    if (type == kDeviceDescriptorType && index == 0) {
        device.bytes.assign(port->deviceDescriptor.begin(), port->deviceDescriptor.end());
        answer = &device;
    } else if (type == kConfigurationDescriptorType && index == 0 && port->configuration) {
        answer = &*port->configuration;
    } else if (type == kStringDescriptorType) {
        auto found = port->strings.find({static_cast<std::uint8_t>(index), setup.wIndex});
        if (found == port->strings.end()) found = port->strings.find({static_cast<std::uint8_t>(index), kAnyLanguage});
        if (found != port->strings.end()) answer = &found->second;
    }
    if (!answer) return Fail(kErrorGenFailure);  // the device stalls
    if (answer->error) return Fail(answer->error);
    const std::size_t length = std::min<std::size_t>(
        {answer->bytes.size(), setup.wLength, bytes - sizeof(UsbDescriptorRequest)});
    if (length > 0) std::memcpy(buffer + sizeof(UsbDescriptorRequest), answer->bytes.data(), length);
    returned = static_cast<std::uint32_t>(sizeof(UsbDescriptorRequest) + length);
    return true;
}

}  // namespace portiq::synthetic
