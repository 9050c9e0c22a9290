// Device-node texts with their fallbacks, port names and sound instance keys.
#include <gtest/gtest.h>

#include "devtree/device_records.h"
#include "devtree/devnode_texts.h"
#include "test_support.h"

namespace portiq {
namespace {

using synthetic::SyntheticDeviceTree;
using synthetic::SyntheticNode;
using testing::PortIqTest;

class DevNodeTexts : public PortIqTest {
protected:
    DEVINST Add(SyntheticNode node) {
        if (machine.tree.NodeCount() == 0) machine.tree.AddNode(SyntheticDeviceTree::kNoParent, {});
        const int index = machine.tree.AddNode(0, std::move(node));
        Install();
        return machine.tree.Node(index).handle;
    }
};

TEST_F(DevNodeTexts, FriendlyNameFallsBackToTheDescriptionThenUnknownDevice) {
    SyntheticNode both;
    both.friendlyName = "USB Serial Port (COM5)";
    both.deviceDescription = "USB Serial Port";
    SyntheticNode descriptionOnly;
    descriptionOnly.deviceDescription = "USB Root Hub";
    EXPECT_EQ(GetDevNodeFriendlyName(Add(both)), "USB Serial Port (COM5)");
    EXPECT_EQ(GetDevNodeFriendlyName(Add(descriptionOnly)), "USB Root Hub");
    EXPECT_EQ(GetDevNodeFriendlyName(Add({})), "Unknown Device");
    EXPECT_EQ(GetDevNodeFriendlyName(0xBAD), "Unknown Device");
}

TEST_F(DevNodeTexts, ValuesOf959CharactersOrMoreCountAsUnreadable) {
    SyntheticNode longest;
    longest.friendlyName = std::string(958, 'f');
    longest.deviceId = std::string(958, 'I');
    longest.driverKey = std::string(958, 'k');
    SyntheticNode tooLong;
    tooLong.friendlyName = std::string(959, 'f');
    tooLong.deviceDescription = "description";
    tooLong.deviceId = std::string(959, 'I');
    tooLong.driverKey = std::string(959, 'k');
    SyntheticNode overflowing;  // no room even for the terminator
    overflowing.friendlyName = std::string(5000, 'f');
    overflowing.deviceId = std::string(960, 'I');
    overflowing.driverKey = std::string(961, 'k');

    const DEVINST a = Add(longest), b = Add(tooLong), c = Add(overflowing);
    EXPECT_EQ(GetDevNodeFriendlyName(a).size(), 958u);
    EXPECT_EQ(GetDevNodeDeviceId(a).size(), 958u);
    EXPECT_EQ(GetDevNodeDriverKey(a).size(), 958u);
    EXPECT_EQ(GetDevNodeFriendlyName(b), "description");
    EXPECT_EQ(GetDevNodeDeviceId(b), "");
    EXPECT_EQ(GetDevNodeDriverKey(b), "");
    EXPECT_EQ(GetDevNodeFriendlyName(c), "Unknown Device");
    EXPECT_EQ(GetDevNodeDeviceId(c), "");  // exactly 960: written without a terminator
    EXPECT_EQ(GetDevNodeDriverKey(c), "");
}

TEST_F(DevNodeTexts, MissingIdAndDriverKeyAreEmpty) {
    const DEVINST node = Add({});
    EXPECT_EQ(GetDevNodeDeviceId(node), "");
    EXPECT_EQ(GetDevNodeDriverKey(node), "");
}

TEST(ParsePortName, TakesTheTextInsideTheLastWellOrderedParentheses) {
    EXPECT_EQ(ParsePortName("USB Serial Port (COM5)"), "COM5");
    EXPECT_EQ(ParsePortName("Port (A) (COM12)"), "COM12");
    EXPECT_EQ(ParsePortName("Port (COM5) x)"), "COM5) x");
    EXPECT_EQ(ParsePortName("Port )COM5("), "");
    EXPECT_EQ(ParsePortName("Port (COM5) ("), "");
    EXPECT_EQ(ParsePortName("Port ()"), "");
    EXPECT_EQ(ParsePortName("Port COM5)"), "");
    EXPECT_EQ(ParsePortName("Port (COM5"), "");
    EXPECT_EQ(ParsePortName(""), "");
}

TEST(GetInstanceKey, IsThePartBetweenMi00AndTheNextHash) {
    auto key = [](const std::string& path) {
        CSbRecord record;
        record.strInterface = path;
        return record.GetInstanceKey();
    };
    EXPECT_EQ(key("\\\\?\\USB#VID_08BB&PID_2902&MI_00#6&2C1B4E3A&0&0000#{6994AD04}\\GLOBAL"), "6&2C1B4E3A&0&0000");
    EXPECT_EQ(key("\\\\?\\USB#VID_08BB&PID_2902&MI_00##{6994AD04}"), "");
    const std::string noMarker = "\\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&1F9A&0&0001#{6994AD04}";
    EXPECT_EQ(key(noMarker), noMarker);
    EXPECT_EQ(key("MI_00#ABC#DEF"), "MI_00#ABC#DEF");          // marker at position 0
    EXPECT_EQ(key("\\\\?\\USB#MI_00#"), "\\\\?\\USB#MI_00#");  // nothing after it
    EXPECT_EQ(key("\\\\?\\USB#MI_00#ABC"), "\\\\?\\USB#MI_00#ABC");  // no closing '#'
    EXPECT_EQ(key(""), "");
}

}  // namespace
}  // namespace portiq
