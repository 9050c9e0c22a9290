// The platform on Windows: each operation is the Windows call its contract names.
#pragma once

#include "platform/platform.h"

namespace portiq::win32 {

class Win32DeviceTree : public DeviceTree {
public:
    CONFIGRET LocateRoot(DEVINST& root) override;
    CONFIGRET GetChild(DEVINST& child, DEVINST node) override;
    CONFIGRET GetSibling(DEVINST& sibling, DEVINST node) override;
    CONFIGRET GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                  std::uint32_t& length) override;
    CONFIGRET GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) override;
    CONFIGRET GetStatus(DEVINST node, std::uint32_t& status, std::uint32_t& problem) override;
};

class Win32System : public SystemServices {
public:
    LANGID UserDefaultLanguage() override;
    bool FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) override;
    unsigned AnsiCodePage() override;
    int WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) override;
    std::uint32_t UpperCaseAnsi(char* text, std::uint32_t length) override;
    int ShowMessageBox(const char* text, const char* caption, unsigned type) override;
    short KeyState(int virtualKey) override;
    int ArgumentCount() override;
    std::uint32_t LastError() override;
    std::string SystemErrorText(std::uint32_t code) override;
    std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) override;
    std::string CurrentFolder() override;
    std::string DesktopFolder() override;
};

class Win32Wave : public WaveDevices {
public:
    unsigned WaveInGetNumDevs() override;
    MMRESULT WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) override;
    MMRESULT WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) override;
    unsigned WaveOutGetNumDevs() override;
    MMRESULT WaveOutGetDevCaps(unsigned device, WaveOutCapsA* caps, unsigned size) override;
    MMRESULT WaveOutMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) override;
};

class Win32Usb : public UsbDevices {
public:
    DeviceHandle CreateFileA(const char* path) override;
    bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                         std::uint32_t& returned) override;
    bool CloseHandle(DeviceHandle device) override;
    CONFIGRET GetHostControllerInterfaceListSize(std::uint32_t& length) override;
    CONFIGRET GetHostControllerInterfaceList(char* buffer, std::uint32_t length) override;
};

}  // namespace portiq::win32
