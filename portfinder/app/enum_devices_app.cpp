#include "app/enum_devices_app.h"

#include "base/lang_strings.h"
#include "base/log.h"
#include "base/printf_format.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "diagnosis/diagnosis.h"
#include "platform/platform.h"
#include "radios/radio_blocks.h"
#include "radios/radio_pass.h"
#include "resources/portiq_resource.h"
#include "sound/sound_devices.h"
#include "usb/usb_walk.h"

namespace portiq {

void ComposeReport() {
    const std::string& elsewhere = g_strDiagnosedElsewhere;
    if (g_nDevicesFound == 0 && g_strFtdiPorts.empty()) {
        g_strMessage = LoadLangString(IDS_NOT_FOUND);
        // A box that isn't found whole may still be known in part: say what keeps it.
        // Radios are named whether or not a box is.
        const std::string known = elsewhere + RadioReportText();
        if (!known.empty()) g_strMessage += "\n\n" + known.substr(0, known.size() - 1);
        return;
    }
    const std::string radios = RadioReportText();
    if (!(elsewhere + radios).empty() && g_strMessage.size() >= 1 && g_strMessage.compare(g_strMessage.size() - 1, 1, "\n") == 0 &&
        (g_strMessage.size() < 2 || g_strMessage.compare(g_strMessage.size() - 2, 2, "\n\n") != 0)) {
        g_strMessage += "\n";  // the walk left its last block open
    }
    g_strMessage += elsewhere + radios;
    if (!g_strFtdiPorts.empty()) {
        g_strMessage += LoadLangString(IDS_FTDI_PORTS_FOUND) + "\t" + g_strFtdiPorts + "\n";
    }
    g_strMessage += LoadLangString(IDS_DEVICE_MANAGER_HINT);
}

void SaveListFile(unsigned boxType) {
    SystemServices& system = *CurrentPlatform().system;
    const std::uint32_t error = system.WriteTextFile(kListFileName, g_strLog.data(), g_strLog.size());
    if (error == 0) return;
    // A folder a standard user can't write (Program Files, where PortIQ may be started
    // from): the Desktop takes the file, and the user is told where it is.
    if (const std::string desktop = system.DesktopFolder(); !desktop.empty()) {
        const std::string there = desktop + "\\" + kListFileName;
        if (system.WriteTextFile(there.c_str(), g_strLog.data(), g_strLog.size()) == 0) {
            const std::string text = FormatPrintf(LoadLangString(IDS_LIST_SAVED_ELSEWHERE).c_str(), there.c_str());
            system.ShowMessageBox(text.c_str(), "PortIQ", boxType | kMbIconInformation);
            return;
        }
    }
    // The user asked for the log by holding a key; a silent failure would look like success.
    std::string text = FormatPrintf(LoadLangString(IDS_LIST_NOT_SAVED).c_str(), system.CurrentFolder().c_str());
    const std::string reason = system.SystemErrorText(error);
    if (!reason.empty()) text += (text.empty() ? "" : "\n\n") + reason;
    system.ShowMessageBox(text.c_str(), "PortIQ", boxType | kMbIconExclamation);
}

void RunWalks() {
    ListSoundDevices();
    EnumerateHostControllers();
    WalkDeviceTree();
    DiagnoseBoxes();
    FindRadios();
}

bool CEnumDevicesApp::InitInstance() {
    RunWalks();
    ComposeReport();

    SystemServices& system = *CurrentPlatform().system;
    const unsigned boxType = system.ArgumentCount() > 1 ? kMbOk | kMbSystemModal : kMbOk;
    system.ShowMessageBox(g_strMessage.c_str(), "PortIQ", boxType);
    // Read once the box is closed: the user holds Shift or Ctrl while dismissing it.
    if (system.KeyState(kVkShift) < 0 || system.KeyState(kVkControl) < 0) SaveListFile(boxType);
    return false;
}

void ResetRunState() {
    g_strMessage.clear();
    g_strLog.clear();
    g_nDevicesFound = 0;
    g_strFtdiPorts.clear();
    g_soundDevices.clear();
    g_usbDevices.clear();
    g_usbPortFailures.clear();
    g_strDiagnosedElsewhere.clear();
    g_boxFindings.clear();
    g_radioBlocks.clear();
    ResetDeviceTreeWalk();
    ResetUsbWalk();
}

}  // namespace portiq
