// The device-tree walk on synthetic trees: recognition one node late, the exit chain,
// Audio lines, port captions, FTDI ports, USB product names and the Lynx re-open.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/log.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "sound/sound_devices.h"
#include "test_support.h"
#include "usb/usb_walk.h"

namespace portiq {
namespace {

using testing::PortIqTest;

constexpr char kUsbClass[] = "class={36fc9e60-c465-11cf-8056-444553540000}";
constexpr char kPortsClass[] = "class={4d36e978-e325-11ce-bfc1-08002be10318}";

class Walk : public PortIqTest {
protected:
    // A box recognised by its USB product name: the converter with two interfaces,
    // each with one port (channel A, then B). indent is the converter's indentation.
    static std::string Box(const std::string& indent, const std::string& driver, const std::string& serial,
                           const std::string& portA, const std::string& portB) {
        const std::string i2 = indent + "  ", i4 = indent + "    ";
        return indent + "node " + kUsbClass + " desc=\"USB Composite Device\" id=\"USB\\VID_0403&PID_6010\\" +
               serial + "\" driver=\"" + driver + "\"\n" +
               i2 + "node " + kUsbClass + " desc=\"USB Serial Converter A\" id=\"USB\\VID_0403&PID_6010&MI_00\\" + serial + "\"\n" +
               i4 + "node " + kPortsClass + " name=\"USB Serial Port (" + portA + ")\" id=\"FTDIBUS\\VID_0403+PID_6010+" +
               serial + "A\\0000\"\n" +
               i2 + "node " + kUsbClass + " desc=\"USB Serial Converter B\" id=\"USB\\VID_0403&PID_6010&MI_01\\" + serial + "\"\n" +
               i4 + "node " + kPortsClass + " name=\"USB Serial Port (" + portB + ")\" id=\"FTDIBUS\\VID_0403+PID_6010+" +
               serial + "B\\0000\"\n";
    }
    // What the USB walk would have left for a device with that driver key and product.
    static UsbDeviceRecord UsbRecord(const std::string& driver, const std::string& product) {
        UsbDeviceRecord record;
        record.nHostController = 0;
        record.nPort = 1;
        record.strProduct = product;
        record.strDriverKey = driver;
        return record;
    }
    // The device-tree walk alone, on the records the earlier walks would have left.
    void RunWalk(const std::string& scenario, const std::vector<UsbDeviceRecord>& usb = {},
                 const std::vector<CSbRecord>& sound = {}) {
        LoadText(scenario);
        g_usbDevices = usb;
        g_soundDevices = sound;
        WalkDeviceTree();
    }
    // The three walks in the run's order, on a bundled machine.
    void RunWalks(const std::string& file) {
        LoadFile(file);
        ListSoundDevices();
        EnumerateHostControllers();
        WalkDeviceTree();
    }
    static int CountRecords(const std::string& log) {
        return static_cast<int>(std::count(log.begin(), log.end(), '*')) / 4;
    }
};

TEST_F(Walk, ACodecBeforeItsBoxGivesTheWholeBlockClosedByTheExitChain) {
    // Its instance key as given, and holding an é (1252): the ID is upper-cased as the
    // path is, é to É, and still holds the key.
    for (const bool accented : {false, true}) {
        ResetRunState();
        machine = synthetic::SyntheticMachine();
        std::string text = testing::ReadFileBytes(testing::ScenarioPath("codec-before-box.scn"));
        for (const std::string key : {"2c1b4e3a", "2C1B4E3A"}) {
            if (accented) text.replace(text.find(key), key.size(), "2c1b4\xc3\xa9" + key.substr(6));
        }
        LoadText(text);
        ListSoundDevices();
        EnumerateHostControllers();
        WalkDeviceTree();
        EXPECT_EQ(g_strMessage,
                  "Found device #1\n"
                  "Audio\tUSB Audio CODEC\n"
                  "COM5\tTavrilink Nova CAT port\n"
                  "COM6\tTavrilink Nova PTT/CW port\n"
                  "\n") << accented;
        EXPECT_EQ(g_nDevicesFound, 1);
        EXPECT_EQ(g_strFtdiPorts, "");
    }
}

TEST_F(Walk, ACodecAfterItsBoxClosesTheBlockAndItsAudioLineIsNeverWritten) {
    RunWalks("codec-after-box.scn");
    EXPECT_EQ(g_strMessage,
              "Found device #1\n"
              "COM5\tTavrilink Nova CAT port\n"
              "COM6\tTavrilink Nova PTT/CW port\n"
              "\n");
}

TEST_F(Walk, AHeldAudioLineGoesToTheNextBoxHeader) {
    const std::string nova = "{usb}\\0001", meridian = "{usb}\\0002";
    RunWalk(std::string("node class=none\n") +
                "  node " + kUsbClass + " desc=\"Hub\"\n" +
                Box("    ", nova, "N1", "COM5", "COM6") +
                "    node " + kUsbClass + " desc=\"Codec\" id=\"USB\\VID_08BB&PID_2902\\1\"\n"
                "      node " + kUsbClass + " desc=\"Audio\" id=\"USB\\VID_08BB&PID_2902&MI_00\\KEY1\"\n"
                "  node " + kUsbClass + " desc=\"Hub 2\"\n" +
                Box("    ", meridian, "M1", "COM7", "COM8"),
            {UsbRecord(nova, "Tavrilink Nova (MORSIX+FSK)"), UsbRecord(meridian, "Tavrilink Meridian (CAT+PTT/CW)")},
            {CSbRecord{0, "Codec", "\\\\?\\USB#VID_08BB&PID_2902&MI_00#KEY1#{X}"}});
    EXPECT_EQ(g_strMessage,
              "Found device #1\nCOM5\tTavrilink Nova MORSIX port\nCOM6\tTavrilink Nova FSK port\n\n"
              "Found device #2\nAudio\tCodec\nCOM7\tTavrilink Meridian CAT port\nCOM8\tTavrilink Meridian PTT/CW port\n\n");
    EXPECT_EQ(g_nDevicesFound, 2);
}

TEST_F(Walk, CaptionsFollowTheModelTableNovaNovaIsNotNova) {
    const std::string a = "{usb}\\0001", b = "{usb}\\0002";
    RunWalk(std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n" + Box("    ", a, "X1", "COM5", "COM6") +
                "  node " + kUsbClass + " desc=\"Hub\"\n" + Box("    ", b, "X2", "COM7", "COM8"),
            {UsbRecord(a, "Tavrilink NovaNova (CAT+PTT/CW)"), UsbRecord(b, "Tavrilink Nova (CAT+PTT/CW)")});
    EXPECT_EQ(g_strMessage,
              "Found device #1\nCOM5\tTavrilink NovaNova CAT port\nCOM6\tTavrilink NovaNova PTT port\n\n"
              "Found device #2\nCOM7\tTavrilink Nova CAT port\nCOM8\tTavrilink Nova PTT/CW port\n\n");
}

TEST_F(Walk, AnOrbitBoxGetsAHeaderButNoPortLines) {
    const std::string orbit = "{usb}\\0001";
    RunWalk(std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n" +
                Box("    ", orbit, "O1", "COM5", "COM6"),
            {UsbRecord(orbit, "Tavrilink Orbit (2xSERIAL)")});
    EXPECT_EQ(g_strMessage, "Found device #1\n\n");
}

TEST_F(Walk, ABoxIsRecognisedByItsOwnNodeNameToo) {
    RunWalk(std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n"
            "    node " + kUsbClass + " name=\"Tavrilink Lynx\"\n"
            "      node " + kPortsClass + " name=\"Port\" id=\"FTDIBUS\\X+ABA\\0000\"\n"
            "      node " + kPortsClass + " name=\"Port (COM9)\" id=\"FTDIBUS\\X+ABB\\0000\"\n");
    // The first port node opens the block (one node late), so only the second is listed.
    EXPECT_EQ(g_strMessage, "Found device #1\nCOM9\tTavrilink Lynx PTT/CW port\n\n");
}

TEST_F(Walk, APortWithoutParenthesesStartsItsLineWithTheTab) {
    const std::string nova = "{usb}\\0001";
    std::string scenario =
        std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n" + Box("    ", nova, "N1", "COM5", "COM6");
    const std::string named = "USB Serial Port (COM5)";
    scenario.replace(scenario.find(named), named.size(), "USB Serial Port");
    RunWalk(scenario, {UsbRecord(nova, "Tavrilink Nova (CAT+PTT/CW)")});
    EXPECT_EQ(g_strMessage, "Found device #1\n\tTavrilink Nova CAT port\nCOM6\tTavrilink Nova PTT/CW port\n\n");
}

TEST_F(Walk, FtdiPortsAreCollectedOnlyFromSingleChannelIdsAtTheStart) {
    RunWalk(std::string("node class=none\n") +
            "  node " + kPortsClass + " name=\"USB Serial Port (COM3)\" id=\"FTDIBUS\\VID_0403+PID_6001+A1A\\0000\"\n"
            "  node " + kPortsClass + " name=\"USB Serial Port (COM12)\" id=\"ftdibus\\vid_0403+pid_6001+a2a\\0000\"\n"
            "  node " + kPortsClass + " name=\"Short (CO)\" id=\"FTDIBUS\\VID_0403+PID_6001+A3A\\0000\"\n"
            "  node " + kPortsClass + " name=\"Inside (COM20)\" id=\"X\\FTDIBUS\\VID_0403+PID_6001+A4A\\0000\"\n"
            "  node " + kPortsClass + " name=\"Dual (COM21)\" id=\"FTDIBUS\\VID_0403+PID_6010+A5A\\0000\"\n");
    EXPECT_EQ(g_strFtdiPorts, "COM3, COM12");
    EXPECT_EQ(g_strMessage, "");
}

TEST_F(Walk, ALynxFoundWhileABlockIsOpenStartsTheNextBoxAtOnce) {
    const std::string nova = "{usb}\\0001", lynx = "{usb}\\0002";
    RunWalk(std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n" +
                "    node " + kUsbClass + " desc=\"Box\" driver=\"" + nova + "\"\n" +
                "      node " + kUsbClass + " desc=\"Interface\"\n" +
                "      node " + kUsbClass + " desc=\"Lynx\" driver=\"" + lynx + "\"\n" +
                "      node " + kPortsClass + " name=\"Port (COM5)\" id=\"FTDIBUS\\L+1A\\0000\"\n",
            {UsbRecord(nova, "Tavrilink Nova (CAT+PTT/CW)"), UsbRecord(lynx, "Tavrilink Lynx")});
    // The Lynx re-opens at once: an empty line, the next header. The port right after it
    // is still captioned by the box before, since names are taken over one node late.
    EXPECT_EQ(g_strMessage, "Found device #1\n\nFound device #2\nCOM5\tTavrilink Nova CAT port\n\n");
    EXPECT_EQ(g_nDevicesFound, 2);
}

TEST_F(Walk, ALynxFoundWithNoBlockOpenWaitsForTheNextNode) {
    const std::string lynx = "{usb}\\0002";
    RunWalk(std::string("node class=none\n  node ") + kUsbClass + " desc=\"Hub\"\n" +
                "    node " + kUsbClass + " desc=\"Lynx\" driver=\"" + lynx + "\"\n" +
                "      node " + kPortsClass + " name=\"Port (COM5)\" id=\"FTDIBUS\\L+1A\\0000\"\n",
            {UsbRecord(lynx, "Tavrilink Lynx")});
    EXPECT_EQ(g_strMessage, "Found device #1\n\n");
}

TEST_F(Walk, EveryAdmittedNodeLogsOneRecordAndTwoUsbMatchesLogTwoFinds) {
    RunWalk("node class=none handle=0x100\n"
            "  node class={c} name=\"Alpha\" id=\"root\\alpha\" driver=\"{k}\\1\" handle=0x200\n"
            "    node class=none name=\"Hidden\" handle=0x300\n"
            "      node class={c} name=\"Grandchild\" handle=0x400\n"
            "  node class={c} handle=0x500\n",
            {UsbRecord("{k}\\1", "First product"), UsbRecord("{k}\\1", "Second product")});
    EXPECT_EQ(g_strLog,
              "1:00000100*00000200*Alpha*ROOT\\ALPHA*{k}\\1\n"
              "*** FOUND: First product\n"
              "*** FOUND: Second product\n"
              "3:00000300*00000400*Grandchild**\n"
              "1:00000100*00000500*Unknown Device**\n");
}

TEST_F(Walk, ATreeWithoutARootGivesNoWalkAndOneErrorEntry) {
    LoadText("language 1033\n");
    WalkDeviceTree();
    EXPECT_EQ(g_strLog, " *** ERROR *** Device tree root not located. ErrorCode = 13\n");
    EXPECT_EQ(g_strMessage, "");
}

// The configuration manager of some Windows emulations reports success for calls it
// doesn't implement, without writing a handle. Here only the root's first child is real.
class SilentTree : public synthetic::SyntheticDeviceTree {
public:
    CONFIGRET LocateRoot(DEVINST& root) override { return root = 1, kCrSuccess; }
    CONFIGRET GetChild(DEVINST& child, DEVINST node) override {
        if (node == 1) child = 2;
        return kCrSuccess;
    }
    CONFIGRET GetSibling(DEVINST&, DEVINST) override { return kCrSuccess; }
    CONFIGRET GetRegistryProperty(DEVINST, std::uint32_t, void*, std::uint32_t&) override { return kCrSuccess; }
};

TEST_F(Walk, CallsThatClaimSuccessWithoutAHandleEndTheWalk) {
    SilentTree tree;
    InstallPlatform(Platform{&tree, &machine.system});
    WalkDeviceTree();
    EXPECT_EQ(g_strLog, "1:00000001*00000002***\n");
}

TEST_F(Walk, CostStaysLinearOnAWideAndDeepTree) {
    std::string scenario = "node class=none\n";
    for (int i = 0; i < 200; ++i) scenario += std::string("  node class={c} name=\"n") + std::to_string(i) + "\"\n";
    std::string indent = "  ";
    for (int depth = 0; depth < 200; ++depth, indent += "  ") scenario += indent + "node class={c}\n";
    RunWalk(scenario);
    EXPECT_EQ(CountRecords(g_strLog), 400);
}

}  // namespace
}  // namespace portiq
