#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
// clang-format on

#include <cstdio>
#include <cstdlib>

namespace portiq::win32 {

// The portable names carry the Windows values.
static_assert(kCrSuccess == CR_SUCCESS && kCrNoSuchDevnode == CR_NO_SUCH_DEVNODE &&
              kCrInvalidDevnode == CR_INVALID_DEVNODE && kCrInvalidPointer == CR_INVALID_POINTER &&
              kCrFailure == CR_FAILURE && kCrBufferSmall == CR_BUFFER_SMALL && kCrNoSuchValue == CR_NO_SUCH_VALUE);
static_assert(kDrpDeviceDesc == CM_DRP_DEVICEDESC && kDrpClassGuid == CM_DRP_CLASSGUID &&
              kDrpDriver == CM_DRP_DRIVER && kDrpFriendlyName == CM_DRP_FRIENDLYNAME);
static_assert(kMbOk == MB_OK && kMbIconExclamation == MB_ICONEXCLAMATION && kMbSystemModal == MB_SYSTEMMODAL);
static_assert(kVkShift == VK_SHIFT && kVkControl == VK_CONTROL);
static_assert(kLangUserDefault == LANG_USER_DEFAULT && kLangSystemDefault == LANG_SYSTEM_DEFAULT &&
              kLangEnglishUs == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
static_assert(sizeof(DEVINST) == sizeof(::DEVINST) && sizeof(char16_t) == sizeof(WCHAR));

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

LANGID Win32System::UserDefaultLanguage() { return GetUserDefaultLangID(); }

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

}  // namespace portiq::win32
