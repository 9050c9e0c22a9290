// portiq: PortIQ on Linux. Reads the running system (sysfs, /proc/asound), builds the
// machine the walks see from it (platform/linux), runs PortIQ's run on it and prints the
// report in the terminal, in the language of the user's locale. Exit status 0 when it
// ran, whether or not a box was found; 1 when --log or --dump couldn't be written, 2 for
// a command line it doesn't take, 3 when a root to read is no sysfs or /proc/asound.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "app/enum_devices_app.h"
#include "app/linux/udev_rules.h"
#include "base/log.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "platform/linux/linux_machine.h"
#include "platform/linux/posix_files.h"
#include "platform/linux/report_facts.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario_writer.h"
#include "radios/radio_blocks.h"
#include "report/json_report.h"

using namespace portiq;

namespace {

void Usage(std::FILE* out) {
    std::fputs("usage: portiq [options]\n"
               "  Tells which serial ports and which sound card of this PC belong to which\n"
               "  Tavrilink box, and in which role.\n"
               "  --log FILE               write the diagnostic log to FILE\n"
               "  --dump FILE              write this PC as a scenario that portiq-sim replays\n"
               "  --udev-rules             print udev rules that give the boxes' ports and sound\n"
               "                           cards names that stay put (instead of the report)\n"
               "  --json                   print what was found as one JSON document (instead of\n"
               "                           the report; its fields are in README.md)\n"
               "  --sysfs-root DIR         read a recorded system's sysfs instead of /sys\n"
               "  --proc-asound-root DIR   read a recorded system's /proc/asound (with\n"
               "                           --sysfs-root alone, no sound card is read)\n"
               "  --dev-root DIR           ... its /dev, for who may open the serial ports\n"
               "  --udev-data-root DIR     ... its /run/udev/data, for what udev told the\n"
               "                           modem manager\n"
               "Exit status: 0 it ran (box or no box), 1 --log or --dump couldn't be written,\n"
               "2 a wrong command line, 3 a root that is no sysfs or /proc/asound.\n",
               out);
}

// The user's language as the locale names it (LC_ALL, LC_MESSAGES, LANG, the first one
// set): Russian, Ukrainian, else English.
LANGID LocaleLanguage() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = std::getenv(name);
        if (locale && *locale) break;
    }
    if (locale && std::strncmp(locale, "ru", 2) == 0) return 0x0419;
    if (locale && std::strncmp(locale, "uk", 2) == 0) return 0x0422;
    return kLangEnglishUs;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out) return true;
    std::fprintf(stderr, "portiq: can't write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    linuxsys::SystemRoots roots;
    std::string logPath, dumpPath;
    bool udevRules = false, json = false, sysfsGiven = false, asoundGiven = false, devGiven = false, udevGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--udev-rules") {
            udevRules = true;
        } else if (option == "--json") {
            json = true;
        } else if (option == "--log" && hasValue) {
            logPath = argv[++i];
        } else if (option == "--dump" && hasValue) {
            dumpPath = argv[++i];
        } else if (option == "--sysfs-root" && hasValue) {
            roots.sysfs = argv[++i];
            sysfsGiven = true;
        } else if (option == "--proc-asound-root" && hasValue) {
            roots.procAsound = argv[++i];
            asoundGiven = true;
        } else if (option == "--dev-root" && hasValue) {
            roots.dev = argv[++i];
            devGiven = true;
        } else if (option == "--udev-data-root" && hasValue) {
            roots.udevData = argv[++i];
            udevGiven = true;
        } else {
            const bool help = option == "--help" || option == "-h";
            Usage(help ? stdout : stderr);
            return help ? 0 : 2;
        }
    }

    if (udevRules && json) {
        std::fputs("portiq: --udev-rules and --json each replace the report: give one\n", stderr);
        Usage(stderr);
        return 2;
    }

    // A recorded system is read as recorded: never with this PC's own sound cards.
    if (asoundGiven) roots.procAsoundMayBeMissing = false;
    if (sysfsGiven && !asoundGiven) roots.procAsound.clear();
    if (sysfsGiven && !devGiven) roots.dev.clear();
    if (sysfsGiven && !udevGiven) roots.udevData.clear();
    roots.everyString = !logPath.empty() || !dumpPath.empty();
    linuxsys::PosixFiles files;
    const linuxsys::LinuxSystem system = linuxsys::ReadLinuxSystem(files, roots);
    if (!system.errors.empty()) {
        for (const std::string& error : system.errors) std::fprintf(stderr, "portiq: %s; nothing was read\n", error.c_str());
        return 3;
    }
    if (roots.procAsound.empty()) std::fputs("portiq: no sound card was read (--sysfs-root without --proc-asound-root)\n", stderr);
    synthetic::SyntheticMachine machine;
    machine.system.SetUserLanguage(LocaleLanguage());
    machine.system.systemLanguage = machine.system.userLanguage;
    std::vector<std::string> notes = system.notes;
    for (const std::string& note : linuxsys::BuildMachine(system, machine)) notes.push_back(note);
    for (const std::string& note : notes) std::fprintf(stderr, "portiq: %s\n", note.c_str());

    ResetRunState();
    g_bKeepLog = !logPath.empty();
    machine.Install();
    if (json) {
        RunWalks();  // no report to compose: the document says it all
    } else {
        CEnumDevicesApp().InitInstance();
    }
    const unsigned codePage = machine.system.codePage;
    const std::string report = machine.system.messageBoxes.empty() ? "" : machine.system.messageBoxes.front().text;

    std::string out = udevRules ? linuxsys::WriteUdevRules(system, g_boxBlocks, g_soundDevices, codePage, g_radioBlocks)
                                : synthetic::CodePageToUtf8(codePage, report) + "\n";
    if (json) {
        JsonReportPlatform facts;
        facts.toUtf8 = [codePage](const std::string& ansi) { return synthetic::CodePageToUtf8(codePage, ansi); };
        facts.sysfsNames = true;
        facts.stableLinks = linuxsys::LinksInPlace(
            files, roots.dev, linuxsys::UdevLinks(system, g_boxBlocks, g_soundDevices, codePage, g_radioBlocks));
        facts.alsaCards = linuxsys::AlsaCards(system, g_soundDevices, codePage);
        out = JsonReportText(BuildJsonReport(facts));
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    bool written = true;
    if (!logPath.empty()) written = WriteFile(logPath, synthetic::CodePageToUtf8(codePage, g_strLog)) && written;
    if (!dumpPath.empty()) {
        const std::string asound = roots.procAsound.empty() ? "no /proc/asound" : linuxsys::CleanText(roots.procAsound);
        const std::string scenario = "# This PC's USB and sound devices, read from " + linuxsys::CleanText(roots.sysfs) +
                                     " and " + asound + " by portiq on Linux.\n" + synthetic::WriteScenario(machine);
        written = WriteFile(dumpPath, scenario) && written;
    }
    return written ? 0 : 1;
}
