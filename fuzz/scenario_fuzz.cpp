// The scenario loader and writer. Input: scenario text, however broken. What doesn't
// load must fail with a line-numbered error; what loads is written out, loaded again and
// written again: the second machine must load, write the same text byte for byte, have
// the same device tree (structure, handles, texts) and give PortIQ's whole run the same
// report, log and list-file result as the first. The run's JSON report, whatever bytes the
// machine's texts hold, must be a document that parses back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/scenario_writer.h"
#include "report/json_report.h"

using namespace portiq;
using namespace portiq::synthetic;

namespace {

struct RunResult {
    std::string boxes;
    std::string log;
    std::size_t fileWrites = 0;
};

RunResult Run(SyntheticMachine& machine) {
    machine.system.fileWriteError = 5;  // a held key writes no file; the failure shows instead
    ResetRunState();
    machine.Install();
    CEnumDevicesApp().InitInstance();
    JsonReportPlatform platform;
    const unsigned codePage = machine.system.codePage;
    platform.toUtf8 = [codePage](const std::string& ansi) { return CodePageToUtf8(codePage, ansi); };
    platform.sysfsNames = machine.isLinux;
    const std::string json = JsonReportText(BuildJsonReport(platform));
    try {
        if (nlohmann::ordered_json::parse(json)["format"] != kJsonReportFormat) std::abort();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "the JSON report doesn't parse back: %s\n%s", e.what(), json.c_str());
        std::abort();
    }
    RunResult result{"", g_strLog, machine.system.fileWrites.size()};
    for (const ShownMessageBox& box : machine.system.messageBoxes) {
        result.boxes += box.caption + "|" + std::to_string(box.type) + "|" + box.text + "\n";
    }
    ResetRunState();
    return result;
}

// Both trees through the device-tree interface, with buffers big enough for any value.
bool SameTree(SyntheticDeviceTree& a, SyntheticDeviceTree& b, DEVINST nodeA, DEVINST nodeB, int depth) {
    if (nodeA != nodeB || depth > kDeepestScenarioNode) return false;
    static char valueA[1 << 21], valueB[1 << 21];
    for (std::uint32_t property : {kDrpClassGuid, kDrpFriendlyName, kDrpDeviceDesc, kDrpDriver}) {
        std::uint32_t lengthA = sizeof valueA, lengthB = sizeof valueB;
        const CONFIGRET resultA = a.GetRegistryProperty(nodeA, property, valueA, lengthA);
        if (resultA != b.GetRegistryProperty(nodeB, property, valueB, lengthB)) return false;
        if (resultA == kCrSuccess && (lengthA != lengthB || std::memcmp(valueA, valueB, lengthA) != 0)) return false;
    }
    const CONFIGRET idA = a.GetDeviceId(nodeA, valueA, sizeof valueA - 1);
    if (idA != b.GetDeviceId(nodeB, valueB, sizeof valueB - 1)) return false;
    if (idA == kCrSuccess && std::strcmp(valueA, valueB) != 0) return false;
    DEVINST childA = 0, childB = 0;
    const bool hasChild = a.GetChild(childA, nodeA) == kCrSuccess;
    if (hasChild != (b.GetChild(childB, nodeB) == kCrSuccess)) return false;
    while (hasChild && childA != 0) {
        if (!SameTree(a, b, childA, childB, depth + 1)) return false;
        DEVINST nextA = 0, nextB = 0;
        a.GetSibling(nextA, childA);
        b.GetSibling(nextB, childB);
        childA = nextA;
        childB = nextB;
    }
    return childB == 0;
}

bool SameTree(SyntheticDeviceTree& a, SyntheticDeviceTree& b) {
    DEVINST rootA = 0, rootB = 0;
    const CONFIGRET located = a.LocateRoot(rootA);
    if (located != b.LocateRoot(rootB)) return false;
    return located != kCrSuccess || SameTree(a, b, rootA, rootB, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SyntheticMachine first;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    if (!LoadScenario(in, first, error)) {
        if (error.compare(0, 5, "line ") != 0 || error.find(": ") == std::string::npos) std::abort();
        return 0;
    }
    const std::string written = WriteScenario(first);

    SyntheticMachine second;
    std::istringstream again(written);
    if (!LoadScenario(again, second, error)) {
        std::fprintf(stderr, "the written machine doesn't load: %s\n%s", error.c_str(), written.c_str());
        std::abort();
    }
    if (WriteScenario(second) != written) {
        std::fprintf(stderr, "written twice, the machine changed:\n%s\n--- then ---\n%s", written.c_str(),
                     WriteScenario(second).c_str());
        std::abort();
    }
    if (!SameTree(first.tree, second.tree)) std::abort();
    const RunResult expected = Run(first), actual = Run(second);
    if (actual.boxes != expected.boxes || actual.log != expected.log || actual.fileWrites != expected.fileWrites) {
        std::fprintf(stderr, "the run differs:\n%s\n--- replayed ---\n%s", expected.log.c_str(), actual.log.c_str());
        std::abort();
    }
    return 0;
}
