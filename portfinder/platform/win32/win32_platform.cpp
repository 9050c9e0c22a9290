#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <mmsystem.h>
#include <mmddk.h>
#include <winioctl.h>
#include <usbioctl.h>
#include <shlobj.h>
// clang-format on

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace portiq::win32 {

// The portable names carry the Windows values.
static_assert(kCrSuccess == CR_SUCCESS && kCrNoSuchDevnode == CR_NO_SUCH_DEVNODE &&
              kCrInvalidDevnode == CR_INVALID_DEVNODE && kCrInvalidPointer == CR_INVALID_POINTER &&
              kCrFailure == CR_FAILURE && kCrBufferSmall == CR_BUFFER_SMALL && kCrNoSuchValue == CR_NO_SUCH_VALUE);
static_assert(kDnDriverLoaded == DN_DRIVER_LOADED && kDnStarted == DN_STARTED && kDnHasProblem == DN_HAS_PROBLEM &&
              kProbNotConfigured == CM_PROB_NOT_CONFIGURED && kProbFailedStart == CM_PROB_FAILED_START &&
              kProbDisabled == CM_PROB_DISABLED && kProbFailedInstall == CM_PROB_FAILED_INSTALL);
static_assert(kDrpDeviceDesc == CM_DRP_DEVICEDESC && kDrpClassGuid == CM_DRP_CLASSGUID &&
              kDrpDriver == CM_DRP_DRIVER && kDrpFriendlyName == CM_DRP_FRIENDLYNAME);
static_assert(kMbOk == MB_OK && kMbIconExclamation == MB_ICONEXCLAMATION && kMbSystemModal == MB_SYSTEMMODAL);
static_assert(kVkShift == VK_SHIFT && kVkControl == VK_CONTROL && kCpUtf8 == CP_UTF8);
static_assert(kLangUserDefault == LANG_USER_DEFAULT && kLangSystemDefault == LANG_SYSTEM_DEFAULT &&
              kLangEnglishUs == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
static_assert(sizeof(DEVINST) == sizeof(::DEVINST) && sizeof(char16_t) == sizeof(WCHAR));

// The wave calls: results, messages and the capabilities' layout.
static_assert(kMmSysErrNoError == MMSYSERR_NOERROR && kMmSysErrBadDeviceId == MMSYSERR_BADDEVICEID &&
              kMmSysErrNoDriver == MMSYSERR_NODRIVER && kMmSysErrNotSupported == MMSYSERR_NOTSUPPORTED &&
              kMmSysErrInvalParam == MMSYSERR_INVALPARAM && sizeof(MMRESULT) == sizeof(::MMRESULT));
static_assert(kDrvQueryDeviceInterface == DRV_QUERYDEVICEINTERFACE && kDrvQueryDeviceInterface == 0x80C &&
              kDrvQueryDeviceInterfaceSize == DRV_QUERYDEVICEINTERFACESIZE && kDrvQueryDeviceInterfaceSize == 0x80D);
static_assert(sizeof(WaveInCapsA) == sizeof(WAVEINCAPSA) && sizeof(WAVEINCAPSA) == 48 &&
              offsetof(WaveInCapsA, szPname) == offsetof(WAVEINCAPSA, szPname) &&
              sizeof(WaveInCapsA::szPname) == sizeof(WAVEINCAPSA::szPname));
static_assert(sizeof(WaveOutCapsA) == sizeof(WAVEOUTCAPSA) && sizeof(WAVEOUTCAPSA) == 52 &&
              offsetof(WaveOutCapsA, szPname) == offsetof(WAVEOUTCAPSA, szPname) &&
              offsetof(WaveOutCapsA, dwSupport) == offsetof(WAVEOUTCAPSA, dwSupport));

// The USB requests: control codes, as published and as the walks have always sent them.
static_assert(kIoctlGetHcdDriverkeyName == IOCTL_GET_HCD_DRIVERKEY_NAME && kIoctlGetHcdDriverkeyName == 0x220424);
static_assert(kIoctlUsbGetRootHubName == IOCTL_USB_GET_ROOT_HUB_NAME && kIoctlUsbGetRootHubName == 0x220408);
static_assert(kIoctlUsbGetNodeInformation == IOCTL_USB_GET_NODE_INFORMATION && kIoctlUsbGetNodeInformation == 0x220408);
static_assert(kIoctlUsbGetNodeConnectionInformation == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION &&
              kIoctlUsbGetNodeConnectionInformation == 0x22040c);
static_assert(kIoctlUsbGetDescriptorFromNodeConnection == IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION &&
              kIoctlUsbGetDescriptorFromNodeConnection == 0x220410);
static_assert(kIoctlUsbGetNodeConnectionName == IOCTL_USB_GET_NODE_CONNECTION_NAME &&
              kIoctlUsbGetNodeConnectionName == 0x220414);
static_assert(kIoctlUsbGetNodeConnectionDriverkeyName == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME &&
              kIoctlUsbGetNodeConnectionDriverkeyName == 0x220420);
static_assert(kNoDeviceConnected == NoDeviceConnected && kDeviceConnected == DeviceConnected);
static_assert(kDeviceDescriptorType == USB_DEVICE_DESCRIPTOR_TYPE &&
              kConfigurationDescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE &&
              kStringDescriptorType == USB_STRING_DESCRIPTOR_TYPE && kInterfaceDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE &&
              kEndpointDescriptorType == USB_ENDPOINT_DESCRIPTOR_TYPE && kRequestGetDescriptor == USB_REQUEST_GET_DESCRIPTOR);

// The structures, byte for byte, and the buffer sizes built from them.
#define PORTIQ_SAME_FIELD(ours, theirs, field) (offsetof(ours, field) == offsetof(theirs, field))
static_assert(sizeof(UsbDeviceDescriptor) == sizeof(USB_DEVICE_DESCRIPTOR) && sizeof(USB_DEVICE_DESCRIPTOR) == 18 &&
              PORTIQ_SAME_FIELD(UsbDeviceDescriptor, USB_DEVICE_DESCRIPTOR, idVendor) &&
              PORTIQ_SAME_FIELD(UsbDeviceDescriptor, USB_DEVICE_DESCRIPTOR, bNumConfigurations));
static_assert(sizeof(UsbNodeInformation) == sizeof(USB_NODE_INFORMATION) && sizeof(USB_NODE_INFORMATION) == 76 &&
              kNodeInformationBytes == 76 && sizeof(UsbHubDescriptor) == sizeof(USB_HUB_DESCRIPTOR) &&
              offsetof(UsbNodeInformation, u.HubInformation.HubDescriptor.bNumberOfPorts) ==
                  offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor.bNumberOfPorts));
static_assert(sizeof(UsbNodeConnectionInformation) == sizeof(USB_NODE_CONNECTION_INFORMATION) &&
              sizeof(UsbPipeInfo) == sizeof(USB_PIPE_INFO) &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionInformation, USB_NODE_CONNECTION_INFORMATION, DeviceDescriptor) &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionInformation, USB_NODE_CONNECTION_INFORMATION, DeviceIsHub) &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionInformation, USB_NODE_CONNECTION_INFORMATION, ConnectionStatus) &&
              sizeof(USB_CONNECTION_STATUS) == sizeof(std::uint32_t));
// 388: the structure and 32 open pipes, rounded up to whole 32-bit words.
static_assert(kNodeConnectionInformationBytes == 388 &&
              kNodeConnectionInformationBytes ==
                  (sizeof(USB_NODE_CONNECTION_INFORMATION) + kOpenPipesRoom * sizeof(USB_PIPE_INFO) + 3) / 4 * 4);
static_assert(sizeof(UsbNodeConnectionName) == sizeof(USB_NODE_CONNECTION_NAME) &&
              kConnectionNameOffset == offsetof(USB_NODE_CONNECTION_NAME, NodeName) &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionName, USB_NODE_CONNECTION_NAME, ActualLength) &&
              kNodeConnectionNameBytes == 520 && kNodeConnectionNameBytes == kConnectionNameOffset + 256 * sizeof(WCHAR));
static_assert(sizeof(UsbNodeConnectionDriverkeyName) == sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME) &&
              kDriverKeyNameProbeBytes == sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME) && kDriverKeyNameProbeBytes == 10 &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionDriverkeyName, USB_NODE_CONNECTION_DRIVERKEY_NAME, ActualLength) &&
              PORTIQ_SAME_FIELD(UsbNodeConnectionDriverkeyName, USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName));
static_assert(sizeof(UsbHcdDriverkeyName) == sizeof(USB_HCD_DRIVERKEY_NAME) &&
              sizeof(UsbRootHubName) == sizeof(USB_ROOT_HUB_NAME) &&
              kHcdNameOffset == offsetof(USB_HCD_DRIVERKEY_NAME, DriverKeyName) &&
              kHcdNameOffset == offsetof(USB_ROOT_HUB_NAME, RootHubName) && kHcdNameBufferBytes == 516 &&
              kHcdNameBufferBytes == kHcdNameOffset + 256 * sizeof(WCHAR));
static_assert(sizeof(UsbDescriptorRequest) == sizeof(USB_DESCRIPTOR_REQUEST) && sizeof(USB_DESCRIPTOR_REQUEST) == 12 &&
              PORTIQ_SAME_FIELD(UsbDescriptorRequest, USB_DESCRIPTOR_REQUEST, SetupPacket.wValue) &&
              PORTIQ_SAME_FIELD(UsbDescriptorRequest, USB_DESCRIPTOR_REQUEST, SetupPacket.wLength) &&
              kDescriptorRequestBytes == 2060 &&
              kDescriptorRequestBytes == sizeof(USB_DESCRIPTOR_REQUEST) + kDescriptorDataBytes);
#undef PORTIQ_SAME_FIELD
// The security attributes every open of the walk passes are 12 bytes in the 32-bit build.
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12);
static_assert(sizeof(DeviceHandle) == sizeof(HANDLE));

CONFIGRET Win32DeviceTree::LocateRoot(DEVINST& root) {
    ::DEVINST handle = 0;
    const CONFIGRET result = CM_Locate_DevNodeA(&handle, nullptr, CM_LOCATE_DEVNODE_NORMAL);
    if (result == CR_SUCCESS) root = handle;
    return result;
}

CONFIGRET Win32DeviceTree::GetChild(DEVINST& child, DEVINST node) {
    ::DEVINST handle = 0;
    const CONFIGRET result = CM_Get_Child(&handle, node, 0);
    if (result == CR_SUCCESS) child = handle;
    return result;
}

CONFIGRET Win32DeviceTree::GetSibling(DEVINST& sibling, DEVINST node) {
    ::DEVINST handle = 0;
    const CONFIGRET result = CM_Get_Sibling(&handle, node, 0);
    if (result == CR_SUCCESS) sibling = handle;
    return result;
}

CONFIGRET Win32DeviceTree::GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                               std::uint32_t& length) {
    ULONG inOut = length;
    const CONFIGRET result = CM_Get_DevNode_Registry_PropertyA(node, property, nullptr, buffer, &inOut, 0);
    length = inOut;
    return result;
}

CONFIGRET Win32DeviceTree::GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) {
    return CM_Get_Device_IDA(node, buffer, length, 0);
}

CONFIGRET Win32DeviceTree::GetStatus(DEVINST node, std::uint32_t& status, std::uint32_t& problem) {
    ULONG flags = 0, number = 0;
    const CONFIGRET result = CM_Get_DevNode_Status(&flags, &number, node, 0);
    if (result == CR_SUCCESS) status = flags, problem = number;
    return result;
}

LANGID Win32System::UserDefaultLanguage() { return GetUserDefaultLangID(); }

unsigned Win32System::AnsiCodePage() { return GetACP(); }

bool Win32System::FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) {
    HRSRC found = FindResourceExA(nullptr, reinterpret_cast<LPCSTR>(RT_STRING), MAKEINTRESOURCEA(block), language);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    bytes.data = static_cast<const unsigned char*>(data);
    bytes.size = SizeofResource(nullptr, found);
    return true;
}

int Win32System::WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(text), units, out, outBytes, defaultChar,
                               nullptr);
}

int Win32System::ShowMessageBox(const char* text, const char* caption, unsigned type) {
    return MessageBoxA(nullptr, text, caption, type);
}

short Win32System::KeyState(int virtualKey) { return GetKeyState(virtualKey); }

int Win32System::ArgumentCount() { return __argc; }

std::uint32_t Win32System::LastError() { return GetLastError(); }

std::string Win32System::SystemErrorText(std::uint32_t code) {
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    return result;
}

std::uint32_t Win32System::WriteTextFile(const char* name, const char* text, std::size_t size) {
    // The run-time library's text mode stores every "\n" as CR LF.
    SetLastError(0);
    std::FILE* file = std::fopen(name, "wt");
    if (!file) return GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
    const bool written = std::fwrite(text, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return 0;
    return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
}

std::string Win32System::CurrentFolder() {
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string Win32System::DesktopFolder() {
    char folder[MAX_PATH];
    return SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK ? folder : "";
}

unsigned Win32Wave::WaveInGetNumDevs() { return waveInGetNumDevs(); }

MMRESULT Win32Wave::WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) {
    return waveInGetDevCapsA(device, reinterpret_cast<LPWAVEINCAPSA>(caps), size);
}

MMRESULT Win32Wave::WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) {
    // The device's number stands in place of a handle, as the messages allow.
    return waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(device)), message, param1, param2);
}

DeviceHandle Win32Usb::CreateFileA(const char* path) {
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof security;
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = FALSE;
    const HANDLE handle =
        ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0, nullptr);
    return handle == INVALID_HANDLE_VALUE ? kInvalidDeviceHandle : reinterpret_cast<DeviceHandle>(handle);
}

bool Win32Usb::DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                               std::uint32_t& returned) {
    DWORD count = 0;
    const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(device), code, buffer, bytes, buffer, bytes, &count,
                                      nullptr);
    returned = count;
    return ok != FALSE;
}

bool Win32Usb::CloseHandle(DeviceHandle device) { return ::CloseHandle(reinterpret_cast<HANDLE>(device)) != FALSE; }

std::uint32_t Win32System::UpperCaseAnsi(char* text, std::uint32_t length) { return CharUpperBuffA(text, length); }

unsigned Win32Wave::WaveOutGetNumDevs() { return waveOutGetNumDevs(); }

MMRESULT Win32Wave::WaveOutGetDevCaps(unsigned device, WaveOutCapsA* caps, unsigned size) {
    return waveOutGetDevCapsA(device, reinterpret_cast<LPWAVEOUTCAPSA>(caps), size);
}

MMRESULT Win32Wave::WaveOutMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) {
    return waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(device)), message, param1, param2);
}

namespace {

// GUID_DEVINTERFACE_USB_HOST_CONTROLLER (usbiodef.h), spelt out: the header's GUID needs
// a library of its own to link.
GUID HostControllerInterface() {
    return GUID{0x3abf6f2d, 0x71c4, 0x462a, {0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27}};
}

}  // namespace

CONFIGRET Win32Usb::GetHostControllerInterfaceListSize(std::uint32_t& length) {
    GUID guid = HostControllerInterface();
    ULONG characters = 0;
    const CONFIGRET result =
        CM_Get_Device_Interface_List_SizeA(&characters, &guid, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
    length = characters;
    return result;
}

CONFIGRET Win32Usb::GetHostControllerInterfaceList(char* buffer, std::uint32_t length) {
    GUID guid = HostControllerInterface();
    return CM_Get_Device_Interface_ListA(&guid, nullptr, buffer, length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
}

}  // namespace portiq::win32
