// portiq-dump: writes this PC as a PortIQ scenario file: its wave-input devices, every
// answer its USB host controllers and hubs give to PortIQ's requests, and its Plug and
// Play device tree, so that a user can send in the machine on which PortIQ got something
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
    const std::string waveIn = portiq::synthetic::WriteScenarioWave(wave, AnsiToUtf8);
    const std::string usbTree = portiq::synthetic::WriteScenarioUsb(usb, system);
    const std::string nodes = portiq::synthetic::WriteScenarioTree(tree, AnsiToUtf8);

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
    text += "\n# Wave-input devices.\n" + (waveIn.empty() ? "# (none)\n" : waveIn);
    text += "\n# USB host controllers, hubs and ports.\n" + (usbTree.empty() ? "# (no host controller opens)\n" : usbTree);
    text += "\n# The Plug and Play device tree.\n";
    if (nodes.empty()) text += "# The device tree could not be read: no root node.\n";
    text += nodes;

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
