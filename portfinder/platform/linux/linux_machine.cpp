// How a Linux system becomes the machine PortIQ's walks see.
//
// The walks were written against a Windows PC: they ask host controllers and hubs for
// names, connection information and descriptors, list the wave-input devices with their
// interface paths, and walk a Plug and Play tree whose nodes have class GUIDs, names,
// device IDs and driver keys. Rather than teach the walks a second system, the Linux
// platform reads sysfs and /proc/asound once and builds that PC in memory (the synthetic
// platform), the way portiq-dump records a real one. The walks, the report and the log
// then run unchanged, and the machine can be written out for portiq-sim.
//
// Imitated, fact by fact:
//
//   USB     Bus N is host controller N-1 (usb1 opens as \\.\HCD0; buses after the tenth
//           only through their device interface, as Windows lists a controller without
//           a link: "\\?\0000:00:14.0#usb11#{3abf6f2d-...}"), its driver key
//           "<controller>/usbN". A hub is named by its sysfs name ("1-4"), which is also
//           every device's driver key ("1-4.2"): the log and the tree say which device
//           is meant in the words `lsusb -t` and /sys use. A hub's ports are its maxchild.
//           A port answers with the descriptors the kernel keeps (the device descriptor and
//           the first configuration) and with the strings the kernel read, by the index the
//           descriptors give them: manufacturer, product, serial number, the active
//           configuration's and each interface's string. The kernel doesn't show the
//           device's language list, so string 0 answers U.S. English and the strings
//           answer in any language; a string the kernel doesn't show stalls. A device whose
//           descriptors can't be read is a device that failed enumeration.
//   Sound   Each ALSA capture device is a wave-input device named as a program is
//           configured with it ("hw:CARD=CODEC / hw:2"). A USB card's interface path is
//           shaped as Windows shapes a USB audio function's,
//           "\\?\usb#vid_08bb&pid_2902&mi_00#usb-1-4.1:1.0#pcmC2D0c", so that its instance
//           key is the card's interface, USB-1-4.1:1.0. Other cards get a path without one.
//   Tree    A root, a node per bus, then per device in hub port order, per interface and
//           per serial port. A device's ID is "USB\VID_xxxx&PID_xxxx\" and its serial
//           number (USB-<name> without a plain one), an interface's "...&MI_nn\USB-<interface>":
//           the sound list's instance key finds a codec through the walk's own rule.
//           Device nodes have generic names ("USB Composite Device"), never the product
//           string: a box is recognised by the product string its USB record carries,
//           found through the driver key, as on Windows. An FTDI interface's serial port is
//           "USB Serial Port (/dev/ttyUSB0)" with the FTDI driver's ID,
//           "FTDIBUS\VID_0403+PID_6010+TN0A1B2CA\0000": serial number (or USB-<name>), then
//           the channel letter, A for bInterfaceNumber 0, B for 1. So the report's port
//           lines and its FTDI list name what a Linux user types. Other serial ports are
//           "TTY\ttyACM0".
//
// Given to the walks directly: the order of a hub's devices. The walk names a box with
// the codec it matched last before the box's header, and the header comes right after
// the box's USB device. On Windows that codec may be any the walk met before; here the
// topology says which hub each codec hangs off, and a box's codec is one on the box's
// own hub: a hub (not a root hub) holding a device whose product string names a model,
// and besides nothing but sound devices and serial bridges (bound to a driver or not).
// There the sound devices come first, whichever ports the box's maker chose. Every other
// sound device (another radio's codec, even on a hub of its own with that radio's serial
// bridge; a webcam's microphone; a lone codec) moves to the end of the tree, where no box
// follows it, so it is never named as a box's: a box whose codec has no card is named
// with none.
//
#include "platform/linux/linux_machine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "devtree/box_models.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::linuxsys {
namespace {

using synthetic::DescriptorAnswer;
using synthetic::SyntheticDeviceTree;
using synthetic::SyntheticNode;
using synthetic::SyntheticPort;

constexpr char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
constexpr char kMediaClass[] = "{4d36e96c-e325-11ce-bfc1-08002be10318}";
constexpr char kPortsClass[] = "{4d36e978-e325-11ce-bfc1-08002be10318}";
constexpr char kHostControllerInterface[] = "{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
constexpr std::uint32_t kDeviceFailedEnumeration = 2;
constexpr unsigned kFtdiVendor = 0x0403;
constexpr std::size_t kLongestWaveName = 31;
constexpr std::size_t kLongestString = 126;  // UTF-16 units in a 255-byte string descriptor

std::string Printf(const char* format, unsigned a, unsigned b, unsigned c = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

bool IsSoundDevice(const UsbDevice& device) {
    return std::any_of(device.interfaces.begin(), device.interfaces.end(),
                       [](const UsbInterface& i) { return !i.cards.empty(); });
}

bool IsSerialBridge(const UsbDevice& device) {
    return std::any_of(device.interfaces.begin(), device.interfaces.end(),
                       [](const UsbInterface& i) { return !i.ttys.empty(); });
}

DescriptorAnswer Answer(std::vector<std::uint8_t> bytes) {
    DescriptorAnswer answer;
    answer.bytes = std::move(bytes);
    return answer;
}

// A string descriptor: its length, type 3, the text in UTF-16.
std::vector<std::uint8_t> StringDescriptor(const std::string& utf8) {
    std::u16string text = Utf8ToWide(utf8);
    text.resize(std::min(text.size(), kLongestString));
    return UsbStringDescriptor(text);
}

class Builder {
public:
    Builder(const LinuxSystem& system, synthetic::SyntheticMachine& machine) : system_(system), machine_(machine) {}

    std::vector<std::string> Build() {
        for (const UsbDevice& device : system_.devices) {
            if (!device.IsRootHub() && device.parent == kNoIndex) {
                notes_.push_back(device.name + ": its hub can't be read; left out");
            }
        }
        Wave();
        for (const UsbDevice& device : system_.devices) {
            if (device.IsRootHub()) HostController(device);
        }
        Tree();
        return notes_;
    }

private:
    // ---- sound ----

    void Wave() {
        for (const SoundCard& card : system_.cards) {
            const UsbDevice* device = nullptr;
            const UsbInterface* interface = CardInterface(system_, card, &device);
            for (const unsigned pcm : card.captureDevices) {
                const std::string pcmName = Printf("pcmC%uD%uc", card.number, pcm);
                const std::string path =
                    interface ? Printf("\\\\?\\usb#vid_%04x&pid_%04x&mi_%02x#", device->VendorId(), device->ProductId(),
                                       interface->number) +
                                    "usb-" + interface->name + "#" + pcmName
                              : Printf("\\\\?\\alsa#card%u#", card.number, 0) + pcmName;
                synthetic::SyntheticWaveIn in;
                in.name = Ansi(AlsaName(card, pcm));
                in.interfacePath = Utf8ToWide(path);
                machine_.wave.devices.push_back(std::move(in));
            }
        }
    }

    // ---- USB ----

    // Every bus is listed by its device interface, as Windows lists each controller; the
    // first ten also have their \\.\HCDn link, so the walk meets them there first.
    void HostController(const UsbDevice& rootHub) {
        synthetic::SyntheticHostController controller;
        controller.driverKey = Utf8ToWide(rootHub.controller + "/" + rootHub.name);
        controller.interfacePath = "\\\\?\\" + rootHub.controller + "#" + rootHub.name + "#" + kHostControllerInterface;
        controller.rootHub = Hub(rootHub);
        const bool linked = rootHub.bus >= 1 && rootHub.bus <= synthetic::SyntheticUsb::kHostControllers;
        machine_.usb.AddHostController(linked ? static_cast<int>(rootHub.bus) - 1 : synthetic::SyntheticUsb::kNoLink,
                                       std::move(controller));
    }

    // The devices on a hub's ports, by port. A device past the hub's maxchild widens it.
    std::vector<const UsbDevice*> OnPorts(const UsbDevice& hub) const {
        std::vector<const UsbDevice*> ports(hub.hubPorts, nullptr);
        for (const std::size_t child : hub.children) {
            const UsbDevice& device = system_.devices[child];
            const unsigned port = device.portPath.back();
            if (port > ports.size()) ports.resize(port, nullptr);
            ports[port - 1] = &device;
        }
        return ports;
    }

    int Hub(const UsbDevice& hub) {
        const std::vector<const UsbDevice*> devices = OnPorts(hub);
        const int index = machine_.usb.AddHub(Utf8ToWide(hub.name), devices.size());
        for (std::size_t port = 0; index >= 0 && port < devices.size(); ++port) {
            if (!devices[port]) continue;
            const SyntheticPort answers = Port(*devices[port]);  // adds the hubs below first
            machine_.usb.Hub(index).ports[port] = answers;
        }
        return index;
    }

    SyntheticPort Port(const UsbDevice& device) {
        SyntheticPort port;
        std::copy(device.descriptors.device.begin(), device.descriptors.device.end(), port.deviceDescriptor.begin());
        port.driverKey = Utf8ToWide(device.name);
        if (!device.descriptors.valid) {
            port.status = kDeviceFailedEnumeration;
            return port;
        }
        port.status = kDeviceConnected;
        if (device.IsHub()) port.hub = Hub(device);
        if (const auto* configuration = device.ActiveConfiguration()) port.configuration = Answer(*configuration);
        const std::map<unsigned, std::string> texts = Strings(device);
        if (!texts.empty()) port.strings[{0, synthetic::kAnyLanguage}] = Answer({4, 3, 0x09, 0x04});
        for (const auto& [index, text] : texts) {
            port.strings[{static_cast<std::uint8_t>(index), synthetic::kAnyLanguage}] = Answer(StringDescriptor(text));
        }
        return port;
    }

    // The strings the kernel read, by the indices the descriptors give them (the first
    // text an index gets stays).
    static std::map<unsigned, std::string> Strings(const UsbDevice& device) {
        std::map<unsigned, std::string> texts;
        auto give = [&](unsigned index, const std::optional<std::string>& text) {
            if (index != 0 && text) texts.emplace(index, *text);
        };
        const auto& d = device.descriptors.device;
        give(d[14], device.manufacturer);
        give(d[15], device.product);
        give(d[16], device.serial);
        const auto* configuration = device.ActiveConfiguration();
        if (!configuration || (*configuration)[5] != device.activeConfiguration) return texts;
        give((*configuration)[6], device.configurationText);
        for (const InterfaceDescriptor& descriptor : InterfaceDescriptors(*configuration)) {
            for (const UsbInterface& interface : device.interfaces) {
                if (interface.number == descriptor.number && interface.alternate == descriptor.alternate) {
                    give(descriptor.stringIndex, interface.text);
                }
            }
        }
        return texts;
    }

    // ---- the device tree ----

    std::string Ansi(const std::string& utf8) const { return synthetic::Utf8ToCodePage(machine_.system.codePage, utf8); }

    int Node(int parent, const char* classGuid, const std::string& name, const std::string& description,
             const std::string& id, const std::string& driver, SyntheticNode node = {}) {
        if (classGuid) node.classGuid = classGuid;
        if (!name.empty()) node.friendlyName = Ansi(name);
        node.deviceDescription = Ansi(description);
        node.deviceId = Ansi(id);
        if (!driver.empty()) node.driverKey = Ansi(driver);
        return machine_.tree.AddNode(parent, std::move(node));
    }

    static SyntheticNode WithProblem(std::uint32_t problem) {
        SyntheticNode node;
        node.status = kDnHasProblem;
        node.problem = problem;
        return node;
    }

    // A device with an audio interface: a codec, whose one fact that matters is its card.
    static bool IsAudioDevice(const UsbDevice& device) {
        const auto* configuration = device.ActiveConfiguration();
        if (!configuration || device.interfaces.empty()) return false;
        const std::vector<InterfaceDescriptor> interfaces = InterfaceDescriptors(*configuration);
        return std::any_of(interfaces.begin(), interfaces.end(), [](const InterfaceDescriptor& d) { return d.interfaceClass == 1; });
    }

    void Tree() {
        const int root = Node(SyntheticDeviceTree::kNoParent, nullptr, "", "Linux", "ROOT", "");
        for (const UsbDevice& device : system_.devices) {
            if (!device.IsRootHub()) continue;
            const std::string bus = std::to_string(device.bus);
            const int node = Node(root, kUsbClass, "", "USB Root Hub", "USB\\ROOT_HUB\\USB" + bus, device.name);
            HubDevices(node, device);
        }
        // The sound devices no box's hub holds, where no box header can take them.
        for (std::size_t i = 0; i < elsewhere_.size(); ++i) DeviceNode(root, *elsewhere_[i]);
    }

    // The product text the USB walk will hold for a device: string 2 as the descriptor
    // carries it, cut where the walk's conversion stops (the first character past U+00FF).
    static std::string WalkProduct(const UsbDevice& device) {
        const std::map<unsigned, std::string> texts = Strings(device);
        const auto product = texts.find(2);
        if (product == texts.end()) return {};
        std::u16string units = Utf8ToWide(product->second);
        units.resize(std::min(units.size(), kLongestString));
        std::string latin;
        for (std::size_t i = 0; i < units.size() && units[i] <= 0xFF; ++i) latin += static_cast<char>(units[i]);
        return latin;
    }

    // A box's own hub: a hub (not a root hub) holding a device the walk will recognise as
    // a box, and besides nothing but sound devices, serial bridges and other boxes. Its
    // codec is the one the box is named with.
    static bool IsBoxHub(const UsbDevice& hub, const std::vector<const UsbDevice*>& devices) {
        const auto isBox = [](const UsbDevice* d) { return !ModelWord(WalkProduct(*d)).empty(); };
        return !hub.IsRootHub() && std::any_of(devices.begin(), devices.end(), isBox) &&
               std::all_of(devices.begin(), devices.end(), [&](const UsbDevice* d) {
                   return IsSoundDevice(*d) || IsSerialBridge(*d) || isBox(d);
               });
    }

    void HubDevices(int node, const UsbDevice& hub) {
        std::vector<const UsbDevice*> devices = OnPorts(hub);
        devices.erase(std::remove(devices.begin(), devices.end(), nullptr), devices.end());
        const bool boxHub = IsBoxHub(hub, devices);
        for (const UsbDevice* device : devices) {
            if (!IsSoundDevice(*device)) continue;
            if (boxHub) {
                DeviceNode(node, *device);
            } else {
                elsewhere_.push_back(device);
            }
        }
        for (const UsbDevice* device : devices) {
            if (!IsSoundDevice(*device)) DeviceNode(node, *device);
        }
    }

    // A device's instance: its serial number, or its place where it has none or one
    // with other than letters, digits, '.', '-' and '_' (as Windows passes over a serial
    // number unfit for an instance ID; "X\000" would read as a channel letter).
    static std::string Instance(const UsbDevice& device) {
        const bool plain = device.serial && std::all_of(device.serial->begin(), device.serial->end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        });
        return plain ? *device.serial : "USB-" + device.name;
    }

    void DeviceNode(int parent, const UsbDevice& device) {
        const char* description = device.IsHub()                    ? "USB Hub"
                                  : device.interfaces.size() > 1 ? "USB Composite Device"
                                                                 : "USB Device";
        const std::string id = Printf("USB\\VID_%04X&PID_%04X\\", device.VendorId(), device.ProductId());
        // As Windows would show them: a device the system doesn't allow is disabled, a
        // codec whose driver failed couldn't start.
        const bool audio = IsAudioDevice(device), codecFailed = audio && !IsSoundDevice(device);
        const SyntheticNode state = !device.authorized ? WithProblem(kProbDisabled)
                                    : codecFailed      ? WithProblem(kProbFailedStart)
                                                       : SyntheticNode{};
        const int node = Node(parent, kUsbClass, "", description, id + Instance(device), device.name, state);
        if (device.IsHub()) return HubDevices(node, device);
        for (const UsbInterface& interface : device.interfaces) InterfaceNode(node, device, interface, !audio);
    }

    // An interface without a driver is one whose driver isn't installed, as Windows says;
    // the driver bound to it is a Unix fact of its own (usbfs: a program holds it).
    void InterfaceNode(int parent, const UsbDevice& device, const UsbInterface& interface, bool unboundIsProblem) {
        const std::string id = Printf("USB\\VID_%04X&PID_%04X&MI_%02X\\", device.VendorId(), device.ProductId(),
                                      interface.number);
        const std::string description =
            (interface.driver.empty() ? std::string("USB") : interface.driver) + " interface " + std::to_string(interface.number);
        SyntheticNode state = interface.driver.empty() && unboundIsProblem ? WithProblem(kProbFailedInstall) : SyntheticNode{};
        if (!interface.driver.empty()) state.boundDriver = interface.driver;
        const int node = Node(parent, interface.cards.empty() ? kUsbClass : kMediaClass, "", description,
                              id + "USB-" + interface.name, interface.name, state);
        const bool ftdi = device.VendorId() == kFtdiVendor || interface.driver == "ftdi_sio";
        const char channel = interface.number < 26 ? static_cast<char>('A' + interface.number) : '?';
        for (const std::string& tty : interface.ttys) {
            const std::string ttyId =
                ftdi ? Printf("FTDIBUS\\VID_%04X+PID_%04X+", device.VendorId(), device.ProductId()) + Instance(device) +
                           channel + "\\0000"
                     : "TTY\\" + tty;
            SyntheticNode port;
            if (const auto facts = interface.portNodes.find(tty); facts != interface.portNodes.end()) port.portNode = facts->second;
            Node(node, kPortsClass, "USB Serial Port (/dev/" + tty + ")", "USB Serial Port", ttyId, tty, port);
        }
    }

    const LinuxSystem& system_;
    synthetic::SyntheticMachine& machine_;
    std::vector<const UsbDevice*> elsewhere_;
    std::vector<std::string> notes_;
};

}  // namespace

std::string AlsaName(const SoundCard& card, unsigned device) {
    const std::string dev = device == 0 ? "" : ",DEV=" + std::to_string(device);
    const std::string full = "hw:CARD=" + card.id + dev + " / hw:" + std::to_string(card.number) +
                             (device == 0 ? "" : "," + std::to_string(device));
    return full.size() <= kLongestWaveName ? full : "hw:CARD=" + card.id + dev;
}

const UsbInterface* CardInterface(const LinuxSystem& system, const SoundCard& card, const UsbDevice** device) {
    if (card.device == kNoIndex) return nullptr;
    const UsbDevice& holder = system.devices[card.device];
    if (device) *device = &holder;
    return &holder.interfaces[card.interface];
}

std::vector<std::string> BuildMachine(const LinuxSystem& system, synthetic::SyntheticMachine& machine) {
    machine.isLinux = true;
    return Builder(system, machine).Build();
}

}  // namespace portiq::linuxsys
