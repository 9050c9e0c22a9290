#include "devtree/devnode_texts.h"

#include <array>
#include <cstring>

namespace portiq {
namespace {

constexpr std::uint32_t kWorkBufferBytes = 960;

// Values of 959 characters or more count as unreadable: the walk has always taken
// them so (a real tree has none; device IDs are at most 200 characters).
constexpr std::size_t kLongestValue = 958;

using WorkBuffer = std::array<char, kWorkBufferBytes>;

// The value up to its first NUL, never past the buffer.
bool TakeValue(const WorkBuffer& buffer, std::string& value) {
    const void* nul = std::memchr(buffer.data(), '\0', buffer.size());
    const std::size_t length = nul ? static_cast<const char*>(nul) - buffer.data() : buffer.size();
    if (length > kLongestValue) return false;
    value.assign(buffer.data(), length);
    return true;
}

bool ReadProperty(DEVINST node, std::uint32_t property, std::string& value) {
    WorkBuffer buffer{};
    std::uint32_t length = kWorkBufferBytes;
    if (CurrentPlatform().deviceTree->GetRegistryProperty(node, property, buffer.data(), length) != kCrSuccess) {
        return false;
    }
    return TakeValue(buffer, value);
}

}  // namespace

std::string GetDevNodeFriendlyName(DEVINST node) {
    std::string name;
    if (ReadProperty(node, kDrpFriendlyName, name)) return name;
    if (ReadProperty(node, kDrpDeviceDesc, name)) return name;
    return "Unknown Device";
}

std::string GetDevNodeDeviceId(DEVINST node) {
    WorkBuffer buffer{};
    std::string id;
    if (CurrentPlatform().deviceTree->GetDeviceId(node, buffer.data(), kWorkBufferBytes) != kCrSuccess) return {};
    if (!TakeValue(buffer, id)) return {};
    return id;
}

std::string GetDevNodeDriverKey(DEVINST node) {
    std::string key;
    if (!ReadProperty(node, kDrpDriver, key)) return {};
    return key;
}

std::string ParsePortName(const std::string& friendlyName) {
    const std::size_t close = friendlyName.rfind(')');
    const std::size_t open = friendlyName.rfind('(');
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    return friendlyName.substr(open + 1, close - open - 1);
}

std::vector<DEVINST> GetDevNodeChildren(DEVINST node) {
    DeviceTree& tree = *CurrentPlatform().deviceTree;
    std::vector<DEVINST> children;
    DEVINST child = 0;
    if (tree.GetChild(child, node) != kCrSuccess) return children;
    while (child != 0 && children.size() < 4096) {
        children.push_back(child);
        DEVINST sibling = 0;
        if (tree.GetSibling(sibling, child) != kCrSuccess) break;
        child = sibling;
    }
    return children;
}

}  // namespace portiq
