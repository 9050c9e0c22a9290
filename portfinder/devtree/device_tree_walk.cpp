#include "devtree/device_tree_walk.h"

#include <string>
#include <unordered_map>

#include "base/lang_strings.h"
#include "base/log.h"
#include "devtree/ansi_text.h"
#include "devtree/box_models.h"
#include "devtree/device_records.h"
#include "devtree/devnode_texts.h"
#include "devtree/record_index.h"
#include "resources/portiq_resource.h"

namespace portiq {

std::vector<BoxBlock> g_boxBlocks;
std::vector<BoxNode> g_boxNodes;

namespace {

const char kChannelA[] = "A\\000";
const char kChannelB[] = "B\\000";
const char kSoundCodecId[] = "USB\\VID_08BB";
const char kFtdiSingleChannelId[] = "FTDIBUS\\VID_0403+PID_6001";

// Walk state, shared by all levels of the recursion.
std::string g_strPrevName;  // name of the node examined before, or the USB product text that replaced it
std::string g_strBoxName;   // name under which the current box's ports are captioned
std::string g_strPrevDriverKey;  // driver key of the node g_strPrevName came from
bool g_bBlockOpen = false;  // a box block (header line) is open in the report
int g_nPendingAudio = -1;   // sound device matched to a box whose header is still to come
int g_nExitChain = 0;       // zeroed at each entry of WalkDevNodes, counted up at each exit
int g_nDepth = 0;           // nesting depth of WalkDevNodes

// The records by the keys the walk matches nodes on, made when the outermost
// WalkDevNodes starts (the records are complete by then and don't change).
SoundKeyIndex g_soundKeys;
DriverKeyIndex g_driverKeys;
// The boxes' records by driver key, and those without one by the device ID Windows
// gives a device with a serial number ("USB\VID_0403&PID_6010\TN0A1B2C").
std::unordered_map<std::string, std::vector<int>> g_boxDriverKeys;
std::unordered_map<std::string, std::vector<int>> g_boxDeviceIds;

void IndexBoxes() {
    g_boxDriverKeys.clear();
    g_boxDeviceIds.clear();
    for (int r = 0; r < static_cast<int>(g_usbDevices.size()); ++r) {
        const UsbDeviceRecord& record = g_usbDevices[r];
        if (ModelWord(record.strProduct).empty()) continue;
        if (!record.strDriverKey.empty()) {
            g_boxDriverKeys[record.strDriverKey].push_back(r);
        } else if (!record.strSerial.empty()) {
            const std::string id = FormatPrintf("USB\\VID_%04X&PID_%04X\\", record.nVendorId, record.nProductId);
            g_boxDeviceIds[UpperCaseInCodePage(id + record.strSerial)].push_back(r);
        }
    }
}

void NoteBoxNode(DEVINST parent, DEVINST node, const std::string& deviceId, const std::string& driverKey) {
    const auto byKey = driverKey.empty() ? g_boxDriverKeys.end() : g_boxDriverKeys.find(driverKey);
    const auto byId = g_boxDeviceIds.find(deviceId);
    for (const auto& found : {byKey == g_boxDriverKeys.end() ? nullptr : &byKey->second,
                              byId == g_boxDeviceIds.end() ? nullptr : &byId->second}) {
        if (!found) continue;
        for (const int r : *found) g_boxNodes.push_back({r, node, parent});
    }
}

DeviceTree& Tree() { return *CurrentPlatform().deviceTree; }

// Every line the open block gets ends where the block's findings end.
void AppendBlockLine(const std::string& line) {
    g_strMessage += line;
    g_boxBlocks.back().nEnd = g_strMessage.size();
}

void AppendBoxHeader(const std::string& name, const std::string& driverKey) {
    ++g_nDevicesFound;
    BoxBlock block;
    block.nNumber = g_nDevicesFound;
    block.strName = name;
    block.strDriverKey = driverKey;
    g_boxBlocks.push_back(block);
    AppendBlockLine(FormatPrintf(LoadLangString(IDS_FOUND_DEVICE).c_str(), g_nDevicesFound) + "\n");
}

void CloseBlock() {
    g_strMessage += "\n";
    g_bBlockOpen = false;
}

// Nodes without a readable class GUID are not examined (their children still are).
bool IsAdmitted(DEVINST node) {
    char classGuid[39];
    std::uint32_t length = sizeof classGuid;
    return Tree().GetRegistryProperty(node, kDrpClassGuid, classGuid, length) == kCrSuccess;
}

// A port line; the open block, if any, owns it.
void AppendPortLine(const std::string& port, const char* caption) {
    if (!g_bBlockOpen) {
        g_strMessage += port + caption;
        return;
    }
    const std::string text = caption;
    g_boxBlocks.back().ports.push_back({port, text.substr(1, text.size() - 2)});
    AppendBlockLine(port + caption);
}

// The port lines of the box being captioned; Orbit boxes take no part.
void AppendPortLines(const std::string& friendlyName, const std::string& deviceId) {
    if (g_strBoxName.empty()) return;
    for (const ModelRow& row : g_szModelNames) {
        if (!row.captionA || !Contains(g_strBoxName, row.name)) continue;
        if (ContainsPastStart(deviceId, kChannelA)) AppendPortLine(ParsePortName(friendlyName), row.captionA);
        if (ContainsPastStart(deviceId, kChannelB)) AppendPortLine(ParsePortName(friendlyName), row.captionB);
        return;
    }
}

// A box is recognised on the name of the node examined before this one (or the USB
// product text that replaced it), so its block opens one node late: the node after
// the USB device, usually its first interface, writes the header.
void RecogniseModel() {
    for (const ModelRow& row : g_szModelNames) {
        if (!Contains(g_strPrevName, row.name)) continue;
        g_strBoxName = g_strPrevName;
        if (g_bBlockOpen) continue;
        AppendBoxHeader(g_strPrevName, g_strPrevDriverKey);
        if (g_nPendingAudio >= 0) {
            g_boxBlocks.back().nSoundDevice = g_nPendingAudio;
            AppendBlockLine(FormatPrintf("Audio\t%s\n", g_soundDevices[g_nPendingAudio].strName));
            g_nPendingAudio = -1;
        }
        g_bBlockOpen = true;
    }
}

// The box's sound codec: held for the next header, and it closes an open block. Every
// record whose instance key the ID holds past its start matches, in order: each sets the
// pending device and the first closes an open block, so the last one wins and the block
// closes once.
void MatchSoundDevice(const std::string& deviceId) {
    if (!Contains(deviceId, kSoundCodecId)) return;
    const int last = g_soundKeys.LastMatch(deviceId);
    if (last < 0) return;
    g_nPendingAudio = last;
    if (g_bBlockOpen) CloseBlock();
}

void CollectFtdiPort(const std::string& friendlyName, const std::string& deviceId) {
    if (deviceId.compare(0, sizeof kFtdiSingleChannelId - 1, kFtdiSingleChannelId) != 0) return;
    const std::string port = ParsePortName(friendlyName);
    if (port.size() <= 3) return;
    if (!g_strFtdiPorts.empty()) g_strFtdiPorts += ", ";
    g_strFtdiPorts += port;
}

// The USB product text of the node's device replaces its name for recognition. A Lynx
// found while a block is open starts a block of its own at once.
void MatchUsbProducts(const std::string& driverKey) {
    for (const int r : g_driverKeys.Matches(driverKey)) {
        g_strPrevName = g_usbDevices[r].strProduct;
        LogPrintf("*** FOUND: %s\n", g_strPrevName);
        if (g_bBlockOpen && Contains(g_strPrevName, "Tavrilink Lynx")) {
            g_strMessage += "\n";
            AppendBoxHeader(g_strPrevName, driverKey);
        }
    }
}

void ExamineNode(DEVINST parent, DEVINST node) {
    const std::string friendlyName = GetDevNodeFriendlyName(node);
    const std::string deviceId = UpperCaseInCodePage(GetDevNodeDeviceId(node));
    const std::string driverKey = GetDevNodeDriverKey(node);

    AppendPortLines(friendlyName, deviceId);
    RecogniseModel();
    g_strPrevName = friendlyName;
    g_strPrevDriverKey = driverKey;
    MatchSoundDevice(deviceId);
    LogPrintf("%i:%08x*%08x*%s*%s*%s\n", g_nDepth, parent, node, friendlyName, deviceId, driverKey);
    CollectFtdiPort(friendlyName, deviceId);
    MatchUsbProducts(driverKey);
    NoteBoxNode(parent, node, deviceId, driverKey);
}

// The exit chain: leaving a level whose last child with children had only childless
// children (chain 2) forgets the box; one level further out (chain 3) closes its block.
void LeaveLevel() {
    ++g_nExitChain;
    if (g_nExitChain == 2) {
        g_strBoxName.clear();
        g_strPrevName.clear();
        g_strPrevDriverKey.clear();
    }
    if (g_nExitChain == 3 && g_bBlockOpen) CloseBlock();
    --g_nDepth;
}

}  // namespace

void WalkDevNodes(DEVINST parent, DEVINST first) {
    if (g_nDepth == 0) {
        g_soundKeys = SoundKeyIndex(g_soundDevices);
        g_driverKeys = DriverKeyIndex(g_usbDevices);
        IndexBoxes();
    }
    ++g_nDepth;
    g_nExitChain = 0;
    for (DEVINST node = first; node != 0;) {
        // Handles start at 0 so that a call that claims success without writing one
        // (Wine's configuration manager does that) ends the list instead of looping.
        DEVINST sibling = 0;
        if (Tree().GetSibling(sibling, node) != kCrSuccess) sibling = 0;
        if (IsAdmitted(node)) ExamineNode(parent, node);
        DEVINST child = 0;
        if (Tree().GetChild(child, node) == kCrSuccess && child != 0) WalkDevNodes(node, child);
        node = sibling;
    }
    LeaveLevel();
}

void WalkDeviceTree() {
    DEVINST root = 0;
    const CONFIGRET located = Tree().LocateRoot(root);
    if (located != kCrSuccess || root == 0) {
        LogPrintf(" *** ERROR *** Device tree root not located. ErrorCode = %d\n", located);
        return;
    }
    DEVINST first = 0;
    if (Tree().GetChild(first, root) != kCrSuccess || first == 0) return;
    WalkDevNodes(root, first);
}

void ResetDeviceTreeWalk() {
    g_strPrevName.clear();
    g_strBoxName.clear();
    g_strPrevDriverKey.clear();
    g_boxBlocks.clear();
    g_boxNodes.clear();
    g_boxDriverKeys.clear();
    g_boxDeviceIds.clear();
    g_bBlockOpen = false;
    g_nPendingAudio = -1;
    g_nExitChain = 0;
    g_nDepth = 0;
    g_soundKeys = SoundKeyIndex();
    g_driverKeys = DriverKeyIndex();
}

}  // namespace portiq
