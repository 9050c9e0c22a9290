// The diagnosis on one table of machines, each with the lines it must add under its
// boxes: Windows PCs (the default machine, changed where a case says) and Linux PCs
// (recorded systems). Every cause alone, two on one box, a healthy box beside a broken
// one, and a machine where nothing is wrong.
#include <utility>
#include <vector>

#include "app/linux/udev_rules.h"
#include "platform/linux/posix_files.h"
#include "recorded_system.h"

namespace portiq::testing {
namespace {

using Edits = std::vector<std::pair<std::string, std::string>>;

// The default machine's nodes and ports the cases change.
const char kCom5[] = R"(+PID_6010+TN0A1B2CA\0000")";
const char kCom6[] = R"(+PID_6010+TN0A1B2CB\0000")";
const char kCom8[] = R"(+PID_6010+TM0D4E5FB\0000")";
const char kCodec[] = R"(id="USB\VID_08BB&PID_2902\6&3A4B5C6D&0&1")";
const char kNovaA[] = R"(PID_6010&MI_00\7&1D2E3F40&0&0000")";
const char kNovaB[] = R"(PID_6010&MI_01\7&1D2E3F40&0&0001")";
const char kPort[] = R"(class={4d36e978-e325-11ce-bfc1-08002be10318} name="USB Serial Port ()";
const char kNoPort[] = R"(class=none name="USB Serial Port ()";

// The lines of a report the diagnosis wrote, each run with the line it stands under.
std::string Diagnoses(const std::string& report) {
    std::string found, previous;
    bool inRun = false;
    for (std::size_t at = 0; at < report.size();) {
        const std::size_t end = std::min(report.find('\n', at), report.size());
        const std::string line = report.substr(at, end - at);
        at = end + 1;
        const bool diagnosis = line.compare(0, 2, "!\t") == 0;
        if (diagnosis && !inRun) found += previous + "\n";
        if (diagnosis) found += line + "\n";
        inRun = diagnosis;
        previous = line;
    }
    return found;
}

// Each edit replaces the first occurrence of a text.
std::string Edited(std::string text, const Edits& edits) {
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

std::pair<std::string, std::string> Add(const std::string& after, const std::string& added) { return {after, after + added}; }

class DiagnosisTest : public RecordedSystemTest {
protected:
    std::string RunWindows(const Edits& edits) {
        ResetRunState();
        machine = synthetic::SyntheticMachine();
        LoadText(Edited(ReadFileBytes(ScenarioPath("default.scn")), edits));
        CEnumDevicesApp().InitInstance();
        return machine.system.messageBoxes.at(0).text;
    }

    // A recorded Linux system read as root, or as a user outside the ports' group: every
    // node is root's and dialout's (20), read and write for both.
    std::string RunLinux(const std::string& description, bool root) {
        struct AsUser : linuxsys::PosixFiles {
            bool root = false;
            std::optional<linuxsys::PathStatus> Status(const std::string& path) override {
                if (!PosixFiles::Status(path)) return std::nullopt;
                return linuxsys::PathStatus{020660, 0, 20};
            }
            linuxsys::UserIds User() override { return root ? linuxsys::UserIds{0, {0}} : linuxsys::UserIds{1000, {1000, 24}}; }
            std::string GroupName(unsigned gid) override { return gid == 20 ? "dialout" : std::to_string(gid); }
        } files;
        files.root = root;
        return Run(files, Lay(description));
    }
};

TEST_F(DiagnosisTest, EachCauseIsNamedUnderItsBoxWithWhatToDo) {
    // Windows: the default machine, edited. Linux: a Nova on its own hub with its codec,
    // and the bridge's interfaces each case gives.
    const std::string hub = "hc 1 ", install = ". Install the USB serial driver for FTDI chips, then replug the box.\n";
    const std::string plug = ". Plug the box straight into the PC or into a powered hub, then replug it.\n";
    const std::string nova =
        "bus 1 0000:00:14.0 maxchild=4\nusb 1-2 descriptors=@hub maxchild=4 bConfigurationValue=1\n"
        "usb 1-2.1 descriptors=@codec product=\"USB Audio CODEC\" bConfigurationValue=1\n"
        "iface 1-2.1:1.0 @driver=snd-usb-audio +sound/card2\nproc card2 id=CODEC +pcm0c\n"
        "usb 1-2.2 descriptors=@ft2232 product=\"Tavrilink Nova (CAT+PTT/CW)\" serial=TN0A1B2C ";
    const std::string a = "bConfigurationValue=1\niface 1-2.2:1.0 @driver=ftdi_sio +ttyUSB0/tty/ttyUSB0\n";
    const std::string b = "iface 1-2.2:1.1 @driver=ftdi_sio +ttyUSB1/tty/ttyUSB1\n";
    const std::string mm = nova + a + b + "udev c188:0 E:ID_MM_CANDIDATE=1\nudev c188:1 E:ID_MM_CANDIDATE=1 E:ID_MM_DEVICE_IGNORE=1\n";
    const std::string replug = ". Replug the box; if that doesn't help, run: sudo modprobe ftdi_sio\n";
    const std::string noAccess = ": you may not open it (it belongs to the group dialout). Run: sudo usermod -aG dialout "
                                 "$USER, then log in again.\n";
    const std::string catLine = "/dev/ttyUSB0\tTavrilink Nova CAT port\n";
    struct Case {
        const char* name;
        Edits edits;              // a Windows PC's
        std::string description;  // else a Linux PC's, read as root or as a user outside the ports' group
        bool root;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing wrong", {}, "", false, ""},
        {"a port disabled", {Add(kCom6, " problem=22")}, "", false,
         "COM6\tTavrilink Nova PTT/CW port\n!\tCOM6: disabled. Enable it in Device Manager.\n"},
        {"the serial driver not installed (no ports)",
         {Add(kNovaA, " problem=28"), Add(kNovaB, " problem=28"), {kPort, kNoPort}, {kPort, kNoPort}}, "", false,
         "Audio\tUSB Audio CODEC\n!\tChannel A: the driver is not installed" + install +
             "!\tChannel B: the driver is not installed" + install},
        {"the codec failed, and a healthy box beside", {Add(kCodec, " problem=10")}, "", false,
         "COM6\tTavrilink Nova PTT/CW port\n!\tSound codec: could not start. Replug the box.\n"},
        {"two causes on one box, and another box broken",
         {Add(kCom5, " problem=22"), Add(kCodec, " problem=43"), Add(kCom8, " problem=22")}, "", false,
         "COM6\tTavrilink Nova PTT/CW port\n!\tCOM5: disabled. Enable it in Device Manager.\n"
         "!\tSound codec: Device Manager shows problem code 43. Replug the box.\n"
         "COM8\tTavrilink Meridian FSK port\n!\tCOM8: disabled. Enable it in Device Manager.\n"},
        {"a port of the box's hub without power",
         {{hub, "    port 3 device status=5\n      device 12 01 00 02 00 00 00 40 e3 05 08 06 02 77 00 01 00 01\n" + hub}},
         "", false, "COM6\tTavrilink Nova PTT/CW port\n!\tUSB port 1.3 on controller 0: not enough power for the device" + plug},
        {"a box Windows has no node of", {{R"(PID_6010\TN0A1B2C" driver="{36fc9e60-c465-11cf-8056-444553540000}\0012")", "X\""}},
         "", false, "Tavrilink Nova (CAT+PTT/CW) at USB port 1.2 on controller 0:\n!\tThe box: the driver is not installed" + install},
        {"an FTDI bridge that failed enumeration, no box of its hub",
         {{R"(port 2 device driver="{36fc9e60-c465-11cf-8056-444553540000}\0018")", "port 2 device status=2"}}, "", false,
         "USB device 0403:6001 at USB port 2 on controller 1:\n!\tUSB port 2 on controller 1: the device failed enumeration" + plug},
        {"Linux: nothing wrong", {}, nova + a + b, true, ""},
        {"Linux: channel B unbound while A works", {}, nova + a + "iface 1-2.2:1.1\n", true,
         catLine + "!\tChannel B: no driver is bound" + replug},
        {"Linux: channel B held through usbfs", {}, nova + a + "iface 1-2.2:1.1 @driver=usbfs\n", true,
         catLine + "!\tChannel B: held by a program through usbfs (a braille display service does this). If you use "
                   "no braille display, run: sudo systemctl mask --now brltty-udev.service brltty.service, then replug the box.\n"},
        {"Linux: channel B taken by another driver", {}, nova + a + "iface 1-2.2:1.1 @driver=jtag_probe\n", true,
         catLine + "!\tChannel B: taken by the driver jtag_probe instead of ftdi_sio. Run: sudo modprobe -r jtag_probe, "
                   "then replug the box.\n"},
        {"Linux: the box not authorized", {}, nova + "authorized=0\n", true,
         "Tavrilink Nova (CAT+PTT/CW) at USB port 1-2.2:\n!\tThe box: not authorized on this PC. Allow it: echo 1 | "
         "sudo tee /sys/bus/usb/devices/1-2.2/authorized\n"},
        {"Linux: a user outside the ports' group", {}, nova + a + b, false,
         "/dev/ttyUSB1\tTavrilink Nova PTT/CW port\n!\t/dev/ttyUSB0" + noAccess + "!\t/dev/ttyUSB1" + noAccess},
        {"Linux: the modem manager probes one port, is told to leave the other", {}, mm, true,
         "/dev/ttyUSB1\tTavrilink Nova PTT/CW port\n!\t/dev/ttyUSB0: the modem manager will probe it, which can key "
         "the radio. Install the rules of portiq --udev-rules: they keep it away.\n"},
        {"Linux: a radio's port offered to the modem manager", {},
         nova + a + b + "usb 1-3 descriptors=@hub maxchild=4 bConfigurationValue=1\nusb 1-3.1 descriptors=@cp2102 "
             "\"serial=IC-7300 03001234\" bConfigurationValue=1\niface 1-3.1:1.0 @driver=cp210x +ttyUSB2/tty/ttyUSB2\n"
             "udev c188:2 E:ID_MM_CANDIDATE=1\n",
         true, "/dev/ttyUSB2\tIcom IC-7300 CAT port\n!\t/dev/ttyUSB2: the modem manager will probe it, which can key "
               "the radio. Install the rules of portiq --udev-rules: they keep it away.\n"},
        {"Linux: two causes on a box beside a healthy one", {},
         nova + a + b + "usb 1-3 descriptors=@hub maxchild=4 bConfigurationValue=1\n"
             "usb 1-3.1 descriptors=@codec product=\"USB Audio CODEC\" bConfigurationValue=1\niface 1-3.1:1.0\n"
             "usb 1-3.2 descriptors=@ft2232 product=\"Tavrilink Nova (CAT+PTT/CW)\" serial=TN0A1B2D bConfigurationValue=1\n"
             "iface 1-3.2:1.0 @driver=ftdi_sio +ttyUSB2/tty/ttyUSB2\niface 1-3.2:1.1\n",
         true, "/dev/ttyUSB2\tTavrilink Nova CAT port\n!\tChannel B: no driver is bound" + replug +
                   "!\tSound codec: no sound card. Replug the box.\n"},
    };
    for (const Case& c : cases) {
        ResetRunState();
        const std::string report = c.description.empty() ? RunWindows(c.edits) : RunLinux(c.description, c.root);
        EXPECT_EQ(Diagnoses(report), c.expected) << c.name;
    }
    // The rules keep the modem manager away from both ports it was offered, the one it
    // ignores already too: else the next rules written would drop it again.
    RunLinux(mm, true);
    const std::string rules = linuxsys::WriteUdevRules(system, g_boxBlocks, g_soundDevices, built->system.codePage);
    for (const std::string role : {"-cat\"", "-ptt-cw\""}) {
        EXPECT_NE(rules.find(role + ", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"), std::string::npos) << rules;
    }
}

}  // namespace
}  // namespace portiq::testing
