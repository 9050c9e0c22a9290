// The device-node texts: ParsePortName and GetInstanceKey over the whole input, and the
// property readers over a node whose values come from the input. Input: up to four
// texts separated by line feeds, the friendly name, device description, device ID and
// driver key; "-" alone stands for a value the node doesn't have.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "devtree/device_records.h"
#include "devtree/devnode_texts.h"
#include "fuzz_input.h"
#include "platform/synthetic/synthetic_platform.h"

using namespace portiq;
using namespace portiq::synthetic;

namespace {

// What a reader gives for a value, by the readers' contract: a 960-byte work buffer
// (the device ID may fill it without a terminator), the value taken up to its first NUL,
// and one of 959 characters or more counted as unreadable.
std::optional<std::string> Readable(const std::optional<std::string>& value, bool isDeviceId) {
    constexpr std::size_t kBuffer = 960;
    if (!value || value->size() + (isDeviceId ? 0 : 1) > kBuffer) return std::nullopt;
    std::string taken = value->substr(0, value->find('\0'));
    if (taken.size() > 958) return std::nullopt;
    return taken;
}

std::optional<std::string> Value(const std::vector<std::string>& parts, std::size_t i) {
    if (i >= parts.size() || parts[i] == "-") return std::nullopt;
    return parts[i];
}

void CheckTexts(const std::string& text) {
    const std::string port = ParsePortName(text);
    if (!port.empty() && text.find("(" + port + ")") == std::string::npos) std::abort();
    CSbRecord record;
    record.strInterface = text;
    if (text.find(record.GetInstanceKey()) == std::string::npos) std::abort();
}

void CheckReaders(const std::vector<std::string>& parts) {
    static SyntheticMachine& machine = *new SyntheticMachine;
    machine.tree.Clear();
    SyntheticNode node;
    node.classGuid = "{4d36e978-e325-11ce-bfc1-08002be10318}";
    node.friendlyName = Value(parts, 0);
    node.deviceDescription = Value(parts, 1);
    node.deviceId = Value(parts, 2);
    node.driverKey = Value(parts, 3);
    const int index = machine.tree.AddNode(SyntheticDeviceTree::kNoParent, node);
    machine.Install();
    const DEVINST handle = machine.tree.Node(index).handle;
    const std::string friendlyName = Readable(node.friendlyName, false).value_or(
        Readable(node.deviceDescription, false).value_or("Unknown Device"));
    if (GetDevNodeFriendlyName(handle) != friendlyName) std::abort();
    if (GetDevNodeDeviceId(handle) != Readable(node.deviceId, true).value_or("")) std::abort();
    if (GetDevNodeDriverKey(handle) != Readable(node.driverKey, false).value_or("")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckTexts(std::string(reinterpret_cast<const char*>(data), size));
    CheckReaders(fuzzinput::Split(data, size, '\n', 4));
    return 0;
}
