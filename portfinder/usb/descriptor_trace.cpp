#include "usb/descriptor_trace.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "base/log.h"
#include "usb/usb_walk.h"

namespace portiq {
namespace {

struct DescriptorRequestBuffer {
    UsbDescriptorRequest request;
    std::uint8_t Data[kDescriptorDataBytes];
};
static_assert(sizeof(DescriptorRequestBuffer) == kDescriptorRequestBytes);

// The bytes a descriptor request returned. A byte past them reads as 0, as the zeroed
// data area behind them would: walks over returned data end there, strings are ended
// there, and nothing is read that the request didn't return.
class ReturnedData {
public:
    ReturnedData(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte(std::size_t offset) const { return offset < size_ ? data_[offset] : 0; }
    unsigned Word(std::size_t offset) const { return Byte(offset) | (Byte(offset + 1) << 8); }
    std::size_t size() const { return size_; }

    // The UTF-16 text from offset to its first zero unit.
    std::u16string Text(std::size_t offset) const {
        std::u16string text;
        for (; offset < size_; offset += 2) {
            const char16_t unit = static_cast<char16_t>(Word(offset));
            if (unit == 0) break;
            text += unit;
        }
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

UsbDevices& Usb() { return *CurrentPlatform().usb; }

// One GET_DESCRIPTOR through the hub, in a buffer zeroed first. The data returned is cut
// to what was asked for and to the buffer, whatever count the driver reports.
bool RequestDescriptor(DeviceHandle hub, std::uint32_t port, unsigned value, unsigned index, unsigned length,
                       DescriptorRequestBuffer& buffer, std::size_t& returnedData) {
    std::memset(&buffer, 0, sizeof buffer);
    buffer.request.ConnectionIndex = port;
    buffer.request.SetupPacket.bmRequest = kRequestDeviceToHost;
    buffer.request.SetupPacket.bRequest = kRequestGetDescriptor;
    buffer.request.SetupPacket.wValue = static_cast<std::uint16_t>(value);
    buffer.request.SetupPacket.wIndex = static_cast<std::uint16_t>(index);
    buffer.request.SetupPacket.wLength = static_cast<std::uint16_t>(length);
    std::uint32_t returned = 0;
    returnedData = 0;
    if (!Usb().DeviceIoControl(hub, kIoctlUsbGetDescriptorFromNodeConnection, &buffer, sizeof buffer, returned)) {
        return false;
    }
    if (returned > sizeof(UsbDescriptorRequest)) returnedData = returned - sizeof(UsbDescriptorRequest);
    returnedData = std::min<std::size_t>({returnedData, length, kDescriptorDataBytes});
    return true;
}

// The captured texts keep what "%ws" keeps: units up to U+00FF as bytes, and at the
// first unit above that the text ends (the log entry ends there too).
std::string CapturedText(const std::u16string& text) { return FormatPrintf("%ws", text); }

LANGID StringIfAny(DeviceHandle hub, std::uint32_t port, LANGID language, std::uint8_t index) {
    return index != 0 ? DisplayStringDescriptor(hub, port, language, index) : language;
}

// The device's first language, from string descriptor 0; 0 when it can't be read.
LANGID FirstLanguage(DeviceHandle hub, std::uint32_t port) {
    DescriptorRequestBuffer buffer;
    std::size_t returned = 0;
    if (!RequestDescriptor(hub, port, kStringDescriptorType << 8, 0, 4, buffer, returned)) {
        const int code = LogLastError("");
        LogPrintf(" *** ERROR *** String Descriptor 0 not returned, ErrorCode = %d\n", code);
    }
    return static_cast<LANGID>(ReturnedData(buffer.Data, returned).Word(2));
}

// The driver key name: asked first in a buffer of the bare structure to learn its
// length, then in one of that length. Returns false when no name was asked for.
constexpr std::uint32_t kLongestDriverKeyStructure = 0x10000;  // far beyond any registry key name

bool DisplayDriverKeyName(DeviceHandle hub, std::uint32_t port) {
    unsigned char probe[kDriverKeyNameProbeBytes] = {};
    std::memcpy(probe, &port, sizeof port);
    std::uint32_t returned = 0;
    if (!Usb().DeviceIoControl(hub, kIoctlUsbGetNodeConnectionDriverkeyName, probe, sizeof probe, returned)) {
        const int code = LogLastError("");
        LogPrintf(" *** ERROR *** 1: Driverkey Name %d not returned. ErrorCode = %d\n", port, code);
    }
    std::uint32_t actualLength = 0;
    std::memcpy(&actualLength, probe + offsetof(UsbNodeConnectionDriverkeyName, ActualLength), sizeof actualLength);
    // A length no driver key needs is treated as no name, like a structure with none.
    if (actualLength <= kDriverKeyNameProbeBytes || actualLength > kLongestDriverKeyStructure) return false;

    // Zeroed, with a terminator behind the length given, so the name always ends inside.
    std::vector<unsigned char> buffer(actualLength + sizeof(char16_t), 0);
    std::memcpy(buffer.data(), &port, sizeof port);
    if (!Usb().DeviceIoControl(hub, kIoctlUsbGetNodeConnectionDriverkeyName, buffer.data(), actualLength, returned)) {
        const int code = LogLastError("");
        LogPrintf(" *** ERROR *** 2: Driverkey Name %d not returned. ErrorCode = %d\n", port, code);
        return true;
    }
    const ReturnedData data(buffer.data(), actualLength);
    const std::u16string name = data.Text(offsetof(UsbNodeConnectionDriverkeyName, DriverKeyName));
    LogPrintf("\nDriverkey name = %ws\n", name);
    g_usbPending.strDriverKey = CapturedText(name);
    return true;
}

const char* InterfaceClassName(unsigned interfaceClass) {
    static const char* const kNames[] = {"Reserved", "Audio",   "Communications", "Human Interface", "Monitor",
                                         "Physical Interface", "Power", "Printer", "Storage", "Hub"};
    if (interfaceClass < std::size(kNames)) return kNames[interfaceClass];
    return interfaceClass == 0xFF ? "Vendor Specific" : "*ILLEGAL VALUE*";
}

// Each descriptor of the configuration data logs its length and type, then its fields.
void LogDescriptorHeader(const ReturnedData& d, std::size_t at, const char* typeName) {
    LogPrintf("\n bLength %2.2x", d.Byte(at));
    LogPrintf("\n bDescriptorType %2.2x = %s", d.Byte(at + 1), typeName);
}

LANGID LogConfigurationHeader(DeviceHandle hub, std::uint32_t port, LANGID language, const ReturnedData& d,
                              std::size_t at) {
    LogDescriptorHeader(d, at, "Configuration Header");
    LogPrintf("\n wTotalLength %4.4x", d.Word(at + 2));
    LogPrintf("\n bNumInterfaces %2.2x", d.Byte(at + 4));
    LogPrintf("\n bConfigValue %2.2x", d.Byte(at + 5));
    LogPrintf("\n iConfiguration %2.2x", d.Byte(at + 6));
    language = StringIfAny(hub, port, language, d.Byte(at + 6));
    LogPrintf("\n bmAttributes %2.2x", d.Byte(at + 7));
    LogPrintf("\n bMaxPower %2.2x = %d mA", d.Byte(at + 8), 2 * d.Byte(at + 8));
    return language;
}

LANGID LogInterface(DeviceHandle hub, std::uint32_t port, LANGID language, const ReturnedData& d, std::size_t at) {
    LogDescriptorHeader(d, at, "Interface Descriptor");
    LogPrintf("\n bInterfaceNum %2.2x", d.Byte(at + 2));
    LogPrintf("\n bAlternateSetting %2.2x", d.Byte(at + 3));
    LogPrintf("\n bNumEndpoints %2.2x", d.Byte(at + 4));
    LogPrintf("\n bInterfaceClass %2.2x = %s", d.Byte(at + 5), InterfaceClassName(d.Byte(at + 5)));
    LogPrintf("\n bSubClass %2.2x", d.Byte(at + 6));
    LogPrintf("\n bProtocol %2.2x", d.Byte(at + 7));
    LogPrintf("\n iInterface %2.2x", d.Byte(at + 8));
    return StringIfAny(hub, port, language, d.Byte(at + 8));
}

void LogEndpoint(const ReturnedData& d, std::size_t at) {
    LogDescriptorHeader(d, at, "Endpoint Descriptor");
    LogPrintf("\n bEndpointAddress %2.2x", d.Byte(at + 2));
    LogPrintf("\n bmAttributes %2.2x", d.Byte(at + 3));
    LogPrintf("\n wMaxPacketSize %4.4x", d.Word(at + 4));
    LogPrintf("\n bInterval %2.2x", d.Byte(at + 6));
}

void LogHid(const ReturnedData& d, std::size_t at) {
    LogDescriptorHeader(d, at, "HID Descriptor");
    LogPrintf("\n wHIDversion %4.4x", d.Word(at + 2));
    LogPrintf("\n bCountryCode %2.2x", d.Byte(at + 4));
    LogPrintf("\n bHIDDescriptorCount %2.2x", d.Byte(at + 5));
    LogPrintf("\n bHIDReportType %2.2x", d.Byte(at + 6));
    LogPrintf("\n wHIDReportLength %4.4x", d.Word(at + 7));
}

// The descriptor at offset at, by its type; a type not listed logs nothing. Returns the
// language id in use afterwards.
LANGID LogConfigurationPart(DeviceHandle hub, std::uint32_t port, LANGID language, const ReturnedData& d,
                            std::size_t at) {
    switch (d.Byte(at + 1)) {
        case kConfigurationDescriptorType: return LogConfigurationHeader(hub, port, language, d, at);
        case kInterfaceDescriptorType: return LogInterface(hub, port, language, d, at);
        case kEndpointDescriptorType: LogEndpoint(d, at); break;
        case kHidDescriptorType: LogHid(d, at); break;
        default: break;
    }
    return language;
}

}  // namespace

LANGID DisplayDeviceDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language,
                               const UsbDeviceDescriptor& descriptor) {
    const UsbDeviceDescriptor d = descriptor;  // packed: fields are read by value
    LogPrintf("Device Descriptor");
    LogPrintf("\n bLength %2.2x", d.bLength);
    LogPrintf("\n bDescriptorType %2.2x", d.bDescriptorType);
    LogPrintf("\n bcdUSB %4.4x", unsigned{d.bcdUSB});
    LogPrintf("\n bDeviceClass %2.2x", d.bDeviceClass);
    LogPrintf("\n bDeviceSubClass %2.2x", d.bDeviceSubClass);
    LogPrintf("\n bDeviceProtocol %2.2x", d.bDeviceProtocol);
    LogPrintf("\n bMaxEP0Size %2.2x", d.bMaxPacketSize0);
    LogPrintf("\n wVendorID %4.4x", unsigned{d.idVendor});
    LogPrintf("\n wProductID %4.4x", unsigned{d.idProduct});
    LogPrintf("\n wDeviceID %4.4x", unsigned{d.bcdDevice});
    LogPrintf("\n iManufacturer %2.2x", d.iManufacturer);
    language = StringIfAny(hub, port, language, d.iManufacturer);
    LogPrintf("\n iProduct %2.2x", d.iProduct);
    language = StringIfAny(hub, port, language, d.iProduct);
    LogPrintf("\n iSerialNumber %2.2x", d.iSerialNumber);
    language = StringIfAny(hub, port, language, d.iSerialNumber);
    LogPrintf("\n bNumConfigurations %2.2x\n", d.bNumConfigurations);
    // Without a driver key name the language found is dropped: the configuration trace
    // then reads string descriptor 0 again if it needs a string.
    return DisplayDriverKeyName(hub, port) ? language : 0;
}

LANGID DisplayStringDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language, std::uint8_t index) {
    if (language == 0) language = FirstLanguage(hub, port);
    DescriptorRequestBuffer buffer;
    std::size_t returned = 0;
    if (!RequestDescriptor(hub, port, (kStringDescriptorType << 8) + index, language, 255, buffer, returned)) {
        const int code = LogLastError("");
        LogPrintf(" *** ERROR *** String Descriptor %d not returned. ErrorCode = %d\n", index, code);
        return language;
    }
    const std::u16string text = ReturnedData(buffer.Data, returned).Text(2);
    LogPrintf(" = %ws", text);
    if (index == 2) g_usbPending.strProduct = CapturedText(text);
    if (index == 3) g_usbPending.strSerial = CapturedText(text);
    return language;
}

namespace {

// The terminal types of the audio control interfaces' input and output terminals (USB
// Audio 1.0, 4.3.2.1 and 4.3.2.2: class-specific descriptor 0x24, subtype 2 or 3, the
// type at offset 4), for the radio pass: they say whether a codec is a headset.
void KeepAudioTerminals(const ReturnedData& data) {
    bool audioControl = false;
    for (std::size_t at = 0; data.Byte(at) != 0 && at < data.size(); at += data.Byte(at)) {
        const unsigned type = data.Byte(at + 1);
        if (type == 0x04) audioControl = data.Byte(at + 5) == 0x01 && data.Byte(at + 6) == 0x01;
        const unsigned subtype = data.Byte(at + 2);
        if (audioControl && type == 0x24 && (subtype == 2 || subtype == 3) && data.Byte(at) >= 6) {
            g_usbPending.audioTerminalTypes.push_back(static_cast<int>(data.Word(at + 4)));
        }
    }
}

}  // namespace

LANGID DisplayConfigurationDescriptor(DeviceHandle hub, std::uint32_t port, LANGID language) {
    LogPrintf("\nConfiguration Descriptor");
    DescriptorRequestBuffer buffer;
    std::size_t returned = 0;
    if (!RequestDescriptor(hub, port, kConfigurationDescriptorType << 8, 0, 256, buffer, returned)) {
        const int code = LogLastError("");
        LogPrintf(" *** ERROR *** Configuration Descriptor not returned. ErrorCode = %d\n", code);
    }
    const ReturnedData data(buffer.Data, returned);
    for (std::size_t at = 0; data.Byte(at) != 0; at += data.Byte(at)) {
        language = LogConfigurationPart(hub, port, language, data, at);
        LogPrintf("\n");
    }
    KeepAudioTerminals(data);
    return language;
}

}  // namespace portiq
