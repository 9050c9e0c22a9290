// The Linux platform's reading of what the kernel keeps for a USB device: its
// "descriptors" file and its strings, as a recorded system's files may hold anything.
// Input, through FuzzedDataProvider: the product, serial and interface strings, the udev
// database's entry of the serial port, then the descriptors file. The device sits on bus
// 1's port 1 with one interface holding a serial port and a sound card. Checks: the machine built from it runs PortIQ's whole run, with
// no NUL in the log; written out as a scenario it loads back and the run on it gives the
// same report and log, as portiq --dump promises.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "platform/linux/linux_machine.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/scenario_writer.h"

using namespace portiq;

namespace {

// A recorded system held in memory: files by path, folders by the names in them.
class MemoryFiles : public linuxsys::SystemFiles {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, std::vector<std::string>> folders;

    linuxsys::FileBytes Read(const std::string& path, std::size_t limit) override {
        const auto found = files.find(path);
        if (found == files.end()) return {linuxsys::FileError::kMissing, {}};
        return {linuxsys::FileError::kNone, found->second.substr(0, limit)};
    }
    std::optional<std::vector<std::string>> List(const std::string& path, std::size_t) override {
        const auto found = folders.find(path);
        if (found == folders.end()) return std::nullopt;
        return found->second;
    }
    std::map<std::string, std::string> links;
    std::string LinkTarget(const std::string& path) override {
        const auto found = links.find(path);
        return found == links.end() ? "" : found->second;
    }
    std::string RealPath(const std::string&) override { return "/sys/devices/pci0000:00/0000:00:14.0/usb1"; }
    bool IsDirectory(const std::string& path) override { return folders.count(path) != 0; }
    std::optional<linuxsys::PathStatus> Status(const std::string& path) override {
        if (!files.count(path)) return std::nullopt;
        return linuxsys::PathStatus{020660, 0, 20};
    }
    linuxsys::UserIds User() override { return {1000, {1000}}; }
    std::string GroupName(unsigned) override { return "dialout"; }
};

std::string Run(synthetic::SyntheticMachine& machine) {
    ResetRunState();
    machine.Install();
    CEnumDevicesApp().InitInstance();
    if (g_strLog.find('\0') != std::string::npos) std::abort();  // a NUL in the log
    return machine.system.messageBoxes.at(0).text + "|" + g_strLog;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryFiles files;
    const std::string usb = "/s/bus/usb/devices", device = usb + "/1-1", interface = usb + "/1-1:1.0";
    files.folders["/s"] = {"bus", "devices"};
    files.folders[usb] = {"usb1", "1-1", "1-1:1.0"};
    files.folders[usb + "/usb1"] = {};
    files.folders[device] = {};
    const std::string place = "../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0";
    files.links[interface + "/driver"] = "../../../../../bus/usb/drivers/ftdi_sio";
    files.folders["/s/class/tty"] = {"ttyUSB0"};
    files.links["/s/class/tty/ttyUSB0"] = place + "/ttyUSB0/tty/ttyUSB0";
    files.folders["/s/class/sound"] = {"card1"};
    files.links["/s/class/sound/card1"] = place + "/sound/card1";
    files.folders["/a"] = {"card1"};
    files.folders["/a/card1"] = {"pcm0c"};
    files.files["/a/card1/id"] = "CODEC\n";
    files.files[usb + "/usb1/maxchild"] = "1\n";
    files.files[device + "/product"] = input.ConsumeRandomLengthString(300);
    files.files[device + "/serial"] = input.ConsumeRandomLengthString(300);
    files.files[device + "/bConfigurationValue"] = "1\n";
    files.files[interface + "/interface"] = input.ConsumeRandomLengthString(300);
    files.files["/s/class/tty/ttyUSB0/dev"] = "188:0\n";
    files.files["/d/ttyUSB0"] = "";
    files.files["/r/c188:0"] = input.ConsumeRandomLengthString(300);
    files.files[device + "/descriptors"] = input.ConsumeRemainingBytesAsString();

    linuxsys::SystemRoots roots;
    roots.sysfs = "/s";
    roots.procAsound = "/a";
    roots.dev = "/d";
    roots.udevData = "/r";
    const linuxsys::LinuxSystem system = linuxsys::ReadLinuxSystem(files, roots);
    synthetic::SyntheticMachine machine;
    linuxsys::BuildMachine(system, machine);
    const std::string first = Run(machine);

    std::istringstream scenario(synthetic::WriteScenario(machine));
    synthetic::SyntheticMachine replay;
    std::string error;
    if (!synthetic::LoadScenario(scenario, replay, error) || Run(replay) != first) {
        std::fprintf(stderr, "the dump doesn't replay the same (%s); the log:\n%s", error.c_str(), first.c_str());
        std::abort();
    }
    ResetRunState();
    InstallPlatform(Platform{});
    return 0;
}
