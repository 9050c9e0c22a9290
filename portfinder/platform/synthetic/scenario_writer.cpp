#include "platform/synthetic/scenario_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
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
    TreeWriter(DeviceTree& tree, UnixDevices* unixDevices, const ToUtf8& toUtf8)
        : tree_(tree), unix_(unixDevices), toUtf8_(toUtf8) {}

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
        out_ += std::string(" handle=") + handle + State(node) + UnixFacts(node) + "\n";
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
    // A node's status where it has a problem (the default answer is a started node).
    std::string State(DEVINST node) {
        std::uint32_t status = 0, problem = 0;
        if (tree_.GetStatus(node, status, problem) != kCrSuccess || !(status & kDnHasProblem)) return {};
        char text[48];
        std::snprintf(text, sizeof text, " status=0x%08x problem=%u", static_cast<unsigned>(status),
                      static_cast<unsigned>(problem));
        return text;
    }

    std::string UnixFacts(DEVINST node) {
        if (!unix_) return {};
        std::string text, driver;
        if (unix_->GetInterfaceDriver(node, driver)) text += " bound=" + ScenarioText(driver);
        UnixPortNode port;
        if (!unix_->GetPortNode(node, port)) return text;
        char mode[16];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(port.mode & 07777));
        text += " group=" + ScenarioText(port.group) + " mode=" + mode + " open=" + (port.userMayOpen ? "yes" : "no");
        if (port.modemManagerCandidate) text += port.modemManagerIgnores ? " mm=ignored" : " mm=candidate";
        return text;
    }

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

    std::string Quoted(const std::string& ansi) const { return CodePageScenarioText(toUtf8_(ansi)); }

    DeviceTree& tree_;
    UnixDevices* unix_;
    const ToUtf8& toUtf8_;
    std::string out_;
};

}  // namespace

namespace {

// Quotes, backslashes and control characters as E"..." escapes.
void AppendEscaped(std::string& text, std::string_view utf8) {
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (c == '\t' || c == '\r' || c == '\n') {
            text += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        } else if (c >= 0 && c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            text += escape;
        } else {
            text += c;
        }
    }
}

}  // namespace

std::string ScenarioText(const std::string& utf8) {
    const bool plain = std::none_of(utf8.begin(), utf8.end(), [](char c) { return c == '"' || (c >= 0 && c < 0x20); });
    if (plain) return "\"" + utf8 + "\"";
    std::string text = "E\"";
    AppendEscaped(text, utf8);
    return text + "\"";
}

std::string CodePageScenarioText(const std::string& text) {
    if (FirstMalformedUtf8(text) == std::string::npos) return ScenarioText(text);
    std::string written = "E\"";
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t malformed = std::min(FirstMalformedUtf8(rest), rest.size());
        AppendEscaped(written, rest.substr(0, malformed));
        if (malformed == rest.size()) break;
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(rest[malformed])));
        written += escape;
        rest.remove_prefix(malformed + 1);
    }
    return written + "\"";
}

std::string WriteScenarioTree(DeviceTree& tree, const ToUtf8& toUtf8, UnixDevices* unixDevices) {
    DEVINST root = 0;
    const CONFIGRET located = tree.LocateRoot(root);
    if (located != kCrSuccess || root == 0) return "no-tree error=" + std::to_string(located) + "\n";
    TreeWriter writer(tree, unixDevices, toUtf8);
    writer.Node(root, 0);
    return writer.text();
}

std::string WriteScenarioErrorTexts(SystemServices& system, const std::set<std::uint32_t>& codes, const ToUtf8& toUtf8) {
    std::string text;
    for (std::uint32_t code : codes) {
        text += "error-text " + std::to_string(code) + " text=" + CodePageScenarioText(toUtf8(system.SystemErrorText(code))) + "\n";
    }
    return text;
}

std::string WriteScenarioHardware(const Platform& platform, const ToUtf8& toUtf8, const std::set<std::uint32_t>& moreCodes) {
    std::set<std::uint32_t> codes = moreCodes;
    const std::string wave = platform.wave ? WriteScenarioWave(*platform.wave, toUtf8) : std::string();
    const std::string usb = platform.usb ? WriteScenarioUsb(*platform.usb, *platform.system, toUtf8, &codes) : std::string();
    const std::string nodes =
        platform.deviceTree ? WriteScenarioTree(*platform.deviceTree, toUtf8, platform.unixDevices) : std::string();
    std::string text = "\n# Wave devices.\n" + (wave.empty() ? "# (none)\n" : wave);
    text += "\n# USB host controllers, hubs and ports.\n" + (usb.empty() ? "# (no host controller opens)\n" : usb);
    if (!codes.empty()) text += "\n# The system's texts for the error codes above.\n" + WriteScenarioErrorTexts(*platform.system, codes, toUtf8);
    text += "\n# The Plug and Play device tree.\n";
    if (nodes.compare(0, 7, "no-tree") == 0) text += "# The device tree could not be read: no root node.\n";
    return text + nodes;
}

std::string WriteScenario(SyntheticMachine& machine) {
    const SyntheticSystem& system = machine.system;
    char settings[160];
    std::snprintf(settings, sizeof settings, "%slanguage 0x%04x\nsystem-language 0x%04x\ncodepage %u\narguments %d\nhold %s\n",
                  machine.isLinux ? "os linux\n" : "", system.userLanguage, system.systemLanguage, system.codePage,
                  std::max(system.argumentCount - 1, 0),
                  system.shiftHeld ? (system.controlHeld ? "shift+ctrl" : "shift") : system.controlHeld ? "ctrl" : "none");
    const unsigned codePage = system.codePage;
    // UTF-8 as it is: what isn't UTF-8 in it is written as the bytes they are.
    auto toUtf8 = [codePage](const std::string& ansi) { return codePage == kCpUtf8 ? ansi : CodePageToUtf8(codePage, ansi); };
    // Texts that aren't the defaults, and default codes the machine has no text for.
    std::set<std::uint32_t> stated;
    for (const auto& [code, text] : system.errorTexts) {
        const auto standard = SyntheticSystem::DefaultErrorTexts().find(code);
        if (standard == SyntheticSystem::DefaultErrorTexts().end() || standard->second != text) stated.insert(code);
    }
    for (const auto& standard : SyntheticSystem::DefaultErrorTexts()) {
        if (!system.errorTexts.count(standard.first)) stated.insert(standard.first);
    }
    // Asked afresh, as a run asks it, and left so for the next run.
    machine.usb.Attach(machine.system);
    machine.usb.Rewind();
    const Platform platform{&machine.tree, &machine.system, &machine.wave, &machine.usb,
                            machine.isLinux ? &machine.tree : nullptr};
    const std::string text = settings + WriteScenarioHardware(platform, toUtf8, stated);
    machine.usb.Rewind();
    return text;
}

}  // namespace portiq::synthetic
