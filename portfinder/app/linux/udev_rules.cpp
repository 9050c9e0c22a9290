// The rules come from the report, not from a second recognition: the walks decided which
// serial ports and which sound card belong to which box and in which role, and wrote it
// as the box's block. Each port line names a tty and its caption ("Tavrilink Nova CAT
// port", never translated) gives the model and the role; the Audio line names a card.
//
// udev matches all ATTRS keys of a rule on one device, so a port takes two rules: the
// first finds the box's USB device (by serial number, or by its port) and tags the tty,
// the second finds the interface by its number and names the link.
#include "app/linux/udev_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/linux/linux_machine.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::linuxsys {
namespace {

constexpr std::size_t kLongestCardId = 15;

struct BoxPort {
    const UsbDevice* device;
    const UsbInterface* interface;
    std::string model, role;  // "nova", "ptt-cw"
};

struct Box {
    std::vector<BoxPort> ports;
    std::string audio;  // the Audio line's name
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A text for a link's name: letters, digits, '.', '_' and '-'; anything else '_'.
std::string LinkPart(std::string text) {
    for (char& c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
    }
    return text;
}

// A value to match as udev compares it: trailing blanks dropped (udev drops them from
// the attribute), and every character a pattern or the rule's syntax would read as
// something else matched by '?'.
std::string Pattern(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    for (char& c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr(" ._:+=@,-/", c)) c = '?';
    }
    return text;
}

// "Tavrilink Nova CAT port" -> model nova, role cat; "... SERIAL port A" -> serial-a.
bool ParseCaption(const std::string& caption, std::string& model, std::string& role) {
    const std::string prefix = "Tavrilink ";
    const std::size_t port = caption.rfind(" port");
    if (caption.compare(0, prefix.size(), prefix) != 0 || port == std::string::npos) return false;
    const std::size_t space = caption.find(' ', prefix.size());
    if (space == std::string::npos || space >= port) return false;
    model = Lower(caption.substr(prefix.size(), space - prefix.size()));
    role = Lower(caption.substr(space + 1, port - space - 1));
    std::replace(role.begin(), role.end(), '/', '-');
    const std::string channel = caption.substr(port + 5);
    if (channel.size() == 2 && channel[0] == ' ') role += "-" + Lower(channel.substr(1));
    return !model.empty() && !role.empty();
}

class RulesWriter {
public:
    RulesWriter(const LinuxSystem& system, unsigned codePage) : system_(system), codePage_(codePage) {}

    std::string Write(const std::string& report) {
        const std::vector<Box> boxes = Boxes(report);
        std::string rules =
            "# Stable names for the Tavrilink boxes on this PC, written by portiq --udev-rules.\n"
            "# Install: save as /etc/udev/rules.d/70-tavrilink.rules, run \"udevadm control --reload\"\n"
            "# and replug the boxes. Serial ports appear as /dev/tavrilink/<model>-<serial number>-<role>,\n"
            "# sound cards as hw:CARD=<the id given below>. A box or codec without a serial number is\n"
            "# named by the USB port it is plugged into: keep it there, or write the rules again.\n";
        if (boxes.empty()) return rules + "# portiq found no box on this PC.\n";
        for (const Box& box : boxes) rules += BoxRules(box);
        return rules;
    }

private:
    std::vector<Box> Boxes(const std::string& report) const {
        std::vector<Box> boxes;
        bool open = false;
        for (std::size_t at = 0; at < report.size();) {
            const std::size_t end = std::min(report.find('\n', at), report.size());
            const std::string line = report.substr(at, end - at);
            at = end + 1;
            const std::size_t tab = line.find('\t');
            if (line.empty()) {
                open = false;
            } else if (tab == std::string::npos) {
                boxes.emplace_back();  // a header
                open = true;
            } else if (open && line.compare(0, tab, "Audio") == 0) {
                boxes.back().audio = line.substr(tab + 1);
            } else if (open) {
                AddPort(boxes.back(), line.substr(0, tab), line.substr(tab + 1));
            }
        }
        boxes.erase(std::remove_if(boxes.begin(), boxes.end(), [](const Box& b) { return b.ports.empty() && b.audio.empty(); }),
                    boxes.end());
        return boxes;
    }

    void AddPort(Box& box, const std::string& port, const std::string& caption) const {
        BoxPort found{};
        if (port.compare(0, 5, "/dev/") != 0 || !ParseCaption(caption, found.model, found.role)) return;
        for (const UsbDevice& device : system_.devices) {
            for (const UsbInterface& interface : device.interfaces) {
                if (std::count(interface.ttys.begin(), interface.ttys.end(), port.substr(5))) {
                    found.device = &device;
                    found.interface = &interface;
                }
            }
        }
        if (found.device) box.ports.push_back(found);
    }

    // Whether a device is keyed on its serial number: where it has one and no other
    // device has the same (else on its USB port).
    bool BySerial(const UsbDevice& device) const {
        return device.serial && !LinkPart(*device.serial).empty() &&
               std::none_of(system_.devices.begin(), system_.devices.end(), [&](const UsbDevice& other) {
                   return &other != &device && other.serial && LinkPart(*other.serial) == LinkPart(*device.serial);
               });
    }

    std::string Key(const UsbDevice& device) const {
        return BySerial(device) ? LinkPart(*device.serial) : "port" + device.name;
    }

    std::string Match(const UsbDevice& device) const {
        char ids[80];
        std::snprintf(ids, sizeof ids, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"", device.VendorId(),
                      device.ProductId());
        return BySerial(device) ? std::string(ids) + ", ATTRS{serial}==\"" + Pattern(*device.serial) + "\""
                                : "KERNELS==\"" + device.name + "\", " + ids;
    }

    std::string BoxRules(const Box& box) {
        std::string rules = "\n# A box whose report names no serial port\n";
        std::string model = box.ports.empty() ? "" : box.ports.front().model;
        std::string key;
        if (!box.ports.empty()) {
            const UsbDevice& device = *box.ports.front().device;
            key = Key(device);
            rules = "\n# " + device.product.value_or("A box") +
                    (device.serial ? ", serial number " + *device.serial : ", at USB port " + device.name) + "\n";
        }
        std::set<const UsbDevice*> tagged;
        for (const BoxPort& port : box.ports) {
            const std::string tag = port.model + "-" + Key(*port.device);
            if (tagged.insert(port.device).second) {
                rules += "SUBSYSTEM==\"tty\", " + Match(*port.device) + ", ENV{TAVRILINK_BOX}=\"" + tag +
                         "\"\n";
            }
            char number[8];
            std::snprintf(number, sizeof number, "%02x", port.interface->number);
            rules += "SUBSYSTEM==\"tty\", ENV{TAVRILINK_BOX}==\"" + tag + "\", ATTRS{bInterfaceNumber}==\"" + number +
                     "\", SYMLINK+=\"tavrilink/" + tag + "-" + port.role + "\"\n";
        }
        return rules + CardRule(box, model, key);
    }

    std::string CardRule(const Box& box, std::string model, std::string key) {
        for (const SoundCard& card : system_.cards) {
            for (const unsigned pcm : card.captureDevices) {
                if (synthetic::Utf8ToCodePage(codePage_, AlsaName(card, pcm)) != box.audio) continue;
                const UsbDevice* codec = nullptr;
                if (!CardInterface(system_, card.number, &codec)) return {};
                if (key.empty()) key = Key(*codec);
                if (model.empty()) model = "box";
                return "SUBSYSTEM==\"sound\", KERNEL==\"card*\", ACTION==\"add\", " + Match(*codec) +
                       ", ATTR{id}=\"" + CardId(model, key) + "\"\n";
            }
        }
        return {};
    }

    // An ALSA id: letters and digits, at most 15, unique among the ids given.
    std::string CardId(const std::string& model, const std::string& key) {
        std::string id = model;
        id[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(id[0])));
        for (const char c : key) {
            if (std::isalnum(static_cast<unsigned char>(c))) id += c;
        }
        if (id.size() > kLongestCardId) id = id.substr(0, 4) + id.substr(id.size() - (kLongestCardId - 4));
        for (char digit = '1'; !cardIds_.insert(id).second && digit <= '9'; ++digit) id.back() = digit;
        return id;
    }

    const LinuxSystem& system_;
    const unsigned codePage_;
    std::set<std::string> cardIds_;
};

}  // namespace

std::string WriteUdevRules(const LinuxSystem& system, const std::string& report, unsigned codePage) {
    return RulesWriter(system, codePage).Write(report);
}

}  // namespace portiq::linuxsys
