// portiq-dump: writes this PC as a PortIQ scenario file: its wave devices, every answer
// its USB host controllers and hubs give to PortIQ's requests (with the system's text for
// each error code among them), and its Plug and Play device tree, so that a user can send in the machine on which PortIQ got something
// wrong, and the whole run can be replayed on it with portiq-sim. Writes PortIq.scn in the
// current directory, or the file named on the command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/synthetic/scenario_writer.h"
#include "platform/win32/win32_platform.h"

namespace {

std::string AnsiToUtf8(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "PortIq.scn";
    portiq::win32::Win32DeviceTree tree;
    portiq::win32::Win32System system;
    portiq::win32::Win32Wave wave;
    portiq::win32::Win32Usb usb;
    const portiq::Platform platform{&tree, &system, &wave, &usb};

    std::string text = "# This PC's device tree, written by portiq-dump.\n";
    char line[64];
    std::snprintf(line, sizeof line, "language 0x%04x\n", GetUserDefaultLangID());
    text += line;
    const UINT codePage = GetACP();
    if (codePage == 1251 || codePage == 1252) {
        std::snprintf(line, sizeof line, "codepage %u\n", codePage);
        text += line;
    } else {
        std::snprintf(line, sizeof line, "# ANSI code page %u; texts were converted to UTF-8 from it\n", codePage);
        text += line;
    }
    text += portiq::synthetic::WriteScenarioHardware(platform, AnsiToUtf8);

    std::FILE* file = std::fopen(path, "wb");
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
        if (file) std::fclose(file);
        std::fprintf(stderr, "portiq-dump: can't write %s\n", path);
        return 1;
    }
    if (std::fclose(file) != 0) {
        std::fprintf(stderr, "portiq-dump: can't write %s\n", path);
        return 1;
    }
    std::printf("portiq-dump: this PC is in %s\n", path);
    return 0;
}
