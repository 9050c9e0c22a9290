#include "platform/synthetic/synthetic_usb.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/text.h"
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

SyntheticPort& SyntheticPorts::at(std::size_t index) {
    if (index >= count_) throw std::out_of_range("no such port");
    return stated_[index];
}

const SyntheticPort* SyntheticPorts::Find(std::size_t index) const {
    const auto found = stated_.find(index);
    return found == stated_.end() ? nullptr : &found->second;
}

bool SyntheticUsb::AddHostController(int n, SyntheticHostController controller) {
    if (n == kNoLink ? controller.interfacePath.empty() : n < 0 || n >= kHostControllers || links_[n] >= 0) return false;
    if (!controller.interfacePath.empty() && FindInterface(controller.interfacePath) >= 0) return false;
    if (n != kNoLink) links_[n] = static_cast<int>(controllers_.size());
    controllers_.push_back(Controller{n, std::move(controller)});
    return true;
}

SyntheticHostController* SyntheticUsb::HostController(int n) {
    return n >= 0 && n < kHostControllers && links_[n] >= 0 ? &controllers_[links_[n]].controller : nullptr;
}

int SyntheticUsb::AddHub(const std::u16string& name, std::size_t ports) {
    // An empty name opens no hub, so any number of hubs may have it.
    if (ports > kMostPorts || (!name.empty() && !namesTaken_.insert(HubNameKey(name)).second)) return -1;
    hubs_.push_back(SyntheticHub{name, SyntheticPorts(ports), {}, {}});
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

// A host controller whose interface path this is (letters in either case), or -1.
int SyntheticUsb::FindInterface(const std::string& path) const {
    const std::string key = UpperCaseAscii(path);
    for (std::size_t i = 0; i < controllers_.size(); ++i) {
        const std::string& own = controllers_[i].controller.interfacePath;
        if (!own.empty() && UpperCaseAscii(own) == key) return static_cast<int>(i);
    }
    return -1;
}

DeviceHandle SyntheticUsb::CreateFileA(const char* path) {
    const std::string text = path ? path : "";
    const int listed = text.empty() ? -1 : FindInterface(text);
    if (listed >= 0) {
        const auto& error = controllers_[listed].controller.openError;
        if (error) {
            Fail(*error);
            return kInvalidDeviceHandle;
        }
        return Open(true, listed);
    }
    if (text.compare(0, kDevicePrefixLength, kDevicePrefix) != 0) {
        Fail(kErrorFileNotFound);
        return kInvalidDeviceHandle;
    }
    const std::string name = text.substr(kDevicePrefixLength);
    if (name.size() == 4 && UpperCaseAscii(name.substr(0, 3)) == "HCD" && name[3] >= '0' && name[3] <= '9') {
        const SyntheticHostController* controller = HostController(name[3] - '0');
        if (!controller || controller->openError) {
            Fail(controller ? *controller->openError : kErrorFileNotFound);
            return kInvalidDeviceHandle;
        }
        return Open(true, links_[name[3] - '0']);
    }
    const int hub = name.empty() ? -1 : FindHub(name);
    if (hub < 0 || hubs_[hub].openError) {
        Fail(hub < 0 ? kErrorFileNotFound : *hubs_[hub].openError);
        return kInvalidDeviceHandle;
    }
    return Open(false, hub);
}

bool SyntheticUsb::CloseHandle(DeviceHandle device) {
    if (handles_.erase(device) == 0) return Fail(kErrorInvalidHandle);
    return true;
}

// ---- the configuration manager's list of host controller interfaces ----

CONFIGRET SyntheticUsb::GetHostControllerInterfaceListSize(std::uint32_t& length) {
    std::size_t characters = 1;
    for (const Controller& c : controllers_) {
        if (!c.controller.interfacePath.empty()) characters += c.controller.interfacePath.size() + 1;
    }
    length = static_cast<std::uint32_t>(characters);
    return kCrSuccess;
}

CONFIGRET SyntheticUsb::GetHostControllerInterfaceList(char* buffer, std::uint32_t length) {
    if (!buffer) return kCrInvalidPointer;
    std::string list;
    for (const Controller& c : controllers_) {
        if (!c.controller.interfacePath.empty()) list += c.controller.interfacePath + '\0';
    }
    list += '\0';
    if (list.size() > length) return kCrBufferSmall;
    std::memcpy(buffer, list.data(), list.size());
    return kCrSuccess;
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
        return HostControllerRequest(controllers_[opened->second.index].controller, code, data, bytes, returned);
    }
    return HubRequest(opened->second.index, code, data, bytes, returned);
}

bool SyntheticUsb::HostControllerRequest(const SyntheticHostController& controller, std::uint32_t code,
                                         unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned) {
    if (code == kIoctlGetHcdDriverkeyName) {
        if (controller.driverKeyError) return Fail(*controller.driverKeyError);
        return AnswerName(controller.driverKey, controller.driverKeyLength, kHcdNameOffset, buffer, bytes, returned);
    }
    if (code == kIoctlUsbGetRootHubName) {
        if (controller.rootHubNameError) return Fail(*controller.rootHubNameError);
        const std::u16string name = controller.rootHub >= 0 ? hubs_[controller.rootHub].name : u"";
        return AnswerName(name, std::nullopt, kHcdNameOffset, buffer, bytes, returned);
    }
    return Fail(kErrorInvalidFunction);
}

bool SyntheticUsb::HubRequest(int hub, std::uint32_t code, unsigned char* buffer, std::uint32_t bytes,
                              std::uint32_t& returned) {
    if (code == kIoctlUsbGetNodeInformation) return AnswerNodeInformation(hubs_[hub], buffer, bytes, returned);
    if (code == kIoctlUsbGetNodeConnectionInformation) return AnswerConnectionInformation(hubs_[hub], buffer, bytes, returned);
    if (code == kIoctlUsbGetDescriptorFromNodeConnection) return AnswerDescriptor(hub, buffer, bytes, returned);
    if (code != kIoctlUsbGetNodeConnectionName && code != kIoctlUsbGetNodeConnectionDriverkeyName) {
        return Fail(kErrorInvalidFunction);
    }
    if (bytes < sizeof(UsbNodeConnectionName)) return Fail(kErrorInsufficientBuffer);
    const SyntheticPort* port = PortOf(hubs_[hub], buffer);
    if (!port) return false;
    if (code == kIoctlUsbGetNodeConnectionName) {
        if (port->connectionNameError) return Fail(*port->connectionNameError);
        const std::u16string name = port->hub >= 0 ? hubs_[port->hub].name : u"";
        return AnswerName(name, std::nullopt, kConnectionNameOffset, buffer, bytes, returned);
    }
    return AnswerDriverKey(*port, buffer, bytes, returned);
}

// The port a request's ConnectionIndex names; fails the request when there is none.
const SyntheticPort* SyntheticUsb::PortOf(const SyntheticHub& hub, const unsigned char* buffer) {
    static const SyntheticPort kNothingConnected;
    const auto index = ReadAt<std::uint32_t>(buffer, 0);
    if (index == 0 || index > hub.ports.size()) {
        Fail(kErrorInvalidParameter);
        return nullptr;
    }
    const SyntheticPort* port = hub.ports.Find(index - 1);
    return port ? port : &kNothingConnected;
}

// ActualLength is always written (as the driver reports it); the name and its
// terminator only when all of them fit.
bool SyntheticUsb::AnswerName(const std::u16string& name, const std::optional<std::uint32_t>& reportedLength,
                              std::size_t nameOffset, unsigned char* buffer, std::uint32_t bytes,
                              std::uint32_t& returned) {
    const std::size_t structure = nameOffset + sizeof(char16_t);
    if (bytes < structure) return Fail(kErrorInsufficientBuffer);
    const auto wholeLength = static_cast<std::uint32_t>(nameOffset + 2 * (name.size() + 1));
    const std::uint32_t actualLength = reportedLength.value_or(wholeLength);
    std::memcpy(buffer + nameOffset - sizeof actualLength, &actualLength, sizeof actualLength);
    if (bytes < wholeLength) {
        returned = static_cast<std::uint32_t>(structure);
        return true;
    }
    std::memcpy(buffer + nameOffset, name.c_str(), 2 * (name.size() + 1));
    returned = wholeLength;
    return true;
}

// The driver key name: a request whose buffer is smaller than ActualLength is the size
// query, one that holds it asks for the name; each may fail on its own.
bool SyntheticUsb::AnswerDriverKey(const SyntheticPort& port, unsigned char* buffer, std::uint32_t bytes,
                                   std::uint32_t& returned) {
    if (port.status != kDeviceConnected) return Fail(kErrorDeviceNotConnected);
    const std::u16string name = port.driverKey.value_or(u"");
    const std::uint32_t actualLength =
        port.driverKeyLength.value_or(static_cast<std::uint32_t>(kConnectionNameOffset + 2 * (name.size() + 1)));
    const std::optional<std::uint32_t>& error = bytes < actualLength ? port.driverKeySizeError : port.driverKeyError;
    if (error) return Fail(*error);
    return AnswerName(name, port.driverKeyLength, kConnectionNameOffset, buffer, bytes, returned);
}

bool SyntheticUsb::AnswerNodeInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                         std::uint32_t& returned) {
    if (hub.informationError) return Fail(*hub.informationError);
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
    if (port->connectionInformationError) return Fail(*port->connectionInformationError);
    const bool connected = port->status == kDeviceConnected;
    UsbNodeConnectionInformation info{};
    info.ConnectionIndex = ReadAt<std::uint32_t>(buffer, 0);
    // What enumeration read before it failed (a device short of power has given it).
    std::memcpy(&info.DeviceDescriptor, port->deviceDescriptor.data(), sizeof info.DeviceDescriptor);
    info.CurrentConfigurationValue = connected ? 1 : 0;
    info.DeviceIsHub = port->hub >= 0 ? 1 : 0;
    info.DeviceAddress = static_cast<std::uint16_t>(connected ? info.ConnectionIndex : 0);
    info.NumberOfOpenPipes = 0;
    info.ConnectionStatus = port->status;
    std::memcpy(buffer, &info, sizeof info);
    returned = sizeof info;
    return true;
}

// The answer a string descriptor gives to this request of the run: the one whose turn it
// is in its sequence, counted for each language apart.
const DescriptorAnswer& SyntheticUsb::InSequence(const DescriptorAnswer& first, int hub, std::uint32_t port,
                                                 std::uint16_t value, std::uint16_t language) {
    if (first.later.empty()) return first;
    std::uint32_t turn = asked_[{hub, port, value, language}]++;
    const DescriptorAnswer* answer = &first;
    for (std::size_t next = 0; next < first.later.size() && answer->times != 0 && turn >= answer->times; ++next) {
        turn -= answer->times;
        answer = &first.later[next];
    }
    return *answer;
}

bool SyntheticUsb::AnswerDescriptor(int hubIndex, unsigned char* buffer, std::uint32_t bytes,
                                    std::uint32_t& returned) {
    if (bytes < sizeof(UsbDescriptorRequest)) return Fail(kErrorInsufficientBuffer);
    const SyntheticPort* port = PortOf(hubs_[hubIndex], buffer);
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
        if (found != port->strings.end()) {
            answer = &InSequence(found->second, hubIndex, ReadAt<std::uint32_t>(buffer, 0), setup.wValue, setup.wIndex);
        }
    }
    if (!answer) return Fail(kErrorGenFailure);  // the device stalls
    if (answer->error) return Fail(*answer->error);
    const std::size_t length = std::min<std::size_t>(
        {answer->bytes.size(), setup.wLength, bytes - sizeof(UsbDescriptorRequest)});
    if (length > 0) std::memcpy(buffer + sizeof(UsbDescriptorRequest), answer->bytes.data(), length);
    returned = static_cast<std::uint32_t>(sizeof(UsbDescriptorRequest) + length);
    return true;
}

}  // namespace portiq::synthetic
