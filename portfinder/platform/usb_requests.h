// The USB host-controller and hub requests PortIQ sends through DeviceIoControl: their
// control codes, the structures they carry (laid out byte for byte as the platform
// publishes them, under names of our own) and the buffer sizes the walks use. The win32
// layer checks every size, offset and code here against the Windows headers at compile
// time, in the 32-bit and the 64-bit build.
//
// Every request uses one buffer for input and output (METHOD_BUFFERED). Structures
// whose Windows layout is packed are packed here too; their multi-byte members must be
// read by value, never bound to a reference.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portiq {

// CTL_CODE(FILE_DEVICE_USB, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr std::uint32_t UsbControlCode(std::uint32_t function) { return (0x22u << 16) | (function << 2); }

// Sent to a host controller.
inline constexpr std::uint32_t kIoctlGetHcdDriverkeyName = UsbControlCode(265);  // 0x220424
inline constexpr std::uint32_t kIoctlUsbGetRootHubName = UsbControlCode(258);    // 0x220408
// Sent to a hub. Node information shares its code with the root hub's name: which one a
// request is depends on whether a host controller or a hub receives it.
inline constexpr std::uint32_t kIoctlUsbGetNodeInformation = UsbControlCode(258);            // 0x220408
inline constexpr std::uint32_t kIoctlUsbGetNodeConnectionInformation = UsbControlCode(259);  // 0x22040c
inline constexpr std::uint32_t kIoctlUsbGetDescriptorFromNodeConnection = UsbControlCode(260);  // 0x220410
inline constexpr std::uint32_t kIoctlUsbGetNodeConnectionName = UsbControlCode(261);         // 0x220414
inline constexpr std::uint32_t kIoctlUsbGetNodeConnectionDriverkeyName = UsbControlCode(264);  // 0x220420

// USB_CONNECTION_STATUS values.
inline constexpr std::uint32_t kNoDeviceConnected = 0;
inline constexpr std::uint32_t kDeviceConnected = 1;

// Standard descriptor types and the GET_DESCRIPTOR request.
inline constexpr std::uint8_t kDeviceDescriptorType = 1;
inline constexpr std::uint8_t kConfigurationDescriptorType = 2;
inline constexpr std::uint8_t kStringDescriptorType = 3;
inline constexpr std::uint8_t kInterfaceDescriptorType = 4;
inline constexpr std::uint8_t kEndpointDescriptorType = 5;
inline constexpr std::uint8_t kHidDescriptorType = 0x21;
inline constexpr std::uint8_t kHubDescriptorType = 0x29;
inline constexpr std::uint8_t kRequestDeviceToHost = 0x80;
inline constexpr std::uint8_t kRequestGetDescriptor = 6;

#pragma pack(push, 1)

// USB_DEVICE_DESCRIPTOR, 18 bytes.
struct UsbDeviceDescriptor {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t bcdUSB;
    std::uint8_t bDeviceClass;
    std::uint8_t bDeviceSubClass;
    std::uint8_t bDeviceProtocol;
    std::uint8_t bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    std::uint8_t iManufacturer;
    std::uint8_t iProduct;
    std::uint8_t iSerialNumber;
    std::uint8_t bNumConfigurations;
};

// USB_ENDPOINT_DESCRIPTOR, 7 bytes.
struct UsbEndpointDescriptor {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bEndpointAddress;
    std::uint8_t bmAttributes;
    std::uint16_t wMaxPacketSize;
    std::uint8_t bInterval;
};

// USB_HUB_DESCRIPTOR, 71 bytes.
struct UsbHubDescriptor {
    std::uint8_t bDescriptorLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bNumberOfPorts;
    std::uint16_t wHubCharacteristics;
    std::uint8_t bPowerOnToPowerGood;
    std::uint8_t bHubControlCurrent;
    std::uint8_t bRemoveAndPowerMask[64];
};

// USB_HUB_INFORMATION, 72 bytes.
struct UsbHubInformation {
    UsbHubDescriptor HubDescriptor;
    std::uint8_t HubIsBusPowered;
};

// USB_NODE_INFORMATION, 76 bytes: IOCTL_USB_GET_NODE_INFORMATION's whole buffer.
struct UsbNodeInformation {
    std::uint32_t NodeType;  // USB_HUB_NODE: 0 UsbHub, 1 UsbMIParent
    union {
        UsbHubInformation HubInformation;
        std::uint32_t NumberOfInterfaces;  // USB_MI_PARENT_INFORMATION
    } u;
};

// USB_PIPE_INFO, 11 bytes.
struct UsbPipeInfo {
    UsbEndpointDescriptor EndpointDescriptor;
    std::uint32_t ScheduleOffset;
};

// USB_NODE_CONNECTION_INFORMATION, 35 bytes, followed by NumberOfOpenPipes UsbPipeInfo.
struct UsbNodeConnectionInformation {
    std::uint32_t ConnectionIndex;  // in: the port, from 1
    UsbDeviceDescriptor DeviceDescriptor;
    std::uint8_t CurrentConfigurationValue;
    std::uint8_t LowSpeed;
    std::uint8_t DeviceIsHub;
    std::uint16_t DeviceAddress;
    std::uint32_t NumberOfOpenPipes;
    std::uint32_t ConnectionStatus;  // USB_CONNECTION_STATUS
};

// USB_NODE_CONNECTION_NAME and USB_NODE_CONNECTION_DRIVERKEY_NAME, 10 bytes each: the
// name's UTF-16 units follow at offset 8.
struct UsbNodeConnectionName {
    std::uint32_t ConnectionIndex;  // in: the port, from 1
    std::uint32_t ActualLength;     // out: bytes the whole structure needs, name and terminator included
    char16_t NodeName[1];
};
struct UsbNodeConnectionDriverkeyName {
    std::uint32_t ConnectionIndex;
    std::uint32_t ActualLength;
    char16_t DriverKeyName[1];
};

// USB_HCD_DRIVERKEY_NAME and USB_ROOT_HUB_NAME, 6 bytes each: the name follows at offset 4.
struct UsbHcdDriverkeyName {
    std::uint32_t ActualLength;
    char16_t DriverKeyName[1];
};
struct UsbRootHubName {
    std::uint32_t ActualLength;
    char16_t RootHubName[1];
};

// USB_DESCRIPTOR_REQUEST, 12 bytes, followed by the descriptor's data.
struct UsbDescriptorRequest {
    std::uint32_t ConnectionIndex;
    struct {
        std::uint8_t bmRequest;
        std::uint8_t bRequest;
        std::uint16_t wValue;
        std::uint16_t wIndex;
        std::uint16_t wLength;
    } SetupPacket;
};

#pragma pack(pop)

// How deep the walks follow hubs. USB allows five hubs in a chain below a root hub; a hub
// deeper than this can only be a driver naming a hub above it, and following it would
// never end.
inline constexpr int kDeepestHub = 16;

// The buffers the walks send, by the sizes the walks have always used.

// A host controller's driver key name, then (in the same buffer) its root hub's name:
// the 4-byte ActualLength and room for 256 UTF-16 units.
inline constexpr std::uint32_t kHcdNameBufferBytes = 516;
inline constexpr std::size_t kHcdNameOffset = offsetof(UsbHcdDriverkeyName, DriverKeyName);
// A hub's node information.
inline constexpr std::uint32_t kNodeInformationBytes = 76;
// A port's connection information: the structure and 32 open pipes, in whole 32-bit words.
inline constexpr std::uint32_t kNodeConnectionInformationBytes = 388;
inline constexpr std::uint32_t kOpenPipesRoom = 32;
// The name of the hub on a port: 8 bytes of header and room for 256 UTF-16 units.
inline constexpr std::uint32_t kNodeConnectionNameBytes = 520;
inline constexpr std::size_t kConnectionNameOffset = offsetof(UsbNodeConnectionName, NodeName);
// A descriptor request: 12 bytes of header and 2048 of data.
inline constexpr std::uint32_t kDescriptorRequestBytes = 2060;
inline constexpr std::uint32_t kDescriptorDataBytes = 2048;
// The driver key name of the device on a port: first asked in a buffer of exactly the
// structure, to learn ActualLength.
inline constexpr std::uint32_t kDriverKeyNameProbeBytes = 10;

static_assert(sizeof(UsbDeviceDescriptor) == 18 && sizeof(UsbNodeInformation) == kNodeInformationBytes &&
              sizeof(UsbNodeConnectionInformation) + kOpenPipesRoom * sizeof(UsbPipeInfo) <=
                  kNodeConnectionInformationBytes &&
              sizeof(UsbNodeConnectionDriverkeyName) == kDriverKeyNameProbeBytes &&
              sizeof(UsbDescriptorRequest) + kDescriptorDataBytes == kDescriptorRequestBytes &&
              kHcdNameOffset + 256 * 2 == kHcdNameBufferBytes &&
              kConnectionNameOffset + 256 * 2 == kNodeConnectionNameBytes);

}  // namespace portiq
