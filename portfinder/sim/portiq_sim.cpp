// portiq-sim: PortIQ's whole run on a synthetic machine described by a scenario file.
// Prints the message boxes the run shows and the diagnostic log, and writes
// "PortIq.lst" (into --list-dir, else the current directory) when the scenario holds
// Shift or Ctrl as the box is dismissed, just as PortIQ.exe does. With --show (Windows
// builds) the report appears in the real message box, and the real keyboard is read as
// it closes. With --json it prints the JSON report instead (report/json_report.h) and
// shows no box.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"
#include "report/json_report.h"
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
               "  --show                  show the report in the real message box (Windows builds)\n"
               "  --json                  print the run's findings as one JSON document (UTF-8), no box\n"
               "  --check                 only load SCENARIO: report its first mistake, or nothing\n",
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
    unsigned AnsiCodePage() override { return machine_.AnsiCodePage(); }
    int WideToAnsi(const char16_t* text, int units, char* out, int outBytes, const char* defaultChar) override {
        return machine_.WideToAnsi(text, units, out, outBytes, defaultChar);
    }
    std::uint32_t UpperCaseAnsi(char* text, std::uint32_t length) override { return machine_.UpperCaseAnsi(text, length); }
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
    std::string CurrentFolder() override { return machine_.CurrentFolder(); }
    std::string DesktopFolder() override { return machine_.DesktopFolder(); }

private:
    SyntheticSystem& machine_;
    SystemServices& real_;
};

// Prints ANSI text as it stands (codePage 0) or in UTF-8, a piece at a time: the log of
// a big machine is never copied whole.
void Print(const std::string& ansi, unsigned codePage) {
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t at = 0; at < ansi.size(); at += kPiece) {
        const std::string_view piece = std::string_view(ansi).substr(at, kPiece);
        const bool ascii = std::all_of(piece.begin(), piece.end(), [](char c) { return (c & 0x80) == 0; });
        if (codePage == 0 || ascii) {
            std::fwrite(piece.data(), 1, piece.size(), stdout);
        } else {
            const std::string text = CodePageToUtf8(codePage, std::string(piece));
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
    }
}

// Room for the log entries the run is sure to write: one per node of the tree and per
// wave device, each of up to three texts. The USB part grows as it is written: what a
// scenario's port counts could describe is no measure of what the walk meets.
std::size_t LogCapacity(SyntheticMachine& machine) {
    return 256 * machine.tree.NodeCount() + 256 * machine.wave.devices.size() + 65536;
}

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
    bool checkOnly = false;
    bool json = false;
    std::string listDirectory;
    std::string scenarioPath;
    std::string hold;
    long language = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0) {
            raw = true;
        } else if (std::strcmp(argv[i], "--check") == 0) {
            checkOnly = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
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
    if (scenarioPath.empty() || (json && (showBox || raw))) {
        Usage();
        return 2;
    }
    if (showBox && !sim::RealSystem()) {
        std::fprintf(stderr, "portiq-sim: --show needs the Windows build (portiq-sim.exe)\n");
        return 2;
    }

    // Overrides are read after the file: of a setting given twice, the later one holds.
    ScenarioOptions options;
    if (language >= 0) options.appended += "language " + std::to_string(language) + "\nsystem-language " + std::to_string(language) + "\n";
    if (!hold.empty()) options.appended += "hold " + hold + "\n";
    SyntheticMachine machine;
    std::string error;
    if (!LoadScenarioFile(scenarioPath, machine, error, options)) {
        std::fprintf(stderr, "portiq-sim: %s: %s\n", scenarioPath.c_str(), error.c_str());
        return 2;
    }
    if (checkOnly) return 0;
    machine.system.fileDirectory = listDirectory;

    ResetRunState();
    if (json) {
        g_bKeepLog = false;
        machine.Install();
        RunWalks();
        const unsigned codePage = machine.system.codePage;
        JsonReportPlatform platform;
        platform.toUtf8 = [codePage](const std::string& ansi) { return CodePageToUtf8(codePage, ansi); };
        platform.sysfsNames = machine.isLinux;
        const std::string text = JsonReportText(BuildJsonReport(platform));
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    g_strLog.reserve(LogCapacity(machine));
    machine.Install();
    ShowingSystem showing(machine.system, showBox ? *sim::RealSystem() : machine.system);
    if (showBox) InstallPlatform(Platform{&machine.tree, &showing, &machine.wave, &machine.usb});
    CEnumDevicesApp().InitInstance();

    const unsigned codePage = machine.system.codePage;
    auto print = [&](const std::string& ansi) { Print(ansi, raw ? 0 : codePage); };
    for (const ShownMessageBox& box : machine.system.messageBoxes) {
        std::fputs("=== Message box \"", stdout);
        print(box.caption);
        std::printf("\" (%s) ===\n", BoxType(box.type).c_str());
        print(box.text);
        std::fputs("\n", stdout);
    }
    const std::vector<FileWrite>& writes = machine.system.fileWrites;
    std::printf("=== List file %s: %s ===\n", kListFileName,
                writes.empty()               ? "not written (neither Shift nor Ctrl held)"
                : writes.back().result == 0 ? "written"
                                             : "could not be written");
    std::fputs("=== Diagnostic log ===\n", stdout);
    print(g_strLog);
    return 0;
}
