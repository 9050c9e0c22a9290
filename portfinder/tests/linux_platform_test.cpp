// The Linux platform on recorded systems: the udev rules applied to each fixture's own
// attributes, the way udev matches them, name each port and card of each box and nothing
// else; a box unplugged at any moment of the reading is either reported whole or not at
// all.
#include <fnmatch.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/linux/udev_rules.h"
#include "platform/linux/posix_files.h"
#include "recorded_system.h"

namespace portiq::testing {
namespace {

namespace fs = std::filesystem;

using LinuxPlatformTest = RecordedSystemTest;

// What rules give one device: udev's matching, for the keys the rules use. ATTRS and
// KERNELS of a rule must all match on one device of the chain of parents.
std::string Apply(const std::string& rules, const fs::path& device, const std::string& subsystem) {
    struct Key {
        std::string name, argument, op, value;
    };
    // udev reads an attribute without its final line feeds, and drops its trailing
    // whitespace too unless the pattern itself ends in whitespace.
    auto matches = [](const std::string& pattern, std::string text) {
        const std::string drop = pattern.empty() || !std::strchr(" \t\n\r", pattern.back()) ? " \t\n\r" : "\n";
        while (!text.empty() && drop.find(text.back()) != std::string::npos) text.pop_back();
        return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
    };
    std::map<std::string, std::string> env = {{"SUBSYSTEM", subsystem}, {"KERNEL", device.filename().string()}};
    std::string given;
    std::istringstream in(rules);
    for (std::string line; std::getline(in, line);) {
        std::vector<Key> keys;  // NAME{ARGUMENT}OP"VALUE", separated by ", "
        for (std::size_t at = 0, quote; line[0] != '#' && (quote = line.find('"', at)) != std::string::npos;) {
            const std::size_t end = line.find('"', quote + 1), op = line.find_first_of("=+", at);
            const std::size_t brace = std::min(line.find('{', at), op);
            keys.push_back({line.substr(at, brace - at), brace < op ? line.substr(brace + 1, op - brace - 2) : "",
                            line.substr(op, quote - op), line.substr(quote + 1, end - quote - 1)});
            at = end + 3;
        }
        auto onDevice = [&](const fs::path& at) {
            return std::all_of(keys.begin(), keys.end(), [&](const Key& k) {
                return (k.name != "KERNELS" || matches(k.value, at.filename().string())) &&
                       (k.name != "ATTRS" ||
                        (fs::is_regular_file(at / k.argument) && matches(k.value, ReadFileBytes(at / k.argument))));
            });
        };
        const bool match = !keys.empty() && std::all_of(keys.begin(), keys.end(), [&](const Key& k) {
            return k.op != "==" || k.name == "ATTRS" || k.name == "KERNELS" || k.name == "ACTION" ||
                   matches(k.value, env[k.name == "ENV" ? k.argument : k.name]);
        });
        bool onChain = false;
        for (fs::path at = device; match && !onChain && at.has_relative_path(); at = at.parent_path()) onChain = onDevice(at);
        for (const Key& k : keys) {
            if (!onChain) break;
            if (k.name == "ENV" && k.op == "=") env[k.argument] = k.value;
            if ((k.name == "SYMLINK" || k.name == "ATTR") && k.op != "==") given += (given.empty() ? "" : " ") + k.value;
        }
    }
    return given;
}

TEST_F(LinuxPlatformTest, UdevRulesNameEachPortAndCardOfEachBoxFromTheFixturesAttributes) {
    struct Case {
        const char* fixture;
        const char* device;  // under sys/bus/usb/devices
        const char* subsystem;
        const char* given;   // links and card ids, written from the fixture
    };
    const Case cases[] = {
        {"two-identical-boxes", "1-1.2:1.0/ttyUSB2/tty/ttyUSB2", "tty", "tavrilink/nova-TN0A1B2C-cat"},
        {"two-identical-boxes", "1-1.2:1.1/ttyUSB3/tty/ttyUSB3", "tty", "tavrilink/nova-TN0A1B2C-ptt-cw"},
        {"two-identical-boxes", "1-3.2:1.0/ttyUSB0/tty/ttyUSB0", "tty", "tavrilink/nova-TN0A1B2D-cat"},
        {"two-identical-boxes", "1-3.2:1.1/ttyUSB1/tty/ttyUSB1", "tty", "tavrilink/nova-TN0A1B2D-ptt-cw"},
        {"two-identical-boxes", "1-1.1:1.0/sound/card2", "sound", "NovaTN0A1B2C"},
        {"two-identical-boxes", "1-3.1:1.0/sound/card1", "sound", "NovaTN0A1B2D"},
        {"box-without-serial", "12-4:1.0/ttyUSB0/tty/ttyUSB0", "tty", "tavrilink/meridian-port12-4-serial"},
        {"box-without-serial", "12-4:1.1/ttyUSB1/tty/ttyUSB1", "tty", "tavrilink/meridian-port12-4-fsk"},
        {"shared-hub", "1-1.3:1.1/ttyUSB1/tty/ttyUSB1", "tty", "tavrilink/meridian-TM0D4E5F-fsk"},
        {"shared-hub", "1-1.4.2:1.0/ttyUSB2/tty/ttyUSB2", "tty", "tavrilink/nova-TN0A1B2C-cat"},
        {"shared-hub", "1-1.4.1:1.0/sound/card2", "sound", "NovaTN0A1B2C"},
        {"shared-hub", "1-1.1:1.0/sound/card1", "sound", ""},  // the other radio's codec
        {"ftdi-cable", "1-3:1.0/ttyUSB0/tty/ttyUSB0", "tty", ""},
        // Another radio's codec on a hub of its own: no id for it, none for the box beside.
        {"transceiver-beside-box", "1-5.2:1.0/sound/card1", "sound", ""},
        {"transceiver-beside-box", "1-6.2:1.1/ttyUSB2/tty/ttyUSB2", "tty", "tavrilink/nova-TN0DEAD1-ptt-cw"},
        {"unbound-bridge", "1-2.1:1.0/sound/card1", "sound", "NovaTN0B0B0B"},
        // Serial numbers udev can't compare as they read are keyed on the port; look-alikes
        // keep their own (udev-names.txt has every port, for udev itself).
        {"serial-numbers", "1-1:1.1/ttyUSB1/tty/ttyUSB1", "tty", "tavrilink/meridian-port1-1-ptt-cw"},
        {"serial-numbers", "1-2:1.0/ttyUSB2/tty/ttyUSB2", "tty", "tavrilink/nova-TN_1-cat"},
        {"serial-numbers", "1-3:1.0/ttyUSB3/tty/ttyUSB3", "tty", "tavrilink/nova-TNA1-cat"},
        {"serial-numbers", "1-4:1.0/ttyUSB4/tty/ttyUSB4", "tty", "tavrilink/nova-port1-4-cat"},
        {"serial-numbers", "1-8.1:1.0/sound/card2", "sound", "OrbitTO0042"},
    };
    std::map<std::string, std::pair<std::string, std::string>> laid;  // fixture: root, rules
    for (const Case& c : cases) {
        auto& [root, rules] = laid[c.fixture];
        if (root.empty()) {
            root = LayFixture(c.fixture);
            linuxsys::PosixFiles files;
            const std::string report = Run(files, root);
            rules = linuxsys::WriteUdevRules(system, g_boxBlocks, g_soundDevices, built->system.codePage);
        }
        const fs::path device = fs::canonical(root + "/sys/bus/usb/devices/" + c.device);
        EXPECT_EQ(Apply(rules, device, c.subsystem), c.given) << c.fixture << " " << c.device << "\n" << rules;
    }
}

// Removes a device's folders (and its link) at the nth read, as an unplug does.
class UnpluggingFiles : public linuxsys::PosixFiles {
public:
    UnpluggingFiles(std::string link, int nth) : link_(std::move(link)), reads_(nth) {}
    linuxsys::FileBytes Read(const std::string& path, std::size_t limit) override {
        if (--reads_ == 0) {
            fs::remove_all(fs::canonical(link_));
            fs::remove(link_);
        }
        return PosixFiles::Read(path, limit);
    }
    bool Unplugged() const { return reads_ <= 0; }

private:
    std::string link_;
    int reads_;
};

// A file the user may not read is noted as such, never as a device that failed.
TEST_F(LinuxPlatformTest, AFileThePermissionsHideIsNotedAsSuch) {
    struct DenyingFiles : linuxsys::PosixFiles {
        linuxsys::FileBytes Read(const std::string& path, std::size_t limit) override {
            if (path.find("/1-2.1/descriptors") != std::string::npos) return {linuxsys::FileError::kDenied, {}};
            return PosixFiles::Read(path, limit);
        }
    } files;
    const std::string root = LayFixture("box-with-codec");
    Run(files, root);
    ASSERT_EQ(system.notes.size(), 1u);
    EXPECT_EQ(system.notes[0], root + "/sys/bus/usb/devices/1-2.1/descriptors: can't be read: permission denied; "
                                      "the device is left undescribed");
}

TEST_F(LinuxPlatformTest, ABoxUnpluggedAtAnyReadIsReportedWholeOrNotAtAll) {
    const std::string whole = "Found device #1\nAudio\thw:CARD=CODEC / hw:2\n/dev/ttyUSB0\tTavrilink Nova CAT port\n"
                              "/dev/ttyUSB1\tTavrilink Nova PTT/CW port\n\n\nGo to Device Manager to make\nchanges, if needed.";
    bool sawGone = false, sawWhole = false;
    for (int nth = 1;; ++nth) {
        const std::string root = LayFixture("box-with-codec");
        UnpluggingFiles files(root + "/sys/bus/usb/devices/1-2.2", nth);
        const std::string report = Run(files, root);
        if (!files.Unplugged()) break;
        const bool gone = report == "Tavrilink device not found or drivers not installed.";
        EXPECT_TRUE(gone || report == whole) << "unplugged at read " << nth << ":\n" << report;
        sawGone = sawGone || gone;
        sawWhole = sawWhole || report == whole;
    }
    EXPECT_TRUE(sawGone && sawWhole);
}

// The descriptors file as the kernel keeps it: the device descriptor, then each
// configuration as it came, whatever its wTotalLength says.
TEST(LinuxDescriptors, EachConfigurationStartsAtItsOwnHeaderAndTheActiveOneIsUsed) {
    const std::string device("\x12\x01\x00\x02\x00\x00\x00\x40\x03\x04\x10\x60\x00\x05\x01\x02\x03\x02", 18);
    const std::string interface("\x09\x04\x00\x00\x02\xff\xff\xff\x02", 9);
    // wTotalLength 0x0200 where 18 bytes came, then 9 where 18 came.
    const std::string first = std::string("\x09\x02\x00\x02\x01\x01\x00\x80\x2d", 9) + interface;
    const std::string second = std::string("\x09\x02\x09\x00\x01\x02\x00\x80\x2d", 9) + interface;
    const struct {
        std::string bytes;
        unsigned active;
        std::string used;  // the configuration's bytes
    } cases[] = {
        {device + first + second, 2, second},
        {device + first + second, 0, first},                                    // unconfigured: the first
        {device + first + second.substr(0, 8), 1, first + second.substr(0, 8)},  // a header cut short
        {device + first + std::string("\x00\x02", 2) + second, 2, first},        // a length of 0 ends it
    };
    for (const auto& c : cases) {
        linuxsys::UsbDevice usb;
        usb.descriptors = linuxsys::ParseUsbDescriptors(c.bytes);
        usb.activeConfiguration = c.active;
        const std::vector<std::uint8_t>* used = usb.ActiveConfiguration();
        EXPECT_EQ(used ? std::string(used->begin(), used->end()) : "none", c.used) << c.active;
    }
}

}  // namespace
}  // namespace portiq::testing
