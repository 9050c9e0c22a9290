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
#include "bench/big_machines.h"
#include "base/log.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
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
using namespace portiq::bench;

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

void BenchUsbWalk() {
    const std::vector<SyntheticPort> devices = DefaultDevices();
    std::printf("\nUSB walk with descriptor traces\n%12s %10s %12s %12s %14s %12s\n", "controllers", "devices",
                "walk ms", "us/device", "peak heap KiB", "log KiB");
    for (const int controllers : {1, 4, 10}) {
        SyntheticMachine machine;
        const int count = BuildUsb(machine, 119 * controllers, devices);
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
