// Lays out a recorded Linux system (sys/ and proc/asound/ under a folder) from a compact
// description, one statement per line, '#' starting a comment:
//
//   set NAME HEX...         descriptor bytes by name; lines add up
//   bus N CONTROLLER ATTRS  root hub usbN at sys/devices/pci0000:00/CONTROLLER/usbN
//   usb NAME ATTRS          a device, in its hub's folder ("1-4.2" under "1-4")
//   iface NAME ATTRS        an interface, in its device's folder; bInterfaceNumber from NAME
//   proc PATH ATTRS         a folder under proc/asound
//   sys PATH ATTRS          a folder under sys, for layouts no kernel makes
//
// Devices and interfaces also get their link in sys/bus/usb/devices. ATTRS: key=VALUE
// (a file holding VALUE and a line feed), key=@SET (the set's bytes) or key=@SET:N (N
// bytes of the set, repeated as needed), +PATH (a folder), @PATH=TARGET (a symbolic
// link), |PATH (a FIFO). A word in double quotes may hold \xNN escapes.
#include "sysfs_fixture.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
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

class Builder {
public:
    explicit Builder(const std::string& root) : root_(root) {}

    void Statement(const std::vector<std::string>& w) {
        if (w[0] == "set") {
            for (std::size_t i = 2; i < w.size(); ++i) sets_[w[1]] += static_cast<char>(std::stoi(w[i], nullptr, 16));
            return;
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
        fs::create_directories(root_ + "/" + base);
        for (std::size_t i = w[0] == "bus" ? 3 : 2; i < w.size(); ++i) Attribute(base, w[i]);
    }

private:
    void Attribute(const std::string& base, const std::string& word) {
        const std::size_t equals = word.find('=');
        if (word[0] == '+') {
            fs::create_directories(root_ + "/" + base + "/" + word.substr(1));
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

}  // namespace portiq::testing
