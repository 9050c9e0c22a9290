#include "platform/synthetic/scenario.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "devtree/ansi_text.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::synthetic {
namespace {

struct Line {
    std::int64_t number = 0;
    int indent = 0;
    std::string keyword;
    std::vector<std::string> words;             // plain words after the keyword
    std::map<std::string, std::string> values;  // key=value pairs
};

bool Fail(std::string& error, std::int64_t line, const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// Splits one line into its keyword, words and key=value pairs.
bool Tokenise(const std::string& text, std::int64_t number, Line& line, std::string& error) {
    line.number = number;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && text[i] == '\t') return Fail(error, number, "indent with spaces, not tabs");
    line.indent = static_cast<int>(i);
    bool first = true;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            ++i;
            continue;
        }
        if (text[i] == '#') break;
        std::string key;
        std::string value;
        bool hasValue = false;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '=' && text[i] != '"' && text[i] != '\r') {
            key += text[i++];
        }
        if (i < text.size() && text[i] == '=') {
            hasValue = true;
            ++i;
            if (i < text.size() && text[i] == '"') {
                const std::size_t close = text.find('"', i + 1);
                if (close == std::string::npos) return Fail(error, number, "a quoted text has no closing quote");
                value = text.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '"' && text[i] != '\r') {
                    value += text[i++];
                }
            }
        } else if (i < text.size() && text[i] == '"') {
            return Fail(error, number, "a quoted text must follow key=");
        }
        if (first) {
            if (hasValue) return Fail(error, number, "a line starts with a keyword, not with " + key + "=");
            line.keyword = key;
            first = false;
        } else if (hasValue) {
            if (line.values.count(key)) return Fail(error, number, "key " + key + " given twice");
            line.values[key] = value;
        } else {
            line.words.push_back(key);
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, unsigned long long limit, unsigned long long& number) {
    if (text.empty()) return false;
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) base = 16, start = 2;
    number = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (digit >= base) return false;
        number = number * base + digit;
        if (number > limit) return false;
    }
    return true;
}

class Loader {
public:
    Loader(SyntheticMachine& machine, std::string& error) : machine_(machine), error_(error) {}

    bool Load(std::istream& in) {
        std::vector<Line> lines;
        std::string text;
        for (std::int64_t number = 1; std::getline(in, text); ++number) {
            Line line;
            if (!Tokenise(text, number, line, error_)) return false;
            if (!line.keyword.empty()) lines.push_back(std::move(line));
        }
        // The machine's language settings come first: they decide how texts convert.
        for (const Line& line : lines) {
            if (!Setting(line)) return false;
        }
        if (codePage_) machine_.system.codePage = codePage_;
        for (const Line& line : lines) {
            if (!Content(line)) return false;
        }
        return true;
    }

private:
    bool Setting(const Line& line) {
        const std::string& k = line.keyword;
        if (k != "language" && k != "system-language" && k != "codepage" && k != "arguments" && k != "hold") return true;
        if (line.indent != 0) return Fail(error_, line.number, k + " is not indented");
        if (line.words.size() != 1 || !line.values.empty()) return Fail(error_, line.number, k + " takes one value");
        const std::string& word = line.words[0];
        unsigned long long number = 0;
        if (k == "hold") {
            SyntheticSystem& s = machine_.system;
            if (word == "none") s.shiftHeld = s.controlHeld = false;
            else if (word == "shift") s.shiftHeld = true, s.controlHeld = false;
            else if (word == "ctrl") s.shiftHeld = false, s.controlHeld = true;
            else if (word == "shift+ctrl") s.shiftHeld = s.controlHeld = true;
            else return Fail(error_, line.number, "hold takes none, shift, ctrl or shift+ctrl");
            return true;
        }
        if (k == "arguments") {
            if (!ParseNumber(word, 1000, number)) return Fail(error_, line.number, "arguments takes a count up to 1000");
            machine_.system.argumentCount = static_cast<int>(number) + 1;
            return true;
        }
        if (k == "codepage") {
            if (word != "1251" && word != "1252") return Fail(error_, line.number, "codepage is 1251 or 1252");
            codePage_ = static_cast<unsigned>(std::stoul(word));
            return true;
        }
        if (!ParseNumber(word, 0xFFFF, number)) return Fail(error_, line.number, k + " takes a language id");
        if (k == "language") {
            machine_.system.SetUserLanguage(static_cast<LANGID>(number));
            if (!systemLanguageGiven_) machine_.system.systemLanguage = static_cast<LANGID>(number);
        } else {
            machine_.system.systemLanguage = static_cast<LANGID>(number);
            systemLanguageGiven_ = true;
        }
        return true;
    }

    bool Content(const Line& line) {
        const std::string& k = line.keyword;
        if (k == "node") return Node(line);
        if (k == "wavein") return WaveIn(line);
        if (k == "hc") return HostController(line);
        if (k == "port") return Port(line);
        if (k == "device" || k == "config" || k == "string") return Descriptor(line);
        if (k == "fail") return Failure(line);
        if (k == "language" || k == "system-language" || k == "codepage" || k == "arguments" || k == "hold") {
            return true;
        }
        if (k == "sound" || k == "usb") {
            return Fail(error_, line.number, k + " lines are no longer read: describe the hardware with wavein, hc and port");
        }
        return Fail(error_, line.number, "unknown keyword " + k);
    }

    // ---- the statements' shapes ----

    bool OnlyKeys(const Line& line, std::initializer_list<const char*> keys) {
        for (const auto& [key, value] : line.values) {
            bool known = false;
            for (const char* k : keys) known = known || key == k;
            if (!known) return Fail(error_, line.number, "unknown key " + key + " for " + line.keyword);
        }
        return true;
    }

    bool NoWords(const Line& line) {
        if (!line.words.empty()) return Fail(error_, line.number, "unexpected word " + line.words[0]);
        return true;
    }

    bool Number(const Line& line, const std::string& text, unsigned long long limit, const std::string& what,
                unsigned long long& number) {
        if (!ParseNumber(text, limit, number)) return Fail(error_, line.number, what);
        return true;
    }

    // Words of two hex digits each, from words[first] on.
    bool HexBytes(const Line& line, std::size_t first, std::vector<std::uint8_t>& bytes) {
        for (std::size_t i = first; i < line.words.size(); ++i) {
            const std::string& word = line.words[i];
            unsigned long long value = 0;
            if (word.size() != 2 || !ParseNumber("0x" + word, 0xFF, value)) {
                return Fail(error_, line.number, "bytes are two hex digits each, not " + word);
            }
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
        return true;
    }

    std::string Ansi(const std::string& utf8) const { return Utf8ToCodePage(machine_.system.codePage, utf8); }

    // ---- indentation: every statement belongs to the nearest less indented one above ----

    enum class Kind { Node, HostController, Port };
    struct Frame {
        int indent;
        Kind kind;
        int index;  // node index, host controller number, or port number
        int hub;    // the hub a host controller's or a port's children are ports of, or -1
        int parentHub;  // a port's own hub
    };

    // Closes the levels this line is not inside of; the enclosing statement, or nullptr.
    const Frame* Enclosing(const Line& line) {
        while (!open_.empty() && open_.back().indent >= line.indent) open_.pop_back();
        return open_.empty() ? nullptr : &open_.back();
    }

    bool Nested(const Line& line) {
        if (static_cast<int>(open_.size()) >= kDeepestScenarioNode) {
            return Fail(error_, line.number, "statements nest deeper than " + std::to_string(kDeepestScenarioNode));
        }
        return true;
    }

    // ---- the device tree ----

    bool Node(const Line& line) {
        if (!NoWords(line) || !OnlyKeys(line, {"class", "name", "desc", "id", "driver", "handle"})) return false;
        if (!line.values.count("class")) return Fail(error_, line.number, "a node needs class=GUID or class=none");
        const Frame* parent = Enclosing(line);
        if (parent && parent->kind != Kind::Node) return Fail(error_, line.number, "a node can't stand under " + KindName(parent->kind));
        if (!parent && machine_.tree.NodeCount() > 0) {
            return Fail(error_, line.number, "a second root: indent it under the first");
        }
        if (static_cast<int>(open_.size()) >= kDeepestScenarioNode) {
            return Fail(error_, line.number, "nodes nest deeper than " + std::to_string(kDeepestScenarioNode));
        }
        SyntheticNode node;
        const auto& v = line.values;
        if (v.at("class") != "none") node.classGuid = Ansi(v.at("class"));
        if (v.count("name")) node.friendlyName = Ansi(v.at("name"));
        if (v.count("desc")) node.deviceDescription = Ansi(v.at("desc"));
        if (v.count("id")) node.deviceId = Ansi(v.at("id"));
        if (v.count("driver")) node.driverKey = Ansi(v.at("driver"));
        if (v.count("handle")) {
            unsigned long long handle = 0;
            if (!ParseNumber(v.at("handle"), 0xFFFFFFFF, handle) || handle == 0) {
                return Fail(error_, line.number, "handle takes a non-zero 32-bit number");
            }
            node.handle = static_cast<DEVINST>(handle);
        }
        const int index = machine_.tree.AddNode(parent ? parent->index : SyntheticDeviceTree::kNoParent, std::move(node));
        if (index < 0) return Fail(error_, line.number, "handle already taken");
        open_.push_back({line.indent, Kind::Node, index, -1, -1});
        return true;
    }

    static std::string KindName(Kind kind) {
        return kind == Kind::Node ? "a node" : kind == Kind::HostController ? "hc" : "a port";
    }

    // ---- wave-input devices ----

    bool WaveIn(const Line& line) {
        if (line.indent != 0) return Fail(error_, line.number, "wavein is not indented");
        if (!NoWords(line) || !OnlyKeys(line, {"name", "interface", "fail"})) return false;
        Enclosing(line);
        SyntheticWaveIn device;
        if (line.values.count("name")) device.name = Ansi(line.values.at("name"));
        if (line.values.count("interface")) device.interfacePath = Utf8ToWide(line.values.at("interface"));
        if (line.values.count("fail")) {
            std::istringstream queries(line.values.at("fail"));
            for (std::string query; std::getline(queries, query, ',');) {
                if (query == "caps") device.capsError = kMmSysErrNoDriver;
                else if (query == "size") device.sizeError = kMmSysErrNotSupported;
                else if (query == "interface") device.interfaceError = kMmSysErrNotSupported;
                else return Fail(error_, line.number, "fail= takes caps, size and interface, separated by commas");
            }
        }
        machine_.wave.devices.push_back(std::move(device));
        return true;
    }

    // ---- host controllers, hubs and ports ----

    // A new hub with its name and port count; -1 after a fault.
    int NewHub(const Line& line) {
        unsigned long long ports = 0;
        if (line.values.count("ports") &&
            !Number(line, line.values.at("ports"), SyntheticUsb::kMostPorts, "ports takes 0 to 255", ports)) {
            return -1;
        }
        const int hub = machine_.usb.AddHub(Utf8ToWide(line.values.at("hub")), static_cast<std::size_t>(ports));
        if (hub < 0) Fail(error_, line.number, "another hub has the name " + line.values.at("hub"));
        return hub;
    }

    bool HostController(const Line& line) {
        if (line.indent != 0) return Fail(error_, line.number, "hc is not indented");
        if (!OnlyKeys(line, {"driver", "hub", "ports"})) return false;
        unsigned long long n = 0;
        if (line.words.size() != 1 || !ParseNumber(line.words[0], 9, n)) {
            return Fail(error_, line.number, "hc takes its number, 0 to 9");
        }
        if (line.values.count("ports") && !line.values.count("hub")) return Fail(error_, line.number, "ports= needs hub=");
        Enclosing(line);
        SyntheticHostController controller;
        if (line.values.count("driver")) controller.driverKey = Utf8ToWide(line.values.at("driver"));
        if (line.values.count("hub") && (controller.rootHub = NewHub(line)) < 0) return false;
        const int hub = controller.rootHub;
        if (!machine_.usb.AddHostController(static_cast<int>(n), std::move(controller))) {
            return Fail(error_, line.number, "hc " + std::to_string(n) + " given twice");
        }
        open_.push_back({line.indent, Kind::HostController, static_cast<int>(n), hub, -1});
        return true;
    }

    bool Port(const Line& line) {
        if (!OnlyKeys(line, {"hub", "ports", "driver", "status"})) return false;
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind == Kind::Node || parent->hub < 0) {
            return Fail(error_, line.number, "a port stands under hc or a port with hub=");
        }
        if (!Nested(line)) return false;
        unsigned long long number = 0;
        const bool device = line.words.size() == 2 && line.words[1] == "device";
        if (line.words.empty() || line.words.size() > 2 || (line.words.size() == 2 && !device) ||
            !ParseNumber(line.words[0], SyntheticUsb::kMostPorts, number) || number == 0) {
            return Fail(error_, line.number, "port takes its number, 1 to 255, and perhaps the word device");
        }
        const int parentHub = parent->hub;
        if (number > machine_.usb.Hub(parentHub).ports.size()) {
            return Fail(error_, line.number, "port " + std::to_string(number) + " is beyond the hub's " +
                                                 std::to_string(machine_.usb.Hub(parentHub).ports.size()) + " ports");
        }
        if (seenPorts_.count({parentHub, number})) return Fail(error_, line.number, "port " + std::to_string(number) + " given twice");
        seenPorts_.insert({parentHub, number});
        if (device && line.values.count("hub")) return Fail(error_, line.number, "a port holds a device or a hub, not both");
        if (line.values.count("ports") && !line.values.count("hub")) return Fail(error_, line.number, "ports= needs hub=");
        const int hub = line.values.count("hub") ? NewHub(line) : -1;
        if (line.values.count("hub") && hub < 0) return false;
        SyntheticPort& port = machine_.usb.Hub(parentHub).ports[number - 1];
        port.hub = hub;
        port.status = device || hub >= 0 ? kDeviceConnected : kNoDeviceConnected;
        if (line.values.count("status")) {
            unsigned long long status = 0;
            if (!Number(line, line.values.at("status"), 0xFFFFFFFF, "status takes a connection status number", status)) return false;
            port.status = static_cast<std::uint32_t>(status);
        }
        if (line.values.count("driver")) port.driverKey = Utf8ToWide(line.values.at("driver"));
        open_.push_back({line.indent, Kind::Port, static_cast<int>(number), hub, parentHub});
        return true;
    }

    // The port a device, config, string or fail statement stands under; nullptr after a fault.
    SyntheticPort* EnclosingPort(const Line& line) {
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind != Kind::Port) {
            Fail(error_, line.number, line.keyword + " stands under a port");
            return nullptr;
        }
        return &machine_.usb.Hub(parent->parentHub).ports[parent->index - 1];
    }

    bool Descriptor(const Line& line) {
        SyntheticPort* port = EnclosingPort(line);
        if (!port) return false;
        if (line.keyword == "string") return StringDescriptor(line, *port);
        if (!line.values.empty()) return Fail(error_, line.number, line.keyword + " takes bytes only");
        std::vector<std::uint8_t> bytes;
        if (!HexBytes(line, 0, bytes)) return false;
        if (line.keyword == "config") {
            if (!port->configuration) port->configuration = DescriptorAnswer{};
            port->configuration->bytes.insert(port->configuration->bytes.end(), bytes.begin(), bytes.end());
            return true;
        }
        if (bytes.size() > port->deviceDescriptor.size()) return Fail(error_, line.number, "a device descriptor has 18 bytes");
        std::copy(bytes.begin(), bytes.end(), port->deviceDescriptor.begin());
        return true;
    }

    // The index word and lang= of a string or fail string statement.
    bool StringKey(const Line& line, std::size_t word, std::pair<std::uint8_t, std::uint32_t>& key) {
        unsigned long long index = 0, language = kAnyLanguage;
        if (line.words.size() <= word || !ParseNumber(line.words[word], 0xFF, index)) {
            return Fail(error_, line.number, "string takes its index, 0 to 255");
        }
        if (line.values.count("lang") &&
            !Number(line, line.values.at("lang"), 0xFFFF, "lang takes a language id", language)) {
            return false;
        }
        key = {static_cast<std::uint8_t>(index), static_cast<std::uint32_t>(language)};
        return true;
    }

    // As the device sends it: bLength, type 3 and the UTF-16 units, little-endian.
    bool StringBytes(const Line& line, const std::string& utf8, std::vector<std::uint8_t>& bytes) {
        const std::u16string text = Utf8ToWide(utf8);
        if (text.size() > 126) return Fail(error_, line.number, "a string of more than 126 units must be given as bytes");
        bytes = {static_cast<std::uint8_t>(2 + 2 * text.size()), kStringDescriptorType};
        for (char16_t unit : text) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        return true;
    }

    bool StringDescriptor(const Line& line, SyntheticPort& port) {
        if (!OnlyKeys(line, {"lang", "text"})) return false;
        std::pair<std::uint8_t, std::uint32_t> key;
        if (!StringKey(line, 0, key)) return false;
        if (port.strings.count(key)) return Fail(error_, line.number, "string " + line.words[0] + " given twice");
        DescriptorAnswer& answer = port.strings[key];
        if (line.values.count("text")) {
            if (line.words.size() > 1) return Fail(error_, line.number, "a string is given as text= or as bytes, not both");
            return StringBytes(line, line.values.at("text"), answer.bytes);
        }
        return HexBytes(line, 1, answer.bytes);
    }

    // ---- failing requests ----

    bool Failure(const Line& line) {
        if (!OnlyKeys(line, {"error", "lang"})) return false;
        const Frame* parent = Enclosing(line);
        if (!parent || parent->kind == Kind::Node || line.words.empty()) {
            return Fail(error_, line.number, "fail names a request and stands under hc or a port");
        }
        const std::string& request = line.words[0];
        const bool opens = request == "open" || request == "hub-open";
        unsigned long long code = opens ? kDefaultOpenError : kDefaultRequestError;
        if (line.values.count("error") && (!Number(line, line.values.at("error"), 0xFFFFFFFF, "error takes an error code", code) || code == 0)) {
            return Fail(error_, line.number, "error takes a non-zero error code");
        }
        const auto error = static_cast<std::uint32_t>(code);
        if (request != "string" && (line.words.size() != 1 || line.values.count("lang"))) {
            return Fail(error_, line.number, "fail " + request + " takes no index or lang=");
        }
        if (request == "hub-open" || request == "hub-information") {
            if (parent->hub < 0) return Fail(error_, line.number, "fail " + request + " needs a hub");
            SyntheticHub& hub = machine_.usb.Hub(parent->hub);
            (request == "hub-open" ? hub.openError : hub.informationError) = error;
            return true;
        }
        if (parent->kind == Kind::HostController) return HostControllerFailure(line, request, parent->index, error);
        return PortFailure(line, request, machine_.usb.Hub(parent->parentHub).ports[parent->index - 1], error);
    }

    bool HostControllerFailure(const Line& line, const std::string& request, int n, std::uint32_t error) {
        SyntheticHostController& controller = *machine_.usb.HostController(n);
        if (request == "open") controller.openError = error;
        else if (request == "driverkey") controller.driverKeyError = error;
        else if (request == "roothub-name") controller.rootHubNameError = error;
        else return Fail(error_, line.number, "under hc, fail takes open, driverkey, roothub-name, hub-open or hub-information");
        return true;
    }

    bool PortFailure(const Line& line, const std::string& request, SyntheticPort& port, std::uint32_t error) {
        if (request == "connection-information") {
            port.connectionInformationError = error;
        } else if (request == "hub-name") {
            port.connectionNameError = error;
        } else if (request == "driverkey") {
            port.driverKeyError = error;
        } else if (request == "config") {
            if (!port.configuration) port.configuration = DescriptorAnswer{};
            port.configuration->error = error;
        } else if (request == "string") {
            std::pair<std::uint8_t, std::uint32_t> key;
            if (!StringKey(line, 1, key)) return false;
            port.strings[key].error = error;
        } else {
            return Fail(error_, line.number, "under a port, fail takes connection-information, hub-name, hub-open, "
                                             "hub-information, driverkey, config or string");
        }
        return true;
    }

    SyntheticMachine& machine_;
    std::string& error_;
    std::vector<Frame> open_;
    std::set<std::pair<int, unsigned long long>> seenPorts_;
    unsigned codePage_ = 0;
    bool systemLanguageGiven_ = false;
};

}  // namespace

bool LoadScenario(std::istream& in, SyntheticMachine& machine, std::string& error) {
    return Loader(machine, error).Load(in);
}

bool LoadScenarioFile(const std::string& path, SyntheticMachine& machine, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "can't open " + path;
        return false;
    }
    return LoadScenario(in, machine, error);
}

}  // namespace portiq::synthetic
