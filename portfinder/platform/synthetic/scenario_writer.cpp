#include "platform/synthetic/scenario_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"

namespace portiq::synthetic {
namespace {

// The walk's buffer, which holds every value a real tree has; a longer value is asked
// for again in a buffer of its size, up to a size no registry value reaches.
constexpr std::uint32_t kBufferBytes = 960;
constexpr std::uint32_t kLongestValue = 1 << 18;

// The text up to its first NUL, never past the buffer.
std::string TakeText(const std::vector<char>& buffer) {
    const void* nul = std::memchr(buffer.data(), '\0', buffer.size());
    return std::string(buffer.data(), nul ? static_cast<const char*>(nul) - buffer.data() : buffer.size());
}

class TreeWriter {
public:
    TreeWriter(DeviceTree& tree, const std::function<std::string(const std::string&)>& toUtf8)
        : tree_(tree), toUtf8_(toUtf8) {}

    void Node(DEVINST node, int depth) {
        out_ += std::string(2 * depth, ' ') + "node";
        std::string value;
        out_ += ReadProperty(node, kDrpClassGuid, value) ? " class=" + Quoted(value) : std::string(" class=none");
        if (ReadProperty(node, kDrpFriendlyName, value)) out_ += " name=" + Quoted(value);
        if (ReadProperty(node, kDrpDeviceDesc, value)) out_ += " desc=" + Quoted(value);
        if (ReadDeviceId(node, value)) out_ += " id=" + Quoted(value);
        if (ReadProperty(node, kDrpDriver, value)) out_ += " driver=" + Quoted(value);
        char handle[16];
        std::snprintf(handle, sizeof handle, "0x%08x", static_cast<unsigned>(node));
        out_ += std::string(" handle=") + handle + "\n";
        if (depth + 1 >= kDeepestScenarioNode) return;
        DEVINST child = 0;
        if (tree_.GetChild(child, node) != kCrSuccess || child == 0) return;
        while (child != 0) {
            Node(child, depth + 1);
            DEVINST sibling = 0;
            if (tree_.GetSibling(sibling, child) != kCrSuccess) sibling = 0;
            child = sibling;
        }
    }

    const std::string& text() const { return out_; }

private:
    bool ReadProperty(DEVINST node, std::uint32_t property, std::string& value) {
        std::vector<char> buffer(kBufferBytes, '\0');
        std::uint32_t length = kBufferBytes;
        CONFIGRET result = tree_.GetRegistryProperty(node, property, buffer.data(), length);
        if (result == kCrBufferSmall && length > kBufferBytes && length <= kLongestValue) {
            buffer.assign(length, '\0');
            result = tree_.GetRegistryProperty(node, property, buffer.data(), length);
        }
        if (result != kCrSuccess) return false;
        value = TakeText(buffer);
        return true;
    }

    // The configuration manager tells no ID's length: the buffer grows until it fits.
    bool ReadDeviceId(DEVINST node, std::string& value) {
        for (std::uint32_t bytes = kBufferBytes; bytes <= kLongestValue; bytes *= 2) {
            std::vector<char> buffer(bytes, '\0');
            const CONFIGRET result = tree_.GetDeviceId(node, buffer.data(), bytes);
            if (result == kCrSuccess) {
                value = TakeText(buffer);
                return true;
            }
            if (result != kCrBufferSmall) return false;
        }
        return false;
    }

    std::string Quoted(const std::string& ansi) const {
        std::string text = toUtf8_(ansi);
        for (char& c : text) {
            if (c == '"') c = '\'';
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        }
        return "\"" + text + "\"";
    }

    DeviceTree& tree_;
    const std::function<std::string(const std::string&)>& toUtf8_;
    std::string out_;
};

}  // namespace

std::string WriteScenarioTree(DeviceTree& tree, const std::function<std::string(const std::string&)>& toUtf8) {
    DEVINST root = 0;
    if (tree.LocateRoot(root) != kCrSuccess || root == 0) return {};
    TreeWriter writer(tree, toUtf8);
    writer.Node(root, 0);
    return writer.text();
}

std::string WriteScenario(SyntheticMachine& machine) {
    const SyntheticSystem& system = machine.system;
    char settings[160];
    std::snprintf(settings, sizeof settings, "language 0x%04x\nsystem-language 0x%04x\ncodepage %u\narguments %d\nhold %s\n",
                  system.userLanguage, system.systemLanguage, system.codePage, std::max(system.argumentCount - 1, 0),
                  system.shiftHeld ? (system.controlHeld ? "shift+ctrl" : "shift") : system.controlHeld ? "ctrl" : "none");
    const unsigned codePage = system.codePage;
    auto toUtf8 = [codePage](const std::string& ansi) { return CodePageToUtf8(codePage, ansi); };
    machine.usb.Attach(machine.system);
    return settings + WriteScenarioWave(machine.wave, toUtf8) + WriteScenarioUsb(machine.usb, machine.system) +
           WriteScenarioTree(machine.tree, toUtf8);
}

}  // namespace portiq::synthetic
