#include "radios/radio_pass.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "base/lang_strings.h"
#include "base/printf_format.h"
#include "devtree/ansi_text.h"
#include "devtree/box_models.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "devtree/devnode_texts.h"
#include "diagnosis/node_checks.h"
#include "radios/radio_blocks.h"
#include "resources/portiq_resource.h"

namespace portiq {
namespace {

constexpr char kPortsClass[] = "{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr int kFtdiVendor = 0x0403;
// A radio's nodes lie a few levels below its USB device (device, interface, port); a tree
// of loops or of a million nodes is read only so far.
constexpr int kDeepestRadioNode = 4;
constexpr std::size_t kMostTreeNodes = 1 << 20;

DeviceTree& Tree() { return *CurrentPlatform().deviceTree; }

// The USB devices' nodes, found by driver key (or, for a device without one, by the ID
// Windows gives a device with a serial number), as the box walk finds a box's.
class DeviceNodes {
public:
    DeviceNodes() {
        DEVINST root = 0;
        if (Tree().LocateRoot(root) == kCrSuccess && root != 0) Read(root);
    }
    DEVINST Of(const UsbDeviceRecord& record) const {
        const auto key = record.strDriverKey.empty() ? byKey_.end() : byKey_.find(record.strDriverKey);
        if (key != byKey_.end()) return key->second;
        if (!record.strDriverKey.empty() || record.strSerial.empty()) return 0;
        const std::string id = FormatPrintf("USB\\VID_%04X&PID_%04X\\", record.nVendorId, record.nProductId);
        const auto found = byId_.find(UpperCaseInCodePage(id + record.strSerial));
        return found != byId_.end() ? found->second : 0;
    }

private:
    void Read(DEVINST root) {
        std::vector<DEVINST> todo = {root};
        std::set<DEVINST> seen = {root};
        while (!todo.empty() && seen.size() < kMostTreeNodes) {
            const DEVINST node = todo.back();
            todo.pop_back();
            const std::string key = GetDevNodeDriverKey(node);
            if (!key.empty()) byKey_.emplace(key, node);
            byId_.emplace(UpperCaseInCodePage(GetDevNodeDeviceId(node)), node);
            for (const DEVINST child : GetDevNodeChildren(node)) {
                if (seen.insert(child).second) todo.push_back(child);
            }
        }
    }
    std::unordered_map<std::string, DEVINST> byKey_, byId_;
};

struct PortNode {
    DEVINST node;
    RadioPort port;
};

// Two upper-case hexadecimal digits after "&MI_" in a device ID; -1 where there are none.
int InterfaceNumber(const std::string& id) {
    const std::size_t mi = id.find("&MI_");
    if (mi == std::string::npos || mi + 6 > id.size()) return -1;
    const int high = HexDigit(id[mi + 4]), low = HexDigit(id[mi + 5]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool IsPortsClass(DEVINST node) {
    char guid[39] = {};
    std::uint32_t length = sizeof guid;
    return Tree().GetRegistryProperty(node, kDrpClassGuid, guid, length) == kCrSuccess &&
           UpperCaseAscii(std::string(guid, std::find(guid, guid + sizeof guid, '\0'))) == kPortsClass;
}

// What a USB device's node holds: its serial ports (a node of the Ports class below it
// whose name names one, by the interface above it: a device of one interface has
// interface 0), its sound device (a record whose instance key its nodes' IDs hold) and
// its interfaces' nodes.
struct DeviceView {
    DEVINST node = 0;
    std::vector<PortNode> ports;
    std::vector<std::pair<DEVINST, int>> interfaces;  // node, number
    int sound = -1;
};

// The sound devices by the instance of the interface that carries them: the key the box
// walk uses (its codecs' audio is interface 0), or for another interface's audio (a
// composite radio's) the text between "MI_nn#" and the next '#', which Windows and the
// Linux platform make the interface node's instance.
class SoundInstances {
public:
    SoundInstances() {
        for (int s = 0; s < static_cast<int>(g_soundDevices.size()); ++s) {
            const CSbRecord& record = g_soundDevices[s];
            std::string key = record.GetInstanceKey();
            const std::size_t mi = record.strInterface.find("MI_");
            if (key == record.strInterface && mi != std::string::npos && mi + 6 < record.strInterface.size() &&
                record.strInterface[mi + 5] == '#') {
                const std::size_t end = record.strInterface.find('#', mi + 6);
                key = record.strInterface.substr(mi + 6, end == std::string::npos ? end : end - mi - 6);
            }
            if (!key.empty()) byKey_[key] = s;
        }
    }
    // The device whose key is the instance part of a node's ID (after its last ''); -1.
    int Of(const std::string& id) const {
        const std::size_t slash = id.find_last_of('\\');
        if (slash == std::string::npos || InterfaceNumber(id) < 0) return -1;
        const auto found = byKey_.find(id.substr(slash + 1));
        return found != byKey_.end() ? found->second : -1;
    }

private:
    std::unordered_map<std::string, int> byKey_;
};

void ReadBelow(DEVINST node, int interface, int depth, const SoundInstances& sounds, DeviceView& view) {
    const std::string id = UpperCaseInCodePage(GetDevNodeDeviceId(node));
    const int number = InterfaceNumber(id);
    if (number >= 0 && depth > 0) view.interfaces.emplace_back(node, number);
    if (number >= 0) interface = number;
    if (const int sound = sounds.Of(id); sound >= 0 && view.sound < 0) view.sound = sound;
    if (IsPortsClass(node)) {
        const std::string port = ParsePortName(GetDevNodeFriendlyName(node));
        if (!port.empty()) view.ports.push_back({node, {port, interface < 0 ? 0 : interface, {}}});
    }
    if (depth >= kDeepestRadioNode) return;
    for (const DEVINST child : GetDevNodeChildren(node)) ReadBelow(child, interface, depth + 1, sounds, view);
}

DeviceView View(DEVINST node, const SoundInstances& sounds) {
    DeviceView view;
    view.node = node;
    if (node != 0) ReadBelow(node, -1, 0, sounds, view);
    return view;
}

// The devices a hub holds, directly or below hubs of its own, and its failing ports.
bool IsBelow(const std::string& portPath, const std::string& hub) {
    return portPath.size() > hub.size() + 1 && portPath.compare(0, hub.size(), hub) == 0 && portPath[hub.size()] == '.';
}

std::vector<int> DevicesOn(int controller, const std::string& hub) {
    std::vector<int> devices;
    for (int r = 0; r < static_cast<int>(g_usbDevices.size()); ++r) {
        if (g_usbDevices[r].nHostController == controller && IsBelow(g_usbDevices[r].strPortPath, hub)) devices.push_back(r);
    }
    return devices;
}

bool HubPortFails(int controller, const std::string& hub) {
    return std::any_of(g_usbPortFailures.begin(), g_usbPortFailures.end(), [&](const UsbPortFailure& failure) {
        return failure.nHostController == controller && IsBelow(failure.strPortPath, hub);
    });
}

// A codec a person wears or holds: one of its terminals is a head-mounted microphone,
// headphones, a head-mounted display's audio, a handset, a headset or a speakerphone
// (USB Audio Terminal Types 1.0: 0x0204, 0x0302, 0x0303, 0x0401 to 0x0405). A radio's
// codec has line and speaker terminals; its audio comes from a radio, not a head.
bool IsWornCodec(const UsbDeviceRecord& record) {
    return std::any_of(record.audioTerminalTypes.begin(), record.audioTerminalTypes.end(), [](int type) {
        return type == 0x0204 || type == 0x0302 || type == 0x0303 || (type >= 0x0401 && type <= 0x0405);
    });
}

const RadioRow* RowOf(const UsbDeviceRecord& record, const RadioRow* table, std::size_t rows) {
    for (std::size_t i = 0; i < rows; ++i) {
        const RadioRow& row = table[i];
        if (row.vendorId == record.nVendorId && row.productId == record.nProductId &&
            MatchesRadioGlob(row.productPattern, record.strProduct) && MatchesRadioGlob(row.serialPattern, record.strSerial)) {
            return &row;
        }
    }
    return nullptr;
}

class RadioPass {
public:
    RadioPass(const RadioRow* table, std::size_t rows) {
        for (const BoxBlock& box : g_boxBlocks) {
            if (box.nSoundDevice >= 0) boxSounds_.insert(box.nSoundDevice);
        }
        const std::size_t count = g_usbDevices.size();
        rows_.resize(count, nullptr);
        views_.resize(count);
        for (std::size_t r = 0; r < count; ++r) {
            const UsbDeviceRecord& record = g_usbDevices[r];
            views_[r] = View(nodes_.Of(record), sounds_);
            if (!ModelWord(record.strProduct).empty()) continue;  // a box, the box walk's
            rows_[r] = RowOf(record, table, rows);
        }
    }

    void Run() {
        std::set<std::pair<int, std::string>> hubsSeen;
        for (int r = 0; r < static_cast<int>(g_usbDevices.size()); ++r) {
            if (rows_[r]) {
                AddRadio(r);
                continue;
            }
            const UsbDeviceRecord& record = g_usbDevices[r];
            const std::string hub = HubPortPath(record.strPortPath);
            if (hub.empty() || !hubsSeen.insert({record.nHostController, hub}).second) continue;
            int bridge = -1, codec = -1;
            if (IsOneInterface(record.nHostController, hub, bridge, codec)) AddUnnamed(bridge, codec);
        }
    }

private:
    bool IsNamed(int r) const { return rows_[r] || !ModelWord(g_usbDevices[r].strProduct).empty(); }
    bool IsCodec(int r) const { return views_[r].sound >= 0 && !boxSounds_.count(views_[r].sound); }
    bool IsBridge(int r) const { return !views_[r].ports.empty(); }

    // A serial bridge and a codec are one interface when a hub holds them and nothing else:
    //   - not a root hub (the PC's own ports hold whatever the user plugs in);
    //   - no other device at all, below hubs of its own either, and no failing port (a
    //     third device, even one that didn't start, makes it a desk hub);
    //   - neither is a box, a box's codec or a device a table row names;
    //   - one is a bridge without a sound device, the other a codec without a serial port;
    //   - the codec is none a person wears or holds (IsWornCodec): a desk hub with a
    //     headset and a GPS cable is two things of the user's, not a radio's interface.
    bool IsOneInterface(int controller, const std::string& hub, int& bridge, int& codec) const {
        const std::vector<int> devices = DevicesOn(controller, hub);
        if (devices.size() != 2 || HubPortFails(controller, hub)) return false;
        for (const int r : devices) {
            if (IsNamed(r) || HubPortPath(g_usbDevices[r].strPortPath) != hub) return false;
            if (IsBridge(r) && views_[r].sound < 0) bridge = r;
            if (IsCodec(r) && views_[r].ports.empty()) codec = r;
        }
        return bridge >= 0 && codec >= 0 && bridge != codec && !IsWornCodec(g_usbDevices[codec]);
    }

    // A radio whose codec is a device of its own: the one codec on its hub, where the hub
    // holds nothing else but the radio's bridges (a transceiver's internal hub holds its
    // bridges and its codec; a radio of two bridges is one radio there).
    bool OnOwnHub(int r, int other) const {
        const UsbDeviceRecord& record = g_usbDevices[r];
        return HubPortPath(g_usbDevices[other].strPortPath) == HubPortPath(record.strPortPath);
    }
    bool SameRadio(int r, int other) const {
        return rows_[other] && std::string(rows_[other]->name) == rows_[r]->name && OnOwnHub(r, other);
    }
    int CodecBeside(int r) const {
        const UsbDeviceRecord& record = g_usbDevices[r];
        const std::string hub = HubPortPath(record.strPortPath);
        if (hub.empty() || HubPortFails(record.nHostController, hub)) return -1;
        int codec = -1;
        for (const int other : DevicesOn(record.nHostController, hub)) {
            if (SameRadio(r, other)) continue;
            const bool isCodec = OnOwnHub(r, other) && !IsNamed(other) && IsCodec(other) && views_[other].ports.empty();
            if (!isCodec || codec >= 0) return -1;
            codec = other;
        }
        return codec;
    }

    // The block of the same radio's other bridge on its own hub, where one was made.
    RadioBlock* BlockOfSameRadio(int r) {
        if (HubPortPath(g_usbDevices[r].strPortPath).empty() || CodecBeside(r) < 0) return nullptr;
        for (RadioBlock& block : g_radioBlocks) {
            const int other = block.nRecord;
            if (other >= 0 && g_usbDevices[other].nHostController == g_usbDevices[r].nHostController && SameRadio(r, other)) {
                return &block;
            }
        }
        return nullptr;
    }

    void AddRadio(int r) {
        const RadioRow& row = *rows_[r];
        RadioBlock block;
        block.strName = row.name;
        block.nRecord = r;
        block.nSoundDevice = views_[r].sound;
        const int codec = block.nSoundDevice < 0 ? CodecBeside(r) : -1;
        if (codec >= 0) block.nSoundDevice = views_[codec].sound;
        const bool ftdi = g_usbDevices[r].nVendorId == kFtdiVendor;
        for (PortNode& port : views_[r].ports) {
            for (const RadioPortRow& listed : row.ports) {
                if (listed.interfaceNumber == port.port.nInterface && listed.role) port.port.strRole = listed.role;
            }
        }
        Diagnose(block, r, codec);
        // An interface the row gives a role and that shows no port: on a Unix system, who
        // holds it (the FTDI driver's remedies are the ones the diagnosis knows).
        for (const auto& interface : views_[r].interfaces) {
            const DEVINST node = interface.first;
            const int number = interface.second;
            const bool listed = std::any_of(std::begin(row.ports), std::end(row.ports),
                                            [&](const RadioPortRow& p) { return p.interfaceNumber == number && p.role; });
            const bool hasPort = std::any_of(views_[r].ports.begin(), views_[r].ports.end(),
                                             [&](const PortNode& p) { return p.port.nInterface == number; });
            if (ftdi && listed && !hasPort) {
                const char channel = static_cast<char>('A' + number % 26);
                CheckInterfaceDriver(node, FormatPrintf(LoadLangString(IDS_DIAG_CHANNEL).c_str(), channel), block.findings);
            }
        }
        if (RadioBlock* same = BlockOfSameRadio(r)) {
            same->ports.insert(same->ports.end(), block.ports.begin(), block.ports.end());
            for (Finding& finding : block.findings) same->findings.push_back(std::move(finding));
            return;
        }
        g_radioBlocks.push_back(std::move(block));
    }

    void AddUnnamed(int bridge, int codec) {
        RadioBlock block;
        block.nRecord = bridge;
        block.nSoundDevice = views_[codec].sound;
        Diagnose(block, bridge, codec);
        g_radioBlocks.push_back(std::move(block));
    }

    // What the diagnosis says of the device, its ports and its codec. The driver-missing
    // text names the FTDI driver: for another bridge it would send the user wrong.
    void Diagnose(RadioBlock& block, int r, int codec) {
        const DeviceView& view = views_[r];
        const std::string subject = block.strName.empty() ? g_usbDevices[r].strProduct : block.strName;
        if (view.node != 0) CheckNodeStatus(view.node, subject, false, block.findings);
        for (const auto& interface : view.interfaces) CheckNodeStatus(interface.first, subject, false, block.findings);
        for (const PortNode& port : view.ports) {
            block.ports.push_back(port.port);
            CheckNodeStatus(port.node, port.port.strPort, false, block.findings);
            CheckPortNode(port.node, port.port.strPort, block.findings);
        }
        if (codec >= 0 && views_[codec].node != 0) {
            const std::string name = LoadLangString(IDS_DIAG_SOUND_CODEC);
            CheckNodeStatus(views_[codec].node, name, true, block.findings);
            for (const auto& interface : views_[codec].interfaces) CheckNodeStatus(interface.first, name, true, block.findings);
        }
        if (g_usbDevices[r].nVendorId == kFtdiVendor) return;
        auto& findings = block.findings;
        findings.erase(std::remove_if(findings.begin(), findings.end(),
                                      [](const Finding& f) { return f.cause == Cause::kNoDriver; }),
                       findings.end());
    }

    SoundInstances sounds_;
    DeviceNodes nodes_;
    std::set<int> boxSounds_;
    std::vector<const RadioRow*> rows_;
    std::vector<DeviceView> views_;
};

}  // namespace

bool MatchesRadioGlob(const char* pattern, const std::string& text) {
    if (!pattern) return true;
    // The classic walk with one backtrack point: the last '*' and where its run ended.
    std::size_t p = 0, t = 0, star = std::string::npos, resume = 0;
    const std::string glob = pattern;
    while (t < text.size()) {
        if (p < glob.size() && (glob[p] == '?' || glob[p] == text[t])) {
            ++p, ++t;
        } else if (p < glob.size() && glob[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < glob.size() && glob[p] == '*') ++p;
    return p == glob.size();
}

void FindRadios(const RadioRow* table, std::size_t rows) {
    g_radioBlocks.clear();
    if (!CurrentPlatform().deviceTree) return;
    RadioPass(table, rows).Run();
}

void FindRadios() { FindRadios(g_radioTable, g_radioTableSize); }

std::string RadioReportText() {
    std::string text;
    const bool unix = CurrentPlatform().unixDevices != nullptr;
    for (const RadioBlock& block : g_radioBlocks) {
        text += (block.strName.empty() ? LoadLangString(IDS_RADIO_UNNAMED)
                                       : FormatPrintf(LoadLangString(IDS_RADIO_FOUND).c_str(), block.strName)) +
                "\n";
        if (block.nSoundDevice >= 0 && static_cast<std::size_t>(block.nSoundDevice) < g_soundDevices.size()) {
            text += "Audio\t" + g_soundDevices[block.nSoundDevice].strName + "\n";
        }
        for (const RadioPort& port : block.ports) {
            const std::string caption =
                block.strName.empty() ? LoadLangString(IDS_RADIO_SERIAL_PORT)
                : port.strRole.empty()
                    ? FormatPrintf(LoadLangString(IDS_RADIO_PORT).c_str(), block.strName)
                    : FormatPrintf(LoadLangString(IDS_RADIO_PORT_ROLE).c_str(), block.strName, port.strRole);
            text += port.strPort + "\t" + caption + "\n";
        }
        for (const Finding& finding : block.findings) text += FindingLine(finding, unix);
        text += "\n";
    }
    return text;
}

}  // namespace portiq
