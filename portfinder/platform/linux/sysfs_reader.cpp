// Reads the USB devices and sound cards of a Linux system from sysfs and /proc/asound.
//
// /sys/bus/usb/devices holds one entry per USB device and per interface, named by the
// device's place: "usb1" is bus 1's root hub, "1-4" the device on its port 4, "1-4.2"
// the device on port 2 of hub 1-4, "1-4.2:1.0" that device's interface 0 in
// configuration 1 ("1-0:1.0" is the root hub's). The names alone give the topology; each
// entry's attributes give the rest: "descriptors" (the device descriptor, then each
// configuration, as the kernel read them), the strings the kernel read, "maxchild" (a
// hub's ports), an interface's number, string and driver. Serial ports and sound cards
// sit below their interface (ttyUSB0/tty/ttyUSB0, tty/ttyACM0, sound/card2); each class
// lists its devices with links there (/sys/class/tty/ttyUSB0, /sys/class/sound/card2).
// /proc/asound/cardN gives each card's id and its capture devices (pcm0c ...).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/linux/linux_system.h"
#include "platform/text.h"

namespace portiq::linuxsys {
namespace {

constexpr std::size_t kTextLimit = 4096;        // a sysfs attribute is at most a page
constexpr std::size_t kDescriptorsLimit = 1 << 20;  // the device and its configurations
constexpr std::size_t kListLimit = 65536;
constexpr unsigned kMostPorts = 255;
constexpr std::size_t kDeepestPath = 15;  // hubs in a chain; USB allows five
constexpr unsigned kMostBuses = 999;

// A name in a note: anything but printable ASCII as \xNN.
std::string Shown(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        shown += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : std::string(escaped);
    }
    return shown;
}

// A decimal number without sign or leading zero (the kernel writes none), 0 to most.
bool ParseDecimal(const std::string& text, unsigned most, unsigned& value) {
    unsigned long long number = 0;
    if ((text.size() > 1 && text[0] == '0') || !ParseNumber(text, most, number)) return false;
    value = static_cast<unsigned>(number);
    return true;
}

// A name of /sys/bus/usb/devices: a device ("usb1", "1-4.2") or an interface
// ("1-4.2:1.0", "1-0:1.0").
struct UsbName {
    unsigned bus = 0;
    std::vector<unsigned> portPath;
    bool interface = false;
    unsigned number = 0;  // an interface's number
    std::string device;   // an interface's device
};

std::optional<UsbName> ParseUsbName(const std::string& name) {
    UsbName parsed;
    if (name.compare(0, 3, "usb") == 0) {
        if (!ParseDecimal(name.substr(3), kMostBuses, parsed.bus) || parsed.bus == 0) return std::nullopt;
        return parsed;
    }
    const std::size_t dash = name.find('-'), colon = name.find(':');
    if (dash == std::string::npos || !ParseDecimal(name.substr(0, dash), kMostBuses, parsed.bus) || parsed.bus == 0) {
        return std::nullopt;
    }
    const std::string path = name.substr(dash + 1, colon == std::string::npos ? std::string::npos : colon - dash - 1);
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t dot = std::min(path.find('.', at), path.size());
        unsigned port = 0;
        if (!ParseDecimal(path.substr(at, dot - at), kMostPorts, port)) return std::nullopt;
        parsed.portPath.push_back(port);
        at = dot + 1;
    }
    if (parsed.portPath.size() > kDeepestPath) return std::nullopt;
    const bool rootInterface = parsed.portPath == std::vector<unsigned>{0};
    if (colon == std::string::npos) {
        if (rootInterface || std::count(parsed.portPath.begin(), parsed.portPath.end(), 0u)) return std::nullopt;
        return parsed;
    }
    const std::string place = name.substr(colon + 1);
    const std::size_t dot = place.find('.');
    unsigned configuration = 0;
    if (dot == std::string::npos || !ParseDecimal(place.substr(0, dot), 255, configuration) ||
        !ParseDecimal(place.substr(dot + 1), 255, parsed.number)) {
        return std::nullopt;
    }
    parsed.interface = true;
    parsed.device = rootInterface ? "usb" + std::to_string(parsed.bus) : name.substr(0, colon);
    return rootInterface || !std::count(parsed.portPath.begin(), parsed.portPath.end(), 0u) ? std::optional(parsed)
                                                                                            : std::nullopt;
}

// A name a driver or a serial port has: short, and nothing a terminal or a path
// could take for something else.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.';
    });
}

std::string Basename(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

class Reader {
public:
    Reader(SystemFiles& files, const SystemRoots& roots, LinuxSystem& system)
        : files_(files), roots_(roots), system_(system), devicesDir_(roots.sysfs + "/bus/usb/devices") {}

    void Run() {
        if (!IsSysfs()) return;
        if (!roots_.procAsound.empty() && !files_.IsDirectory(roots_.procAsound) && !roots_.procAsoundMayBeMissing) {
            system_.errors.push_back(Shown(roots_.procAsound) + ": no /proc/asound (no folder that can be read)");
            return;
        }
        ReadUsb();
        if (!roots_.procAsound.empty()) ReadCards();
    }

private:
    void Note(const std::string& path, const std::string& what) { system_.notes.push_back(Shown(path) + ": " + what); }

    // Every sysfs holds bus/ and devices/; a root without them (a folder of something
    // else, a file, a path that doesn't exist) was read in error, and "no box" would be
    // a false answer.
    bool IsSysfs() {
        const std::optional<std::vector<std::string>> top = files_.List(roots_.sysfs, kListLimit);
        const auto holds = [&](const char* name) { return std::find(top->begin(), top->end(), name) != top->end(); };
        if (top && holds("bus") && holds("devices")) return true;
        system_.errors.push_back(Shown(roots_.sysfs) +
                                 (top ? ": not a sysfs (no bus and devices folders in it)" : ": no folder that can be read"));
        return false;
    }

    // Whether to read a device's string of that index. The USB walk keeps strings 2 and 3
    // of devices that aren't hubs (it recognises boxes by them); the others only the log
    // and the dump show.
    bool Wanted(unsigned index, bool hub) const {
        return index != 0 && (roots_.everyString || (!hub && (index == 2 || index == 3)));
    }

    // Why a file that should be read gave nothing; empty for a file that isn't there.
    static std::string Why(FileError error) {
        switch (error) {
            case FileError::kDenied: return "can't be read: permission denied";
            case FileError::kNotRegular: return "not a regular file (a folder, device node, FIFO or socket); not opened";
            case FileError::kUnreadable: return "can't be read";
            default: return {};
        }
    }

    // The text of an attribute as the kernel wrote it, its final line feed dropped;
    // nothing where the file isn't there or is empty (sysfs shows a missing string so).
    std::optional<std::string> RawText(const std::string& path) {
        FileBytes read = files_.Read(path, kTextLimit);
        if (read.error != FileError::kNone) {
            if (const std::string why = Why(read.error); !why.empty()) Note(path, why);
            return std::nullopt;
        }
        if (!read.bytes.empty() && read.bytes.back() == '\n') read.bytes.pop_back();
        if (read.bytes.empty()) return std::nullopt;
        return read.bytes;
    }

    std::optional<std::string> Text(const std::string& path) {
        std::optional<std::string> text = RawText(path);
        if (text) text = CleanText(*text);
        return text;
    }

    unsigned Number(const std::string& path, int base, unsigned fallback) {
        const std::optional<std::string> text = Text(path);
        if (!text) return fallback;
        char* end = nullptr;
        const unsigned long value = std::strtoul(text->c_str(), &end, base);
        return end != text->c_str() && value <= 0xFFFF ? static_cast<unsigned>(value) : fallback;
    }

    void ReadUsb() {
        const std::optional<std::vector<std::string>> listed = files_.List(devicesDir_, kListLimit);
        if (!listed) {
            Note(devicesDir_, files_.IsDirectory(roots_.sysfs + "/bus/usb") ? "can't be read; no USB device is read"
                                                                            : "missing: this PC shows no USB bus");
            return;
        }
        std::vector<std::string> names = *listed;
        std::sort(names.begin(), names.end());
        std::vector<std::pair<std::string, UsbName>> interfaces;
        for (const std::string& name : names) {
            const std::optional<UsbName> parsed = ParseUsbName(name);
            if (!parsed) {
                Note(devicesDir_ + "/" + name, "no USB device or interface has such a name; left out");
            } else if (parsed->interface) {
                interfaces.emplace_back(name, *parsed);
            } else {
                ReadDevice(name, *parsed);
            }
        }
        for (const auto& [name, parsed] : interfaces) ReadInterface(name, parsed);
        ReadAuthorized();
        LeaveOutUnplugged();
        // In topology order: by bus, then by ports. Devices are big; they move once.
        auto& devices = system_.devices;
        std::vector<std::size_t> order(devices.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::tie(devices[a].bus, devices[a].portPath) < std::tie(devices[b].bus, devices[b].portPath);
        });
        std::vector<UsbDevice> sorted;
        sorted.reserve(devices.size());
        for (const std::size_t i : order) sorted.push_back(std::move(devices[i]));
        devices = std::move(sorted);
        Connect();
        ReadClass("tty", "tty");
        ReadClass("sound", "card");
        ReadPortNodes();
        for (std::size_t d = 0; d < devices.size(); ++d) {
            auto& interfaces = devices[d].interfaces;
            std::sort(interfaces.begin(), interfaces.end(),
                      [](const UsbInterface& a, const UsbInterface& b) { return a.number < b.number; });
            for (std::size_t i = 0; i < interfaces.size(); ++i) {
                std::sort(interfaces[i].ttys.begin(), interfaces[i].ttys.end());
                std::sort(interfaces[i].cards.begin(), interfaces[i].cards.end());
                for (const unsigned card : interfaces[i].cards) cardOwners_.emplace(card, std::make_pair(d, i));
            }
        }
    }

    void ReadDevice(const std::string& name, const UsbName& parsed) {
        const std::string at = devicesDir_ + "/" + name;
        UsbDevice device;
        device.name = name;
        device.bus = parsed.bus;
        device.portPath = parsed.portPath;
        const FileBytes bytes = files_.Read(at + "/descriptors", kDescriptorsLimit);
        // Every device has the file: where it can't be had, the device itself may not be there.
        if (bytes.error != FileError::kNone && !files_.IsDirectory(at)) {
            return Note(at, "can't be read as a directory (gone, or a link loop); left out");
        }
        if (bytes.error == FileError::kNone) device.descriptors = ParseUsbDescriptors(bytes.bytes);
        if (bytes.error != FileError::kNone && bytes.error != FileError::kMissing) {
            Note(at + "/descriptors", Why(bytes.error) + "; the device is left undescribed");
        } else if (!device.descriptors.valid && !device.IsRootHub()) {
            Note(at + "/descriptors", "no device descriptor in it; the port shows a device that failed enumeration");
        }
        // Of one configuration, that one is in use (or none, and then no interface shows).
        const auto& configurations = device.descriptors.configurations;
        device.activeConfiguration = configurations.size() == 1 ? configurations[0][5]
                                                                 : Number(at + "/bConfigurationValue", 10, 0);
        const auto& d = device.descriptors.device;
        if (device.IsRootHub() || d[4] == 9) device.hubPorts = std::min(Number(at + "/maxchild", 10, 0), kMostPorts);
        if (device.IsRootHub()) {
            // The host controller is the device the root hub hangs from: /sys/devices/pci0000:00/0000:00:14.0/usb1.
            const std::string real = files_.RealPath(at);
            const std::string controller = real.empty() ? "" : Basename(real.substr(0, real.find_last_of('/')));
            device.controller = IsPlainName(controller) || controller.find(':') != std::string::npos
                                    ? CleanText(controller)
                                    : name;
        } else if (device.descriptors.valid) {
            // The kernel makes a string's file only where the descriptor gives its index.
            const bool hub = d[4] == 9;
            if (Wanted(d[14], hub)) device.manufacturer = Text(at + "/manufacturer");
            if (d[15] && (!hub || roots_.everyString)) device.product = Text(at + "/product");
            if (d[16] && (!hub || roots_.everyString)) device.serialAsRead = RawText(at + "/serial");
            if (device.serialAsRead) device.serial = CleanText(*device.serialAsRead);
            const std::vector<std::uint8_t>* configuration = device.ActiveConfiguration();
            if (configuration && Wanted((*configuration)[6], hub)) device.configurationText = Text(at + "/configuration");
        }
        byName_.emplace(name, system_.devices.size());
        system_.devices.push_back(std::move(device));
    }

    void ReadInterface(const std::string& name, const UsbName& parsed) {
        const auto found = byName_.find(parsed.device);
        const std::string at = devicesDir_ + "/" + name;
        if (found == byName_.end()) return Note(at, "its device can't be read; left out");
        UsbDevice& device = system_.devices[found->second];
        UsbInterface interface;
        interface.name = name;
        interface.number = parsed.number;  // the kernel names an interface by its number
        // The alternate setting in use, and its string, as the configuration describes them.
        std::vector<InterfaceDescriptor> settings;
        if (const std::vector<std::uint8_t>* configuration = device.ActiveConfiguration()) {
            for (const InterfaceDescriptor& d : InterfaceDescriptors(*configuration)) {
                if (d.number == interface.number) settings.push_back(d);
            }
        }
        // Only its string needs the setting in use: one the device's own strings don't give
        // already (an FTDI bridge names its interfaces with its product's index).
        const auto& d = device.descriptors.device;
        const auto wanted = [&](const InterfaceDescriptor& setting) {
            const unsigned index = setting.stringIndex;
            return Wanted(index, device.IsHub()) && index != d[14] && index != d[15] && index != d[16];
        };
        const bool anyText = std::any_of(settings.begin(), settings.end(), wanted);
        interface.alternate = settings.size() == 1 ? settings[0].alternate
                              : anyText            ? Number(at + "/bAlternateSetting", 10, 0)
                                                   : 0;
        const bool hasText = std::any_of(settings.begin(), settings.end(), [&](const InterfaceDescriptor& setting) {
            return setting.alternate == interface.alternate && wanted(setting);
        });
        if (hasText) interface.text = Text(at + "/interface");
        interface.driver = Basename(files_.LinkTarget(at + "/driver"));
        if (!interface.driver.empty() && !IsPlainName(interface.driver)) {
            Note(at + "/driver", "names no driver that can be; taken as none");
            interface.driver.clear();
        }
        device.interfaces.push_back(std::move(interface));
    }

    // The serial ports and sound cards of a class: each entry links to its device, whose
    // path passes the USB interface it hangs off (.../1-2.2:1.0/ttyUSB0/tty/ttyUSB0,
    // .../1-2.1:1.0/tty/ttyACM0, .../1-2.1:1.0/sound/card2). One listing per class costs
    // less than a look into every interface.
    void ReadClass(const std::string& name, const std::string& prefix) {
        const std::string at = roots_.sysfs + "/class/" + name;
        std::unordered_map<std::string, UsbInterface*> interfaces;
        for (UsbDevice& device : system_.devices) {
            for (UsbInterface& interface : device.interfaces) interfaces.emplace(interface.name, &interface);
        }
        for (const std::string& entry : files_.List(at, kListLimit).value_or(std::vector<std::string>())) {
            if (entry.compare(0, prefix.size(), prefix) != 0) continue;
            if (!IsPlainName(entry)) {
                Note(at + "/" + entry, "names no device that can be; left out");
                continue;
            }
            const auto found = interfaces.find(InterfaceOf(files_.LinkTarget(at + "/" + entry), entry));
            if (found == interfaces.end()) continue;  // not on a USB device (ttyS0, the PC's own card)
            unsigned number = 0;
            if (name == "tty") {
                found->second->ttys.push_back(entry);
            } else if (ParseDecimal(entry.substr(prefix.size()), 255, number)) {
                found->second->cards.push_back(number);
            }
        }
    }

    // The interface a class device's link passes, where the device sits right below it
    // as the kernel puts serial ports and cards; empty for any other link.
    static std::string InterfaceOf(const std::string& target, const std::string& entry) {
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= target.size();) {
            const std::size_t slash = std::min(target.find('/', at), target.size());
            parts.push_back(target.substr(at, slash - at));
            at = slash + 1;
        }
        for (std::size_t i = parts.size(); i-- > 0;) {
            const std::optional<UsbName> parsed = ParseUsbName(parts[i]);
            if (!parsed || !parsed->interface) continue;
            const std::vector<std::string> below(parts.begin() + i + 1, parts.end());
            const bool placed = below == std::vector<std::string>{entry, "tty", entry} ||
                                below == std::vector<std::string>{"tty", entry} ||
                                below == std::vector<std::string>{"sound", entry};
            return placed ? parts[i] : std::string();
        }
        return {};
    }

    // A device the system doesn't allow ("authorized" 0: USB authorization, as USBGuard
    // keeps it) is left unconfigured, without interfaces: only those are asked (a hub
    // shows none of a box's problems).
    void ReadAuthorized() {
        for (UsbDevice& device : system_.devices) {
            if (device.IsHub() || !device.interfaces.empty()) continue;
            const std::optional<std::string> authorized = Text(devicesDir_ + "/" + device.name + "/authorized");
            device.authorized = !authorized || *authorized != "0";
        }
    }

    // The device nodes of the USB serial ports (a box's, a radio's, any the diagnosis may
    // ask of): who may open each (stat, never open:
    // opening a serial port raises DTR and RTS, which keys some radios), and whether
    // udev told the modem manager it may probe the port (its database entry
    // c<major>:<minor>, from the tty's "dev").
    void ReadPortNodes() {
        if (roots_.dev.empty()) return;
        const UserIds user = files_.User();
        std::map<unsigned, std::string> groups;  // each looked up once: NSS reads its files each time
        for (UsbDevice& device : system_.devices) {
            for (UsbInterface& interface : device.interfaces) {
                for (const std::string& tty : interface.ttys) {
                    const std::string node = roots_.dev + "/" + tty;
                    const std::optional<PathStatus> status = files_.Status(node);
                    if (!status) {
                        Note(node, "can't be read: who may open the port is unknown");
                        continue;
                    }
                    UnixPortNode facts;
                    auto group = groups.find(status->gid);
                    if (group == groups.end()) group = groups.emplace(status->gid, files_.GroupName(status->gid)).first;
                    facts.group = group->second;
                    facts.mode = status->mode & 07777;
                    facts.userMayOpen = MayReadAndWrite(*status, user);
                    const std::optional<std::string> number = Text(roots_.sysfs + "/class/tty/" + tty + "/dev");
                    if (number && IsDeviceNumber(*number) && !roots_.udevData.empty()) {
                        const FileBytes entry = files_.Read(roots_.udevData + "/c" + *number, kTextLimit);
                        facts.modemManagerCandidate = HasLine(entry.bytes, "E:ID_MM_CANDIDATE=1");
                        facts.modemManagerIgnores = HasLine(entry.bytes, "E:ID_MM_DEVICE_IGNORE=1");
                    }
                    interface.portNodes[tty] = facts;
                }
            }
        }
    }

    // The permission class that applies, as the kernel picks it: owner, else group, else others.
    static bool MayReadAndWrite(const PathStatus& node, const UserIds& user) {
        if (user.uid == 0) return true;
        if (node.uid == user.uid) return (node.mode & 0600) == 0600;
        if (std::count(user.groups.begin(), user.groups.end(), node.gid)) return (node.mode & 0060) == 0060;
        return (node.mode & 0006) == 0006;
    }

    // "188:0": a major and a minor number, as "dev" gives them.
    static bool IsDeviceNumber(const std::string& text) {
        const std::size_t colon = text.find(':');
        unsigned number = 0;
        return colon != std::string::npos && ParseDecimal(text.substr(0, colon), 0xFFFFF, number) &&
               ParseDecimal(text.substr(colon + 1), 0xFFFFF, number);
    }

    static bool HasLine(const std::string& text, const std::string& line) {
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
            const std::size_t end = at + line.size();
            if ((at == 0 || text[at - 1] == '\n') && (end == text.size() || text[end] == '\n')) return true;
        }
        return false;
    }

    // A device no longer listed was unplugged while it was read: what was read of it may
    // be half of it. (One listing costs less than a look at every device.)
    void LeaveOutUnplugged() {
        const std::vector<std::string> listed = files_.List(devicesDir_, kListLimit).value_or(std::vector<std::string>());
        const std::unordered_set<std::string> present(listed.begin(), listed.end());
        auto& devices = system_.devices;
        const auto gone = std::remove_if(devices.begin(), devices.end(), [&](const UsbDevice& device) {
            if (present.count(device.name)) return false;
            Note(devicesDir_ + "/" + device.name, "unplugged while it was read; left out");
            return true;
        });
        devices.erase(gone, devices.end());
    }

    // Each device's hub and the devices on each hub's ports, once the devices are in order.
    void Connect() {
        auto& devices = system_.devices;
        byName_.clear();
        for (std::size_t i = 0; i < devices.size(); ++i) byName_.emplace(devices[i].name, i);
        for (std::size_t i = 0; i < devices.size(); ++i) {
            UsbDevice& device = devices[i];
            if (device.IsRootHub()) continue;
            const std::string hub = device.portPath.size() == 1 ? "usb" + std::to_string(device.bus)
                                                                 : device.name.substr(0, device.name.find_last_of('.'));
            const auto found = byName_.find(hub);
            if (found == byName_.end()) continue;
            device.parent = found->second;
            devices[found->second].children.push_back(i);
        }
    }

    void ReadCards() {
        const std::optional<std::vector<std::string>> entries = files_.List(roots_.procAsound, kListLimit);
        if (!entries) return Note(roots_.procAsound, "missing: this PC shows no sound card (ALSA isn't loaded)");
        for (const std::string& entry : *entries) {
            SoundCard card;
            if (entry.compare(0, 4, "card") != 0 || !ParseDecimal(entry.substr(4), 255, card.number)) continue;
            const std::string at = roots_.procAsound + "/" + entry;
            const std::optional<std::string> id = Text(at + "/id");
            if (!id) {
                Note(at + "/id", "can't be read; the card is left out");
                continue;
            }
            card.id = *id;
            // An id names the card in the report and in scenarios: ASCII the kernel allows.
            for (char& c : card.id) {
                if (c <= ' ' || c > '~' || c == '"') c = '?';
            }
            for (const std::string& pcm : files_.List(at, kListLimit).value_or(std::vector<std::string>())) {
                unsigned device = 0;
                if (pcm.size() > 4 && pcm.compare(0, 3, "pcm") == 0 && pcm.back() == 'c' &&
                    ParseDecimal(pcm.substr(3, pcm.size() - 4), 255, device)) {
                    card.captureDevices.push_back(device);
                }
            }
            std::sort(card.captureDevices.begin(), card.captureDevices.end());
            if (const auto owner = cardOwners_.find(card.number); owner != cardOwners_.end()) {
                std::tie(card.device, card.interface) = owner->second;
            }
            system_.cards.push_back(std::move(card));
        }
        std::sort(system_.cards.begin(), system_.cards.end(),
                  [](const SoundCard& a, const SoundCard& b) { return a.number < b.number; });
    }

    SystemFiles& files_;
    const SystemRoots& roots_;
    LinuxSystem& system_;
    const std::string devicesDir_;
    std::unordered_map<std::string, std::size_t> byName_;  // devices by name
    std::map<unsigned, std::pair<std::size_t, std::size_t>> cardOwners_;  // card: device, interface
};

}  // namespace

UsbDescriptorSet ParseUsbDescriptors(const std::string& bytes) {
    UsbDescriptorSet set;
    if (bytes.size() < set.device.size() || static_cast<std::uint8_t>(bytes[1]) != 1) return set;
    set.valid = true;
    std::copy(bytes.begin(), bytes.begin() + set.device.size(), set.device.begin());
    // Each configuration starts at its own header; a descriptor shorter than two bytes
    // ends what can be followed.
    for (std::size_t at = set.device.size(); at + 2 <= bytes.size();) {
        const std::size_t length = static_cast<std::uint8_t>(bytes[at]);
        if (length < 2) break;
        if (bytes[at + 1] == 2 && length >= 9 && at + 9 <= bytes.size()) set.configurations.emplace_back();
        if (!set.configurations.empty()) {
            auto& configuration = set.configurations.back();
            configuration.insert(configuration.end(), bytes.begin() + at, bytes.begin() + std::min(at + length, bytes.size()));
        }
        at += length;
    }
    return set;
}

std::vector<InterfaceDescriptor> InterfaceDescriptors(const std::vector<std::uint8_t>& configuration) {
    std::vector<InterfaceDescriptor> interfaces;
    const std::vector<std::uint8_t>& c = configuration;
    for (std::size_t at = 0; at + 1 < c.size() && c[at] >= 2; at += c[at]) {
        if (c[at + 1] == 4 && at + 9 <= c.size()) interfaces.push_back({c[at + 2], c[at + 3], c[at + 5], c[at + 8]});
    }
    return interfaces;
}

std::string CleanText(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    std::string clean;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if (c1) ++i;
        clean += byte < 0x20 || byte == 0x7F || c1 ? '?' : text[i];
    }
    return clean;
}

const std::vector<std::uint8_t>* UsbDevice::ActiveConfiguration() const {
    const auto& configurations = descriptors.configurations;
    for (const auto& configuration : configurations) {
        if (configuration[5] == activeConfiguration) return &configuration;
    }
    return configurations.empty() ? nullptr : &configurations.front();
}

LinuxSystem ReadLinuxSystem(SystemFiles& files, const SystemRoots& roots) {
    LinuxSystem system;
    Reader(files, roots, system).Run();
    return system;
}

}  // namespace portiq::linuxsys
