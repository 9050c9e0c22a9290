// The rules come from the run's findings, not from a second recognition: the walks
// decided which serial ports and which sound card belong to which box and in which
// role, and wrote each box's block. A block names the box's USB device (on Linux a
// device node's driver key is its sysfs name), each port line a tty and a caption
// ("Tavrilink Nova CAT port", never translated) that gives the model and the role, the
// Audio line a card.
//
// udev matches all ATTRS keys of a rule on one device, so a port takes two rules: the
// first finds the box's USB device (by serial number, or by its port) and tags the tty,
// the second finds the interface by its number and names the link. A rule must match its
// own box and no other: a serial number is written only where udev compares it exactly,
// and no two boxes get the same tag.
//
// The radios the radio pass names get the same kind of rules, links under /dev/radio/
// (its table's name, the key, the role, or the interface where the table gives none).
// A serial port and a codec alone on one hub get none: nothing says what they are, and
// a link keyed on a hub's port would name whatever is plugged in there next.
#include "app/linux/udev_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "devtree/box_models.h"
#include "platform/linux/linux_machine.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::linuxsys {
namespace {

constexpr std::size_t kLongestCardId = 15;  // the kernel keeps 15 characters

struct BoxPort {
    const UsbDevice* device;
    const UsbInterface* interface;
    std::string model, role;  // "nova", "ptt-cw"
    std::string tty;
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

// Whether udev can compare a serial number exactly with a pattern the rule can hold:
// printable ASCII without '"' and '\' (the rule's syntax) and '|' (udev's alternatives),
// and no blank at its end (udev drops trailing whitespace from the attribute first).
bool Matchable(const std::string& serial) {
    return !serial.empty() && serial.back() != ' ' && std::all_of(serial.begin(), serial.end(), [](char c) {
        return c >= ' ' && c <= '~' && !std::strchr("\"\\|", c);
    });
}

// A matchable serial number as a pattern that matches it alone: glob characters bracketed.
std::string Exact(const std::string& serial) {
    std::string pattern;
    for (const char c : serial) pattern += std::strchr("*?[", c) ? std::string("[") + c + "]" : std::string(1, c);
    return pattern;
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
    RulesWriter(const LinuxSystem& system, const std::vector<CSbRecord>& sound, unsigned codePage)
        : system_(system), sound_(sound), codePage_(codePage) {
        for (const UsbDevice& device : system.devices) {
            byName_.emplace(device.name, &device);
            if (device.serialAsRead) ++serials_[LinkPart(*device.serialAsRead)];
            for (const UsbInterface& interface : device.interfaces) {
                for (const std::string& tty : interface.ttys) ttys_.emplace(tty, BoxPort{&device, &interface, {}, {}, tty});
            }
        }
        for (const SoundCard& card : system.cards) cardIds_.insert(card.id);
    }

    std::string Write(const std::vector<BoxBlock>& boxes, const std::vector<RadioBlock>& radios) {
        std::string rules =
            "# Stable names for the Tavrilink boxes on this PC, written by portiq --udev-rules.\n"
            "# Install: save as /etc/udev/rules.d/70-tavrilink.rules, run \"udevadm control --reload\"\n"
            "# and replug the boxes. Serial ports appear as /dev/tavrilink/<model>-<serial number>-<role>,\n"
            "# sound cards as hw:CARD=<the id given below>. A box or codec without a serial number that\n"
            "# udev can match exactly is named by the USB port it is plugged into: keep it there, or\n"
            "# write the rules again.\n";
        if (!radios.empty()) {
            rules += "# The radios it names beside them: /dev/radio/<name>-<serial number>-<role, or the USB\n"
                     "# interface where no source gives a role>, with sound cards named the same way.\n";
        }
        if (boxes.empty() && radios.empty()) return rules + "# portiq found no box on this PC.\n";
        for (const BoxBlock& box : boxes) rules += BoxRules(box);
        for (const RadioBlock& radio : radios) rules += RadioRules(radio);
        return rules;
    }

    const std::map<std::string, std::string>& links() const { return links_; }

private:
    // Keyed on the serial number where udev matches it exactly, no other device's serial
    // number gives the same link name, and it can't be taken for a USB port's key.
    bool BySerial(const UsbDevice& device) const {
        if (!device.serialAsRead || !Matchable(*device.serialAsRead)) return false;
        const std::string part = LinkPart(*device.serialAsRead);
        const bool portLike = part.compare(0, 4, "port") == 0 && part.size() > 4 && std::isdigit(static_cast<unsigned char>(part[4]));
        return !portLike && serials_.at(part) == 1;
    }

    std::string Key(const UsbDevice& device) const {
        return BySerial(device) ? LinkPart(*device.serialAsRead) : "port" + device.name;
    }

    std::string Match(const UsbDevice& device) const {
        char ids[80];
        std::snprintf(ids, sizeof ids, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"", device.VendorId(),
                      device.ProductId());
        return BySerial(device) ? std::string(ids) + ", ATTRS{serial}==\"" + Exact(*device.serialAsRead) + "\""
                                : "KERNELS==\"" + device.name + "\", " + ids;
    }

    // What the comment says of a device: its product, and how its rules know it.
    std::string Describe(const UsbDevice& device) const {
        std::string text = device.product.value_or("A box");
        if (BySerial(device)) return text + ", serial number " + *device.serial;
        if (device.serial) text += ", serial number " + *device.serial + " (udev can't match it exactly)";
        return text + ", at USB port " + device.name;
    }

    // The rules that link each port as <folder><model>-<key>-<role>: a tag per USB device
    // (in variable), then a link per interface. A device other than the block's own (the
    // walk listed its ports under this block) says what it is.
    std::string PortRules(const std::vector<BoxPort>& ports, const UsbDevice* device, const std::string& variable,
                          const std::string& folder) {
        std::string rules;
        std::set<const UsbDevice*> tagged;
        for (const BoxPort& port : ports) {
            const std::string tag = port.model + "-" + Key(*port.device);
            if (tagged.insert(port.device).second) {
                if (port.device != device) rules += "# " + Describe(*port.device) + "\n";
                rules += "SUBSYSTEM==\"tty\", " + Match(*port.device) + ", ENV{" + variable + "}=\"" + tag + "\"\n";
            }
            char number[8];
            std::snprintf(number, sizeof number, "%02x", port.interface->number);
            const std::string link = folder + tag + "-" + port.role;
            links_["/dev/" + port.tty] = link;
            rules += "SUBSYSTEM==\"tty\", ENV{" + variable + "}==\"" + tag + "\", ATTRS{bInterfaceNumber}==\"" + number +
                     "\", SYMLINK+=\"" + link + "\"" + KeepModemManagerAway(port) + "\n";
        }
        return rules;
    }

    std::string BoxRules(const BoxBlock& box) {
        const auto named = byName_.find(box.strDriverKey);
        const UsbDevice* device = named != byName_.end() ? named->second : nullptr;
        std::vector<BoxPort> ports;
        for (const BoxPortLine& line : box.ports) {
            const auto found = line.strPort.compare(0, 5, "/dev/") == 0 ? ttys_.find(line.strPort.substr(5)) : ttys_.end();
            BoxPort port = found != ttys_.end() ? found->second : BoxPort{};
            if (port.device && ParseCaption(line.strCaption, port.model, port.role)) ports.push_back(port);
        }
        if (!device && !ports.empty()) device = ports.front().device;
        std::string rules = "\n# " + (device ? Describe(*device) : std::string("A box whose USB device isn't known")) + "\n";
        if (ports.empty()) rules += "# The report names no serial port of this box.\n";
        rules += PortRules(ports, device, "TAVRILINK_BOX", "tavrilink/");
        return rules + CardRule(box.nSoundDevice, device, ModelWord(box.strName));
    }

    std::string RadioRules(const RadioBlock& radio) {
        std::vector<BoxPort> ports;
        for (const RadioPort& line : radio.ports) {
            const auto found = line.strPort.compare(0, 5, "/dev/") == 0 ? ttys_.find(line.strPort.substr(5)) : ttys_.end();
            if (found == ttys_.end()) continue;
            BoxPort port = found->second;
            port.model = LinkPart(Lower(radio.strName));
            char number[8];
            std::snprintf(number, sizeof number, "if%02x", port.interface->number);
            port.role = line.strRole.empty() ? std::string(number) : LinkPart(Lower(line.strRole));
            std::replace(port.role.begin(), port.role.end(), '/', '-');
            ports.push_back(port);
        }
        const UsbDevice* device = ports.empty() ? nullptr : ports.front().device;
        if (radio.strName.empty()) {
            return "\n# " + (device ? device->product.value_or("A serial port") + " at USB port " + device->name : "A serial port") +
                   " and a sound card alone on one hub: not named, nothing says what they are.\n";
        }
        std::string rules = "\n# " + radio.strName + (device ? ": " + Describe(*device) : std::string()) + "\n";
        if (ports.empty()) rules += "# The report names no serial port of this radio.\n";
        rules += PortRules(ports, device, "PORTIQ_RADIO", "radio/");
        std::string model;
        for (const char c : radio.strName) {
            if (std::isalnum(static_cast<unsigned char>(c))) model += c;
        }
        return rules + CardRule(radio.nSoundDevice, device, model);
    }

    // A port udev offers the modem manager is one it probes, which can key the radio: the
    // rules tell it to leave the port alone (and keep saying so once it is ignored).
    static std::string KeepModemManagerAway(const BoxPort& port) {
        const auto node = port.interface->portNodes.find(port.tty);
        const bool candidate = node != port.interface->portNodes.end() && node->second.modemManagerCandidate;
        return candidate ? ", ENV{ID_MM_DEVICE_IGNORE}=\"1\"" : "";
    }

    const SoundCard* AudioCard(int soundDevice) const {
        if (soundDevice < 0 || static_cast<std::size_t>(soundDevice) >= sound_.size()) return nullptr;
        const std::string& name = sound_[soundDevice].strName;
        for (const SoundCard& card : system_.cards) {
            for (const unsigned pcm : card.captureDevices) {
                if (synthetic::Utf8ToCodePage(codePage_, AlsaName(card, pcm)) == name) return &card;
            }
        }
        return nullptr;
    }

    // A card gets an id only where it hangs off the box's own USB device or hub: an id
    // given to another radio's card would break that radio's programs.
    std::string CardRule(int soundDevice, const UsbDevice* device, const std::string& model) {
        const SoundCard* card = AudioCard(soundDevice);
        if (!card) return "# No sound card: the report names none for this box.\n";
        const UsbDevice* codec = nullptr;
        CardInterface(system_, *card, &codec);
        const bool own = device && codec &&
                         (codec == device || (codec->parent == device->parent && device->parent != kNoIndex &&
                                              !system_.devices[device->parent].IsRootHub()));
        if (!own) {
            return "# Its report names sound card " + std::to_string(card->number) + " (" + card->id +
                   "), which isn't on this box's USB device or hub: it is given no id.\n";
        }
        return "SUBSYSTEM==\"sound\", KERNEL==\"card*\", ACTION==\"add\", " + Match(*codec) + ", ATTR{id}=\"" +
               CardId(*card, *device, model) + "\"\n";
    }

    // An ALSA id: the model, then as much of the end of the box's serial number (or USB
    // port) as 15 characters hold; letters, digits and '_', unique among the PC's cards.
    std::string CardId(const SoundCard& card, const UsbDevice& box, std::string model) {
        if (model.empty()) model = "Box";
        std::string key;
        if (BySerial(box)) {
            for (const char c : *box.serialAsRead) {
                if (std::isalnum(static_cast<unsigned char>(c))) key += c;
            }
        } else {
            key = "Port" + box.name;
            std::replace_if(key.begin(), key.end(), [](char c) { return c == '-' || c == '.'; }, '_');
        }
        model = model.substr(0, kLongestCardId - 4);
        const std::size_t room = kLongestCardId - model.size();
        std::string id = model + (key.size() > room ? key.substr(key.size() - room) : key);
        cardIds_.erase(card.id);  // the card's own id is the one replaced
        for (int n = 2; cardIds_.count(id) && n < 100; ++n) {
            id = id.substr(0, std::min(id.size(), kLongestCardId - 3)) + "_" + std::to_string(n);
        }
        cardIds_.insert(id);
        return id;
    }

    const LinuxSystem& system_;
    const std::vector<CSbRecord>& sound_;
    const unsigned codePage_;
    std::map<std::string, const UsbDevice*> byName_;
    std::map<std::string, BoxPort> ttys_;        // a tty's device and interface
    std::map<std::string, int> serials_;         // link names of serial numbers, counted
    std::set<std::string> cardIds_;              // the PC's card ids, and those given
    std::map<std::string, std::string> links_;   // each port's link, as written
};

}  // namespace

std::string WriteUdevRules(const LinuxSystem& system, const std::vector<BoxBlock>& boxes,
                           const std::vector<CSbRecord>& sound, unsigned codePage,
                           const std::vector<RadioBlock>& radios) {
    return RulesWriter(system, sound, codePage).Write(boxes, radios);
}

std::map<std::string, std::string> UdevLinks(const LinuxSystem& system, const std::vector<BoxBlock>& boxes,
                                             const std::vector<CSbRecord>& sound, unsigned codePage,
                                             const std::vector<RadioBlock>& radios) {
    RulesWriter writer(system, sound, codePage);
    writer.Write(boxes, radios);
    return writer.links();
}

}  // namespace portiq::linuxsys
