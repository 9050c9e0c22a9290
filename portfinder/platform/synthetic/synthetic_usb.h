// A machine's USB host controllers, hubs and devices, answering the host-controller and
// hub requests of usb_requests.h with the buffer rules the USB drivers keep (see the
// contract of UsbDevices in platform.h). Loaded from a scenario file or built by a test.
//
// Host controller n opens as "\\.\HCDn", and by its device interface path if it has
// one; a controller without such a link opens by its path only. A hub opens as "\\.\"
// followed by its name (in the machine's code page, letters in either case). Ports are
// numbered from 1.
//
// Building a machine: AddHub for each hub (root hubs too), then AddHostController with
// its root hub's index; fill each hub's ports (a port with a hub names the hub's index).
// Every request is then answered from these structures as the drivers answer it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace portiq::synthetic {

class SyntheticSystem;

// What a descriptor request gets: the bytes the device sends (cut to wLength), or the
// error the request fails with. A string descriptor may answer otherwise when it is
// asked again (a device that gives its language list once, then stalls): this answer
// holds for `times` requests, then the answers of `later` follow in order, each for its
// own `times`, and the last one for every request after. Each language asked counts its
// requests apart.
struct DescriptorAnswer {
    std::vector<std::uint8_t> bytes;
    std::optional<std::uint32_t> error{};   // absent: answered; else the last error it fails with (0 too)
    std::uint32_t times = 0;                // 0: for every request
    std::vector<DescriptorAnswer> later{};  // only the first answer's is read
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
    // ActualLength of the driver key name as a driver that misreports it answers; absent:
    // the name's own length.
    std::optional<std::uint32_t> driverKeyLength{};
    // Errors the port's requests fail with; absent: answered. The driver key name is
    // asked twice: first in a buffer smaller than ActualLength (the size query), which
    // driverKeySizeError fails, then in one that holds it, which driverKeyError fails.
    std::optional<std::uint32_t> connectionInformationError{};
    std::optional<std::uint32_t> connectionNameError{};
    std::optional<std::uint32_t> driverKeySizeError{};
    std::optional<std::uint32_t> driverKeyError{};
};

// A hub's ports 1 to size(), indexed from 0 as a vector would be. Only a port that was
// reached for writing takes memory; every other one holds nothing (no device connected),
// so that a hub of 255 ports costs what its stated ports cost.
class SyntheticPorts {
public:
    explicit SyntheticPorts(std::size_t count = 0) : count_(count) {}
    std::size_t size() const { return count_; }
    // The port at index, made when it isn't there yet; std::out_of_range past size().
    SyntheticPort& at(std::size_t index);
    SyntheticPort& operator[](std::size_t index) { return at(index); }
    // The port at index, or nullptr for one that holds nothing or isn't there.
    const SyntheticPort* Find(std::size_t index) const;
    // The ports that were reached for writing, by index.
    const std::map<std::size_t, SyntheticPort>& Stated() const { return stated_; }

private:
    std::size_t count_;
    std::map<std::size_t, SyntheticPort> stated_;
};

struct SyntheticHub {
    std::u16string name;
    SyntheticPorts ports;  // at most 255
    std::optional<std::uint32_t> openError{};         // CreateFileA fails with it
    std::optional<std::uint32_t> informationError{};  // node information fails with it
};

struct SyntheticHostController {
    std::u16string driverKey;
    int rootHub = -1;  // -1: the root hub's name is empty
    // Its device interface path, ANSI ("\\?\PCI#VEN_8086&...#{3abf6f2d-...}"): the
    // configuration manager lists it, and it opens the controller. Empty: not listed.
    std::string interfacePath{};
    // ActualLength of the driver key name as a driver that misreports it answers; absent:
    // the name's own length. (A hub's name is written as the walk opens it, whatever
    // length was reported, so only the driver keys need this.)
    std::optional<std::uint32_t> driverKeyLength{};
    std::optional<std::uint32_t> openError{};
    std::optional<std::uint32_t> driverKeyError{};
    std::optional<std::uint32_t> rootHubNameError{};
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
    static constexpr int kNoLink = -1;
    static constexpr std::size_t kMostPorts = 255;

    // Where failures leave their error code, and the code page hub paths are written in.
    void Attach(SyntheticSystem& system) { system_ = &system; }

    // Adds a host controller with link n, "\\.\HCDn" (0 to 9), or with kNoLink, for one
    // Windows gave no such link: that one needs an interface path. False when the link is
    // taken, a controller without one has no path, or another controller has the path.
    bool AddHostController(int n, SyntheticHostController controller);
    SyntheticHostController* HostController(int n);  // by link; nullptr when none has it
    // Every controller, in the order added (the order the interface list gives).
    std::size_t HostControllerCount() const { return controllers_.size(); }
    SyntheticHostController& HostControllerAt(std::size_t index) { return controllers_[index].controller; }
    // Adds a hub with ports empty ports; -1 when another hub's name has the same
    // HubNameKey (the walk couldn't tell the two apart; empty names open nothing and may
    // repeat) or there are more than 255 ports.
    int AddHub(const std::u16string& name, std::size_t ports);
    SyntheticHub& Hub(int index) { return hubs_[index]; }
    std::size_t HubCount() const { return hubs_.size(); }

    // Every string descriptor starts its answers again from the first (a new run).
    void Rewind() { asked_.clear(); }

    std::size_t OpenHandleCount() const { return handles_.size(); }
    bool recordRequests = false;     // keep every request in requests
    std::vector<UsbRequest> requests;

    DeviceHandle CreateFileA(const char* path) override;
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                         std::uint32_t& returned) override;
    bool CloseHandle(DeviceHandle device) override;
    CONFIGRET GetHostControllerInterfaceListSize(std::uint32_t& length) override;
    CONFIGRET GetHostControllerInterfaceList(char* buffer, std::uint32_t length) override;

private:
    struct Opened {
        bool hostController;
        int index;  // of controllers_ or of hubs_
    };
    struct Controller {
        int link;
        SyntheticHostController controller;
    };

    bool Fail(std::uint32_t code);
    void Record(std::uint32_t code, const unsigned char* buffer, std::uint32_t bytes);
    int FindHub(const std::string& name);
    int FindInterface(const std::string& path) const;
    DeviceHandle Open(bool hostController, int index);
    bool HostControllerRequest(const SyntheticHostController& controller, std::uint32_t code, unsigned char* buffer,
                               std::uint32_t bytes, std::uint32_t& returned);
    bool HubRequest(int hub, std::uint32_t code, unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned);
    const SyntheticPort* PortOf(const SyntheticHub& hub, const unsigned char* buffer);
    bool AnswerName(const std::u16string& name, const std::optional<std::uint32_t>& reportedLength,
                    std::size_t nameOffset, unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned);
    bool AnswerDriverKey(const SyntheticPort& port, unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned);
    bool AnswerNodeInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                               std::uint32_t& returned);
    bool AnswerConnectionInformation(const SyntheticHub& hub, unsigned char* buffer, std::uint32_t bytes,
                                     std::uint32_t& returned);
    bool AnswerDescriptor(int hub, unsigned char* buffer, std::uint32_t bytes, std::uint32_t& returned);
    const DescriptorAnswer& InSequence(const DescriptorAnswer& first, int hub, std::uint32_t port, std::uint16_t value,
                                       std::uint16_t language);

    SyntheticSystem* system_ = nullptr;
    std::vector<Controller> controllers_;
    std::array<int, kHostControllers> links_{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};  // controllers_ by link
    std::vector<SyntheticHub> hubs_;
    std::unordered_set<std::string> namesTaken_;       // every hub's HubNameKey
    std::unordered_map<std::string, int> hubsByName_;  // upper-cased ANSI name; built on demand
    std::unordered_map<DeviceHandle, Opened> handles_;
    DeviceHandle nextHandle_ = 0x1000;
    // How often each string descriptor was asked in this run: by hub, port, wValue and language.
    std::map<std::tuple<int, std::uint32_t, std::uint16_t, std::uint16_t>, std::uint32_t> asked_;
};

}  // namespace portiq::synthetic
