// What the USB fuzz targets share: a synthetic USB machine built from fuzz input, and a
// layer in front of it whose drivers lie as the input tells them to (failing requests,
// ActualLength values and returned counts that don't fit the answer, scribbled bytes).
// The layer also checks every request the walk sends against the documented buffer
// sizes and setup packets: a request outside them ends the run.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/log.h"
#include "platform/platform.h"
#include "platform/synthetic/synthetic_platform.h"

namespace fuzzusb {

using namespace portiq;
using namespace portiq::synthetic;

[[noreturn]] inline void Fault(const char* what, std::uint32_t code, std::uint32_t bytes) {
    std::fprintf(stderr, "request 0x%x of %u bytes: %s\n", code, bytes, what);
    std::abort();
}

inline bool HasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

// Ends the run with the fault and the log so far when a check doesn't hold.
inline void Check(bool holds, const char* fault) {
    if (holds) return;
    std::fprintf(stderr, "%s; the log:\n%s", fault, portiq::g_strLog.c_str());
    std::abort();
}

// Where a name request's ActualLength stands, or 0 for a request without one. (The root
// hub's name and a hub's node information share their control code; the buffer tells
// them apart.)
inline std::size_t ActualLengthOffset(std::uint32_t code, std::uint32_t bytes) {
    if (code == kIoctlGetHcdDriverkeyName || (code == kIoctlUsbGetRootHubName && bytes == kHcdNameBufferBytes)) {
        return kHcdNameOffset - 4;
    }
    if (code == kIoctlUsbGetNodeConnectionName || code == kIoctlUsbGetNodeConnectionDriverkeyName) {
        return kConnectionNameOffset - 4;
    }
    return 0;
}

// The buffer sizes, ports and setup packets the walk and the trace use, and nothing else.
inline void CheckRequest(std::uint32_t code, const unsigned char* buffer, std::uint32_t bytes,
                         std::uint32_t driverKeyLength) {
    static_assert(kIoctlUsbGetRootHubName == kIoctlUsbGetNodeInformation);
    if (code == kIoctlGetHcdDriverkeyName || code == kIoctlUsbGetRootHubName) {
        if (bytes != kHcdNameBufferBytes && !(code == kIoctlUsbGetNodeInformation && bytes == kNodeInformationBytes)) {
            Fault("neither the name buffer nor the node information", code, bytes);
        }
        return;
    }
    std::uint32_t port = 0;
    if (bytes >= 4) std::memcpy(&port, buffer, sizeof port);
    if (port < 1 || port > 255) Fault("a port number outside 1 to 255", code, bytes);
    switch (code) {
        case kIoctlUsbGetNodeConnectionInformation:
            if (bytes != kNodeConnectionInformationBytes) Fault("not the connection information", code, bytes);
            return;
        case kIoctlUsbGetNodeConnectionName:
            if (bytes != kNodeConnectionNameBytes) Fault("not the connection name buffer", code, bytes);
            return;
        case kIoctlUsbGetNodeConnectionDriverkeyName:
            // The probe, then a buffer of the ActualLength it answered (and no more than 64 KiB).
            if (bytes != kDriverKeyNameProbeBytes && (bytes != driverKeyLength || bytes > 0x10000)) {
                Fault("a driver key buffer of neither the probe's nor the answered size", code, bytes);
            }
            return;
        case kIoctlUsbGetDescriptorFromNodeConnection: {
            if (bytes != kDescriptorRequestBytes) Fault("not the descriptor request buffer", code, bytes);
            UsbDescriptorRequest request;
            std::memcpy(&request, buffer, sizeof request);
            const auto setup = request.SetupPacket;
            const unsigned type = setup.wValue >> 8, index = setup.wValue & 0xFF;
            const bool languages = type == kStringDescriptorType && index == 0 && setup.wIndex == 0 && setup.wLength == 4;
            const bool string = type == kStringDescriptorType && index != 0 && setup.wLength == 255;
            const bool configuration = type == kConfigurationDescriptorType && index == 0 && setup.wLength == 256;
            if (setup.bmRequest != kRequestDeviceToHost || setup.bRequest != kRequestGetDescriptor ||
                !(languages || string || configuration)) {
                Fault("a setup packet the trace doesn't send", code, bytes);
            }
            return;
        }
        default: Fault("an unknown control code", code, bytes);
    }
}

// The machine's USB, with drivers that lie as the input says. Each request takes one
// byte of the input: most values pass the request to the machine; the others fail it
// with an error code from the input, or answer it and then set returned, ActualLength
// or a run of the buffer's bytes to values from the input.
class LyingUsb : public UsbDevices {
public:
    LyingUsb(UsbDevices& machine, SyntheticSystem& system, FuzzedDataProvider& input)
        : machine_(machine), system_(system), input_(input) {}

    DeviceHandle CreateFileA(const char* path) override {
        if (input_.ConsumeIntegral<std::uint8_t>() == 0xEE) {
            system_.lastError = input_.ConsumeIntegral<std::uint32_t>();
            return kInvalidDeviceHandle;
        }
        return machine_.CreateFileA(path);
    }
    bool CloseHandle(DeviceHandle device) override { return machine_.CloseHandle(device); }
    CONFIGRET GetHostControllerInterfaceListSize(std::uint32_t& length) override {
        return machine_.GetHostControllerInterfaceListSize(length);
    }
    CONFIGRET GetHostControllerInterfaceList(char* buffer, std::uint32_t length) override {
        return machine_.GetHostControllerInterfaceList(buffer, length);
    }

    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                         std::uint32_t& returned) override {
        auto* data = static_cast<unsigned char*>(buffer);
        CheckRequest(code, data, bytes, driverKeyLength_);
        const unsigned action = input_.ConsumeIntegral<std::uint8_t>() % 8;
        if (action == 4) {
            system_.lastError = input_.ConsumeIntegral<std::uint32_t>();
            return false;
        }
        if (!machine_.DeviceIoControl(device, code, buffer, bytes, returned)) return false;
        const std::size_t actualLength = ActualLengthOffset(code, bytes);
        if (action == 5) returned = input_.ConsumeIntegral<std::uint32_t>();
        if (action == 6 && actualLength != 0 && bytes >= actualLength + 4) {
            const std::uint32_t value = input_.ConsumeIntegral<std::uint32_t>();
            std::memcpy(data + actualLength, &value, sizeof value);
        }
        if (action == 7 && bytes > 0) {
            const std::size_t at = input_.ConsumeIntegralInRange<std::size_t>(0, bytes - 1);
            const std::vector<std::uint8_t> run = input_.ConsumeBytes<std::uint8_t>(
                input_.ConsumeIntegralInRange<std::size_t>(0, bytes - at));
            if (!run.empty()) std::memcpy(data + at, run.data(), run.size());
        }
        if (code == kIoctlUsbGetNodeConnectionDriverkeyName && bytes == kDriverKeyNameProbeBytes) {
            std::memcpy(&driverKeyLength_, data + actualLength, sizeof driverKeyLength_);
        }
        return true;
    }

private:
    UsbDevices& machine_;
    SyntheticSystem& system_;
    FuzzedDataProvider& input_;
    std::uint32_t driverKeyLength_ = 0;  // the ActualLength of the last driver key probe answered
};

// An error code for a request that fails (0 among them), or none for one that is answered.
inline std::optional<std::uint32_t> MaybeError(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange<int>(0, 7) != 0) return std::nullopt;
    return input.ConsumeIntegral<std::uint32_t>();
}

inline std::u16string Name(FuzzedDataProvider& input, std::size_t longest) {
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 2 * longest));
    std::u16string name;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) name += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return name;
}

// A device on a port: its descriptors, strings and driver key, and the requests that fail.
inline void FillDevice(SyntheticPort& port, FuzzedDataProvider& input) {
    port.status = kDeviceConnected;
    const std::vector<std::uint8_t> device = input.ConsumeBytes<std::uint8_t>(sizeof(UsbDeviceDescriptor));
    std::copy(device.begin(), device.end(), port.deviceDescriptor.begin());
    if (input.ConsumeBool()) {
        port.configuration = DescriptorAnswer{input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 320)),
                                              MaybeError(input)};
    }
    for (int strings = input.ConsumeIntegralInRange<int>(0, 5); strings > 0; --strings) {
        const auto index = input.ConsumeIntegral<std::uint8_t>();
        const std::uint32_t language = input.ConsumeBool() ? kAnyLanguage : input.ConsumeIntegral<std::uint16_t>();
        port.strings[{index, language}] =
            DescriptorAnswer{input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 260)), MaybeError(input)};
    }
    if (input.ConsumeBool()) port.driverKey = Name(input, 300);
    port.driverKeyError = MaybeError(input);
    port.connectionInformationError = MaybeError(input);
    // The driver key's size query failing apart from the name, a misreported ActualLength,
    // and string answers that change as they are asked again.
    port.driverKeySizeError = input.ConsumeBool() ? port.driverKeyError : MaybeError(input);
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) port.driverKeyLength = input.ConsumeIntegral<std::uint32_t>() % 0x20000;
    for (auto& [key, answer] : port.strings) {
        if (!input.ConsumeBool()) continue;
        answer.times = input.ConsumeIntegralInRange<std::uint32_t>(1, 3);
        answer.later.push_back(DescriptorAnswer{input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 8)),
                                                MaybeError(input)});
    }
}

}  // namespace fuzzusb
