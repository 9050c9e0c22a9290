// Lays out a recorded Linux system (sys/, proc/asound/, dev/ and run/udev/data/ under a
// folder), or writes it
// for umockdev-run (Records below), from a compact description, one statement per line,
// '#' starting a comment:
//
//   set NAME HEX...         descriptor bytes by name; lines add up
//   bus N CONTROLLER ATTRS  root hub usbN at sys/devices/pci0000:00/CONTROLLER/usbN
//   usb NAME ATTRS          a device, in its hub's folder ("1-4.2" under "1-4")
//   iface NAME ATTRS        an interface, in its device's folder; bInterfaceNumber from NAME
//   proc PATH ATTRS         a folder under proc/asound
//   sys PATH ATTRS          a folder under sys, for layouts no kernel makes
//   udev NAME LINE...       an entry of udev's database (run/udev/data/c188:0), a line a word
//
// Devices and interfaces also get their link in sys/bus/usb/devices. ATTRS: key=VALUE
// (a file holding VALUE and a line feed), key=@SET (the set's bytes) or key=@SET:N (N
// bytes of the set, repeated as needed), +PATH (a folder), @PATH=TARGET (a symbolic
// link), |PATH (a FIFO). A word in double quotes may hold \xNN escapes. A serial port's
// folder (ttyUSB0/tty/ttyUSB0, tty/ttyACM0) and a card's get their class links, a port its
// number ("dev") and its device node in dev/ (mode 0660, its owner whoever lays it out).
#include "sysfs_fixture.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace portiq::testing {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    bool quoted = false, inWord = false;
    for (std::size_t i = 0; i < line.size() && (quoted || line[i] != '#'); ++i) {
        const char c = line[i];
        if (!quoted && c == ' ') {
            inWord = false;
            continue;
        }
        if (!inWord) words.emplace_back();
        inWord = true;
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && line.compare(i + 1, 1, "x") == 0) {
            words.back() += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            words.back() += c;
        }
    }
    return words;
}

// Where a described system goes; paths below the root ("sys/...", "proc/asound/...").
class Output {
public:
    virtual ~Output() = default;
    // A USB device or interface at sys/DIR, listed in sys/bus/usb/devices.
    virtual void UsbDevice(const std::string& dir, bool interface) = 0;
    virtual void Folder(const std::string& path) = 0;
    virtual void File(const std::string& path, const std::string& bytes) = 0;
    virtual void Link(const std::string& path, const std::string& target) = 0;
    virtual void Fifo(const std::string& path) = 0;
};

// The system as folders, files and links under a root.
class Folders : public Output {
public:
    explicit Folders(const std::string& root) : root_(root) {}

    void UsbDevice(const std::string& dir, bool) override {
        Link("sys/bus/usb/devices/" + dir.substr(dir.rfind('/') + 1), "../../../" + dir);
    }

    // A serial port's or sound card's folder gets its class link, as the kernel gives it.
    void Folder(const std::string& path) override {
        fs::create_directories(root_ + "/" + path);
        const std::string name = path.substr(path.rfind('/') + 1), above = fs::path(path).parent_path().filename();
        const char* kind = above == "tty" && name.compare(0, 3, "tty") == 0      ? "tty"
                           : above == "sound" && name.compare(0, 4, "card") == 0 ? "sound"
                                                                                 : nullptr;
        if (kind && path.compare(0, 12, "sys/devices/") == 0) {
            Link(std::string("sys/class/") + kind + "/" + name, "../../" + path.substr(4));
        }
        // A serial port's number and its device node, which the user who lays it out may open.
        const bool usbSerial = name.compare(0, 6, "ttyUSB") == 0, acm = name.compare(0, 6, "ttyACM") == 0;
        if (kind && (usbSerial || acm)) {
            File(path + "/dev", std::string(usbSerial ? "188:" : "166:") + name.substr(6) + "\n");
            File("dev/" + name, "");
            fs::permissions(root_ + "/dev/" + name, fs::perms::owner_read | fs::perms::owner_write |
                                                        fs::perms::group_read | fs::perms::group_write);
        }
    }

    void File(const std::string& path, const std::string& bytes) override {
        fs::create_directories(fs::path(root_ + "/" + path).parent_path());
        std::ofstream(root_ + "/" + path, std::ios::binary) << bytes;
    }

    void Link(const std::string& path, const std::string& target) override {
        fs::create_directories(fs::path(root_ + "/" + path).parent_path());
        fs::create_symlink(target, root_ + "/" + path);
    }

    void Fifo(const std::string& path) override { mkfifo((root_ + "/" + path).c_str(), 0644); }

private:
    const std::string root_;
};

class Builder {
public:
    explicit Builder(Output& out) : out_(out) {}

    void Statement(const std::vector<std::string>& w) {
        if (w[0] == "set") {
            for (std::size_t i = 2; i < w.size(); ++i) sets_[w[1]] += static_cast<char>(std::stoi(w[i], nullptr, 16));
            return;
        }
        if (w[0] == "udev") {  // an entry of udev's database: udev NAME LINE...
            std::string lines;
            for (std::size_t i = 2; i < w.size(); ++i) lines += w[i] + "\n";
            return out_.File("run/udev/data/" + w[1], lines);
        }
        std::string dir;  // below sys/ or proc/asound/
        if (w[0] == "bus") {
            dir = dirs_["usb" + w[1]] = "devices/pci0000:00/" + w[2] + "/usb" + w[1];
            out_.UsbDevice(dir, false);
        } else if (w[0] == "usb" || w[0] == "iface") {
            const std::size_t colon = w[1].find(':'), dash = w[1].find('-');
            std::string parent = w[0] == "iface" ? w[1].substr(0, colon) : w[1].substr(0, w[1].rfind('.'));
            if (parent == w[1] || parent.substr(dash) == "-0") parent = "usb" + w[1].substr(0, dash);
            dir = dirs_[w[1]] = dirs_[parent] + "/" + w[1];
            out_.UsbDevice(dir, w[0] == "iface");
            char number[8];
            std::snprintf(number, sizeof number, "%02x\n", std::stoi(w[1].substr(w[1].rfind('.') + 1)));
            if (w[0] == "iface") out_.File("sys/" + dir + "/bInterfaceNumber", number);
        } else {
            dir = w[1];
        }
        const std::string base = (w[0] == "proc" ? "proc/asound/" : "sys/") + dir;
        out_.Folder(base);
        for (std::size_t i = w[0] == "bus" ? 3 : 2; i < w.size(); ++i) Attribute(base, w[i]);
    }

private:
    void Attribute(const std::string& base, const std::string& word) {
        const std::size_t equals = word.find('=');
        if (word[0] == '+') {
            out_.Folder(base + "/" + word.substr(1));
        } else if (word[0] == '|') {
            out_.Fifo(base + "/" + word.substr(1));
        } else if (word[0] == '@') {
            out_.Link(base + "/" + word.substr(1, equals - 1), word.substr(equals + 1));
        } else if (word[equals + 1] == '@') {
            const std::size_t colon = word.find(':', equals);
            const std::string& set = sets_[word.substr(equals + 2, colon - equals - 2)];
            std::string bytes = set;
            if (colon != std::string::npos) {
                bytes.clear();
                for (std::size_t n = std::stoul(word.substr(colon + 1)); bytes.size() < n;) bytes += set.substr(0, n - bytes.size());
            }
            out_.File(base + "/" + word.substr(0, equals), bytes);
            if (word.compare(0, equals, "descriptors") == 0 && bytes.size() >= 12) {  // as the kernel shows them
                char ids[16];
                std::snprintf(ids, sizeof ids, "%02x%02x\n", bytes[9] & 0xFF, bytes[8] & 0xFF);
                out_.File(base + "/idVendor", ids);
                std::snprintf(ids, sizeof ids, "%02x%02x\n", bytes[11] & 0xFF, bytes[10] & 0xFF);
                out_.File(base + "/idProduct", ids);
            }
        } else {
            out_.File(base + "/" + word.substr(0, equals), word.substr(equals + 1) + "\n");
        }
    }

    Output& out_;
    std::map<std::string, std::string> sets_, dirs_;
};

// The system as umockdev-run loads it, in the records umockdev-record writes: per device
// its path (P:), node under /dev (N:), udev properties (E:), text and binary attributes
// (A:, H:) and links (L:); umockdev makes the folders, the bus and class links and the
// nodes (a tty's is a pty). The folders +ttyUSBn/tty/ttyUSBn, +tty/ttyACMn and +sound/cardN
// are devices of their own, a card's id that of its proc statement. The proc/asound part
// goes into folders, for the testbed's own /proc. What no kernel makes (another folder, a
// link other than a driver's, a name with a control character) can't be said there and
// throws.
class Records : public Output {
public:
    explicit Records(Folders& proc) : proc_(proc) {}

    void UsbDevice(const std::string& dir, bool interface) override {
        Add(dir, {"SUBSYSTEM=usb", interface ? "DEVTYPE=usb_interface" : "DEVTYPE=usb_device"});
    }

    void Folder(const std::string& path) override {
        if (IsProc(path)) return proc_.Folder(path);
        const std::string dir = Owner(path).dir, rest = Rest(path);
        const std::string first = rest.substr(0, rest.find('/')), last = rest.substr(rest.rfind('/') + 1);
        if (rest.empty()) return;
        if (rest == first + "/tty/" + first && !NumberAfter("ttyUSB", first).empty()) {
            Add(dir + "/" + first, {"SUBSYSTEM=usb-serial"});
            Tty(dir + "/" + rest, first, "188", NumberAfter("ttyUSB", first));
        } else if (rest == "tty/" + last && !NumberAfter("ttyACM", last).empty()) {
            Tty(dir + "/" + rest, last, "166", NumberAfter("ttyACM", last));
        } else if (rest == "sound/" + last && !NumberAfter("card", last).empty()) {
            Record& card = Add(dir + "/" + rest, {"SUBSYSTEM=sound"});
            card.card = last;
            card.attributes.emplace_back("number", NumberAfter("card", last) + "\n");
        } else {
            throw std::runtime_error("the folder " + path + " is no serial port or sound card");
        }
    }

    void File(const std::string& path, const std::string& bytes) override {
        // umockdev makes the device nodes itself, and holds no udev database of its own.
        if (path.compare(0, 4, "dev/") == 0 || path.compare(0, 4, "run/") == 0) return;
        const std::string cards = "proc/asound/";
        if (path.size() > cards.size() + 3 && path.compare(0, cards.size(), cards) == 0 &&
            path.compare(path.size() - 3, 3, "/id") == 0) {
            ids_[path.substr(cards.size(), path.size() - cards.size() - 3)] = bytes;
        }
        if (IsProc(path)) return proc_.File(path, bytes);
        const std::string name = Rest(path);
        if (name.empty() || name.find('/') != std::string::npos) throw std::runtime_error(path + " is no attribute of a device");
        Owner(path).attributes.emplace_back(Plain(name), bytes);
    }

    void Link(const std::string& path, const std::string& target) override {
        if (IsProc(path)) return proc_.Link(path, target);
        Record& owner = Owner(path);
        if (Rest(path) != "driver" || target.find('/') != std::string::npos) {
            throw std::runtime_error("the link " + path + " is no driver's");
        }
        std::string up;
        for (const char c : "/" + owner.dir) up += c == '/' ? "../" : "";
        owner.properties.push_back("DRIVER=" + Plain(target));
        owner.links.push_back("driver=" + up + "bus/usb/drivers/" + target);
    }

    void Fifo(const std::string& path) override { throw std::runtime_error("the FIFO " + path + " is no attribute"); }

    std::string Text() const {
        std::string text;
        for (const Record& r : records_) {
            text += "P: /" + r.dir + "\n";
            if (!r.node.empty()) text += "N: " + r.node + "\n";
            for (const std::string& property : r.properties) text += "E: " + property + "\n";
            std::vector<std::pair<std::string, std::string>> attributes = r.attributes;
            if (ids_.count(r.card)) attributes.emplace_back("id", ids_.at(r.card));
            for (const auto& [name, bytes] : attributes) text += Attribute(name, bytes) + "\n";
            for (const std::string& link : r.links) text += "L: " + link + "\n";
            text += "\n";
        }
        return text;
    }

private:
    struct Record {
        std::string dir, node, card;
        std::vector<std::string> properties, links;
        std::vector<std::pair<std::string, std::string>> attributes;
    };

    static bool IsProc(const std::string& path) { return path.compare(0, 5, "proc/") == 0; }

    // The number name has after prefix ("2" of "card2"); "" for another name.
    static std::string NumberAfter(const std::string& prefix, const std::string& name) {
        const std::string number = name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : "";
        return number.find_first_not_of("0123456789") == std::string::npos ? number : "";
    }

    static std::string Plain(const std::string& name) {
        for (const char c : name) {
            if (c <= ' ' || c >= 0x7F) throw std::runtime_error("a name has a blank or a control character");
        }
        return name;
    }

    // Printable text as A: with C escapes (umockdev reads them so), anything else as H:.
    static std::string Attribute(const std::string& name, const std::string& bytes) {
        std::string text = "A: " + name + "=", hex = "H: " + name + "=";
        bool printable = true;
        for (const char c : bytes) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned char>(c));
            hex += byte;
            printable = printable && ((c >= ' ' && c < 0x7F) || c == '\n');
            text += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
        }
        return printable ? text : hex;
    }

    Record& Add(const std::string& dir, std::vector<std::string> properties) {
        records_.push_back({Plain(dir), "", "", std::move(properties), {}, {}});
        return records_.back();
    }

    void Tty(const std::string& dir, const std::string& name, const std::string& major, const std::string& minor) {
        Record& tty = Add(dir, {"SUBSYSTEM=tty", "DEVNAME=/dev/" + name, "MAJOR=" + major, "MINOR=" + minor});
        tty.node = name;
        tty.attributes.emplace_back("dev", major + ":" + minor + "\n");
    }

    // The device whose folder holds path (the deepest), or whose folder it is.
    Record& Owner(const std::string& path) {
        Record* owner = nullptr;
        for (Record& r : records_) {
            const std::string dir = "sys/" + r.dir;
            const bool holds = path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
            if (holds && (!owner || r.dir.size() > owner->dir.size())) owner = &r;
        }
        if (!owner) throw std::runtime_error(path + " is in no device's folder");
        return *owner;
    }

    // path below its device's folder ("" for the folder itself).
    std::string Rest(const std::string& path) {
        const std::string dir = "sys/" + Owner(path).dir;
        return path.size() > dir.size() ? path.substr(dir.size() + 1) : "";
    }

    Folders& proc_;
    std::vector<Record> records_;
    std::map<std::string, std::string> ids_;  // card folder ("card2") -> its id file
};

void Build(const std::string& description, Output& out) {
    Builder builder(out);
    std::istringstream in(description);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> words = Words(line);
        try {
            if (!words.empty()) builder.Statement(words);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(e.what() + std::string(" (from: ") + line + ")");
        }
    }
}

}  // namespace

void BuildSysfsFixture(const std::string& description, const std::string& root) {
    fs::remove_all(root);
    fs::create_directories(root + "/sys/bus/usb/devices");
    fs::create_directories(root + "/proc/asound");
    Folders folders(root);
    Build(description, folders);
}

std::string UmockdevFixture(const std::string& description, const std::string& root) {
    fs::remove_all(root);
    fs::create_directories(root + "/proc/asound");  // so that the testbed's, even empty, hides this PC's
    Folders proc(root);
    Records records(proc);
    Build(description, records);
    return records.Text();
}

}  // namespace portiq::testing
