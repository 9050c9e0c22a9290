#include "diagnosis/diagnosis.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "base/lang_strings.h"
#include "base/log.h"
#include "devtree/ansi_text.h"
#include "devtree/box_models.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "devtree/devnode_texts.h"
#include "diagnosis/causes.h"
#include "diagnosis/node_checks.h"
#include "resources/portiq_resource.h"

namespace portiq {

std::string g_strDiagnosedElsewhere;
std::vector<std::vector<Finding>> g_boxFindings;

namespace {

constexpr int kFtdiVendor = 0x0403;
constexpr int kCodecVendor = 0x08BB;
constexpr char kCodecId[] = "USB\\VID_08BB";
constexpr char kRootHubId[] = "USB\\ROOT_HUB";
// A box has a dozen nodes: a tree that gives one thousands, or many nodes with one box's
// driver key, is looked at only so far.
constexpr int kDeepestBoxNode = 8;
constexpr int kMostBoxNodes = 256;
constexpr int kMostNodesPerBox = 8;

DeviceTree& Tree() { return *CurrentPlatform().deviceTree; }
UnixDevices* Unix() { return CurrentPlatform().unixDevices; }

// Each controller's bus as sysfs names it ("1-" of "1-2.3"), from the driver keys of its
// devices, which on a Unix system are their sysfs names.
std::map<int, std::string> g_busNames;

// Where a port is, as its user finds it: "1-2.3" on a Unix system, else "2.3 on controller 0".
std::string Place(int controller, const std::string& portPath) {
    const auto bus = g_busNames.find(controller);
    if (bus != g_busNames.end()) return bus->second + portPath;
    return FormatPrintf(LoadLangString(IDS_DIAG_PLACE).c_str(), portPath, controller);
}

void NameBuses() {
    g_busNames.clear();
    if (!Unix()) return;
    for (const UsbDeviceRecord& record : g_usbDevices) {
        const std::size_t dash = record.strDriverKey.find('-');
        if (dash != std::string::npos) g_busNames.emplace(record.nHostController, record.strDriverKey.substr(0, dash + 1));
    }
}

// The findings of one box, in the order they were made, each once.
class BoxFindings {
public:
    int nodesLeft = kMostBoxNodes;

    void Add(Finding finding) {
        const bool known = std::any_of(findings_.begin(), findings_.end(), [&](const Finding& f) {
            return f.cause == finding.cause && f.subject == finding.subject;
        });
        if (!known) findings_.push_back(std::move(finding));
    }
    const std::vector<Finding>& all() const { return findings_; }

private:
    std::vector<Finding> findings_;
};

// What Windows says of a node: a problem number names the cause. A codec without its
// driver is one that couldn't start (the serial driver's remedy isn't its).
void ExamineStatus(DEVINST node, const std::string& subject, bool codec, BoxFindings& findings) {
    std::uint32_t status = 0, problem = 0;
    if (Tree().GetStatus(node, status, problem) != kCrSuccess || !(status & kDnHasProblem)) return;
    LogPrintf("Diagnosis: %s (node %08x): status %08x, problem %d\n", subject, node, status, problem);
    switch (problem) {
        case kProbNotConfigured:
        case kProbFailedInstall: return findings.Add({codec ? Cause::kFailedStart : Cause::kNoDriver, subject, {}});
        case kProbDisabled:  // on a Unix system: the device isn't authorized, its sysfs name the detail
            return findings.Add({Cause::kDisabled, subject, GetDevNodeDriverKey(node)});
        case kProbFailedStart: return findings.Add({Cause::kFailedStart, subject, {}});
        default: return findings.Add({Cause::kOtherProblem, subject, std::to_string(problem)});
    }
}

// What a Unix system says of a box's interface: who holds it where no serial port shows.
void ExamineInterfaceDriver(DEVINST node, const std::string& subject, bool hasPort, BoxFindings& findings) {
    std::string driver;
    if (!Unix() || hasPort || !Unix()->GetInterfaceDriver(node, driver) || driver == "ftdi_sio") return;
    LogPrintf("Diagnosis: %s (node %08x): bound to %s\n", subject, node, driver);
    findings.Add({driver == "usbfs" ? Cause::kHeldByProgram : Cause::kOtherDriver, subject, driver});
}

// ... and of a serial port's device node: who may open it, whether the modem manager will.
void ExaminePortNode(DEVINST node, const std::string& port, BoxFindings& findings) {
    UnixPortNode facts;
    if (!Unix() || !Unix()->GetPortNode(node, facts)) return;
    if (!facts.userMayOpen) {
        LogPrintf("Diagnosis: %s: group %s, mode %04o, this user may not open it\n", port, facts.group, facts.mode);
        findings.Add({Cause::kNoAccess, port, facts.group});
    }
    if (facts.modemManagerCandidate && !facts.modemManagerIgnores) {
        LogPrintf("Diagnosis: %s: ID_MM_CANDIDATE without ID_MM_DEVICE_IGNORE\n", port);
        findings.Add({Cause::kModemManager, port, {}});
    }
}

// Two upper-case hexadecimal digits ("01" of "&MI_01"); -1 where they are none.
int HexByte(char high, char low) {
    const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    return digit(high) < 0 || digit(low) < 0 ? -1 : digit(high) * 16 + digit(low);
}

// A box's nodes below node: its interfaces (channel A, B) and their serial ports; a
// codec's nodes all speak of the codec.
void ExamineBelow(DEVINST node, const std::string& codec, int depth, BoxFindings& findings) {
    if (depth > kDeepestBoxNode) return;
    for (const DEVINST child : GetDevNodeChildren(node)) {
        if (--findings.nodesLeft < 0) return;
        const std::string id = UpperCaseAscii(GetDevNodeDeviceId(child));
        const std::string port = ParsePortName(GetDevNodeFriendlyName(child));
        const std::size_t mi = id.find("&MI_");
        std::string subject = codec;
        const int number = mi != std::string::npos && mi + 6 <= id.size() ? HexByte(id[mi + 4], id[mi + 5]) : -1;
        if (subject.empty() && number >= 0) {
            subject = FormatPrintf(LoadLangString(IDS_DIAG_CHANNEL).c_str(), static_cast<char>('A' + number % 26));
        }
        if (subject.empty()) subject = port.empty() ? LoadLangString(IDS_DIAG_THE_BOX) : port;
        ExamineStatus(child, subject, !codec.empty(), findings);
        if (codec.empty() && mi != std::string::npos) {
            const std::vector<DEVINST> below = GetDevNodeChildren(child);
            ExamineInterfaceDriver(child, subject, !below.empty(), findings);
        }
        if (codec.empty() && !port.empty()) ExaminePortNode(child, port, findings);
        ExamineBelow(child, codec, depth + 1, findings);
    }
}

// The box's own USB device and what hangs off it, then the sound codec beside it on the
// box's own hub (never on a root hub: there it could be any radio's).
void ExamineBox(const BoxNode& box, BoxFindings& findings) {
    ExamineStatus(box.node, LoadLangString(IDS_DIAG_THE_BOX), false, findings);
    ExamineBelow(box.node, {}, 1, findings);
    if (box.parent == 0 || Contains(UpperCaseAscii(GetDevNodeDeviceId(box.parent)), kRootHubId)) return;
    const std::string codec = LoadLangString(IDS_DIAG_SOUND_CODEC);
    for (const DEVINST sibling : GetDevNodeChildren(box.parent)) {
        if (sibling == box.node || !Contains(UpperCaseAscii(GetDevNodeDeviceId(sibling)), kCodecId)) continue;
        ExamineStatus(sibling, codec, true, findings);
        ExamineBelow(sibling, codec, 1, findings);
    }
}

std::string StatusText(std::uint32_t status) {
    switch (status) {
        case 2: return LoadLangString(IDS_DIAG_FAILED_ENUMERATION);
        case 3: return LoadLangString(IDS_DIAG_GENERAL_FAILURE);
        case 4: return LoadLangString(IDS_DIAG_OVERCURRENT);
        case 5: return LoadLangString(IDS_DIAG_NOT_ENOUGH_POWER);
        default: return "connection status " + std::to_string(status);
    }
}

Finding PortFailure(const UsbPortFailure& failure) {
    const std::string place = Place(failure.nHostController, failure.strPortPath);
    LogPrintf("Diagnosis: USB port %s: connection status %d, device %04x:%04x\n", place, failure.nStatus,
              failure.nVendorId, failure.nProductId);
    return {Cause::kPortFailure, place, StatusText(failure.nStatus)};
}

std::string Lines(const std::vector<Finding>& findings) {
    std::string lines;
    for (const Finding& finding : findings) lines += FindingLine(finding, Unix() != nullptr);
    return lines;
}

// A short block: the device and where it is plugged in, its lines, an empty line.
void AddElsewhere(const std::string& device, const std::string& place, const std::vector<Finding>& findings) {
    g_strDiagnosedElsewhere += FormatPrintf(LoadLangString(IDS_DIAG_ELSEWHERE).c_str(), device, place) + "\n" +
                               Lines(findings) + "\n";
}

}  // namespace

void DiagnoseBoxes() {
    g_strDiagnosedElsewhere.clear();
    g_boxFindings.assign(g_usbDevices.size(), {});
    if (!CurrentPlatform().deviceTree) return;
    NameBuses();
    std::vector<bool> failureTaken(g_usbPortFailures.size(), false);
    // The nodes of each box, and the blocks by the driver key their header names.
    std::multimap<int, const BoxNode*> nodesOf;
    for (const BoxNode& box : g_boxNodes) nodesOf.emplace(box.nRecord, &box);
    std::map<std::pair<int, std::string>, std::vector<std::size_t>> failuresOn;  // by controller and hub
    for (std::size_t f = 0; f < g_usbPortFailures.size(); ++f) {
        const UsbPortFailure& failure = g_usbPortFailures[f];
        failuresOn[{failure.nHostController, HubPortPath(failure.strPortPath)}].push_back(f);
    }
    std::map<std::string, const BoxBlock*> blockOf;
    for (const BoxBlock& block : g_boxBlocks) {
        if (!block.strDriverKey.empty()) blockOf.emplace(block.strDriverKey, &block);
    }
    DEVINST root = 0;
    const bool treeRead = Tree().LocateRoot(root) == kCrSuccess && root != 0;
    std::map<std::size_t, std::string> linesAt;  // offset in g_strMessage: the lines that go there
    for (int r = 0; r < static_cast<int>(g_usbDevices.size()); ++r) {
        const UsbDeviceRecord& record = g_usbDevices[r];
        if (ModelWord(record.strProduct).empty()) continue;
        BoxFindings findings;
        const auto [first, last] = nodesOf.equal_range(r);
        int nodes = 0;
        for (auto box = first; box != last && nodes < kMostNodesPerBox; ++box, ++nodes) ExamineBox(*box->second, findings);
        const bool inTree = nodes > 0;
        // Plugged in, and no device node of a tree that was read has it: no driver took it.
        if (!inTree && treeRead) findings.Add({Cause::kNoDriver, LoadLangString(IDS_DIAG_THE_BOX), {}});
        // A failing port on the box's own hub (not a root hub, where any device may fail).
        const std::string hub = HubPortPath(record.strPortPath);
        const auto failures = failuresOn.find({record.nHostController, hub});
        for (std::size_t f : failures == failuresOn.end() || hub.empty() ? std::vector<std::size_t>() : failures->second) {
            if (failureTaken[f]) continue;
            failureTaken[f] = true;
            findings.Add(PortFailure(g_usbPortFailures[f]));
        }
        if (findings.all().empty()) continue;
        g_boxFindings[r] = findings.all();
        const auto block = blockOf.find(record.strDriverKey);
        if (block != blockOf.end()) {
            linesAt[block->second->nEnd] += Lines(findings.all());
        } else {
            const std::string place = Unix() && record.strDriverKey.find('-') != std::string::npos
                                          ? record.strDriverKey
                                          : Place(record.nHostController, record.strPortPath);
            AddElsewhere(record.strProduct, place, findings.all());
        }
    }
    // A failing port of no box's hub whose device is an FTDI bridge or a box's codec.
    for (std::size_t f = 0; f < g_usbPortFailures.size(); ++f) {
        const UsbPortFailure& failure = g_usbPortFailures[f];
        if (failureTaken[f] || (failure.nVendorId != kFtdiVendor && failure.nVendorId != kCodecVendor)) continue;
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", failure.nVendorId, failure.nProductId);
        const std::string device = FormatPrintf(LoadLangString(IDS_DIAG_USB_DEVICE).c_str(), ids);
        AddElsewhere(device, Place(failure.nHostController, failure.strPortPath), {PortFailure(failure)});
    }
    // From the last block up, so that each offset still stands where the walk left it.
    for (auto at = linesAt.rbegin(); at != linesAt.rend(); ++at) g_strMessage.insert(at->first, at->second);
}

}  // namespace portiq

namespace portiq {
namespace {

// Runs one check and adds what it found that findings doesn't hold yet.
template <typename Check>
void AddChecked(std::vector<Finding>& findings, Check check) {
    BoxFindings found;
    for (const Finding& finding : findings) found.Add(finding);
    check(found);
    findings = found.all();
}

}  // namespace

void CheckNodeStatus(DEVINST node, const std::string& subject, bool codec, std::vector<Finding>& findings) {
    AddChecked(findings, [&](BoxFindings& found) { ExamineStatus(node, subject, codec, found); });
}

void CheckInterfaceDriver(DEVINST node, const std::string& subject, std::vector<Finding>& findings) {
    AddChecked(findings, [&](BoxFindings& found) { ExamineInterfaceDriver(node, subject, false, found); });
}

void CheckPortNode(DEVINST node, const std::string& port, std::vector<Finding>& findings) {
    AddChecked(findings, [&](BoxFindings& found) { ExaminePortNode(node, port, found); });
}

}  // namespace portiq
