// portiq-dump: writes this PC as a PortIQ scenario file: its wave devices, every answer
// its USB host controllers and hubs give to PortIQ's requests (with the system's text for
// each error code among them), and its Plug and Play device tree, so that a user can send
// in the machine on which PortIQ got something wrong, and the whole run can be replayed on
// it with portiq-sim. Writes the file named on the command line, or else PortIq.scn in the
// current directory, or where that can't be written (a program folder under Program Files,
// as Explorer starts it there) or is Windows' own (an elevated prompt starts in System32,
// which a 32-bit program's writes are quietly redirected from) on the user's Desktop;
// prints the full path of the file as Windows wrote it.
//
// With --json it writes no file: it runs PortIQ's walks on this PC and prints what they
// found as one JSON document (report/json_report.h) on standard output, UTF-8 into a
// file or a pipe. Exit status: 0 it ran, 1 the file couldn't be written, 2 a command line
// it doesn't take (a usage message on standard error).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "platform/synthetic/scenario_writer.h"
#include "platform/win32/win32_platform.h"
#include "report/json_report.h"

namespace {

// On a UTF-8 system the text as it is: a name cut inside a letter keeps its bytes.
std::string AnsiToUtf8(const std::string& ansi) {
    if (ansi.empty() || GetACP() == CP_UTF8) return ansi;
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

// Where an open file really is: the file system's redirection may have moved the name
// it was opened by. Empty when Windows can't say.
std::wstring FinalPath(HANDLE file) {
    wchar_t path[32768];
    const DWORD length = GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= 32768) return {};
    const std::wstring full(path, length);
    if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\" + full.substr(7);
    if (full.compare(0, 4, L"\\\\?\\") == 0) return full.substr(4);
    return full;
}

// A file's name and the whole text written to it; false when it can't be created or
// written. wrote: where Windows put it.
bool WriteWholeFile(const std::wstring& name, const std::string& text, std::wstring& wrote) {
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    wrote = FinalPath(file);
    return CloseHandle(file) && ok;
}

// The current directory is the Windows folder or one inside it.
bool InWindowsFolder() {
    wchar_t windows[MAX_PATH] = L"", current[MAX_PATH] = L"";
    const UINT w = GetWindowsDirectoryW(windows, MAX_PATH);
    const DWORD c = GetCurrentDirectoryW(MAX_PATH, current);
    if (w == 0 || w >= MAX_PATH || c == 0 || c >= MAX_PATH || c < w) return false;
    return CompareStringOrdinal(current, static_cast<int>(w), windows, static_cast<int>(w), TRUE) == CSTR_EQUAL &&
           (c == w || current[w] == L'\\');
}

std::wstring FullPath(const std::wstring& name) {
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size ? GetFullPathNameW(name.c_str(), size, &full[0], nullptr) : 0;
    if (length == 0 || length >= size) return name;
    full.resize(length);
    return full;
}

// The text on the console as it is, whatever the console's code page; into a file or a
// pipe as UTF-8.
void Print(DWORD stream, const std::wstring& text) {
    const HANDLE out = GetStdHandle(stream);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring Utf8ToWide(const std::string& utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], units);
    return wide;
}

const wchar_t kUsage[] =
    L"usage: portiq-dump [FILE]   write this PC as a scenario file (default PortIq.scn)\n"
    L"       portiq-dump --json   print what PortIQ finds on this PC as JSON, write no file\n";

std::wstring DesktopFile(const wchar_t* name) {
    wchar_t desktop[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop) != S_OK) return {};
    return std::wstring(desktop) + L"\\" + name;
}

}  // namespace

int main() {
    // The name as typed, in any letters: the command line in UTF-16.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring given;
    bool json = false, wrong = false;
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--json" && !json) {
            json = true;
        } else if ((arg.size() > 1 && arg[0] == L'-') || arg == L"/?" || !given.empty()) {
            wrong = true;
        } else {
            given = arg;
        }
    }
    if (argv) LocalFree(argv);
    if (wrong || (json && !given.empty())) {
        Print(STD_ERROR_HANDLE, kUsage);
        return 2;
    }

    portiq::win32::Win32DeviceTree tree;
    portiq::win32::Win32System system;
    portiq::win32::Win32Wave wave;
    portiq::win32::Win32Usb usb;
    const portiq::Platform platform{&tree, &system, &wave, &usb};
    if (json) {
        portiq::g_bKeepLog = false;
        portiq::InstallPlatform(platform);
        portiq::RunWalks();
        portiq::JsonReportPlatform facts;
        facts.toUtf8 = AnsiToUtf8;
        Print(STD_OUTPUT_HANDLE, Utf8ToWide(portiq::JsonReportText(portiq::BuildJsonReport(facts))));
        return 0;
    }

    std::string text = "# This PC's device tree, written by portiq-dump.\n";
    char line[64];
    std::snprintf(line, sizeof line, "language 0x%04x\n", GetUserDefaultLangID());
    text += line;
    const UINT codePage = GetACP();
    if (codePage == 1251 || codePage == 1252 || codePage == CP_UTF8) {
        std::snprintf(line, sizeof line, "codepage %u\n", codePage);
        text += line;
    } else {
        std::snprintf(line, sizeof line, "# ANSI code page %u; texts were converted to UTF-8 from it\n", codePage);
        text += line;
    }
    text += portiq::synthetic::WriteScenarioHardware(platform, AnsiToUtf8);

    std::wstring name = given.empty() ? L"PortIq.scn" : given, wrote;
    bool written = !(given.empty() && InWindowsFolder()) && WriteWholeFile(name, text, wrote);
    if (!written && given.empty()) {
        const std::wstring desktop = DesktopFile(L"PortIq.scn");
        if (!desktop.empty() && WriteWholeFile(desktop, text, wrote)) {
            name = desktop;
            written = true;
        }
    }
    if (!written) {
        Print(STD_ERROR_HANDLE, L"portiq-dump: can't write " + FullPath(name) + L"\n");
        return 1;
    }
    Print(STD_OUTPUT_HANDLE, L"portiq-dump: this PC is in " + (wrote.empty() ? FullPath(name) : wrote) + L"\n");
    return 0;
}
