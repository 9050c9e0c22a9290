// The thin layer between PortIQ's walks and the machine they run on.
//
// Every operation here is one Windows call (or a fixed group of calls) with the same
// arguments, the same success and failure values and the same buffer rules as the
// Windows function it stands for, so that the walks are written once against the
// contract Windows documents. Two implementations exist: platform/win32 calls Windows,
// platform/synthetic answers from a machine held in memory (a scenario file or a test).
//
// All calls come from the program's only thread; no implementation needs to lock.
// Text is ANSI (the user's code page) unless a parameter says UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/usb_requests.h"

namespace portiq {

using DEVINST = std::uint32_t;
using CONFIGRET = std::uint32_t;
using LANGID = std::uint16_t;

// The constants below carry the Windows values under names of their own, because the
// Windows headers define the Windows names as macros (the win32 layer checks each value
// against those headers at compile time).

// Configuration manager results (CR_*).
inline constexpr CONFIGRET kCrSuccess = 0x00;
inline constexpr CONFIGRET kCrInvalidPointer = 0x03;
inline constexpr CONFIGRET kCrInvalidDevnode = 0x05;
inline constexpr CONFIGRET kCrNoSuchDevnode = 0x0D;
inline constexpr CONFIGRET kCrFailure = 0x13;
inline constexpr CONFIGRET kCrBufferSmall = 0x1A;
inline constexpr CONFIGRET kCrNoSuchValue = 0x25;

// Device registry properties (CM_DRP_*).
inline constexpr std::uint32_t kDrpDeviceDesc = 0x01;
inline constexpr std::uint32_t kDrpClassGuid = 0x09;
inline constexpr std::uint32_t kDrpDriver = 0x0A;
inline constexpr std::uint32_t kDrpFriendlyName = 0x0D;

// Device node status (DN_*) and the problems (CM_PROB_*) the diagnosis names. Windows
// sets a problem number only with DN_HAS_PROBLEM; Device Manager shows it as the code.
inline constexpr std::uint32_t kDnDriverLoaded = 0x00000002;
inline constexpr std::uint32_t kDnStarted = 0x00000008;
inline constexpr std::uint32_t kDnHasProblem = 0x00000400;
inline constexpr std::uint32_t kProbNotConfigured = 1;   // no driver chosen
inline constexpr std::uint32_t kProbFailedStart = 10;    // the device cannot start
inline constexpr std::uint32_t kProbDisabled = 22;       // disabled by the user
inline constexpr std::uint32_t kProbFailedInstall = 28;  // its drivers are not installed

// Message box types (MB_*) and virtual keys (VK_*) used by the run.
inline constexpr unsigned kMbOk = 0x0000;
inline constexpr unsigned kMbIconExclamation = 0x0030;
inline constexpr unsigned kMbIconInformation = 0x0040;
inline constexpr unsigned kMbSystemModal = 0x1000;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;

// Language ids the string lookup tries after the user's own.
inline constexpr LANGID kLangUserDefault = 0x0400;
inline constexpr LANGID kLangSystemDefault = 0x0800;
inline constexpr LANGID kLangEnglishUs = 0x0409;

// The Plug and Play device tree (cfgmgr32). Device node handles are opaque; 0 is never
// a valid node. Output handles are written only on success.
class DeviceTree {
public:
    virtual ~DeviceTree() = default;

    // CM_Locate_DevNodeA(&root, NULL, 0): the root of the tree.
    virtual CONFIGRET LocateRoot(DEVINST& root) = 0;

    // CM_Get_Child(&child, node, 0): kCrNoSuchDevnode when the node has no children.
    virtual CONFIGRET GetChild(DEVINST& child, DEVINST node) = 0;

    // CM_Get_Sibling(&sibling, node, 0): kCrNoSuchDevnode at the end of the list.
    virtual CONFIGRET GetSibling(DEVINST& sibling, DEVINST node) = 0;

    // CM_Get_DevNode_Registry_PropertyA(node, property, NULL, buffer, &length, 0).
    // length is in bytes, in and out. The value is written with its terminating NUL;
    // a value that doesn't fit gives kCrBufferSmall and sets length to the size it
    // needs; an absent value gives kCrNoSuchValue.
    virtual CONFIGRET GetRegistryProperty(DEVINST node, std::uint32_t property, void* buffer,
                                          std::uint32_t& length) = 0;

    // CM_Get_Device_IDA(node, buffer, length, 0). length is in characters. An ID of
    // exactly length characters is written without a terminating NUL (as Windows does);
    // a longer one gives kCrBufferSmall.
    virtual CONFIGRET GetDeviceId(DEVINST node, char* buffer, std::uint32_t length) = 0;

    // CM_Get_DevNode_Status(&status, &problem, node, 0): the node's DN_* flags, and its
    // CM_PROB_* number where status has kDnHasProblem (0 otherwise). Both are written
    // only on success; a node the system has no device for gives kCrNoSuchDevnode.
    virtual CONFIGRET GetStatus(DEVINST node, std::uint32_t& status, std::uint32_t& problem) = 0;
};

// A serial port's device node on a Unix-like system (/dev/ttyUSB0), as stat and udev's
// database tell it.
struct UnixPortNode {
    std::string group;               // the group that owns it ("dialout"); empty: unknown
    std::uint32_t mode = 0;          // its permission bits (0660)
    bool userMayOpen = true;         // this user may read and write it
    bool modemManagerCandidate = false;  // udev marked it ID_MM_CANDIDATE
    bool modemManagerIgnores = false;    // ... and ID_MM_DEVICE_IGNORE
};

// What a Unix-like system (Linux) says of the devices that Windows has no word for. A
// machine has it only where it is such a system: PortIQ on Windows installs none, and
// the diagnosis then gives Windows' remedies. Nothing here opens a device.
class UnixDevices {
public:
    virtual ~UnixDevices() = default;

    // The driver bound to a USB interface's node ("ftdi_sio"; "usbfs": a program holds
    // the interface through the USB file system). False where the node is no interface
    // or none is bound.
    virtual bool GetInterfaceDriver(DEVINST node, std::string& driver) = 0;

    // The device node of a serial port's node; false where the node is no serial port
    // or its device node couldn't be read.
    virtual bool GetPortNode(DEVINST node, UnixPortNode& port) = 0;
};

// A resource's bytes inside the program's own module, valid until the program ends.
struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// The UTF-8 code page (CP_UTF8).
inline constexpr unsigned kCpUtf8 = 65001;

// Base services and user interface used by the run, the report and the log.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // GetUserDefaultLangID().
    virtual LANGID UserDefaultLanguage() = 0;

    // FindResourceExA(own module, RT_STRING, block, language), LoadResource, LockResource
    // and SizeofResource: the raw bytes of one string-table block (16 entries, each a
    // 16-bit little-endian count followed by that many UTF-16 units). False when the
    // module has no such block in that language.
    virtual bool FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) = 0;

    // GetACP(): the ANSI code page, kCpUtf8 where the user chose "Use Unicode UTF-8 for
    // worldwide language support" (Windows 10 1903 and later).
    virtual unsigned AnsiCodePage() = 0;

    // WideCharToMultiByte(CP_ACP, 0, text, units, out, outBytes, defaultChar, NULL).
    // units counts UTF-16 code units (no terminator implied). Returns the bytes written;
    // with outBytes 0 it writes nothing and returns the bytes needed; 0 on failure,
    // including an output that doesn't fit, and any defaultChar at all where the ANSI
    // code page is kCpUtf8 (ERROR_INVALID_PARAMETER: UTF-8 has a form for every unit).
    virtual int WideToAnsi(const char16_t* text, int units, char* out, int outBytes,
                           const char* defaultChar) = 0;

    // CharUpperBuffA(text, length): the length bytes of text upper-cased in place by the
    // ANSI code page's rules (in 1252 é becomes É, in 1251 the Cyrillic small letters
    // become capitals); bytes that are no small letter stay. Returns the characters
    // processed.
    virtual std::uint32_t UpperCaseAnsi(char* text, std::uint32_t length) = 0;

    // MessageBoxA(NULL, text, caption, type); returns what the box returns.
    virtual int ShowMessageBox(const char* text, const char* caption, unsigned type) = 0;

    // GetKeyState(key): negative (high bit set) while the key is down.
    virtual short KeyState(int virtualKey) = 0;

    // The run-time library's argument count (__argc), the program name included.
    virtual int ArgumentCount() = 0;

    // GetLastError().
    virtual std::uint32_t LastError() = 0;

    // FormatMessageA(FROM_SYSTEM | ALLOCATE_BUFFER, language 0x0400) for code, the buffer
    // released with LocalFree: the system's text, usually ending in CR LF; empty when the
    // system has none.
    virtual std::string SystemErrorText(std::uint32_t code) = 0;

    // Creates or truncates the file name (in the current directory, or a full path),
    // opened for writing in text mode (every "\n" stored as CR LF), writes size bytes of
    // text and closes it. Returns 0, or the system error code when the file can't be
    // created or written.
    virtual std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) = 0;

    // GetCurrentDirectoryA: the current directory, ANSI; empty when it can't be had.
    virtual std::string CurrentFolder() = 0;
    // SHGetFolderPathA(CSIDL_DESKTOPDIRECTORY): the user's Desktop folder, ANSI; empty
    // when the user has none.
    virtual std::string DesktopFolder() = 0;
};

// Multimedia results (MMSYSERR_*) and the two driver messages the sound list sends.
using MMRESULT = std::uint32_t;
inline constexpr MMRESULT kMmSysErrNoError = 0;
inline constexpr MMRESULT kMmSysErrBadDeviceId = 2;
inline constexpr MMRESULT kMmSysErrNoDriver = 6;
inline constexpr MMRESULT kMmSysErrNotSupported = 8;
inline constexpr MMRESULT kMmSysErrInvalParam = 11;
inline constexpr unsigned kDrvQueryDeviceInterface = 0x80C;
inline constexpr unsigned kDrvQueryDeviceInterfaceSize = 0x80D;

// WAVEINCAPSA, 48 bytes.
struct WaveInCapsA {
    std::uint16_t wMid;
    std::uint16_t wPid;
    std::uint32_t vDriverVersion;
    char szPname[32];  // the product name, NUL-terminated
    std::uint32_t dwFormats;
    std::uint16_t wChannels;
    std::uint16_t wReserved1;
};

// WAVEOUTCAPSA, 52 bytes: WAVEINCAPSA's fields and what the output supports.
struct WaveOutCapsA {
    std::uint16_t wMid;
    std::uint16_t wPid;
    std::uint32_t vDriverVersion;
    char szPname[32];  // the product name, NUL-terminated
    std::uint32_t dwFormats;
    std::uint16_t wChannels;
    std::uint16_t wReserved1;
    std::uint32_t dwSupport;
};

// The wave devices (winmm). Inputs and outputs are numbered from 0 each, and nothing
// pairs input n with output n: a webcam has a microphone and no speaker, a headset may
// have an output only. The sound list asks the inputs; portiq-dump records both sides.
class WaveDevices {
public:
    virtual ~WaveDevices() = default;

    // waveInGetNumDevs(): the number of wave-input devices.
    virtual unsigned WaveInGetNumDevs() = 0;

    // waveInGetDevCapsA(device, caps, size): kMmSysErrNoError with caps filled, or an
    // error (kMmSysErrBadDeviceId for a number that isn't a device) with caps untouched.
    virtual MMRESULT WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) = 0;

    // waveInMessage((HWAVEIN)device, message, param1, param2), with the device's number
    // in place of a handle. Two messages are answered:
    //   kDrvQueryDeviceInterfaceSize: param1 points to a 32-bit count that receives the
    //     bytes of the device's interface path, UTF-16 terminator included (0 when the
    //     device has none); param2 is 0.
    //   kDrvQueryDeviceInterface: param1 points to a buffer of param2 bytes that receives
    //     the path, UTF-16 and NUL-terminated. A buffer too small for it gives
    //     kMmSysErrInvalParam and receives nothing.
    // A number that isn't a device gives an error (kMmSysErrBadDeviceId, or
    // MMSYSERR_INVALHANDLE on some systems), any other message kMmSysErrNotSupported; on an
    // error nothing is written.
    virtual MMRESULT WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1,
                                   std::uintptr_t param2) = 0;

    // waveOutGetNumDevs(), waveOutGetDevCapsA(device, caps, size) and
    // waveOutMessage((HWAVEOUT)device, message, param1, param2): the same contracts for the
    // wave-output devices.
    virtual unsigned WaveOutGetNumDevs() = 0;
    virtual MMRESULT WaveOutGetDevCaps(unsigned device, WaveOutCapsA* caps, unsigned size) = 0;
    virtual MMRESULT WaveOutMessage(unsigned device, unsigned message, std::uintptr_t param1,
                                    std::uintptr_t param2) = 0;
};

// A device opened by path; kInvalidDeviceHandle (INVALID_HANDLE_VALUE) when it didn't open.
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle kInvalidDeviceHandle = ~DeviceHandle{0};

// Windows error codes (ERROR_*) that the USB requests give.
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

// The USB host controllers and hubs, asked through their drivers (usbioctl.h). Handles
// are opened on "\\.\HCD0" to "\\.\HCD9", on a host controller's device interface path
// and on "\\.\" followed by a hub's name. Windows gives a controller no HCDn link where
// two driver stacks claim the same one; the configuration manager lists every controller
// by its device interface (GUID_DEVINTERFACE_USB_HOST_CONTROLLER,
// {3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}).
class UsbDevices {
public:
    virtual ~UsbDevices() = default;

    // CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0,
    // NULL), where security is a SECURITY_ATTRIBUTES of its own size (12 bytes in the
    // 32-bit build) with no security descriptor and a handle that isn't inherited.
    // kInvalidDeviceHandle on failure, with the last error set (kErrorFileNotFound for a
    // path that names no device).
    virtual DeviceHandle CreateFileA(const char* path) = 0;

    // DeviceIoControl(device, code, buffer, bytes, buffer, bytes, &returned, NULL): one
    // buffer for input and output, synchronous. True on success, with returned set to the
    // bytes written back. False on failure, with the last error set and the buffer as it
    // was. The answers, as the USB drivers give them (see usb_requests.h for the codes):
    //   names (host controller driver key, root hub name, name and driver key of what is
    //     on a port): ActualLength is set to the bytes the whole structure needs, name and
    //     terminator included; the name follows only when the buffer holds all of it,
    //     else returned counts the structure alone. A buffer smaller than the structure
    //     gives kErrorInsufficientBuffer.
    //   node information: the hub's UsbNodeInformation (76 bytes).
    //   connection information: the port's UsbNodeConnectionInformation and its pipes.
    //     A port number of 0 or above the hub's ports gives kErrorInvalidParameter.
    //   descriptor: the descriptor the setup packet asks for, cut to wLength and to the
    //     buffer; returned counts the 12-byte header too. A descriptor the device doesn't
    //     have fails (kErrorGenFailure, as a stalled request does).
    // A code the device doesn't answer gives kErrorInvalidFunction.
    virtual bool DeviceIoControl(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t bytes,
                                 std::uint32_t& returned) = 0;

    // CloseHandle(device): false for a handle that isn't open.
    virtual bool CloseHandle(DeviceHandle device) = 0;

    // CM_Get_Device_Interface_List_SizeA(&length, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER,
    // NULL, CM_GET_DEVICE_INTERFACE_LIST_PRESENT): the characters the list below needs,
    // its final NUL included (1 for an empty list).
    virtual CONFIGRET GetHostControllerInterfaceListSize(std::uint32_t& length) = 0;

    // CM_Get_Device_Interface_ListA(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, NULL, buffer,
    // length, CM_GET_DEVICE_INTERFACE_LIST_PRESENT): the interface paths of the present
    // host controllers, ANSI, each ended by a NUL, and one more NUL after the last (an empty
    // list is a NUL alone). kCrBufferSmall when length characters don't hold the list (it
    // may have grown since the size was asked).
    virtual CONFIGRET GetHostControllerInterfaceList(char* buffer, std::uint32_t length) = 0;
};

// What the run works on. All members are owned by whoever installs the platform; a walk
// whose interface is absent finds nothing.
struct Platform {
    DeviceTree* deviceTree = nullptr;
    SystemServices* system = nullptr;
    WaveDevices* wave = nullptr;
    UsbDevices* usb = nullptr;
    UnixDevices* unixDevices = nullptr;  // a Unix-like system's facts; none on Windows
};

// The platform of this process: the entry point installs it before the run.
void InstallPlatform(const Platform& platform);
const Platform& CurrentPlatform();

// A device handle that is closed when it goes out of scope.
class UniqueDeviceHandle {
public:
    UniqueDeviceHandle(UsbDevices& usb, DeviceHandle handle) : usb_(usb), handle_(handle) {}
    ~UniqueDeviceHandle() {
        if (handle_ != kInvalidDeviceHandle) usb_.CloseHandle(handle_);
    }
    UniqueDeviceHandle(const UniqueDeviceHandle&) = delete;
    UniqueDeviceHandle& operator=(const UniqueDeviceHandle&) = delete;

    explicit operator bool() const { return handle_ != kInvalidDeviceHandle; }
    DeviceHandle get() const { return handle_; }

private:
    UsbDevices& usb_;
    DeviceHandle handle_;
};

}  // namespace portiq
