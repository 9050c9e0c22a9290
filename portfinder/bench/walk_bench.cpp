// portiq-bench: prints time and peak heap of PortIQ's walks as the machine grows.
//   - the device-tree walk on synthetic trees of 10,000, 100,000 and 1,000,000 nodes with
//     1,000 sound and 1,000 USB records, and one of 40,000 sound codecs with as many sound
//     records; the trees have the shape of real ones (controllers, hubs, boxes with
//     interfaces, ports and a sound codec), repeated. Time and memory per node stay flat
//     as the tree grows: the walk is linear;
//   - the USB walk with its descriptor traces on 1, 4 and 10 host controllers, each full:
//     7 hubs of 17 devices (126 of the 127 addresses a controller has), the devices
//     taking turns among the real-sized descriptor sets of the default machine (an audio
//     codec with a 305-byte configuration, FT2232 boxes, an FT232R cable).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "app/enum_devices_app.h"
#include "app/log.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/synthetic_platform.h"
#include "usb/usb_walk.h"

namespace {

std::atomic<std::size_t> g_liveBytes{0};
std::atomic<std::size_t> g_peakBytes{0};

}  // namespace

// Counting allocator: the peak of live heap bytes during a walk.
void* operator new(std::size_t size) {
    void* block = std::malloc(size + sizeof(std::max_align_t));
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_liveBytes += size;
    std::size_t peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + sizeof(std::max_align_t);
}

// GCC can't see that the size header lies before every block it inlines this into.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void operator delete(void* pointer) noexcept {
    if (!pointer) return;
    void* block = static_cast<char*>(pointer) - sizeof(std::max_align_t);
    g_liveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}
#pragma GCC diagnostic pop

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

using namespace portiq;
using namespace portiq::synthetic;

namespace {

// Empties the run's globals and gives their memory back, so that the first round of a
// size grows its buffers from nothing, as a real run does.
void FreshRun(SyntheticMachine& machine) {
    ResetRunState();
    std::string().swap(g_strLog);
    std::string().swap(g_strMessage);
    std::vector<UsbDeviceRecord>().swap(g_usbDevices);
    machine.Install();
}

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

// A tree of about nodeCount nodes: a root, then host controllers with a hub each, each
// hub carrying boxes of 7 nodes (device, two interfaces, two ports, a codec and its
// interface). The records match every third codec and every fourth driver key.
// The records the sound list and the USB walk would leave for the device-tree walk.
struct WalkRecords {
    std::vector<CSbRecord> sound;
    std::vector<UsbDeviceRecord> usb;
};

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

// Sound codecs side by side under one hub, each with its own sound record.
void BuildCodecs(SyntheticMachine& machine, WalkRecords& records, int codecs) {
    SyntheticDeviceTree& tree = machine.tree;
    tree.AddNode(SyntheticDeviceTree::kNoParent, SyntheticNode{});
    const int hub = tree.AddNode(0, MakeNode("USB Root Hub", "USB\\ROOT_HUB\\4&1", "{h}\\0"));
    for (int n = 0; n < codecs; ++n) {
        AddCodec(tree, hub, n);
        records.sound.push_back(SoundRecord(n));
    }
}

// Walks the machine three times; prints the best time and the peak heap of the first,
// cold round (later rounds reuse the log's capacity).
void MeasureTreeWalk(const char* label, SyntheticMachine& machine, const WalkRecords& records) {
    double best = 1e300;
    std::size_t peak = 0;
    for (int round = 0; round < 3; ++round) {
        FreshRun(machine);
        g_soundDevices = records.sound;
        g_usbDevices = records.usb;
        const std::size_t base = g_liveBytes;
        g_peakBytes = base;
        const auto start = std::chrono::steady_clock::now();
        WalkDeviceTree();
        const auto stop = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
        if (round == 0) peak = g_peakBytes - base;
    }
    const double nodes = static_cast<double>(machine.tree.NodeCount());
    std::printf("%-34s %9zu %6zu %6zu %10.1f %8.0f %12zu %9.0f %8d\n", label, machine.tree.NodeCount(),
                records.sound.size(), records.usb.size(), best, best * 1e6 / nodes, peak / 1024,
                static_cast<double>(peak) / nodes, g_nDevicesFound);
    FreshRun(machine);
}

void BenchTreeWalk() {
    std::printf("Device-tree walk\n%-34s %9s %6s %6s %10s %8s %12s %9s %8s\n", "tree", "nodes", "sound", "usb",
                "walk ms", "ns/node", "peak KiB", "B/node", "boxes");
    for (const int size : {10000, 100000, 1000000}) {
        SyntheticMachine machine;
        WalkRecords records;
        BuildBoxes(machine, records, size, 1000, 1000);
        MeasureTreeWalk("boxes with codecs", machine, records);
    }
    SyntheticMachine codecs;
    WalkRecords records;
    BuildCodecs(codecs, records, 40000);
    MeasureTreeWalk("40,000 codecs, as many records", codecs, records);
}

// The devices of the bundled default machine, as their ports describe them.
std::vector<SyntheticPort> DefaultDevices() {
    SyntheticMachine machine;
    std::string error;
    if (!LoadScenarioFile(std::string(PORTIQ_SCENARIO_DIR) + "/default.scn", machine, error)) {
        std::fprintf(stderr, "portiq-bench: %s\n", error.c_str());
        std::exit(1);
    }
    std::vector<SyntheticPort> devices;
    for (std::size_t hub = 0; hub < machine.usb.HubCount(); ++hub) {
        for (const SyntheticPort& port : machine.usb.Hub(static_cast<int>(hub)).ports) {
            if (port.status == kDeviceConnected && port.hub < 0) devices.push_back(port);
        }
    }
    return devices;
}

std::u16string Number(int n) {
    const std::string text = std::to_string(n);
    return std::u16string(text.begin(), text.end());
}

// controllers host controllers, each with 7 hubs of 17 devices on its root hub.
int BuildUsb(SyntheticMachine& machine, int controllers, const std::vector<SyntheticPort>& devices) {
    int count = 0;
    for (int n = 0; n < controllers; ++n) {
        const int root = machine.usb.AddHub(u"USB#ROOT_HUB#" + Number(n), 7);
        machine.usb.AddHostController(n, SyntheticHostController{u"{36fc9e60-c465-11cf-8056-444553540000}\\" + Number(n), root});
        for (int h = 0; h < 7; ++h) {
            const int hub = machine.usb.AddHub(u"USB#HUB#" + Number(n) + u"&" + Number(h), 17);
            machine.usb.Hub(root).ports[h].status = kDeviceConnected;
            machine.usb.Hub(root).ports[h].hub = hub;
            for (SyntheticPort& port : machine.usb.Hub(hub).ports) {
                port = devices[count % devices.size()];
                port.driverKey = u"{36fc9e60-c465-11cf-8056-444553540000}\\" + Number(1000 + count++);
            }
        }
    }
    return count;
}

void BenchUsbWalk() {
    const std::vector<SyntheticPort> devices = DefaultDevices();
    std::printf("\nUSB walk with descriptor traces\n%12s %10s %12s %12s %14s %12s\n", "controllers", "devices",
                "walk ms", "us/device", "peak heap KiB", "log KiB");
    for (const int controllers : {1, 4, 10}) {
        SyntheticMachine machine;
        const int count = BuildUsb(machine, controllers, devices);
        double best = 1e300;
        std::size_t peak = 0;
        for (int round = 0; round < 5; ++round) {
            FreshRun(machine);
            const std::size_t base = g_liveBytes;
            g_peakBytes = base;
            const auto start = std::chrono::steady_clock::now();
            EnumerateHostControllers();
            const auto stop = std::chrono::steady_clock::now();
            best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
            if (round == 0) peak = g_peakBytes - base;
        }
        if (g_usbDevices.size() != static_cast<std::size_t>(count)) std::fprintf(stderr, "portiq-bench: records missing\n");
        std::printf("%12d %10d %12.2f %12.2f %14zu %12zu\n", controllers, count, best, best * 1e3 / count, peak / 1024,
                    g_strLog.size() / 1024);
    }
}

}  // namespace

int main() {
    BenchTreeWalk();
    BenchUsbWalk();
    return 0;
}
