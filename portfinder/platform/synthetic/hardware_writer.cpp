// The wave devices and the USB of a machine, written as scenario statements.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/hub_paths.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario_writer.h"
#include "platform/synthetic/synthetic_usb.h"

namespace portiq::synthetic {
namespace {

// Names and paths no driver gives: a larger answer is taken as a failed request.
constexpr std::uint32_t kLongestAnswer = 0x10000;
constexpr std::size_t kBytesPerLine = 24;
// The most times the trace can ask one string descriptor of a device: once per index
// that its device descriptor and 256 bytes of configuration name.
constexpr int kMostStringReads = 3 + 256 / 2;

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, " %02x", bytes[i]);
        text += digits;
    }
    return text;
}

std::u16string UnitsUpToNul(const unsigned char* bytes, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        text += unit;
    }
    return text;
}

std::string Quoted(const std::u16string& text) { return ScenarioText(WideToUtf8(text)); }

// ---- wave devices ----

template <typename Caps, typename GetCaps, typename Message>
std::string WaveLine(const char* keyword, unsigned device, GetCaps getCaps, Message message, const ToUtf8& toUtf8) {
    Caps caps{};
    if (getCaps(device, &caps, static_cast<unsigned>(sizeof caps)) != kMmSysErrNoError) {
        return std::string(keyword) + " fail=caps\n";
    }
    std::string line = std::string(keyword) + " name=" +
                       CodePageScenarioText(toUtf8(std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname))));
    std::vector<std::string> failing;
    std::uint32_t bytes = 0;
    if (message(device, kDrvQueryDeviceInterfaceSize, reinterpret_cast<std::uintptr_t>(&bytes), 0) != kMmSysErrNoError) {
        failing.push_back("size");
        bytes = 2048;  // enough for any path a driver gives
    }
    std::vector<unsigned char> path(std::clamp<std::uint32_t>(bytes, 2, kLongestAnswer) + 2, 0);
    if (message(device, kDrvQueryDeviceInterface, reinterpret_cast<std::uintptr_t>(path.data()), path.size() - 2) !=
        kMmSysErrNoError) {
        failing.push_back("interface");
    } else {
        line += " interface=" + Quoted(UnitsUpToNul(path.data(), path.size()));
    }
    if (!failing.empty()) line += " fail=" + failing.front() + (failing.size() > 1 ? "," + failing.back() : "");
    return line + "\n";
}

// ---- USB ----

class UsbWriter {
public:
    UsbWriter(UsbDevices& usb, SystemServices& system, const ToUtf8& toUtf8) : usb_(usb), system_(system), toUtf8_(toUtf8) {}

    std::string Write() {
        ListInterfaces();
        for (int n = 0; n <= 9; ++n) HostController(n);
        for (Listed& listed : listed_) {
            if (!listed.written) ListedController(listed);
        }
        NamePlaceholders();
        return out_;
    }

    const std::set<std::uint32_t>& codes() const { return codes_; }

private:
    struct Answer {
        bool ok = false;
        std::uint32_t error = 0;  // the last error after a failure
        std::vector<unsigned char> bytes;
        std::uint32_t returned = 0;
        bool operator==(const Answer& other) const {
            return ok == other.ok && (ok ? bytes == other.bytes : error == other.error);
        }
    };

    // A host controller the configuration manager lists by its interface path.
    struct Listed {
        std::string path;
        bool opened = false;
        std::uint32_t openError = 0;
        bool named = false;  // its driver key name came back
        std::u16string driverKey;
        std::u16string rootHub;  // where the driver key didn't: its root hub's name, if that came
        bool written = false;
    };

    Answer Ask(DeviceHandle device, std::uint32_t code, std::vector<unsigned char> buffer) {
        Answer answer;
        answer.bytes = std::move(buffer);
        answer.ok = usb_.DeviceIoControl(device, code, answer.bytes.data(), static_cast<std::uint32_t>(answer.bytes.size()),
                                         answer.returned);
        if (!answer.ok) answer.error = system_.LastError();
        answer.returned = std::min<std::uint32_t>(answer.returned, static_cast<std::uint32_t>(answer.bytes.size()));
        return answer;
    }

    static std::uint32_t ActualLength(const Answer& answer, std::size_t nameOffset) {
        std::uint32_t length = 0;
        std::memcpy(&length, answer.bytes.data() + nameOffset - sizeof length, sizeof length);
        return length;
    }

    // A name: asked in a buffer of the walk's size, and again in one of ActualLength bytes
    // when that was too small. actualLength is what the first answer reported.
    Answer AskName(DeviceHandle device, std::uint32_t code, std::size_t nameOffset, std::uint32_t port,
                   std::uint32_t firstBytes, std::u16string& name, std::uint32_t& actualLength) {
        std::vector<unsigned char> buffer(firstBytes, 0);
        if (nameOffset == kConnectionNameOffset) std::memcpy(buffer.data(), &port, sizeof port);
        Answer answer = Ask(device, code, buffer);
        if (!answer.ok) return answer;
        actualLength = ActualLength(answer, nameOffset);
        if (actualLength > firstBytes && actualLength <= kLongestAnswer) {
            buffer.assign(actualLength, 0);
            if (nameOffset == kConnectionNameOffset) std::memcpy(buffer.data(), &port, sizeof port);
            answer = Ask(device, code, buffer);
            if (!answer.ok) return answer;
        }
        name = UnitsUpToNul(answer.bytes.data() + nameOffset, answer.bytes.size() - nameOffset);
        return answer;
    }

    Answer AskDescriptor(DeviceHandle hub, std::uint32_t port, unsigned value, unsigned index, unsigned length) {
        std::vector<unsigned char> buffer(sizeof(UsbDescriptorRequest) + length, 0);
        UsbDescriptorRequest request{};
        request.ConnectionIndex = port;
        request.SetupPacket.bmRequest = kRequestDeviceToHost;
        request.SetupPacket.bRequest = kRequestGetDescriptor;
        request.SetupPacket.wValue = static_cast<std::uint16_t>(value);
        request.SetupPacket.wIndex = static_cast<std::uint16_t>(index);
        request.SetupPacket.wLength = static_cast<std::uint16_t>(length);
        std::memcpy(buffer.data(), &request, sizeof request);
        Answer answer = Ask(hub, kIoctlUsbGetDescriptorFromNodeConnection, buffer);
        // The bytes the driver reports as returned are the answer (the trace reads no more).
        const std::uint32_t data = answer.returned > sizeof request ? answer.returned - sizeof request : 0;
        answer.bytes.erase(answer.bytes.begin(), answer.bytes.begin() + sizeof request);
        answer.bytes.resize(std::min<std::size_t>(data, length));
        return answer;
    }

    void Line(int indent, const std::string& text) { out_ += std::string(indent, ' ') + text + "\n"; }
    void Failure(int indent, const std::string& request, std::uint32_t error, const std::string& extra = "") {
        codes_.insert(error);
        Line(indent, "fail " + request + " error=" + std::to_string(error) + extra);
    }

    std::string HubPath(const std::u16string& name) { return portiq::HubPath(system_, name); }

    // The part of a name the walk takes as a hub's path from its buffer of bufferBytes:
    // none when the name didn't fit the buffer, else actualLength / 2 units of it (at most
    // the buffer's 256), and none when they don't fit the path's 252 bytes. Written under
    // this name, a hub opens as the walk opened it, whatever length the driver reported.
    std::u16string NameTheWalkOpens(const std::u16string& name, std::uint32_t actualLength, std::size_t nameOffset,
                                    std::size_t bufferBytes) {
        if (nameOffset + 2 * (name.size() + 1) > bufferBytes) return u"";
        std::u16string opened = name.substr(0, std::min<std::size_t>(actualLength / 2, (bufferBytes - nameOffset) / 2));
        if (!opened.empty() && HubPath(opened).size() == 4) opened.clear();
        return opened;
    }

    // driver-length= where the ActualLength reported isn't the one of the name written.
    static std::string LengthKey(std::size_t nameOffset, const std::u16string& name, std::uint32_t actualLength) {
        const std::size_t own = nameOffset + 2 * (name.size() + 1);
        return actualLength == own ? "" : " driver-length=" + std::to_string(actualLength);
    }

    // A hub written already can't be written again under its name.
    bool Written(const std::u16string& name) const { return names_.count(HubNameKey(name)) != 0; }

    // Opens a hub, remembering its path: as the walk does, a hub is followed once.
    DeviceHandle OpenHub(const std::u16string& name) {
        const std::string path = HubPath(name);
        const DeviceHandle hub = usb_.CreateFileA(path.c_str());
        if (hub != kInvalidDeviceHandle) opened_.Add(path);
        return hub;
    }

    // A port's hub that the walk doesn't open by its name gets a name of its own, chosen
    // at the end among the names no hub has: "name-not-returned-N".
    void PlaceholderHub(int indent, const std::string& statement, const std::string& keys = "") {
        out_ += std::string(indent, ' ') + statement + " hub=\"";
        placeholders_.push_back(out_.size());
        out_ += "\"" + keys + "\n";
    }

    void NamePlaceholders() {
        std::vector<std::string> chosen;
        for (std::size_t n = 1; n <= placeholders_.size(); ++n) {
            std::string name = "name-not-returned-" + std::to_string(n);
            while (names_.count(HubNameKey(Utf8ToWide(name)))) name += "-";
            names_.insert(HubNameKey(Utf8ToWide(name)));
            chosen.push_back(name);
        }
        for (std::size_t i = placeholders_.size(); i-- > 0;) out_.insert(placeholders_[i], chosen[i]);
    }

    // ---- host controllers ----

    // The configuration manager's list, each path opened and asked for its driver key.
    void ListInterfaces() {
        std::uint32_t characters = 0;
        if (usb_.GetHostControllerInterfaceListSize(characters) != kCrSuccess || characters == 0 ||
            characters > kLongestAnswer) {
            return;
        }
        std::vector<char> list(characters + 1, '\0');
        if (usb_.GetHostControllerInterfaceList(list.data(), characters) != kCrSuccess) return;
        for (std::size_t at = 0; at < characters && list[at] != '\0';) {
            Listed listed;
            listed.path = list.data() + at;
            at += listed.path.size() + 1;
            UniqueDeviceHandle controller(usb_, usb_.CreateFileA(listed.path.c_str()));
            listed.opened = static_cast<bool>(controller);
            if (!controller) {
                listed.openError = system_.LastError();
            } else {
                std::uint32_t length = 0;
                listed.named = AskName(controller.get(), kIoctlGetHcdDriverkeyName, kHcdNameOffset, 0,
                                       kHcdNameBufferBytes, listed.driverKey, length).ok;
                if (!listed.named) {
                    AskName(controller.get(), kIoctlUsbGetRootHubName, kHcdNameOffset, 0, kHcdNameBufferBytes,
                            listed.rootHub, length);
                }
            }
            listed_.push_back(listed);
        }
    }

    // The interface= of the listed path that reaches the controller of this driver key or,
    // where the key doesn't come back, of this root hub (no two controllers share one).
    std::string InterfaceOf(bool named, const std::u16string& driverKey, const std::u16string& rootHub) {
        for (Listed& listed : listed_) {
            const bool same = named ? listed.named && listed.driverKey == driverKey
                                    : !listed.named && !rootHub.empty() && listed.rootHub == rootHub;
            if (!listed.written && same) {
                listed.written = true;
                return " interface=" + CodePageScenarioText(toUtf8_(listed.path));
            }
        }
        return "";
    }

    void HostController(int n) {
        const std::string path = "\\\\.\\HCD" + std::to_string(n);
        UniqueDeviceHandle controller(usb_, usb_.CreateFileA(path.c_str()));
        if (!controller) {
            const std::uint32_t error = system_.LastError();
            if (error == kErrorFileNotFound) return;  // no such controller
            Line(0, "hc " + std::to_string(n));
            Failure(2, "open", error);
            return;
        }
        Controller(controller.get(), "hc " + std::to_string(n), true);
    }

    // A listed controller that no \\.\HCDn reaches. One whose driver key a controller
    // written before has is the same controller to the walk, which goes no further.
    void ListedController(Listed& listed) {
        listed.written = true;
        const std::string statement = "hc interface=" + CodePageScenarioText(toUtf8_(listed.path));
        if (!listed.opened) {
            Line(0, statement);
            return Failure(2, "open", listed.openError);
        }
        if (listed.named && !driverKeys_.insert(listed.driverKey).second) {
            return Line(0, statement + " driver=" + Quoted(listed.driverKey));
        }
        UniqueDeviceHandle controller(usb_, usb_.CreateFileA(listed.path.c_str()));
        if (!controller) {
            Line(0, statement);
            return Failure(2, "open", system_.LastError());
        }
        Controller(controller.get(), statement, false);
    }

    // A controller's driver key, its root hub and all below, as the walk asks them.
    void Controller(DeviceHandle controller, std::string line, bool linked) {
        std::u16string driverKey, rootHub;
        std::uint32_t keyLength = 0, hubLength = 0;
        const Answer key =
            AskName(controller, kIoctlGetHcdDriverkeyName, kHcdNameOffset, 0, kHcdNameBufferBytes, driverKey, keyLength);
        const Answer hub =
            AskName(controller, kIoctlUsbGetRootHubName, kHcdNameOffset, 0, kHcdNameBufferBytes, rootHub, hubLength);
        if (linked) line += InterfaceOf(key.ok, driverKey, hub.ok ? rootHub : u"");
        if (key.ok) {
            driverKeys_.insert(driverKey);
            line += " driver=" + Quoted(driverKey) + LengthKey(kHcdNameOffset, driverKey, keyLength);
        }
        auto keyFailure = [&] {
            if (!key.ok) Failure(2, "driverkey", key.error);
        };
        if (hub.ok) {
            const std::u16string opened = NameTheWalkOpens(rootHub, hubLength, kHcdNameOffset, kHcdNameBufferBytes);
            if (!Written(opened)) return HubWithPorts(line, opened, 0, 0, keyFailure);
            Line(0, line);  // a root hub named as one written already: not written twice
            return keyFailure();
        }
        // The walk then opens the driver key name left in its buffer as a hub's path: a
        // root hub of that name says what the open gave (nothing to say when it named no
        // device, or the name is a hub's written already).
        const std::u16string stale = key.ok ? NameTheWalkOpens(driverKey, keyLength, kHcdNameOffset, kHcdNameBufferBytes) : u"";
        if (!stale.empty() && !Written(stale)) {
            bool answered = false;
            {
                UniqueDeviceHandle probe(usb_, usb_.CreateFileA(HubPath(stale).c_str()));
                answered = probe || system_.LastError() != kErrorFileNotFound;
            }
            if (answered) {
                return HubWithPorts(line, stale, 0, 0, [&] {
                    keyFailure();
                    Failure(2, "roothub-name", hub.error);
                });
            }
        }
        Line(0, line);
        keyFailure();
        Failure(2, "roothub-name", hub.error);
    }

    // The statement that names a hub, its failures, and its ports below it.
    template <typename ExtraLines>
    void HubWithPorts(const std::string& statement, const std::u16string& name, int indent, int depth,
                      ExtraLines extraLines) {
        UniqueDeviceHandle hub(usb_, OpenHub(name));
        const std::uint32_t openError = hub ? 0 : system_.LastError();
        Answer node;
        if (hub) node = Ask(hub.get(), kIoctlUsbGetNodeInformation, std::vector<unsigned char>(kNodeInformationBytes, 0));
        int ports = 0;
        if (node.ok) ports = node.bytes[offsetof(UsbNodeInformation, u.HubInformation.HubDescriptor.bNumberOfPorts)];
        names_.insert(HubNameKey(name));
        Line(indent, statement + " hub=" + Quoted(name) + " ports=" + std::to_string(ports));
        extraLines();
        if (!hub) return Failure(indent + 2, "hub-open", openError);
        if (!node.ok) return Failure(indent + 2, "hub-information", node.error);
        for (int port = 1; port <= ports; ++port) Port(hub.get(), static_cast<std::uint32_t>(port), indent + 2, depth);
    }

    // ---- ports ----

    void Port(DeviceHandle hub, std::uint32_t port, int indent, int depth) {
        std::vector<unsigned char> buffer(kNodeConnectionInformationBytes, 0);
        std::memcpy(buffer.data(), &port, sizeof port);
        const Answer answer = Ask(hub, kIoctlUsbGetNodeConnectionInformation, buffer);
        const std::string statement = "port " + std::to_string(port);
        if (!answer.ok) {
            Line(indent, statement);
            return Failure(indent + 2, "connection-information", answer.error);
        }
        UsbNodeConnectionInformation info;
        std::memcpy(&info, answer.bytes.data(), sizeof info);
        const std::uint32_t status = info.ConnectionStatus;
        const std::string descriptor = "device" + Hex(answer.bytes.data() + offsetof(UsbNodeConnectionInformation, DeviceDescriptor),
                                                       sizeof(UsbDeviceDescriptor));
        if (status != kDeviceConnected) {
            Line(indent, statement + (status != kNoDeviceConnected ? " device status=" + std::to_string(status) : ""));
            // A device that failed after enumeration read its descriptor (one short of power).
            const unsigned char* read = answer.bytes.data() + offsetof(UsbNodeConnectionInformation, DeviceDescriptor);
            if (std::any_of(read, read + sizeof(UsbDeviceDescriptor), [](unsigned char b) { return b != 0; })) {
                Line(indent + 2, descriptor);
            }
        } else if (info.DeviceIsHub) {
            ChildHub(hub, port, statement, descriptor, indent, depth);
        } else {
            Device(hub, port, statement, info.DeviceDescriptor, descriptor, indent);
        }
    }

    void ChildHub(DeviceHandle hub, std::uint32_t port, const std::string& statement, const std::string& descriptor,
                  int indent, int depth) {
        std::u16string name;
        std::uint32_t length = 0;
        const Answer answer = AskName(hub, kIoctlUsbGetNodeConnectionName, kConnectionNameOffset, port,
                                      kNodeConnectionNameBytes, name, length);
        const std::u16string opened =
            answer.ok ? NameTheWalkOpens(name, length, kConnectionNameOffset, kNodeConnectionNameBytes) : u"";
        // Without a name, too deep, or walked already: the walk doesn't follow it.
        const bool walked = opened_.Has(HubPath(opened));
        // A name written already whose hub didn't open (two hubs whose names came back
        // empty): the walk tries it again and fails again, and so must its placeholder.
        if (answer.ok && depth + 1 <= kDeepestHub && !walked && Written(opened)) {
            UniqueDeviceHandle again(usb_, usb_.CreateFileA(HubPath(opened).c_str()));
            if (!again) {
                const std::uint32_t error = system_.LastError();
                PlaceholderHub(indent, statement, " ports=0");
                Line(indent + 2, descriptor);
                return Failure(indent + 2, "hub-open", error);
            }
        }
        if (!answer.ok || depth + 1 > kDeepestHub || walked || Written(opened)) {
            PlaceholderHub(indent, statement);
            Line(indent + 2, descriptor);
            if (!answer.ok) Failure(indent + 2, "hub-name", answer.error);
            return;
        }
        HubWithPorts(statement, opened, indent, depth + 1, [&] { Line(indent + 2, descriptor); });
    }

    void Device(DeviceHandle hub, std::uint32_t port, const std::string& statement, const UsbDeviceDescriptor& device,
                const std::string& descriptor, int indent) {
        std::vector<std::string> failures;
        Line(indent, statement + " device" + DriverKey(hub, port, failures));
        Line(indent + 2, descriptor);
        for (const std::string& failure : failures) out_ += std::string(indent + 2, ' ') + failure;
        const Answer config = AskDescriptor(hub, port, kConfigurationDescriptorType << 8, 0, kDescriptorDataBytes);
        if (!config.ok) Failure(indent + 2, "config", config.error);
        if (config.ok && config.bytes.empty()) Line(indent + 2, "config");  // answered with no bytes
        for (std::size_t at = 0; config.ok && at < config.bytes.size(); at += kBytesPerLine) {
            Line(indent + 2, "config" + Hex(config.bytes.data() + at, std::min(kBytesPerLine, config.bytes.size() - at)));
        }
        Strings(hub, port, StringReads(device, config), indent + 2);
    }

    // The driver key name as the trace asks it: the size query in 10 bytes, then the name
    // in ActualLength bytes; each may fail on its own. The port line's keys, and the
    // failure lines into failures.
    std::string DriverKey(DeviceHandle hub, std::uint32_t port, std::vector<std::string>& failures) {
        std::vector<unsigned char> probe(kDriverKeyNameProbeBytes, 0);
        std::memcpy(probe.data(), &port, sizeof port);
        const Answer size = Ask(hub, kIoctlUsbGetNodeConnectionDriverkeyName, probe);
        auto failure = [&](const char* request, std::uint32_t error) {
            codes_.insert(error);
            failures.push_back(std::string("fail ") + request + " error=" + std::to_string(error) + "\n");
        };
        if (!size.ok) {
            failure("driverkey", size.error);
            return "";
        }
        const std::uint32_t actualLength = ActualLength(size, kConnectionNameOffset);
        std::u16string name;
        if (actualLength > kDriverKeyNameProbeBytes && actualLength <= kLongestAnswer) {
            std::vector<unsigned char> buffer(actualLength, 0);
            std::memcpy(buffer.data(), &port, sizeof port);
            const Answer whole = Ask(hub, kIoctlUsbGetNodeConnectionDriverkeyName, buffer);
            if (!whole.ok) failure("driverkey-name", whole.error);
            if (whole.ok) name = UnitsUpToNul(whole.bytes.data() + kConnectionNameOffset, actualLength - kConnectionNameOffset);
        }
        return (name.empty() ? "" : " driver=" + Quoted(name)) + LengthKey(kConnectionNameOffset, name, actualLength);
    }

    // Each string index the trace reads, once per read: the device's, the configuration's
    // and its interfaces', in the 256 bytes the trace walks.
    static std::multiset<unsigned> StringReads(const UsbDeviceDescriptor& device, const Answer& config) {
        std::multiset<unsigned> reads = {device.iManufacturer, device.iProduct, device.iSerialNumber};
        std::vector<std::uint8_t> d(config.bytes.begin(), config.bytes.begin() + std::min<std::size_t>(config.bytes.size(), 256));
        d.resize(256 + 9, 0);
        for (std::size_t at = 0; at < 256 && d[at] != 0; at += d[at]) {
            if (d[at + 1] == kConfigurationDescriptorType) reads.insert(d[at + 6]);
            if (d[at + 1] == kInterfaceDescriptorType) reads.insert(d[at + 8]);
        }
        reads.erase(0);
        return reads;
    }

    // One string descriptor asked times times: its answers, consecutive equal ones as one
    // with their count.
    std::vector<std::pair<Answer, std::uint32_t>> Sequence(DeviceHandle hub, std::uint32_t port, unsigned index,
                                                           unsigned language, int times) {
        std::vector<std::pair<Answer, std::uint32_t>> runs;
        for (int i = 0; i < times; ++i) {
            Answer answer = AskDescriptor(hub, port, (kStringDescriptorType << 8) + index, language, 255);
            if (!runs.empty() && runs.back().first == answer) {
                ++runs.back().second;
            } else {
                runs.emplace_back(std::move(answer), 1);
            }
        }
        return runs;
    }

    void WriteSequence(const std::vector<std::pair<Answer, std::uint32_t>>& runs, const std::string& name, int indent) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::string times = i + 1 < runs.size() ? " times=" + std::to_string(runs[i].second) : "";
            const Answer& answer = runs[i].first;
            if (answer.ok) {
                Line(indent, "string " + name + times + Hex(answer.bytes.data(), answer.bytes.size()));
            } else {
                Failure(indent, "string " + name, answer.error, times);
            }
        }
    }

    // String 0 whole, then each string read in every language string 0 can give the
    // trace (0 when it fails or holds none), each as often as the trace could ask it.
    void Strings(DeviceHandle hub, std::uint32_t port, const std::multiset<unsigned>& reads, int indent) {
        const int readCount = std::min(static_cast<int>(reads.size()), kMostStringReads);
        const auto languages = Sequence(hub, port, 0, 0, std::max(readCount, 1));
        WriteSequence(languages, "0", indent);
        std::set<unsigned> used;
        for (const auto& run : languages) {
            // Bytes 2 and 3 as the trace reads them: a byte the answer lacks reads as 0.
            const auto& b = run.first.bytes;
            const unsigned low = b.size() > 2 ? b[2] : 0, high = b.size() > 3 ? b[3] : 0;
            used.insert(run.first.ok ? low | (high << 8) : 0);
        }
        for (unsigned language : used) {
            char lang[16];
            std::snprintf(lang, sizeof lang, " lang=0x%04x", language);
            for (auto index = reads.begin(); index != reads.end(); index = reads.upper_bound(*index)) {
                const int times = std::min(static_cast<int>(reads.count(*index)), kMostStringReads);
                WriteSequence(Sequence(hub, port, *index, language, times), std::to_string(*index) + lang, indent);
            }
        }
    }

    UsbDevices& usb_;
    SystemServices& system_;
    const ToUtf8& toUtf8_;
    std::string out_;
    std::vector<Listed> listed_;
    std::set<std::u16string> driverKeys_;    // of the controllers written
    OpenedHubs opened_;                      // the hubs opened, as the walk keeps them
    std::set<std::string> names_;            // HubNameKey of every hub written
    std::vector<std::size_t> placeholders_;  // where a placeholder name goes in out_
    std::set<std::uint32_t> codes_;          // every error code written
};

}  // namespace

std::string WriteScenarioWave(WaveDevices& wave, const ToUtf8& toUtf8) {
    std::string text;
    const unsigned inputs = wave.WaveInGetNumDevs();
    for (unsigned device = 0; device < inputs; ++device) {
        text += WaveLine<WaveInCapsA>(
            "wavein", device, [&](unsigned d, WaveInCapsA* caps, unsigned size) { return wave.WaveInGetDevCaps(d, caps, size); },
            [&](unsigned d, unsigned m, std::uintptr_t p1, std::uintptr_t p2) { return wave.WaveInMessage(d, m, p1, p2); }, toUtf8);
    }
    const unsigned outputs = wave.WaveOutGetNumDevs();
    for (unsigned device = 0; device < outputs; ++device) {
        text += WaveLine<WaveOutCapsA>(
            "waveout", device, [&](unsigned d, WaveOutCapsA* caps, unsigned size) { return wave.WaveOutGetDevCaps(d, caps, size); },
            [&](unsigned d, unsigned m, std::uintptr_t p1, std::uintptr_t p2) { return wave.WaveOutMessage(d, m, p1, p2); }, toUtf8);
    }
    return text;
}

std::string WriteScenarioUsb(UsbDevices& usb, SystemServices& system, const ToUtf8& toUtf8, std::set<std::uint32_t>* codes) {
    UsbWriter writer(usb, system, toUtf8);
    std::string text = writer.Write();
    if (codes) codes->insert(writer.codes().begin(), writer.codes().end());
    return text;
}

}  // namespace portiq::synthetic
