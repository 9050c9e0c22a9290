// Scenario files: what a hand-written machine turns into, and clear errors for the
// mistakes people make.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "devtree/devnode_texts.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/scenario_writer.h"
#include "test_support.h"

namespace portiq::synthetic {
namespace {

std::string LoadError(const std::string& text) {
    SyntheticMachine machine;
    std::istringstream in(text);
    std::string error;
    EXPECT_FALSE(LoadScenario(in, machine, error));
    return error;
}

TEST(Scenario, BuildsTheTreeByIndentationWithHandlesAndAbsentValues) {
    SyntheticMachine machine;
    std::istringstream in(
        "# comment\n"
        "node class=none id=\"HTREE\\ROOT\\0\"   # trailing comment\n"
        "  node class={a} name=\"A (COM1)\" handle=0x10\n"
        "    node class={b} desc=desc-b driver=\"{b}\\0001\"\n"
        "  node class={c}\n");
    std::string error;
    ASSERT_TRUE(LoadScenario(in, machine, error)) << error;
    DEVINST root = 0, a = 0, b = 0, c = 0, none = 0;
    ASSERT_EQ(machine.tree.LocateRoot(root), kCrSuccess);
    ASSERT_EQ(machine.tree.GetChild(a, root), kCrSuccess);
    EXPECT_EQ(a, 0x10u);
    ASSERT_EQ(machine.tree.GetChild(b, a), kCrSuccess);
    ASSERT_EQ(machine.tree.GetSibling(c, a), kCrSuccess);
    EXPECT_EQ(machine.tree.GetSibling(none, c), kCrNoSuchDevnode);
    EXPECT_EQ(machine.tree.GetChild(none, b), kCrNoSuchDevnode);
    EXPECT_EQ(none, 0u);

    machine.Install();
    EXPECT_EQ(GetDevNodeFriendlyName(a), "A (COM1)");
    EXPECT_EQ(GetDevNodeFriendlyName(b), "desc-b");
    EXPECT_EQ(GetDevNodeDriverKey(b), "{b}\\0001");
    EXPECT_EQ(GetDevNodeDeviceId(root), "HTREE\\ROOT\\0");
    char guid[39];
    std::uint32_t length = sizeof guid;
    EXPECT_EQ(machine.tree.GetRegistryProperty(root, kDrpClassGuid, guid, length), kCrNoSuchValue);
    length = 2;
    EXPECT_EQ(machine.tree.GetRegistryProperty(a, kDrpClassGuid, guid, length), kCrBufferSmall);
    EXPECT_EQ(length, 4u);
}

TEST(Scenario, TextsTakeTheCodePageOfTheUsersLanguageAndUsbTextsStayUtf16) {
    SyntheticMachine machine;
    std::istringstream in(
        "node class=none name=\"Последовательный порт (COM4)\"\n"
        "wavein name=\"Микрофон (USB Audio CODEC с очень длинным именем)\" interface=\"\\\\?\\usb#mi_00#k#\"\n"
        "hc 0 driver=\"Контроллер\"\n"
        "error-text 5 text=\"Нет доступа.\"\nerror-text 5 text=\"Отказано в доступе.\"\n"  // the later holds
        "language 0x419\n");
    std::string error;
    ASSERT_TRUE(LoadScenario(in, machine, error)) << error;
    EXPECT_EQ(machine.system.codePage, 1251u);
    machine.Install();
    DEVINST root = 0;
    machine.tree.LocateRoot(root);
    EXPECT_EQ(CodePageToUtf8(1251, GetDevNodeFriendlyName(root)), "Последовательный порт (COM4)");
    WaveInCapsA caps{};
    ASSERT_EQ(machine.wave.WaveInGetDevCaps(0, &caps, sizeof caps), kMmSysErrNoError);
    EXPECT_EQ(CodePageToUtf8(1251, caps.szPname), "Микрофон (USB Audio CODEC с оче");  // 31 bytes and a NUL
    EXPECT_EQ(machine.wave.devices.at(0).interfacePath, u"\\\\?\\usb#mi_00#k#");
    EXPECT_EQ(machine.usb.HostController(0)->driverKey, u"Контроллер");
    EXPECT_EQ(CodePageToUtf8(1251, machine.system.SystemErrorText(5)), "Отказано в доступе.");

    SyntheticMachine western;
    std::istringstream latin("node class=none name=\"Порт\"\n");
    ASSERT_TRUE(LoadScenario(latin, western, error)) << error;
    EXPECT_EQ(*western.tree.Node(0).friendlyName, "????");
}

TEST(Scenario, MistakesAreNamedWithTheirLine) {
    EXPECT_EQ(LoadError("language 1033\n\tnode class=none\n"), "line 2: indent with spaces, not tabs");
    EXPECT_EQ(LoadError("nod class=none\n"), "line 1: unknown keyword nod");
    EXPECT_EQ(LoadError("node class=none colour=red\n"), "line 1: unknown key colour for node");
    EXPECT_EQ(LoadError("node name=x\n"), "line 1: a node needs class=GUID or class=none");
    EXPECT_EQ(LoadError("node class=none\nnode class=none\n"), "line 2: a second root: indent it under the first");
    EXPECT_EQ(LoadError("node class=none name=\"open\n"), "line 1: a quoted text has no closing quote");
    EXPECT_EQ(LoadError("node class=none handle=0\n"), "line 1: handle takes a non-zero 32-bit number");
    EXPECT_EQ(LoadError("node class=none handle=0x100000000\n"), "line 1: handle takes a non-zero 32-bit number");
    EXPECT_EQ(LoadError("node class=none handle=7\n  node class=none handle=7\n"), "line 2: handle already taken");
    EXPECT_EQ(LoadError("node class=none class=x\n"), "line 1: key class given twice");
    EXPECT_EQ(LoadError("hold alt\n"), "line 1: hold takes none, shift, ctrl or shift+ctrl");
    EXPECT_EQ(LoadError("language english\n"), "line 1: language takes a language id");
    EXPECT_EQ(LoadError("codepage 437\n"), "line 1: codepage is 1251, 1252 or 65001");
    EXPECT_EQ(LoadError("  wavein name=x\n"), "line 1: wavein is not indented");
    EXPECT_EQ(LoadError("wavein fail=caps,volume\n"), "line 1: fail= takes caps, size and interface, separated by commas");
    EXPECT_EQ(LoadError("usb hc=0 port=1 product=x\n"),
              "line 1: usb lines are no longer read: describe the hardware with wavein, hc and port");
    EXPECT_EQ(LoadError("hc 10\n"), "line 1: hc takes its number, 0 to 9");
    EXPECT_EQ(LoadError("hc 1\nhc 1\n"), "line 2: hc 1 given twice");
    EXPECT_EQ(LoadError("hc 0 ports=2\n"), "line 1: ports= needs hub=");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=256\n"), "line 1: ports takes 0 to 255");
    EXPECT_EQ(LoadError("hc 0 hub=R\nhc 1 hub=r\n"), "line 2: another hub has the name r");
    // Hubs open by their ANSI name: in a code page without these letters both are "?".
    EXPECT_EQ(LoadError("hc 0 hub=\"\xd0\xaf\"\nhc 1 hub=\"\xd0\x96\"\n"), "line 2: another hub has the name \xd0\x96");
    EXPECT_EQ(LoadError("port 1 device\n"), "line 1: a port stands under hc or a port with hub=");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=2\n  port 3 device\n"), "line 2: port 3 is beyond the hub's 2 ports");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=2\n  port 1\n  port 1\n"), "line 3: port 1 given twice");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=2\n  port 1 hub\n"),
              "line 2: port takes its number, 1 to 255, and perhaps the word device");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    device 12 01 0\n"),
              "line 3: bytes are two hex digits each, not 0");
    std::string nineteenBytes;
    for (int i = 0; i < 19; ++i) nineteenBytes += " 00";
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    device" + nineteenBytes + "\n"),
              "line 3: a device descriptor has 18 bytes");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    string 2 text=\"" + std::string(127, 'x') + "\"\n"),
              "line 3: a string of more than 126 units must be given as bytes");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    fail volume\n"),
              "line 3: under a port, fail takes connection-information, hub-name, hub-open, hub-information, "
              "driverkey, driverkey-size, driverkey-name, config or string");
    EXPECT_EQ(LoadError("hc 0\n  fail hub-open\n"), "line 2: fail hub-open needs a hub");
    EXPECT_EQ(LoadError("hc driver=x\n"), "line 1: hc takes its number, 0 to 9, or interface= alone");
    EXPECT_EQ(LoadError("hc interface=p\nhc 1 interface=P\n"), "line 2: another hc has the interface P");
    EXPECT_EQ(LoadError("error-text 5\n"), "line 1: error-text takes an error code and text=");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    string 0 times=0 04 03 09 04\n"),
              "line 3: times takes a count of requests, 1 or more");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    fail config times=2\n"),
              "line 3: fail config takes no index, lang= or times=");
    EXPECT_EQ(LoadError("node class=none\n  string 2 text=x\n"), "line 2: string stands under a port");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  node class=none\n"), "line 2: a node can't stand under hc");

    // Control characters: only spaces, tabs and carriage returns separate words, and a
    // value holds none (a NUL made "none\0" a class the walk examined).
    EXPECT_EQ(LoadError(std::string("node class=none\0\n", 16)), "line 1: control character 0x00 in a value");
    EXPECT_EQ(LoadError(std::string("node class=x name=\"a\0b\"\n", 25)), "line 1: control character 0x00 in a value");
    EXPECT_EQ(LoadError("wavein name=\"Mic\tA\"\n"), "line 1: control character 0x09 in a value");
    EXPECT_EQ(LoadError("wavein name=\"Mic\rA\"\n"), "line 1: control character 0x0D in a value");
    EXPECT_EQ(LoadError("# \x01 is fine in a comment\nnode\x1f class=none\n"), "line 2: control character 0x1F");
    // Values are UTF-8: an overlong C0 81 would be a control character no check saw.
    EXPECT_EQ(LoadError("node class= name=\"\xc0\x81\"\n"), "line 1: a value that isn't UTF-8 (byte 0xC0 at 1)");
    EXPECT_EQ(LoadError("\nwavein name=ab\xe0\x80\x80\n"), "line 2: a value that isn't UTF-8 (byte 0xE0 at 3)");
    EXPECT_EQ(LoadError("hc 0 driver=\"\xed\xa0\x80\"\n"), "line 1: a value that isn't UTF-8 (byte 0xED at 1)");
    EXPECT_EQ(LoadError("hc 0 driver=\"\xf4\x90\x80\x80\"\n"), "line 1: a value that isn't UTF-8 (byte 0xF4 at 1)");
    EXPECT_EQ(LoadError("node class=none id=\"x\xe2\x82\"\n"), "line 1: a value that isn't UTF-8 (byte 0xE2 at 2)");
    // A byte escaped in a code-page text counts as one; written as it is, it is no UTF-8.
    EXPECT_EQ(LoadError("node class=none id=E\"a\\xe9\xc3\"\n"), "line 1: a value that isn't UTF-8 (byte 0xC3 at 3)");
    EXPECT_EQ(LoadError("node class=none id=E\"\xed\xb2\x80\"\n"), "line 1: a value that isn't UTF-8 (byte 0xED at 1)");
    EXPECT_EQ(LoadError("node class=none id=E\"a\\x00\"\n"), "line 1: \\x00 in a value: a text ends at its NUL");
    EXPECT_EQ(LoadError("node class=none id=E\"a\\q\"\n"),
              "line 1: an escape is \\\", \\\\, \\t, \\r, \\n or \\x and two hex digits");
    // Each word is checked as it is read: a line fails at its first word too many.
    EXPECT_EQ(LoadError("node " + std::string(65, 'x') + "\n"), "line 1: a word of more than 64 characters");
    EXPECT_EQ(LoadError("wavein name=" + std::string((1 << 20) + 1, 'x') + "\n"), "line 1: a value of more than 1048576 bytes");
    EXPECT_EQ(LoadError("language 1033 1049\n"), "line 1: language takes one value");
    EXPECT_EQ(LoadError("hold x=shift\n"), "line 1: hold takes one value");
    EXPECT_EQ(LoadError("hc 0 1\n"), "line 1: hc takes its number, 0 to 9");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    fail string 1 2\n"),
              "line 3: fail takes a request and perhaps its string index");
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    device 12 length=18\n"), "line 3: device takes bytes only");
    std::string bytes;
    for (int i = 0; i < 0x8000; ++i) bytes += " 00";
    EXPECT_EQ(LoadError("hc 0 hub=R ports=1\n  port 1 device\n    config" + bytes + "\n    config" + bytes + "\n"),
              "line 4: a configuration holds at most 65535 bytes");
    // The first fault of the file is the one named, whatever its kind.
    EXPECT_EQ(LoadError("nod class=none\nlanguage english\n"), "line 1: unknown keyword nod");

    std::string deep = "node class=none\n";
    for (int depth = 1; depth <= kDeepestScenarioNode; ++depth) deep += std::string(2 * depth, ' ') + "node class=none\n";
    EXPECT_EQ(LoadError(deep), "line 257: nodes nest deeper than 256");
    EXPECT_NE(LoadError("node class=none\x01\xff\xfe \"\n").find("line 1:"), std::string::npos);
}

// A port takes memory once a statement names it: loading follows what a scenario states,
// not what its port counts could describe.
TEST(Scenario, OnlyStatedPortsTakeMemory) {
    SyntheticMachine machine;
    std::istringstream in("hc 0 hub=R ports=255\n  port 7 hub=H ports=255 status=0\n");
    std::string error;
    ASSERT_TRUE(LoadScenario(in, machine, error)) << error;
    EXPECT_EQ(machine.usb.Hub(0).ports.Stated().size(), 1u);
    EXPECT_EQ(machine.usb.Hub(1).ports.size(), 255u);
    EXPECT_TRUE(machine.usb.Hub(1).ports.Stated().empty());
}

// Line numbers beyond what 32 bits hold, without reading 2^32 lines: the count starts
// where a test puts it.
TEST(Scenario, LineNumbersCountOnPastThirtyTwoBits) {
    const struct {
        std::uint64_t firstLine;
        std::string text;
        std::string appended;
        std::string error;
    } cases[] = {
        {2147483647u, "\n\nnod\n", "", "line 2147483649: unknown keyword nod"},
        {4294967295u, "# last\nnode class=none\n  nod\n", "", "line 4294967297: unknown keyword nod"},
        {1, "node class=none\n# the appended lines go on from here", "hold alt\n", "line 3: hold takes none, shift, ctrl or shift+ctrl"},
    };
    for (const auto& c : cases) {
        SyntheticMachine machine;
        std::istringstream in(c.text);
        std::string error;
        ScenarioOptions options;
        options.firstLine = c.firstLine;
        options.appended = c.appended;
        EXPECT_FALSE(LoadScenario(in, machine, error, options));
        EXPECT_EQ(error, c.error);
    }
}

TEST(Scenario, EveryBundledScenarioLoads) {
    for (const char* name : {"default.scn", "codec-before-box.scn", "codec-after-box.scn", "unreadable-tree.scn",
                             "russian-user.scn", "lynx-and-orbit.scn", "odd-drivers.scn", "radios.scn"}) {
        SyntheticMachine machine;
        std::string error;
        EXPECT_TRUE(LoadScenarioFile(testing::ScenarioPath(name), machine, error)) << name << ": " << error;
    }
    SyntheticMachine machine;
    std::string error;
    EXPECT_FALSE(LoadScenarioFile(testing::ScenarioPath("no-such.scn"), machine, error));
    EXPECT_NE(error.find("can't open"), std::string::npos);
}

}  // namespace
}  // namespace portiq::synthetic

namespace portiq::synthetic {
namespace {

// A tree written out and read back is the same tree: structure, handles and texts.
void ExpectSameTree(SyntheticDeviceTree& a, SyntheticDeviceTree& b, DEVINST nodeA, DEVINST nodeB) {
    EXPECT_EQ(nodeA, nodeB);
    for (std::uint32_t property : {kDrpClassGuid, kDrpFriendlyName, kDrpDeviceDesc, kDrpDriver}) {
        char valueA[960] = {}, valueB[960] = {};
        std::uint32_t lengthA = sizeof valueA, lengthB = sizeof valueB;
        EXPECT_EQ(a.GetRegistryProperty(nodeA, property, valueA, lengthA),
                  b.GetRegistryProperty(nodeB, property, valueB, lengthB));
        EXPECT_STREQ(valueA, valueB) << "property " << property << " of node " << nodeA;
    }
    std::uint32_t statusA = 0, problemA = 0, statusB = 0, problemB = 0;
    EXPECT_EQ(a.GetStatus(nodeA, statusA, problemA), b.GetStatus(nodeB, statusB, problemB));
    EXPECT_EQ(std::tie(statusA, problemA), std::tie(statusB, problemB)) << "node " << nodeA;
    std::string driverA, driverB;
    EXPECT_EQ(a.GetInterfaceDriver(nodeA, driverA), b.GetInterfaceDriver(nodeB, driverB));
    EXPECT_EQ(driverA, driverB);
    UnixPortNode portA, portB;
    EXPECT_EQ(a.GetPortNode(nodeA, portA), b.GetPortNode(nodeB, portB));
    EXPECT_EQ(std::tie(portA.group, portA.mode, portA.userMayOpen, portA.modemManagerCandidate, portA.modemManagerIgnores),
              std::tie(portB.group, portB.mode, portB.userMayOpen, portB.modemManagerCandidate, portB.modemManagerIgnores));
    DEVINST childA = 0, childB = 0;
    const bool hasChild = a.GetChild(childA, nodeA) == kCrSuccess;
    ASSERT_EQ(hasChild, b.GetChild(childB, nodeB) == kCrSuccess);
    while (hasChild && childA != 0) {
        ExpectSameTree(a, b, childA, childB);
        DEVINST nextA = 0, nextB = 0;
        a.GetSibling(nextA, childA);
        b.GetSibling(nextB, childB);
        childA = nextA;
        childB = nextB;
    }
    EXPECT_EQ(childB, 0u);
}

TEST(ScenarioWriter, ATreeWrittenOutReadsBackTheSame) {
    // A node's problem and a Linux PC's facts of its interfaces and ports read back too.
    const std::string facts = "os linux\nnode class=none\n  node class=none problem=22\n"
                              "  node class=none status=0x400 problem=43 bound=usbfs\n"
                              "  node class=none group=dialout mode=0660 open=no mm=ignored\n";
    for (const std::string name : {"default.scn", "russian-user.scn", "facts"}) {
        SyntheticMachine original;
        std::string error;
        std::istringstream inline_(facts);
        ASSERT_TRUE(name == "facts" ? LoadScenario(inline_, original, error)
                                    : LoadScenarioFile(testing::ScenarioPath(name), original, error)) << error;
        const unsigned codePage = original.system.codePage;
        const std::string written = WriteScenarioTree(
            original.tree, [codePage](const std::string& ansi) { return CodePageToUtf8(codePage, ansi); },
            &original.tree);
        SyntheticMachine replayed;
        std::istringstream in("codepage " + std::to_string(codePage) + "\n" + written);
        ASSERT_TRUE(LoadScenario(in, replayed, error)) << error;
        DEVINST rootA = 0, rootB = 0;
        original.tree.LocateRoot(rootA);
        replayed.tree.LocateRoot(rootB);
        ExpectSameTree(original.tree, replayed.tree, rootA, rootB);
    }
}

TEST(ScenarioWriter, QuotesAndControlCharactersAreEscapedAndAMissingRootIsStated) {
    SyntheticDeviceTree tree;
    auto same = [](const std::string& text) { return text; };
    EXPECT_EQ(WriteScenarioTree(tree, same), "no-tree error=13\n");
    SyntheticNode node;
    node.friendlyName = "Say \"hi\"\tnow";
    tree.AddNode(SyntheticDeviceTree::kNoParent, node);
    EXPECT_EQ(WriteScenarioTree(tree, same), "node class=none name=E\"Say \\\"hi\\\"\\tnow\" handle=0x00000001\n");
}

}  // namespace
}  // namespace portiq::synthetic

namespace portiq::synthetic {
namespace {

struct RunResult {
    std::string box;
    std::string log;
};

RunResult RunOn(SyntheticMachine& machine) {
    machine.system.fileWriteError = 5;  // a held key writes no list file here
    ResetRunState();
    machine.Install();
    CEnumDevicesApp().InitInstance();
    RunResult result{machine.system.messageBoxes.at(0).text, g_strLog};
    ResetRunState();
    return result;
}

// Values at the edges of what a scenario holds: texts the code page lacks, escaped
// quotes and control characters, DEL and C1 characters, tabs between words, a string for
// any language, every setting.
const char kOddValues[] =
    "language\t0x0407\r\nsystem-language 0x0419\n"
    "arguments 2\nhold shift+ctrl\n"
    "wavein name=\"Mikro \xd0\x9f\x7f\xc2\x81\" interface=E\"\\\\\\\\?\\\\usb#mi_00#\\\"\\x01#\"\n"
    "error-text 3 text=E\"Der Pfad wurde nicht gefunden.\\r\\n\"\nerror-text 4711 text=\"\xc3\x9c\"\n"
    "waveout name=\"Kopfh\xc3\xb6rer\"\n"
    // A root hub whose name fails: its driver key, opened as a path, fails with 3.
    "hc 1 driver=\"{s}\" hub=\"{s}\"\n  fail roothub-name\n  fail hub-open error=3\n"
    "hc 2 driver=x hub=\"\" ports=1\n"  // a root hub whose name opens nothing
    "hc interface=\"\\\\?\\pci#x\" driver=y hub=\"Hub 2\" ports=1\n  port 1 device driver-length=300\n"
    "    fail driverkey-size error=0\n"
    "hc 0 driver=\xe2\x82\xac hub=\"Hub \xc2\x9f\" ports=5\n"
    "  port 1 device\tdriver=\"{k}\\1\"\n"
    "    device 12 01 00 02 00 00 00 40 03 04 10 60 00 05 01 02 00 01\n"
    "    string 0 times=1 04 03 07 04\n    fail string 0 error=0\n"
    "    string 2 text=\"Tavrilink Lynx \xf0\x9f\x93\xbb\"\n"
    "  port 2 status=4\n"
    "  port 3 hub=\"name-not-returned-1\" ports=1\n"  // the name the writer gives a hub it can't name
    "    port 1 hub=lost ports=2\n"
    "      fail hub-name\n"
    "  port 4 hub=\"\" ports=1\n  port 5 hub=\"\" ports=1\n"  // two hubs whose names come back empty
    "node class=none id=E\"\\t root\\xff\"\n"
    "  node class={c} name=\"\xd0\x9f\xd0\xbe\xd1\x80\xd1\x82 (COM9) \x7f\xc2\x85\" driver=\"{k}\\1\" handle=0xfffffff0\n";

// A UTF-8 machine: a wave name of 32 bytes, cut inside its é to 31, and bytes that are
// no UTF-8 in the tree and a controller's path; a linked controller whose driver key
// fails, listed by its path too.
const char kUtf8Values[] =
    "codepage 65001\nwavein name=\"USB Audio CODEC, 30 bytes long\xc3\xa9\" interface=x\n"
    "hc interface=E\"\\\\\\\\?\\\\pci#\\xe9\" hub=R\n"
    "hc 3 interface=\"\\\\?\\pci#z\" hub=\"Hub 3\"\n  fail driverkey\n"
    "node class=none name=E\"Port \\xd0 (COM3)\"\n";

TEST(ScenarioWriter, AWrittenMachineReplaysTheWholeRunAndWritesOutTheSame) {
    for (const char* name :
         {"default.scn", "usb-hubs-and-failures.scn", "odd-drivers.scn", "lynx-and-orbit.scn", "russian-user.scn", "radios.scn",
          "", "utf-8"}) {
        SyntheticMachine original;
        std::string error;
        // Root hubs whose names take the path's 252 bytes and one more: the walk opens the
        // first only, and the writer must record them so.
        std::string oddValues = kOddValues;
        oddValues.insert(oddValues.find("hc 2 "), "hc 3 hub=\"" + std::string(252, 'a') + "\" ports=1\nhc 4 hub=\"" +
                                                      std::string(253, 'b') + "\" ports=1\n");
        std::istringstream odd(*name ? kUtf8Values : oddValues);
        const bool file = *name && std::string(name) != "utf-8";
        ASSERT_TRUE(file ? LoadScenarioFile(testing::ScenarioPath(name), original, error)
                         : LoadScenario(odd, original, error)) << name << ": " << error;
        const std::string written = WriteScenario(original);
        SyntheticMachine replayed;
        std::istringstream in(written);
        ASSERT_TRUE(LoadScenario(in, replayed, error)) << name << ": " << error << "\n" << written;
        DEVINST rootA = 0, rootB = 0;
        original.tree.LocateRoot(rootA);
        replayed.tree.LocateRoot(rootB);
        ExpectSameTree(original.tree, replayed.tree, rootA, rootB);
        const RunResult expected = RunOn(original), actual = RunOn(replayed);
        EXPECT_EQ(actual.box, expected.box) << name;
        EXPECT_EQ(actual.log, expected.log) << name;
        EXPECT_EQ(WriteScenario(replayed), written) << name;
    }
}

TEST(ScenarioWriter, WaveDevicesKeepTheirWholePathAndTheirFailingQueries) {
    SyntheticWave wave;
    wave.devices = {{"Mic \"A\"", u"\\\\?\\" + std::u16string(150, u'p')}, {"", u"", kMmSysErrNoDriver},
                    {"Silent", u"x", 0, kMmSysErrNotSupported, kMmSysErrNotSupported}};
    EXPECT_EQ(WriteScenarioWave(wave, [](const std::string& text) { return text; }),
              "wavein name=E\"Mic \\\"A\\\"\" interface=\"\\\\?\\" + std::string(150, 'p') + "\"\n"
              "wavein fail=caps\n"
              "wavein name=\"Silent\" fail=size,interface\n");
}

}  // namespace
}  // namespace portiq::synthetic
