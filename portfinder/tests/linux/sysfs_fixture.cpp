// Lays out a recorded Linux system (sys/, proc/asound/, dev/ and run/udev/data/ under a
// folder) from a compact description, and writes it for umockdev-run too (the devices of
// the laid-out sys/ as records). One statement per line, '#' starting a comment:
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
#include <sstream>
#include <stdexcept>
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

class Builder {
public:
    explicit Builder(const std::string& root) : root_(root) {}

    void Statement(const std::vector<std::string>& w) {
        if (w[0] == "set") {
            for (std::size_t i = 2; i < w.size(); ++i) sets_[w[1]] += static_cast<char>(std::stoi(w[i], nullptr, 16));
            return;
        }
        if (w[0] == "udev") {  // an entry of udev's database: udev NAME LINE...
            std::string lines;
            for (std::size_t i = 2; i < w.size(); ++i) lines += w[i] + "\n";
            return Write("run/udev/data/" + w[1], lines);
        }
        std::string dir;  // below sys/ or proc/asound/
        if (w[0] == "bus") {
            dir = dirs_["usb" + w[1]] = "devices/pci0000:00/" + w[2] + "/usb" + w[1];
            Link("sys/bus/usb/devices/usb" + w[1], "../../../" + dir);
        } else if (w[0] == "usb" || w[0] == "iface") {
            const std::size_t colon = w[1].find(':'), dash = w[1].find('-');
            std::string parent = w[0] == "iface" ? w[1].substr(0, colon) : w[1].substr(0, w[1].rfind('.'));
            if (parent == w[1] || parent.substr(dash) == "-0") parent = "usb" + w[1].substr(0, dash);
            dir = dirs_[w[1]] = dirs_[parent] + "/" + w[1];
            Link("sys/bus/usb/devices/" + w[1], "../../../" + dir);
            char number[8];
            std::snprintf(number, sizeof number, "%02x\n", std::stoi(w[1].substr(w[1].rfind('.') + 1)));
            if (w[0] == "iface") Write("sys/" + dir + "/bInterfaceNumber", number);
        } else {
            dir = w[1];
        }
        const std::string base = (w[0] == "proc" ? "proc/asound/" : "sys/") + dir;
        Folder(base);
        for (std::size_t i = w[0] == "bus" ? 3 : 2; i < w.size(); ++i) Attribute(base, w[i]);
    }

private:
    void Attribute(const std::string& base, const std::string& word) {
        const std::size_t equals = word.find('=');
        if (word[0] == '+') {
            Folder(base + "/" + word.substr(1));
        } else if (word[0] == '|') {
            mkfifo((root_ + "/" + base + "/" + word.substr(1)).c_str(), 0644);
        } else if (word[0] == '@') {
            Link(base + "/" + word.substr(1, equals - 1), word.substr(equals + 1));
        } else if (word[equals + 1] == '@') {
            const std::size_t colon = word.find(':', equals);
            const std::string& set = sets_[word.substr(equals + 2, colon - equals - 2)];
            std::string bytes = set;
            if (colon != std::string::npos) {
                bytes.clear();
                for (std::size_t n = std::stoul(word.substr(colon + 1)); bytes.size() < n;) bytes += set.substr(0, n - bytes.size());
            }
            Write(base + "/" + word.substr(0, equals), bytes);
            if (word.compare(0, equals, "descriptors") == 0 && bytes.size() >= 12) {  // as the kernel shows them
                char ids[16];
                std::snprintf(ids, sizeof ids, "%02x%02x\n", bytes[9] & 0xFF, bytes[8] & 0xFF);
                Write(base + "/idVendor", ids);
                std::snprintf(ids, sizeof ids, "%02x%02x\n", bytes[11] & 0xFF, bytes[10] & 0xFF);
                Write(base + "/idProduct", ids);
            }
        } else {
            Write(base + "/" + word.substr(0, equals), word.substr(equals + 1) + "\n");
        }
    }

    // A serial port's or sound card's folder gets its class link, as the kernel gives it;
    // a serial port its number and its device node, which whoever lays it out may open.
    void Folder(const std::string& path) {
        fs::create_directories(root_ + "/" + path);
        const std::string name = path.substr(path.rfind('/') + 1), above = fs::path(path).parent_path().filename();
        const char* kind = above == "tty" && name.compare(0, 3, "tty") == 0      ? "tty"
                           : above == "sound" && name.compare(0, 4, "card") == 0 ? "sound"
                                                                                 : nullptr;
        if (!kind || path.compare(0, 12, "sys/devices/") != 0) return;
        Link(std::string("sys/class/") + kind + "/" + name, "../../" + path.substr(4));
        const bool usbSerial = name.compare(0, 6, "ttyUSB") == 0;
        if (!usbSerial && name.compare(0, 6, "ttyACM") != 0) return;
        Write(path + "/dev", std::string(usbSerial ? "188:" : "166:") + name.substr(6) + "\n");
        Write("dev/" + name, "");
        fs::permissions(root_ + "/dev/" + name, fs::perms::owner_read | fs::perms::owner_write |
                                                    fs::perms::group_read | fs::perms::group_write);
    }

    void Write(const std::string& path, const std::string& bytes) {
        fs::create_directories(fs::path(root_ + "/" + path).parent_path());
        std::ofstream(root_ + "/" + path, std::ios::binary) << bytes;
    }

    void Link(const std::string& path, const std::string& target) {
        fs::create_directories(fs::path(root_ + "/" + path).parent_path());
        fs::create_symlink(target, root_ + "/" + path);
    }

    const std::string root_;
    std::map<std::string, std::string> sets_, dirs_;
};

// An attribute as umockdev's records hold it: printable text as A: with C escapes,
// anything else as H: in hexadecimal.
std::string Attribute(const std::string& name, const std::string& bytes) {
    std::string text = "A: " + name + "=", hex = "H: " + name + "=";
    bool printable = true;
    for (const char c : bytes) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned char>(c));
        hex += byte;
        printable = printable && ((c >= ' ' && c < 0x7F) || c == '\n');
        text += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
    }
    return (printable ? text : hex) + "\n";
}

std::string Contents(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// One device's record: its path, node, udev properties, attributes and driver link.
std::string Record(const fs::path& root, const fs::path& dir, const std::string& subsystem) {
    const std::string name = dir.filename(), path = fs::relative(dir, root / "sys").string();
    std::string properties = "E: SUBSYSTEM=" + subsystem + "\n", attributes, links;
    if (subsystem == "usb") properties += name.find(':') != std::string::npos ? "E: DEVTYPE=usb_interface\n" : "E: DEVTYPE=usb_device\n";
    if (subsystem == "sound" && fs::is_regular_file(root / "proc/asound" / name / "id")) {
        attributes += Attribute("id", Contents(root / "proc/asound" / name / "id"));
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string file = entry.path().filename();
        if (entry.is_symlink() && file == "driver") {  // as the kernel links it: /sys/bus/usb/drivers/NAME
            std::string up;
            for (const char c : "/" + path) up += c == '/' ? "../" : "";
            const std::string driver = fs::read_symlink(entry.path()).filename();
            properties += "E: DRIVER=" + driver + "\n";
            links += "L: driver=" + up + "bus/usb/drivers/" + driver + "\n";
        } else if (!entry.is_symlink() && entry.is_regular_file()) {
            attributes += Attribute(file, Contents(entry.path()));
        }
    }
    std::string record = "P: /" + path + "\n";
    const std::string number = subsystem == "tty" ? Contents(dir / "dev") : "";
    if (!number.empty()) {  // "188:0": umockdev makes the node
        record += "N: " + name + "\n";
        properties += "E: DEVNAME=/dev/" + name + "\nE: MAJOR=" + number.substr(0, number.find(':')) +
                      "\nE: MINOR=" + number.substr(number.find(':') + 1, number.find('\n') - number.find(':') - 1) + "\n";
    }
    return record + properties + attributes + links + "\n";
}

}  // namespace

void BuildSysfsFixture(const std::string& description, const std::string& root) {
    fs::remove_all(root);
    fs::create_directories(root + "/sys/bus/usb/devices");
    fs::create_directories(root + "/proc/asound");
    Builder builder(root);
    std::istringstream in(description);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> words = Words(line);
        if (!words.empty()) builder.Statement(words);
    }
}

std::string UmockdevFixture(const std::string& description, const std::string& root) {
    BuildSysfsFixture(description, root);
    // The devices: USB devices and interfaces as their bus lists them, serial ports and
    // sound cards as their classes do; parents first.
    std::map<fs::path, std::string> devices;
    for (const auto& [listing, subsystem] : {std::pair{"bus/usb/devices", "usb"}, {"class/tty", "tty"}, {"class/sound", "sound"}}) {
        const fs::path at = fs::path(root) / "sys" / listing;
        if (!fs::is_directory(at)) continue;
        for (const auto& entry : fs::directory_iterator(at)) {
            std::error_code error;
            const fs::path dir = fs::canonical(entry.path(), error);
            if (error || !fs::is_directory(dir)) throw std::runtime_error(entry.path().string() + " is no device umockdev can hold");
            devices.emplace(dir, subsystem);
        }
    }
    std::string records;
    for (const auto& [dir, subsystem] : devices) records += Record(root, dir, subsystem);
    return records;
}

}  // namespace portiq::testing
