// A machine's USB host controllers, hubs and devices, answering the host-controller and
// hub requests of usb_requests.h with the buffer rules the USB drivers keep (see the
// contract of UsbDevices in platform.h). Loaded from a scenario file or built by a test.
//
// Host controller n opens as "\\.\HCDn"; a hub opens as "\\.\" followed by its name (in
// the machine's code page, letters in either case). Ports are numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace portiq::synthetic {

class SyntheticSystem;

// What a descriptor request gets: the bytes the device sends (cut to wLength), or the
// error the request fails with.
struct DescriptorAnswer {
    std::vector<std::uint8_t> bytes;
    std::uint32_t error = 0;
};

// A string descriptor given for this language answers every language it is asked in.
inline constexpr std::uint32_t kAnyLanguage = 0x10000;

// What is on a port, as far as the hub's requests reveal it.
struct SyntheticPort {
    std::uint32_t status = kNoDeviceConnected;  // USB_CONNECTION_STATUS
    int hub = -1;  // the hub on this port (an index of SyntheticUsb's hubs), or -1
    // The device's descriptor as the connection information carries it (a hub has one too).
    std::array<std::uint8_t, sizeof(UsbDeviceDescriptor)> deviceDescriptor{};
    std::optional<DescriptorAnswer> configuration;  // configuration 0 and all that follows; absent: stalls
    std::map<std::pair<std::uint8_t, std::uint32_t>, DescriptorAnswer> strings;  // by index and language
    std::optional<std::u16string> driverKey;  // absent: the driver key name is empty
    // Errors the port's requests fail with; 0: answered.
    std::uint32_t connectionInformationError = 0;
    std::uint32_t connectionNameError = 0;
    std::uint32_t driverKeyError = 0;
};

struct SyntheticHub {
    std::u16string name;
    std::vector<SyntheticPort> ports;  // ports[0] is port 1; at most 255
    std::uint32_t openError = 0;        // CreateFileA fails with it
    std::uint32_t informationError = 0;  // node information fails with it
};

struct SyntheticHostController {
    std::u16string driverKey;
    int rootHub = -1;  // -1: the root hub's name is empty
    std::uint32_t openError = 0;
    std::uint32_t driverKeyError = 0;
    std::uint32_t rootHubNameError = 0;
};

// One request as the walk sent it, for tests of the requests themselves.
struct UsbRequest {
    std::uint32_t code = 0;
    std::uint32_t bytes = 0;            // the buffer's size
    std::uint32_t connectionIndex = 0;  // the port asked about, where the request names one
    std::uint8_t bmRequest = 0, bRequest = 0;            // a descriptor request's setup packet
    std::uint16_t wValue = 0, wIndex = 0, wLength = 0;
};

// A hub's name as every code page keeps it apart: ASCII letters in upper case (a hub's
// path opens in either case), every other character '?' (a code page lacks it, which
// makes '?', or holds it as a byte that isn't ASCII). Names that differ here open
// different hubs in any code page; names that don't may open the same one.
std::string HubNameKey(const std::u16string& name);

class SyntheticUsb : public UsbDevices {
public:
    static constexpr int kHostControllers = 10;
    static constexpr std::size_t kMostPorts = 255;

    // Where failures leave their error code, and the code page hub paths are written in.
    void Attach(SyntheticSystem& system) { system_ = &system; }

    // Adds host controller n (0 to 9); false when it is there already.
    bool AddHostController(int n, SyntheticHostController controller);
    SyntheticHostController* HostController(int n);
    // Adds a hub with ports empty ports; -1 when another hub's name has the same
    // HubNameKey (the walk couldn't tell the two apart; empty names open nothing and may
    // repeat) or there are more than 255 ports.
    int AddHub(const std::u16string& name, std::size_t ports);
    SyntheticHub& Hub(int index) { return hubs_[index]; }
    std::size_t HubCount() const { return hubs_.size(); }

    std::size_t OpenHandleCount() const { return handles_.size(); }
    bool recordRequests = false;     // keep every request in requests
    std::vector<UsbRequest> requests;

    DeviceHandle CreateFileA(const char* path) override;
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                         std::uint32_t& returned) override;
    bool CloseHandle(DeviceHandle device) override;

private:
    struct Opened {
        bool hostController;
        int index;
    };

    bool Fail(std::uint32_t code);
    void Record(std::uint32_t code, const unsigned char* buffer, std::uint32_t bytes);
    int FindHub(const std::string& name);
    DeviceHandle Open(bool hostController, int index);
    bool HostControllerRequest(const SyntheticHostController& controller, std::uint32_t code, unsigned char* buffer,
                               std::uint32_t bytes, std::uint32_t& returned);
    bool HubRequest(const SyntheticHub& hub, std::uint32_t code, unsigned char* buffer, std::uint32_t bytes,
                    std::uint32_t& returned);
    const SyntheticPort* PortOf(const SyntheticHub& hub, const unsigned char* buffer);
    bool AnswerName(const std::u16string& name, std::size_t nameOffset, unsigned char* buffer, std::uint32_t bytes,
                    std::uint32_t& returned);
    bool AnswerNodeInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                               std::uint32_t& returned);
    bool AnswerConnectionInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                     std::uint32_t& returned);
    bool AnswerDescriptor(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                          std::uint32_t& returned);

    SyntheticSystem* system_ = nullptr;
    std::array<std::optional<SyntheticHostController>, kHostControllers> controllers_;
    std::vector<SyntheticHub> hubs_;
    std::unordered_set<std::string> namesTaken_;       // every hub's HubNameKey
    std::unordered_map<std::string, int> hubsByName_;  // upper-cased ANSI name; built on demand
    std::unordered_map<DeviceHandle, Opened> handles_;
    DeviceHandle nextHandle_ = 0x1000;
};

}  // namespace portiq::synthetic
