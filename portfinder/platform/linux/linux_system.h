// The facts of a running Linux system that PortIQ needs, read once from sysfs and
// /proc/asound: every USB device with the descriptors and strings the kernel keeps, its
// interfaces with their drivers, serial ports and sound cards, and every ALSA card with
// its capture devices. linux_machine.h turns them into the machine the walks see.
//
// Reading a system never fails as a whole: what can't be read (a missing or unreadable
// attribute, a link loop, a device unplugged while it is read, a name no kernel gives)
// is left out, and each thing left out gets a note that says why. Only a root that is
// no sysfs (or no /proc/asound) at all is an error: nothing of it was read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace portiq::linuxsys {

// Why a file gave no bytes.
enum class FileError {
    kNone,
    kMissing,     // no such file (or a link to nowhere)
    kNotRegular,  // a directory, a device node, a FIFO or a socket: never opened
    kDenied,      // the user may not read it
    kUnreadable,  // any other failure (a link loop, a device unplugged meanwhile)
};

struct FileBytes {
    FileError error = FileError::kNone;
    std::string bytes;
};

// What stat says of a path (a device node), which is never opened.
struct PathStatus {
    std::uint32_t mode = 0;  // st_mode: type and permission bits
    unsigned uid = 0, gid = 0;
};

// Who runs the program: its effective user and groups (the effective group first).
struct UserIds {
    unsigned uid = 0;
    std::vector<unsigned> groups;
};

// The few file operations the reader makes, so that tests and the fuzzer can stand in
// for the file system. All paths are absolute; nothing is written.
class SystemFiles {
public:
    virtual ~SystemFiles() = default;

    // The first limit bytes of a regular file (sysfs attributes are regular files). The
    // path's type is checked before anything is opened: opening a device node can act
    // (a pty is allocated, a tape rewinds), and a FIFO can block.
    virtual FileBytes Read(const std::string& path, std::size_t limit) = 0;

    // The names in a directory (without "." and ".."), at most limit of them, in no
    // particular order; nothing when it can't be read.
    virtual std::optional<std::vector<std::string>> List(const std::string& path, std::size_t limit) = 0;

    // A symbolic link's target as it stands ("../../../bus/usb/drivers/ftdi_sio");
    // empty when the path is no link.
    virtual std::string LinkTarget(const std::string& path) = 0;

    // The path with every link resolved; empty when it can't be resolved.
    virtual std::string RealPath(const std::string& path) = 0;

    virtual bool IsDirectory(const std::string& path) = 0;

    // stat(path): nothing when it can't be had.
    virtual std::optional<PathStatus> Status(const std::string& path) = 0;

    virtual UserIds User() = 0;

    // The name of a group (getgrgid); its number where it has none.
    virtual std::string GroupName(unsigned gid) = 0;
};

// The standard descriptor layout the kernel keeps in a device's "descriptors" file: the
// 18-byte device descriptor, then each configuration with what follows it.
struct UsbDescriptorSet {
    bool valid = false;  // a device descriptor came (18 bytes of type 1)
    std::array<std::uint8_t, 18> device{};
    // Each configuration from its own header (type 2) to the next one, as far as the
    // file holds it: a device may state any wTotalLength, the kernel keeps what came.
    std::vector<std::vector<std::uint8_t>> configurations;
};
UsbDescriptorSet ParseUsbDescriptors(const std::string& bytes);

// The interface descriptors of a configuration, in their order.
struct InterfaceDescriptor {
    unsigned number = 0, alternate = 0, interfaceClass = 0, stringIndex = 0;
};
std::vector<InterfaceDescriptor> InterfaceDescriptors(const std::vector<std::uint8_t>& configuration);

inline constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);

struct UsbInterface {
    std::string name;     // "1-1.2:1.0"
    unsigned number = 0;  // bInterfaceNumber
    unsigned alternate = 0;            // the alternate setting in use
    std::string driver;                // the bound driver ("ftdi_sio"); empty: none
    std::optional<std::string> text;   // its interface string
    std::vector<std::string> ttys;     // "ttyUSB0", "ttyACM0"
    std::vector<unsigned> cards;       // ALSA card numbers
    // A box's serial ports' device nodes (/dev/ttyUSB0): who may open each, and what
    // udev told the modem manager; read for boxes only, where they could be.
    std::map<std::string, UnixPortNode> portNodes;
};

struct UsbDevice {
    std::string name;              // "usb1" for bus 1's root hub, "1-1.2" for port 2 of hub 1-1
    unsigned bus = 0;
    std::vector<unsigned> portPath;  // the port on each hub from the root hub down; empty: a root hub
    UsbDescriptorSet descriptors;  // invalid when the file couldn't be read
    unsigned activeConfiguration = 0;  // bConfigurationValue (read where there are several); 0: none
    // The strings the kernel read from the device; absent when the device has none.
    std::optional<std::string> manufacturer, product, serial, configurationText;
    // The serial number exactly as the kernel shows it (sysfs's final line feed
    // dropped), for rules that must match it exactly.
    std::optional<std::string> serialAsRead;
    unsigned hubPorts = 0;         // maxchild: the ports of a hub, 0 for any other device
    bool authorized = true;        // "authorized": 0 for a device the system keeps unconfigured
    std::string controller;        // a root hub's host controller ("0000:00:14.0")
    std::vector<UsbInterface> interfaces;  // by number
    std::size_t parent = kNoIndex;         // its hub in LinuxSystem::devices
    std::vector<std::size_t> children;     // the devices on its ports, by port

    bool IsRootHub() const { return portPath.empty(); }
    bool IsHub() const { return hubPorts > 0 || (descriptors.valid && descriptors.device[4] == 9); }
    unsigned VendorId() const { return descriptors.device[8] | (descriptors.device[9] << 8); }
    unsigned ProductId() const { return descriptors.device[10] | (descriptors.device[11] << 8); }
    // The configuration in use (the first when none is: an unconfigured device), or
    // nullptr when the file holds none.
    const std::vector<std::uint8_t>* ActiveConfiguration() const;
};

struct SoundCard {
    unsigned number = 0;
    std::string id;                         // "CODEC": what hw:CARD= takes
    std::vector<unsigned> captureDevices;   // PCM devices that capture, in order
    // The USB device and interface that hold it (LinuxSystem::devices and its
    // interfaces); kNoIndex for a card on no USB device.
    std::size_t device = kNoIndex, interface = kNoIndex;
};

struct LinuxSystem {
    std::vector<UsbDevice> devices;  // root hubs and devices, by bus, then by ports
    std::vector<SoundCard> cards;    // by number
    std::vector<std::string> notes;  // what was left out, and why
    std::vector<std::string> errors; // roots that couldn't be read at all

    const UsbDevice* Parent(const UsbDevice& device) const {
        return device.parent == kNoIndex ? nullptr : &devices[device.parent];
    }
};

// Where the system is read from: the live one, or a recorded tree.
struct SystemRoots {
    std::string sysfs = "/sys";
    std::string procAsound = "/proc/asound";  // empty: no sound cards are read
    // The live /proc/asound is missing where ALSA isn't loaded (a PC without sound); a
    // recorded one that is missing is a mistake.
    bool procAsoundMayBeMissing = true;
    // Where the serial ports' device nodes are, and udev's database of them; empty: not
    // read (a recorded system without them).
    std::string dev = "/dev";
    std::string udevData = "/run/udev/data";
    // Every string the kernel keeps, or only those the report and the rules need (a
    // device's product and serial number, strings 2 and 3); the log and the dump show all.
    bool everyString = true;
};

LinuxSystem ReadLinuxSystem(SystemFiles& files, const SystemRoots& roots = {});

// A text as the system gave it, made safe to show and to write: one trailing line feed
// (sysfs ends its attributes with one) dropped, control characters (C0, DEL, C1) turned
// into '?'. UTF-8 in, UTF-8 out.
std::string CleanText(std::string text);

}  // namespace portiq::linuxsys
