// portiq-sim: PortIQ's whole run on a synthetic machine described by a scenario file.
// Prints the message boxes the run shows and the diagnostic log, and writes
// "PortIq.lst" (into --list-dir, else the current directory) when the scenario holds
// Shift or Ctrl as the box is dismissed, just as PortIQ.exe does. With --show (Windows
// builds) the report appears in the real message box, and the real keyboard is read as
// it closes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/enum_devices_app.h"
#include "app/log.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"
#include "sim/real_system.h"

using namespace portiq;
using namespace portiq::synthetic;

namespace {

void Usage() {
    std::fputs("usage: portiq-sim [options] SCENARIO\n"
               "  Runs PortIQ on the synthetic machine that SCENARIO describes and prints\n"
               "  the message boxes it shows and its diagnostic log.\n"
               "  --hold none|shift|ctrl  keys held as the box is dismissed (overrides SCENARIO)\n"
               "  --language ID           the user's default language, e.g. 1049 (overrides SCENARIO)\n"
               "  --list-dir DIR          where PortIq.lst is written (default: current directory)\n"
               "  --raw                   print texts in the machine's ANSI code page, not UTF-8\n"
               "  --show                  show the report in the real message box (Windows builds)\n",
               stderr);
}

// The synthetic machine's services, but its message boxes are shown for real and the
// keys are read from the real keyboard; each box is still recorded for the printout.
class ShowingSystem : public SystemServices {
public:
    ShowingSystem(SyntheticSystem& machine, SystemServices& real) : machine_(machine), real_(real) {}
    LANGID UserDefaultLanguage() override { return machine_.UserDefaultLanguage(); }
    bool FindStringBlock(unsigned block, LANGID language, ResourceBytes& bytes) override {
        return machine_.FindStringBlock(block, language, bytes);
    }
    int WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) override {
        return machine_.WideToAnsi(text, units, out, outBytes, defaultChar);
    }
    int ShowMessageBox(const char* text, const char* caption, unsigned type) override {
        machine_.ShowMessageBox(text, caption, type);
        return real_.ShowMessageBox(text, caption, type);
    }
    short KeyState(int virtualKey) override { return real_.KeyState(virtualKey); }
    int ArgumentCount() override { return machine_.ArgumentCount(); }
    std::uint32_t LastError() override { return machine_.LastError(); }
    std::string SystemErrorText(std::uint32_t code) override { return machine_.SystemErrorText(code); }
    std::uint32_t WriteTextFile(const char* name, const char* text, std::size_t size) override {
        return machine_.WriteTextFile(name, text, size);
    }

private:
    SyntheticSystem& machine_;
    SystemServices& real_;
};

std::string BoxType(unsigned type) {
    std::string text = "MB_OK";
    if (type & kMbIconExclamation) text += " | MB_ICONEXCLAMATION";
    if (type & kMbSystemModal) text += " | MB_SYSTEMMODAL";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    bool raw = false;
    bool showBox = false;
    std::string listDirectory;
    std::string scenarioPath;
    std::string hold;
    long language = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0) {
            raw = true;
        } else if (std::strcmp(argv[i], "--show") == 0) {
            showBox = true;
        } else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc) {
            hold = argv[++i];
            if (hold != "none" && hold != "shift" && hold != "ctrl") {
                Usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--language") == 0 && i + 1 < argc) {
            char* end = nullptr;
            language = std::strtol(argv[++i], &end, 0);
            if (*end || language < 0 || language > 0xFFFF) {
                Usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--list-dir") == 0 && i + 1 < argc) {
            listDirectory = argv[++i];
        } else if (argv[i][0] == '-' || !scenarioPath.empty()) {
            Usage();
            return 2;
        } else {
            scenarioPath = argv[i];
        }
    }
    if (scenarioPath.empty()) {
        Usage();
        return 2;
    }
    if (showBox && !sim::RealSystem()) {
        std::fprintf(stderr, "portiq-sim: --show needs the Windows build (portiq-sim.exe)\n");
        return 2;
    }

    std::ifstream file(scenarioPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "portiq-sim: can't open %s\n", scenarioPath.c_str());
        return 2;
    }
    std::ostringstream scenario;
    scenario << file.rdbuf();
    // Overrides go last: of a setting given twice, the later one holds.
    scenario << "\n";
    if (language >= 0) scenario << "language " << language << "\nsystem-language " << language << "\n";
    if (!hold.empty()) scenario << "hold " << hold << "\n";

    SyntheticMachine machine;
    std::istringstream in(scenario.str());
    std::string error;
    if (!LoadScenario(in, machine, error)) {
        std::fprintf(stderr, "portiq-sim: %s: %s\n", scenarioPath.c_str(), error.c_str());
        return 2;
    }
    machine.system.fileDirectory = listDirectory;

    ResetRunState();
    machine.Install();
    ShowingSystem showing(machine.system, showBox ? *sim::RealSystem() : machine.system);
    if (showBox) InstallPlatform(Platform{&machine.tree, &showing, &machine.wave, &machine.usb});
    CEnumDevicesApp().InitInstance();

    const unsigned codePage = machine.system.codePage;
    auto show = [&](const std::string& ansi) { return raw ? ansi : CodePageToUtf8(codePage, ansi); };
    for (const ShownMessageBox& box : machine.system.messageBoxes) {
        std::printf("=== Message box \"%s\" (%s) ===\n%s\n", show(box.caption).c_str(), BoxType(box.type).c_str(),
                    show(box.text).c_str());
    }
    const std::vector<FileWrite>& writes = machine.system.fileWrites;
    std::printf("=== List file %s: %s ===\n", kListFileName,
                writes.empty()               ? "not written (neither Shift nor Ctrl held)"
                : writes.back().result == 0 ? "written"
                                             : "could not be written");
    std::printf("=== Diagnostic log ===\n%s", show(g_strLog).c_str());
    return 0;
}
