// The USB topology walk and the descriptor trace on synthetic machines: the requests as
// sent, the failure table, the records, the trace's fields and language rules, and
// hostile hardware and drivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "base/log.h"
#include "devtree/device_records.h"
#include "platform/text.h"
#include "test_support.h"
#include "usb/descriptor_trace.h"
#include "usb/usb_walk.h"

namespace portiq {
namespace {

using synthetic::DescriptorAnswer;
using synthetic::SyntheticHostController;
using synthetic::SyntheticPort;
using testing::PortIqTest;

std::vector<std::uint8_t> StringBytes(const std::u16string& text) { return UsbStringDescriptor(text); }

// A device descriptor: USB 2.0, vendor 0abc, product 0001, with the three string indices.
std::array<std::uint8_t, 18> DeviceDescriptor(std::uint8_t manufacturer, std::uint8_t product, std::uint8_t serial) {
    return {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xbc, 0x0a, 0x01, 0x00, 0x00, 0x01, manufacturer, product, serial, 1};
}

// A driver's answer to one request, as a test may change it before the walk sees it.
struct Answer {
    unsigned char* buffer;
    std::uint32_t bytes;
    std::uint32_t& returned;
    bool& ok;
};

// Wraps the machine's USB and lets a test change the drivers' answers to one control code.
class TamperedUsb : public UsbDevices {
public:
    TamperedUsb(synthetic::SyntheticMachine& machine, std::uint32_t code, std::function<void(Answer&)> tamper)
        : machine_(machine), code_(code), tamper_(std::move(tamper)) {}
    DeviceHandle CreateFileA(const char* path) override { return machine_.usb.CreateFileA(path); }
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                         std::uint32_t& returned) override {
        bool ok = machine_.usb.DeviceIoControl(device, code, buffer, bytes, returned);
        Answer answer{static_cast<unsigned char*>(buffer), bytes, returned, ok};
        if (code == code_) {
            tamper_(answer);
            if (!ok) machine_.system.lastError = kErrorGenFailure;  // what a failing driver leaves
        }
        return ok;
    }
    bool CloseHandle(DeviceHandle device) override { return machine_.usb.CloseHandle(device); }
    CONFIGRET GetHostControllerInterfaceListSize(std::uint32_t& length) override {
        return machine_.usb.GetHostControllerInterfaceListSize(length);
    }
    CONFIGRET GetHostControllerInterfaceList(char* buffer, std::uint32_t length) override {
        return machine_.usb.GetHostControllerInterfaceList(buffer, length);
    }

private:
    synthetic::SyntheticMachine& machine_;
    std::uint32_t code_;
    std::function<void(Answer&)> tamper_;
};

class Usb : public PortIqTest {
protected:
    // HCD0 with a root hub named ROOT of ports ports.
    int RootHub(std::size_t ports) {
        const int hub = machine.usb.AddHub(u"ROOT", ports);
        SyntheticHostController controller;
        controller.driverKey = u"{hc}\\0000";
        controller.rootHub = hub;
        machine.usb.AddHostController(0, controller);
        return hub;
    }
    SyntheticPort& PlugDevice(int hub, std::size_t port, std::array<std::uint8_t, 18> descriptor) {
        SyntheticPort& p = machine.usb.Hub(hub).ports.at(port - 1);
        p.status = kDeviceConnected;
        p.deviceDescriptor = descriptor;
        return p;
    }
    void FreshMachine() {
        ResetRunState();
        machine = synthetic::SyntheticMachine();
    }
    // A fresh machine whose root hub's port 1 holds a device with language 0409, product
    // (string 2) "P", a driver key and a configuration of nothing but its header.
    SyntheticPort& FreshDevice(std::size_t rootPorts = 1) {
        FreshMachine();
        SyntheticPort& port = PlugDevice(RootHub(rootPorts), 1, DeviceDescriptor(0, 2, 0));
        port.strings[{0, synthetic::kAnyLanguage}].bytes = {4, 3, 0x09, 0x04};
        port.strings[{2, synthetic::kAnyLanguage}].bytes = StringBytes(u"P");
        port.driverKey = u"{usb}\\0001";
        port.configuration = DescriptorAnswer{{9, 2, 9, 0, 0, 1, 0, 0x80, 0}};
        return port;
    }
    void Install(UsbDevices* usb) {
        machine.Install();
        if (usb) InstallPlatform(Platform{&machine.tree, &machine.system, &machine.wave, usb});
    }
    // The descriptor trace of the device on port 1 of the root hub, as the walk runs it.
    std::string Trace() {
        Install(nullptr);
        UniqueDeviceHandle hub(*CurrentPlatform().usb, CurrentPlatform().usb->CreateFileA("\\\\.\\root"));
        EXPECT_TRUE(hub);
        UsbNodeConnectionInformation info{};
        std::memcpy(&info.DeviceDescriptor, machine.usb.Hub(0).ports.at(0).deviceDescriptor.data(), 18);
        DisplayConfigurationDescriptor(hub.get(), 1, DisplayDeviceDescriptor(hub.get(), 1, 0, info.DeviceDescriptor));
        return g_strLog;
    }
    int Walk(UsbDevices* usb = nullptr) {
        Install(usb);
        const int result = EnumerateHostControllers();
        EXPECT_EQ(machine.usb.OpenHandleCount(), 0u) << "every handle is closed";
        return result;
    }
};

// ---- the requests ----

TEST_F(Usb, EveryRequestGoesOutWithItsControlCodeAndBufferSize) {
    LoadFile("default.scn");
    machine.usb.recordRequests = true;
    EnumerateHostControllers();
    std::map<std::uint32_t, std::set<std::uint32_t>> sizes;
    for (const synthetic::UsbRequest& request : machine.usb.requests) {
        sizes[request.code].insert(request.bytes);
        if (request.code == kIoctlUsbGetDescriptorFromNodeConnection) {
            EXPECT_EQ(request.bmRequest, 0x80);
            EXPECT_EQ(request.bRequest, 6);
            const unsigned type = request.wValue >> 8, index = request.wValue & 0xFF;
            // Configuration 0 in 256 bytes; string 0 in 4; other strings in 255, in English.
            const std::pair<unsigned, unsigned> lengthAndLanguage =
                type == 2 ? std::make_pair(256u, 0u) : index == 0 ? std::make_pair(4u, 0u) : std::make_pair(255u, 0x0409u);
            EXPECT_EQ(std::make_pair(unsigned{request.wLength}, unsigned{request.wIndex}), lengthAndLanguage)
                << std::hex << request.wValue;
            EXPECT_TRUE(type == 2 || type == 3);
        }
    }
    // The driver key name: first the bare 10-byte structure, then ActualLength bytes
    // (8 of header, and the 43 characters of "{36fc9e60-...}\0011" and a terminator).
    const std::map<std::uint32_t, std::set<std::uint32_t>> expected = {
        {0x220424, {516}},           // host controller driver key name
        {0x220408, {516, 76}},       // root hub name (to a host controller), node information (to a hub)
        {0x22040c, {388}},           // connection information
        {0x220414, {520}},           // name of the hub on a port
        {0x220420, {10, 8 + 2 * 44}},  // driver key name of the device on a port
        {0x220410, {2060}},          // descriptors
    };
    EXPECT_EQ(sizes, expected);
}

// ---- the failure table, host controller by host controller (a root hub name that fails:
// the golden usb-hubs-and-failures log) ----

TEST_F(Usb, HostControllerFailuresEndTheWalkingOfControllers) {
    const std::string notFunctioning = " failed with error 31: A device attached to the system is not functioning.\r\n";
    struct Case {
        const char* what;
        std::string scenario;
        std::string log;
        int result;
    } cases[] = {
        {"no host controller opens", "", "", 0},
        {"HCD1 is absent, HCD0 and HCD2 are walked; a root hub with 0 ports logs nothing more",
         "hc 0 driver=\"{a}\" hub=R0\nhc 2 driver=\"{c}\" hub=R2\n",
         "\nHost Controller \\\\.\\HCD0 found. System name is {a}\n\nHost Controller \\\\.\\HCD2 found. System name is {c}\n",
         0},
        {"HCD0 doesn't open: nothing logged for it", "hc 0 driver=\"{a}\" hub=R0\n  fail open error=5\nhc 1 driver=\"{b}\" hub=R1\n",
         "\nHost Controller \\\\.\\HCD1 found. System name is {b}\n", 0},
        {"the driver key name fails: no later controller is walked",
         "hc 0 driver=\"{a}\" hub=R0\n  fail driverkey\nhc 2 driver=\"{c}\" hub=R2\n",
         "\nHost Controller \\\\.\\HCD0 found. " + notFunctioning, 31},
        {"the root hub doesn't open", "hc 0 driver=\"{a}\" hub=R0\n  fail hub-open error=5\nhc 1 driver=\"{b}\" hub=R1\n",
         "\nHost Controller \\\\.\\HCD0 found. System name is {a}\n failed with error 5: Access is denied.\r\n", 5},
        {"the root hub's node information fails", "hc 0 driver=\"{a}\" hub=R0\n  fail hub-information\n",
         "\nHost Controller \\\\.\\HCD0 found. System name is {a}\n" + notFunctioning, 31},
        {"the root hub's name fails: the driver key opened as a path fails as it did on the PC",
         "hc 0 driver=\"{a}\" hub=\"{a}\"\n  fail roothub-name\n  fail hub-open error=3\n",
         "\nHost Controller \\\\.\\HCD0 found. System name is {a}\n failed with error 3: The system cannot find the path "
         "specified.\r\n", 3},
        {"a driver key that fails with error 0 ends nothing", "hc 0 hub=R0\n  fail driverkey error=0\nhc 1 driver=\"{b}\" hub=R1\n",
         "\nHost Controller \\\\.\\HCD0 found.  failed with error 0: The operation completed successfully.\r\n"
         "\nHost Controller \\\\.\\HCD1 found. System name is {b}\n", 0},
        {"controllers listed by their interface: one with a link is not walked again, one without is walked under its path",
         "hc 1 interface=\"\\\\?\\pci#1\" driver=\"{b}\" hub=R1\nhc interface=\"\\\\?\\pci#2\" driver=\"{c}\" hub=R2\n"
         "hc interface=\"\\\\?\\pci#3\"\n  fail open error=5\n",
         "\nHost Controller \\\\.\\HCD1 found. System name is {b}\n\nHost Controller \\\\?\\pci#2 found. System name is {c}\n", 0},
        {"a listed controller whose driver key fails is walked, and ends the walking",
         "hc interface=x driver=\"{a}\" hub=R0\n  fail driverkey\nhc interface=y driver=\"{b}\" hub=R1\n",
         "\nHost Controller x found. " + notFunctioning, 31},
        {"after a failing controller the list is not walked", "hc 0 driver=\"{a}\" hub=R0\n  fail hub-information\n"
         "hc interface=y driver=\"{b}\" hub=R1\n", "\nHost Controller \\\\.\\HCD0 found. System name is {a}\n" + notFunctioning, 31},
    };
    for (const Case& c : cases) {
        FreshMachine();
        LoadText(c.scenario);
        EXPECT_EQ(Walk(), c.result) << c.what;
        EXPECT_EQ(g_strLog, c.log) << c.what;
        EXPECT_TRUE(g_usbDevices.empty()) << c.what;
    }
}

// ---- records ----

TEST_F(Usb, EachDeviceGetsOneRecordAfterItsTraceAndHubsGetNone) {
    const int root = RootHub(3);
    const int hub = machine.usb.AddHub(u"CHILD", 2);
    machine.usb.Hub(root).ports[0].status = kDeviceConnected;
    machine.usb.Hub(root).ports[0].hub = hub;
    for (const int port : {1, 2}) {
        SyntheticPort& box = PlugDevice(hub, port, DeviceDescriptor(0, 2, 3));
        box.strings[{0, synthetic::kAnyLanguage}].bytes = {4, 3, 0x09, 0x04};
        box.strings[{2, synthetic::kAnyLanguage}].bytes = StringBytes(u"Same box");
        box.strings[{3, synthetic::kAnyLanguage}].bytes = StringBytes(port == 1 ? u"S1" : u"S2");
        box.driverKey = port == 1 ? u"{usb}\\0001" : u"{usb}\\0002";
    }
    PlugDevice(root, 3, DeviceDescriptor(0, 2, 3));  // no strings, no driver key: all stall
    EXPECT_EQ(Walk(), 0);
    ASSERT_EQ(g_usbDevices.size(), 3u);
    const UsbDeviceRecord& first = g_usbDevices[0];
    const UsbDeviceRecord& second = g_usbDevices[1];
    EXPECT_EQ(std::tie(first.nHostController, first.nPort, first.strProduct, first.strSerial, first.strDriverKey),
              std::make_tuple(0, 1, std::string("Same box"), std::string("S1"), std::string("{usb}\\0001")));
    EXPECT_EQ(std::tie(second.nPort, second.strSerial, second.strDriverKey),
              std::make_tuple(2, std::string("S2"), std::string("{usb}\\0002")));
    // The device after them read no string: it gets none of theirs.
    EXPECT_EQ(std::tie(g_usbDevices[2].nPort, g_usbDevices[2].strProduct, g_usbDevices[2].strSerial,
                       g_usbDevices[2].strDriverKey),
              std::make_tuple(3, std::string(), std::string(), std::string()));
    EXPECT_NE(g_strLog.find("+1 Port[2] = I/O device connected\n"), std::string::npos);
    EXPECT_EQ(g_usbPending.nPort, -1);
}

// ---- the descriptor trace (the golden logs pin every field's entry) ----

TEST_F(Usb, TheTracesLanguageAndStringRules) {
    struct Case {
        const char* what;
        std::function<void(SyntheticPort&)> device;
        std::vector<const char*> inLog;
        const char* product;
        int string0Reads;
        int lastLanguage;  // of the last string read, -1 for none
    } cases[] = {
        {"no strings: no string request, and the configuration trace starts without a language",
         [](SyntheticPort& p) { p.deviceDescriptor = DeviceDescriptor(0, 0, 0); },
         {" iManufacturer 00\n iProduct 00\n iSerialNumber 00\n"}, "", 0, -1},
        {"string 0 fails: both error entries, then the string is asked with language 0",
         [](SyntheticPort& p) {
             p.strings[{0, synthetic::kAnyLanguage}].error = 31;
             p.strings[{2, 0}].bytes = StringBytes(u"Box");
         },
         {" iProduct 02 failed with error 31: A device attached to the system is not functioning.\r\n"
          " *** ERROR *** String Descriptor 0 not returned, ErrorCode = 31\n = Box"},
         "Box", 1, 0},
        {"an interface string with index 2 gives the product text, read last",
         [](SyntheticPort& p) {
             p.deviceDescriptor = DeviceDescriptor(0, 4, 0);
             p.configuration = DescriptorAnswer{{9, 2, 18, 0, 1, 1, 0, 0x80, 0, 9, 4, 0, 0, 0, 0xff, 0, 0, 2}};
             p.strings[{4, 0x0409}].bytes = StringBytes(u"Box");
             p.strings[{2, 0x0409}].bytes = StringBytes(u"Interface");
         },
         {" iProduct 04 = Box\n", " iInterface 02 = Interface\n"}, "Interface", 1, 0x0409},
        {"without a driver key name the language is dropped: string 0 is read again",
         [](SyntheticPort& p) {
             p.driverKey.reset();
             p.configuration = DescriptorAnswer{{9, 2, 9, 0, 0, 1, 2, 0x80, 0}};
         },
         {" iConfiguration 02 = P\n"}, "P", 2, 0x0409},
        {"interface classes: 0a illegal, ff vendor specific, 09 hub; a class-specific descriptor logs only a line "
         "break; a 9-byte endpoint is stepped over whole",
         [](SyntheticPort& p) {
             p.configuration = DescriptorAnswer{{9, 2, 50, 0, 3, 1, 0, 0x80, 0,  9, 4, 0, 0, 0, 0x0a, 0, 0, 0,
                                                 5, 0x24, 1, 2, 3,              9, 5, 0x02, 9, 0xc0, 0, 1, 0, 0,
                                                 9, 4, 1, 0, 0, 0xff, 0, 0, 0,  9, 4, 2, 0, 0, 0x09, 0, 0, 0}};
         },
         {" bInterfaceClass 0a = *ILLEGAL VALUE*\n", " iInterface 00\n\n\n bLength 09\n bDescriptorType 05",
          " bInterval 01\n\n bLength 09\n bDescriptorType 04", " bInterfaceClass ff = Vendor Specific\n",
          " bInterfaceClass 09 = Hub\n"},
         "P", 1, 0x0409},
    };
    for (const Case& c : cases) {
        c.device(FreshDevice());
        machine.usb.recordRequests = true;
        const std::string log = Trace();
        for (const char* part : c.inLog) EXPECT_NE(log.find(part), std::string::npos) << c.what << "\n" << log;
        EXPECT_EQ(g_usbPending.strProduct, c.product) << c.what;
        int string0Reads = 0, lastLanguage = -1;
        for (const synthetic::UsbRequest& request : machine.usb.requests) {
            if (request.code != kIoctlUsbGetDescriptorFromNodeConnection || request.wValue >> 8 != 3) continue;
            if (request.wValue == 0x0300) ++string0Reads;
            else lastLanguage = request.wIndex;
        }
        EXPECT_EQ(string0Reads, c.string0Reads) << c.what;
        EXPECT_EQ(lastLanguage, c.lastLanguage) << c.what;
    }
}

// ---- hostile hardware and drivers: a defined log, no read past what came back ----

TEST_F(Usb, HostileDescriptorsGiveADefinedLog) {
    std::vector<std::uint8_t> runsPast(250, 0);
    runsPast[0] = 9, runsPast[1] = 2, runsPast[9] = 241, runsPast[10] = 0x24;  // a class-specific run to 250
    runsPast.insert(runsPast.end(), {9, 4, 7, 0, 0, 0xff, 0xff, 0xff, 5});  // an interface cut at byte 256
    std::vector<std::uint8_t> unterminated = {255, 3};
    for (int i = 0; i < 253; ++i) unterminated.push_back(i % 2 ? 0 : 'A');
    struct Case {
        const char* what;
        std::vector<std::uint8_t> configuration;
        std::vector<std::uint8_t> product;
        const char* inLog;
        std::string capturedProduct;
    } cases[] = {
        {"bLength 0 ends the walk at once", {0, 2, 9, 0}, StringBytes(u"P"), "\nConfiguration Descriptor", "P"},
        {"bLength 1 steps one byte at a time",
         {1, 1, 1, 4, 0},  // the third byte is read as a descriptor of type 4
         StringBytes(u"P"), "\n bLength 01\n bDescriptorType 04 = Interface Descriptor\n bInterfaceNum 00", "P"},
        {"a descriptor running past the 256 returned bytes reads zeroes there", runsPast, StringBytes(u"P"),
         " bInterfaceClass ff = Vendor Specific\n bSubClass 00\n bProtocol 00\n iInterface 00\n", "P"},
        {"wTotalLength larger than what came back", {9, 2, 0xff, 0xff, 1, 1, 0, 0x80, 0}, StringBytes(u"P"),
         " wTotalLength ffff\n", "P"},
        {"an odd-length string", {}, {5, 3, 'A', 0, 'B'}, " iProduct 02 = AB\n", "AB"},
        {"a string filling all 255 bytes without a terminator", {}, unterminated, " iProduct 02 = AAAA", std::string(127, 'A')},
        {"a product with units above U+00FF ends before the first of them", {}, StringBytes(u"Box \u00e9\u041a"),
         " iProduct 02 = Box \xe9\n", "Box \xe9"},
    };
    for (const Case& c : cases) {
        SyntheticPort& port = FreshDevice();
        port.strings[{2, synthetic::kAnyLanguage}].bytes = c.product;
        if (!c.configuration.empty()) port.configuration = DescriptorAnswer{c.configuration};
        const std::string log = Trace();
        EXPECT_NE(log.find(c.inLog), std::string::npos) << c.what << "\n" << log;
        EXPECT_EQ(g_usbPending.strProduct, c.capturedProduct) << c.what;
    }
}

TEST_F(Usb, HostileDriversGiveADefinedLog) {
    struct Case {
        const char* what;
        std::uint32_t code;
        std::function<void(Answer&)> tamper;
        const char* inLog;
    } cases[] = {
        {"a root hub name's ActualLength far past the buffer", kIoctlUsbGetRootHubName,
         [](Answer& a) { std::memset(a.buffer, 0xff, 4); }, " Port[1] = I/O device connected\n"},
        {"a hub name without a terminator, filling the buffer", kIoctlUsbGetNodeConnectionName,
         [](Answer& a) {
             for (std::uint32_t i = 8; i < a.bytes; ++i) a.buffer[i] = i % 2 ? 0 : 'H';
             std::memcpy(a.buffer + 4, &a.bytes, 4);
         },
         "Hub connected\n *** ERROR *** Node information not returned\n"},
        {"connection information that fails after writing into the buffer is not used",
         kIoctlUsbGetNodeConnectionInformation,
         [](Answer& a) {
             std::memset(a.buffer + 4, 1, a.bytes - 4);  // connected, a hub, garbage
             a.ok = false;
         },
         " *** ERROR *** Node connection information not returned\n Port[1] = No device connected\n"},
        {"a driver key ActualLength no driver key can have is not allocated", kIoctlUsbGetNodeConnectionDriverkeyName,
         [](Answer& a) { if (a.bytes == 10) std::memset(a.buffer + 4, 0xf0, 4); },
         " bNumConfigurations 01\n\nConfiguration Descriptor"},
        {"a driver key name without a terminator ends with its buffer", kIoctlUsbGetNodeConnectionDriverkeyName,
         [](Answer& a) { for (std::uint32_t i = 8; a.bytes > 10 && i < a.bytes; ++i) a.buffer[i] = i % 2 ? 0 : 'K'; },
         "\nDriverkey name = KKKKKKKKKKK\n"},
        {"the driver key name's second request fails", kIoctlUsbGetNodeConnectionDriverkeyName,
         [](Answer& a) { a.ok = a.ok && a.bytes == 10; },
         " failed with error 31: A device attached to the system is not functioning.\r\n"
         " *** ERROR *** 2: Driverkey Name 1 not returned. ErrorCode = 31\n"},
        {"a descriptor count larger than the buffer and than wLength", kIoctlUsbGetDescriptorFromNodeConnection,
         [](Answer& a) {
             a.returned = 0xffffffff;
             std::memset(a.buffer + 12 + 4, 7, a.bytes - 16);  // past what the device sent
         },
         " iProduct 02 = P"},
    };
    for (const Case& c : cases) {
        FreshDevice(2);
        machine.usb.Hub(0).ports[1].status = kDeviceConnected;
        machine.usb.Hub(0).ports[1].hub = machine.usb.AddHub(u"CHILD", 1);
        TamperedUsb tampered(machine, c.code, c.tamper);
        Walk(&tampered);
        EXPECT_NE(g_strLog.find(c.inLog), std::string::npos) << c.what << "\n" << g_strLog;
    }
}

TEST_F(Usb, WideAndDeepTreesAreWalkedWholeAndNoHubTwice) {
    // 255 ports on one hub; hubs chained five deep below the root hub, as far as USB goes.
    int hub = RootHub(255);
    for (int level = 1; level <= 5; ++level) {
        SyntheticPort& port = machine.usb.Hub(hub).ports[0];
        port.status = kDeviceConnected;
        port.hub = machine.usb.AddHub(u"LEVEL" + std::u16string(1, char16_t(u'0' + level)), 2);
        hub = port.hub;
    }
    PlugDevice(hub, 2, DeviceDescriptor(0, 0, 0));
    EXPECT_EQ(Walk(), 0);
    EXPECT_NE(g_strLog.find("\n Port[255] = No device connected\n"), std::string::npos);
    EXPECT_NE(g_strLog.find("\n+1+1+1+1+1 Port[2] = I/O device connected\n"), std::string::npos);
    EXPECT_EQ(g_usbDevices.size(), 1u);

    // Hubs chained deeper than any machine has: followed to the limit.
    FreshMachine();
    hub = RootHub(1);
    for (int level = 1; level <= kDeepestHub + 1; ++level) {
        const int child = machine.usb.AddHub(u"LEVEL" + std::u16string(level, u'x'), 1);
        machine.usb.Hub(hub).ports[0].status = kDeviceConnected;
        machine.usb.Hub(hub).ports[0].hub = child;
        hub = child;
    }
    EXPECT_EQ(Walk(), 0);
    std::string levels;
    for (int level = 0; level < kDeepestHub; ++level) levels += "+1";
    EXPECT_NE(g_strLog.find("\n" + levels + " Port[1] = Hub connected\n *** ERROR *** Hub nested too deeply, not walked\n"),
              std::string::npos)
        << g_strLog;

    // Drivers that name a hub walked before: the hub itself on its first port, and one
    // child hub on each of the other 254 (each would walk the others again, 16 levels
    // deep: 254^16 walks). Each hub is walked once.
    FreshMachine();
    const int root = RootHub(255);
    const int child = machine.usb.AddHub(u"CHILD", 255);
    for (int h : {root, child}) {
        for (std::size_t p = 0; p < 255; ++p) {
            machine.usb.Hub(h).ports[p].status = kDeviceConnected;
            machine.usb.Hub(h).ports[p].hub = child;
        }
        machine.usb.Hub(h).ports[0].hub = root;
    }
    EXPECT_EQ(Walk(), 0);
    EXPECT_NE(g_strLog.find("\n Port[1] = Hub connected\n *** ERROR *** Hub already walked, not walked again\n"),
              std::string::npos);
    std::size_t walkedAgain = 0;
    for (std::size_t at = g_strLog.find("already walked"); at != std::string::npos; at = g_strLog.find("already walked", at + 1)) {
        ++walkedAgain;
    }
    EXPECT_EQ(walkedAgain, 254u + 255u);  // the root hub's other ports, and every port of the child
    EXPECT_NE(g_strLog.find("\n+1 Port[255] = Hub connected\n *** ERROR *** Hub already walked"), std::string::npos);
}

TEST_F(Usb, TenHostControllersWith127DevicesEachGiveOneRecordPerDevice) {
    for (int n = 0; n < 10; ++n) {
        const int root = machine.usb.AddHub(u"ROOT" + std::u16string(1, char16_t(u'0' + n)), 127);
        SyntheticHostController controller;
        controller.driverKey = u"{hc}";
        controller.rootHub = root;
        machine.usb.AddHostController(n, controller);
        for (std::size_t port = 1; port <= 127; ++port) {
            SyntheticPort& device = PlugDevice(root, port, DeviceDescriptor(0, 2, 0));
            device.strings[{0, synthetic::kAnyLanguage}].bytes = {4, 3, 0x09, 0x04};
            device.strings[{2, synthetic::kAnyLanguage}].bytes = StringBytes(u"Device");
        }
    }
    EXPECT_EQ(Walk(), 0);
    ASSERT_EQ(g_usbDevices.size(), 1270u);
    EXPECT_EQ(g_usbDevices.back().nHostController, 9);
    EXPECT_EQ(g_usbDevices.back().nPort, 127);
    EXPECT_EQ(g_usbDevices.back().strProduct, "Device");
}

}  // namespace
}  // namespace portiq
