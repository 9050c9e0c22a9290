// The wave-input devices and the USB of a machine, written as scenario statements.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "devtree/ansi_text.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario_writer.h"
#include "platform/synthetic/synthetic_usb.h"

namespace portiq::synthetic {
namespace {

// Names and paths no driver gives: a larger answer is taken as a failed request.
constexpr std::uint32_t kLongestAnswer = 0x10000;
constexpr std::size_t kBytesPerLine = 24;

std::string Quoted(const std::string& utf8) {
    std::string text = utf8;
    for (char& c : text) {
        if (c == '"') c = '\'';
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return "\"" + text + "\"";
}

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

// ---- wave-input devices ----

std::string WaveInLine(WaveDevices& wave, unsigned device, const std::function<std::string(const std::string&)>& toUtf8) {
    WaveInCapsA caps{};
    if (wave.WaveInGetDevCaps(device, &caps, sizeof caps) != kMmSysErrNoError) return "wavein fail=caps\n";
    std::string line = "wavein name=" + Quoted(toUtf8(std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname))));
    std::vector<std::string> failing;
    std::uint32_t bytes = 0;
    if (wave.WaveInMessage(device, kDrvQueryDeviceInterfaceSize, reinterpret_cast<std::uintptr_t>(&bytes), 0) !=
        kMmSysErrNoError) {
        failing.push_back("size");
        bytes = 2048;  // enough for any path a driver gives
    }
    std::vector<unsigned char> path(std::clamp<std::uint32_t>(bytes, 2, kLongestAnswer) + 2, 0);
    if (wave.WaveInMessage(device, kDrvQueryDeviceInterface, reinterpret_cast<std::uintptr_t>(path.data()),
                           path.size() - 2) != kMmSysErrNoError) {
        failing.push_back("interface");
    } else {
        line += " interface=" + Quoted(WideToUtf8(UnitsUpToNul(path.data(), path.size())));
    }
    if (!failing.empty()) line += " fail=" + failing.front() + (failing.size() > 1 ? "," + failing.back() : "");
    return line + "\n";
}

// ---- USB ----

class UsbWriter {
public:
    UsbWriter(UsbDevices& usb, SystemServices& system) : usb_(usb), system_(system) {}

    std::string Write() {
        for (int n = 0; n <= 9; ++n) HostController(n);
        NamePlaceholders();
        return out_;
    }

private:
    struct Answer {
        bool ok = false;
        std::uint32_t error = 0;  // the last error after a failure
        std::vector<unsigned char> bytes;
        std::uint32_t returned = 0;
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

    // A name: asked in a buffer of the walk's size, and again in one of ActualLength bytes
    // when that was too small.
    Answer AskName(DeviceHandle device, std::uint32_t code, std::size_t nameOffset, std::uint32_t port,
                   std::uint32_t firstBytes, std::u16string& name) {
        std::vector<unsigned char> buffer(firstBytes, 0);
        if (nameOffset == kConnectionNameOffset) std::memcpy(buffer.data(), &port, sizeof port);
        Answer answer = Ask(device, code, buffer);
        if (!answer.ok) return answer;
        std::uint32_t actualLength = 0;
        std::memcpy(&actualLength, answer.bytes.data() + nameOffset - sizeof actualLength, sizeof actualLength);
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
        const std::uint32_t data = answer.returned > sizeof request ? answer.returned - sizeof request : 0;
        answer.bytes.erase(answer.bytes.begin(), answer.bytes.begin() + sizeof request);
        answer.bytes.resize(std::min<std::size_t>(data, length));
        return answer;
    }

    void Line(int indent, const std::string& text) { out_ += std::string(indent, ' ') + text + "\n"; }
    void Failure(int indent, const std::string& request, std::uint32_t error) {
        Line(indent, "fail " + request + " error=" + std::to_string(error));
    }

    // "\\.\" and a name in the ANSI code page.
    std::string HubPath(const std::u16string& name) {
        std::string ansi(3 * name.size() + 1, '\0');
        const int bytes = system_.WideToAnsi(name.data(), static_cast<int>(name.size()), &ansi[0],
                                             static_cast<int>(ansi.size()), nullptr);
        ansi.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
        return "\\\\.\\" + ansi;
    }

    // Opens a hub, remembering its path: as the walk does, a hub is followed once.
    DeviceHandle OpenHub(const std::u16string& name) {
        const std::string path = HubPath(name);
        const DeviceHandle hub = usb_.CreateFileA(path.c_str());
        if (hub != kInvalidDeviceHandle) opened_.insert(UpperCaseAscii(path));
        return hub;
    }

    // A port's hub that the walk doesn't open by its name gets a name of its own, chosen
    // at the end among the names no hub has: "name-not-returned-N".
    void PlaceholderHub(int indent, const std::string& statement) {
        out_ += std::string(indent, ' ') + statement + " hub=\"";
        placeholders_.push_back(out_.size());
        out_ += "\"\n";
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
        std::u16string driverKey, rootHub;
        const Answer key = AskName(controller.get(), kIoctlGetHcdDriverkeyName, kHcdNameOffset, 0, kHcdNameBufferBytes, driverKey);
        const Answer hub = AskName(controller.get(), kIoctlUsbGetRootHubName, kHcdNameOffset, 0, kHcdNameBufferBytes, rootHub);
        std::string line = "hc " + std::to_string(n);
        if (key.ok) line += " driver=" + Quoted(WideToUtf8(driverKey));
        if (!hub.ok) {
            Line(0, line);
            if (!key.ok) Failure(2, "driverkey", key.error);
            Failure(2, "roothub-name", hub.error);
            return;
        }
        HubWithPorts(line, rootHub, 0, 0, [&] {
            if (!key.ok) Failure(2, "driverkey", key.error);
        });
    }

    // The statement that names a hub, its failures, and its ports below it.
    template <typename ExtraFailures>
    void HubWithPorts(const std::string& statement, const std::u16string& name, int indent, int depth,
                      ExtraFailures extraFailures) {
        UniqueDeviceHandle hub(usb_, OpenHub(name));
        const std::uint32_t openError = hub ? 0 : system_.LastError();
        Answer node;
        if (hub) node = Ask(hub.get(), kIoctlUsbGetNodeInformation, std::vector<unsigned char>(kNodeInformationBytes, 0));
        int ports = 0;
        if (node.ok) ports = node.bytes[offsetof(UsbNodeInformation, u.HubInformation.HubDescriptor.bNumberOfPorts)];
        names_.insert(HubNameKey(name));
        Line(indent, statement + " hub=" + Quoted(WideToUtf8(name)) + " ports=" + std::to_string(ports));
        extraFailures();
        if (!hub) return Failure(indent + 2, "hub-open", openError);
        if (!node.ok) return Failure(indent + 2, "hub-information", node.error);
        for (int port = 1; port <= ports; ++port) Port(hub.get(), static_cast<std::uint32_t>(port), indent + 2, depth);
    }

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
            Line(indent, statement + (status != kNoDeviceConnected ? " status=" + std::to_string(status) : ""));
        } else if (info.DeviceIsHub) {
            ChildHub(hub, port, statement, descriptor, indent, depth);
        } else {
            Device(hub, port, statement, info.DeviceDescriptor, descriptor, indent);
        }
    }

    void ChildHub(DeviceHandle hub, std::uint32_t port, const std::string& statement, const std::string& descriptor,
                  int indent, int depth) {
        std::u16string name;
        const Answer answer = AskName(hub, kIoctlUsbGetNodeConnectionName, kConnectionNameOffset, port,
                                      kNodeConnectionNameBytes, name);
        // Without a name, too deep, or walked already: the walk doesn't follow it.
        if (!answer.ok || depth + 1 > kDeepestHub || opened_.count(UpperCaseAscii(HubPath(name)))) {
            PlaceholderHub(indent, statement);
            Line(indent + 2, descriptor);
            if (!answer.ok) Failure(indent + 2, "hub-name", answer.error);
            return;
        }
        HubWithPorts(statement, name, indent, depth + 1, [&] { Line(indent + 2, descriptor); });
    }

    void Device(DeviceHandle hub, std::uint32_t port, const std::string& statement, const UsbDeviceDescriptor& device,
                const std::string& descriptor, int indent) {
        std::u16string driverKey;
        const Answer key = AskName(hub, kIoctlUsbGetNodeConnectionDriverkeyName, kConnectionNameOffset, port,
                                   kDriverKeyNameProbeBytes, driverKey);
        Line(indent, statement + " device" + (key.ok && !driverKey.empty() ? " driver=" + Quoted(WideToUtf8(driverKey)) : ""));
        Line(indent + 2, descriptor);
        if (!key.ok) Failure(indent + 2, "driverkey", key.error);
        const Answer config = AskDescriptor(hub, port, kConfigurationDescriptorType << 8, 0, kDescriptorDataBytes);
        if (!config.ok) Failure(indent + 2, "config", config.error);
        for (std::size_t at = 0; config.ok && at < config.bytes.size(); at += kBytesPerLine) {
            Line(indent + 2, "config" + Hex(config.bytes.data() + at, std::min(kBytesPerLine, config.bytes.size() - at)));
        }
        Strings(hub, port, StringIndices(device, config), indent + 2);
    }

    // Every string index a descriptor names: the device's, the configuration's and its
    // interfaces'.
    static std::set<unsigned> StringIndices(const UsbDeviceDescriptor& device, const Answer& config) {
        std::set<unsigned> indices = {device.iManufacturer, device.iProduct, device.iSerialNumber};
        const auto& d = config.bytes;
        for (std::size_t at = 0; at + 1 < d.size() && d[at] != 0; at += d[at]) {
            if (d[at + 1] == kConfigurationDescriptorType && at + 6 < d.size()) indices.insert(d[at + 6]);
            if (d[at + 1] == kInterfaceDescriptorType && at + 8 < d.size()) indices.insert(d[at + 8]);
        }
        indices.erase(0);
        return indices;
    }

    // String 0 whole, then each named string in the language the trace would ask in.
    void Strings(DeviceHandle hub, std::uint32_t port, const std::set<unsigned>& indices, int indent) {
        const Answer languages = AskDescriptor(hub, port, kStringDescriptorType << 8, 0, 255);
        unsigned language = 0;
        if (languages.ok) {
            Line(indent, "string 0" + Hex(languages.bytes.data(), languages.bytes.size()));
            if (languages.bytes.size() >= 4) language = languages.bytes[2] | (languages.bytes[3] << 8);
        } else {
            Failure(indent, "string 0", languages.error);
        }
        char lang[16];
        std::snprintf(lang, sizeof lang, " lang=0x%04x", language);
        for (unsigned index : indices) {
            const Answer text = AskDescriptor(hub, port, (kStringDescriptorType << 8) + index, language, 255);
            if (!text.ok) {
                Failure(indent, "string " + std::to_string(index) + lang, text.error);
            } else {
                Line(indent, "string " + std::to_string(index) + lang + Hex(text.bytes.data(), text.bytes.size()));
            }
        }
    }

    UsbDevices& usb_;
    SystemServices& system_;
    std::string out_;
    std::set<std::string> opened_;         // paths of the hubs opened, upper-cased
    std::set<std::string> names_;          // HubNameKey of every hub written
    std::vector<std::size_t> placeholders_;  // where a placeholder name goes in out_
};

}  // namespace

std::string WriteScenarioWave(WaveDevices& wave, const std::function<std::string(const std::string&)>& toUtf8) {
    std::string text;
    const unsigned count = wave.WaveInGetNumDevs();
    for (unsigned device = 0; device < count; ++device) text += WaveInLine(wave, device, toUtf8);
    return text;
}

std::string WriteScenarioUsb(UsbDevices& usb, SystemServices& system) { return UsbWriter(usb, system).Write(); }

}  // namespace portiq::synthetic
