#include "bench/big_machines.h"

#include <cstdio>
#include <cstdlib>

#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"

namespace portiq::bench {
namespace {

using synthetic::SyntheticDeviceTree;
using synthetic::SyntheticMachine;
using synthetic::SyntheticNode;
using synthetic::SyntheticPort;

const char* const kProducts[] = {"Tavrilink Nova (CAT+PTT/CW)", "Tavrilink Meridian (SERIAL+FSK)", "FT232R USB UART",
                                 "Tavrilink NovaNova (MORSIX+FSK)", "Tavrilink Lynx"};

const char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";

SyntheticNode MakeNode(const std::string& name, const std::string& id, const std::string& driver) {
    SyntheticNode node;
    node.classGuid = kUsbClass;
    node.deviceDescription = name;
    node.deviceId = id;
    node.driverKey = driver;
    return node;
}

// The instance part of codec number n's interface: in its node's ID and in the sound
// record's interface path.
std::string CodecInstance(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "7&%X&0&0000", static_cast<unsigned>(n));
    return text;
}

// A sound codec under parent: the USB device and its audio interface.
void AddCodec(SyntheticDeviceTree& tree, int parent, int n) {
    const int codec = tree.AddNode(parent, MakeNode("USB Audio CODEC", "USB\\VID_08BB&PID_2902\\C" + std::to_string(n), "{a}\\0"));
    tree.AddNode(codec, MakeNode("USB Audio Device", "USB\\VID_08BB&PID_2902&MI_00\\" + CodecInstance(n), "{m}\\0"));
}

CSbRecord SoundRecord(int codec) {
    CSbRecord record;
    record.strName = "USB Audio CODEC";
    record.strInterface = "\\\\?\\USB#VID_08BB&PID_2902&MI_00#" + CodecInstance(codec) +
                          "#{6994AD04-93EF-11D0-A3CC-00A0C9223196}\\GLOBAL";
    return record;
}

std::u16string Number(int n) {
    const std::string text = std::to_string(n);
    return std::u16string(text.begin(), text.end());
}

// String descriptor bytes for a text: bLength, type 3 and the UTF-16 units.
std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(2 + 2 * text.size()), kStringDescriptorType};
    for (char c : text) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
    return bytes;
}

}  // namespace

void BuildBoxes(SyntheticMachine& machine, WalkRecords& records, int nodeCount, int soundRecords, int usbRecords) {
    SyntheticDeviceTree& tree = machine.tree;
    tree.AddNode(SyntheticDeviceTree::kNoParent, SyntheticNode{});
    int added = 1, box = 0;
    while (added < nodeCount) {
        const int controller = tree.AddNode(0, MakeNode("USB Host Controller", "PCI\\VEN_8086&DEV_27C8", "{c}\\0"));
        const int hub = tree.AddNode(controller, MakeNode("USB Root Hub", "USB\\ROOT_HUB\\4&1", "{h}\\0"));
        added += 2;
        for (int i = 0; i < 20 && added < nodeCount; ++i, ++box, added += 7) {
            const std::string serial = "S" + std::to_string(box);
            const std::string driver = std::string(kUsbClass) + "\\" + std::to_string(box % 4000);
            const int device = tree.AddNode(hub, MakeNode("USB Composite Device", "USB\\VID_0403&PID_6010\\" + serial, driver));
            for (const char channel : {'A', 'B'}) {
                const int interface = tree.AddNode(device, MakeNode("USB Serial Converter", "USB\\VID_0403&PID_6010&MI_00\\" + serial, driver + channel));
                SyntheticNode port = MakeNode("", "FTDIBUS\\VID_0403+PID_6001+" + serial + channel + "\\0000", "{p}\\" + serial);
                port.friendlyName = "USB Serial Port (COM" + std::to_string(box * 2 + (channel - 'A') + 3) + ")";
                tree.AddNode(interface, port);
            }
            AddCodec(tree, hub, box);
        }
    }
    for (int r = 0; r < soundRecords; ++r) records.sound.push_back(SoundRecord(r * 3));
    for (int r = 0; r < usbRecords; ++r) {
        UsbDeviceRecord record;
        record.strProduct = kProducts[r % 5];
        record.strDriverKey = std::string(kUsbClass) + "\\" + std::to_string(r * 4);
        records.usb.push_back(record);
    }
}

void BuildCodecs(SyntheticMachine& machine, WalkRecords& records, int codecs) {
    SyntheticDeviceTree& tree = machine.tree;
    tree.AddNode(SyntheticDeviceTree::kNoParent, SyntheticNode{});
    const int hub = tree.AddNode(0, MakeNode("USB Root Hub", "USB\\ROOT_HUB\\4&1", "{h}\\0"));
    for (int n = 0; n < codecs; ++n) {
        AddCodec(tree, hub, n);
        records.sound.push_back(SoundRecord(n));
    }
}

std::vector<SyntheticPort> DefaultDevices() {
    SyntheticMachine machine;
    std::string error;
    if (!synthetic::LoadScenarioFile(std::string(PORTIQ_SCENARIO_DIR) + "/default.scn", machine, error)) {
        std::fprintf(stderr, "portiq bench: %s\n", error.c_str());
        std::exit(1);
    }
    std::vector<SyntheticPort> devices;
    for (std::size_t hub = 0; hub < machine.usb.HubCount(); ++hub) {
        for (const auto& [index, port] : machine.usb.Hub(static_cast<int>(hub)).ports.Stated()) {
            if (port.status == kDeviceConnected && port.hub < 0) devices.push_back(port);
        }
    }
    return devices;
}

int BuildUsb(SyntheticMachine& machine, int count, const std::vector<SyntheticPort>& models,
             const std::vector<UsbDeviceRecord>& driverKeys) {
    int placed = 0;
    for (int n = 0; placed < count && n < synthetic::SyntheticUsb::kHostControllers; ++n) {
        const int root = machine.usb.AddHub(u"USB#ROOT_HUB#" + Number(n), 7);
        machine.usb.AddHostController(n, synthetic::SyntheticHostController{std::u16string(u"{36fc9e60-c465-11cf-8056-444553540000}\\") + Number(n), root});
        for (int h = 0; h < 7 && placed < count; ++h) {
            const int hub = machine.usb.AddHub(u"USB#HUB#" + Number(n) + u"&" + Number(h), 17);
            machine.usb.Hub(root).ports[h].status = kDeviceConnected;
            machine.usb.Hub(root).ports[h].hub = hub;
            for (std::size_t p = 0; p < machine.usb.Hub(hub).ports.size(); ++p) {
                if (placed == count) break;
                SyntheticPort& port = machine.usb.Hub(hub).ports[p];
                port = models[placed % models.size()];
                port.driverKey = placed < static_cast<int>(driverKeys.size())
                                     ? Utf8ToWide(driverKeys[placed].strDriverKey)
                                     : u"{36fc9e60-c465-11cf-8056-444553540000}\\" + Number(1000 + placed);
                ++placed;
            }
        }
    }
    return placed;
}

void AddHardwareFor(SyntheticMachine& machine, const WalkRecords& records) {
    for (const CSbRecord& record : records.sound) {
        machine.wave.devices.push_back({record.strName, Utf8ToWide(record.strInterface)});
    }
    const int placed = BuildUsb(machine, static_cast<int>(records.usb.size()), DefaultDevices(), records.usb);
    // Each device's product string is its record's.
    int device = 0;
    for (std::size_t hub = 0; hub < machine.usb.HubCount() && device < placed; ++hub) {
        for (std::size_t p = 0; p < machine.usb.Hub(static_cast<int>(hub)).ports.size(); ++p) {
            const SyntheticPort* stated = machine.usb.Hub(static_cast<int>(hub)).ports.Find(p);
            if (!stated || stated->status != kDeviceConnected || stated->hub >= 0 || device == placed) continue;
            SyntheticPort& port = machine.usb.Hub(static_cast<int>(hub)).ports[p];
            port.strings[{2, synthetic::kAnyLanguage}].bytes = StringDescriptor(records.usb[device++].strProduct);
        }
    }
}

}  // namespace portiq::bench
