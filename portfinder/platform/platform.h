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

// Message box types (MB_*) and virtual keys (VK_*) used by the run.
inline constexpr unsigned kMbOk = 0x0000;
inline constexpr unsigned kMbIconExclamation = 0x0030;
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
};

// A resource's bytes inside the program's own module, valid until the program ends.
struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

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

    // WideCharToMultiByte(CP_ACP, 0, text, units, out, outBytes, defaultChar, NULL).
    // units counts UTF-16 code units (no terminator implied). Returns the bytes written;
    // with outBytes 0 it writes nothing and returns the bytes needed; 0 on failure,
    // including an output that doesn't fit.
    virtual int WideToAnsi(const char16_t* text, int units, char* out, int outBytes,
                           const char* defaultChar) = 0;

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

    // Creates or truncates the file name in the current directory, opened for writing in
    // text mode (every "\n" stored as CR LF), writes size bytes of text and closes it.
    // Returns 0, or the system error code when the file can't be created or written.
    virtual std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) = 0;
};

// What the run works on. Both members are owned by whoever installs the platform.
struct Platform {
    DeviceTree* deviceTree = nullptr;
    SystemServices* system = nullptr;
};

// The platform of this process: the entry point installs it before the run.
void InstallPlatform(const Platform& platform);
const Platform& CurrentPlatform();

}  // namespace portiq
