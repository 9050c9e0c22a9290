#include "shell/shell.h"

#include "messages/message_editor.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "resources/cwbench_resource.h"
#include "workers/workers.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace cwbench {

char szModuleFileName[kPathSize];
char szHelpName[kPathSize];
char szOSname[16];
const char sw_version[] = "3.1";
const char build_date[] = "Jan 16 2007";
const char build_time[] = "12:59:52";
const char szClassName[] = "Morsix";

namespace {

const int kCommCommands[12] = {CM_COM1, CM_COM2, CM_COM3, CM_COM4,  CM_COM5,  CM_COM6,
                               CM_COM7, CM_COM8, CM_COM9, CM_COM10, CM_COM11, CM_COM12};

// Where the file name's ".exe" begins, or the path's length when it has none.
std::size_t stemLength(const char* path) {
    const std::size_t length = std::strlen(path);
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    const std::size_t nameLength = length - static_cast<std::size_t>(name - path);
    if (nameLength < 4) return length;
    const char* ext = path + length - 4;
    const bool isExe = ext[0] == '.' && std::tolower(static_cast<unsigned char>(ext[1])) == 'e' &&
                       std::tolower(static_cast<unsigned char>(ext[2])) == 'x' &&
                       std::tolower(static_cast<unsigned char>(ext[3])) == 'e';
    return isExe ? length - 4 : length;
}

// path with its ".exe" replaced by, or else followed by, "." + extension. False when it
// doesn't fit.
bool withExtension(const char* path, const char* extension, char (&out)[kPathSize]) {
    const std::size_t stem = stemLength(path);
    const int n = std::snprintf(out, sizeof out, "%.*s.%s", static_cast<int>(stem), path, extension);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof out) {
        out[0] = 0;
        return false;
    }
    return true;
}

void clearNames() {
    szModuleFileName[0] = 0;
    szHelpName[0] = 0;
    setConfigName("");
}

// The length of path's folder, without the separator after it; 0 when it has none.
std::size_t folderLength(const char* path) {
    const char* end = nullptr;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') end = p;
    return end ? static_cast<std::size_t>(end - path) : 0;
}

// name inside folder, with the separator the folder's own path uses.
std::string inFolder(const std::string& folder, const char* name) {
    const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
    const bool ends = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return ends ? folder + name : folder + separator + name;
}

}  // namespace

bool formStartupNames(OsFamily family, const char* programPath) {
    char configName[kPathSize];
    if (family == OsFamily::Windows95) {
        std::snprintf(szModuleFileName, sizeof szModuleFileName, "%s", "\\Program Files\\cwbench\\cwbench.exe");
        std::snprintf(szHelpName, sizeof szHelpName, "%s", "\\Program Files\\cwbench\\cwbench.hlp");
        std::snprintf(szOSname, sizeof szOSname, "%s", "Win95/Win98");
    } else {
        std::snprintf(szOSname, sizeof szOSname, "%s", "WinNT/WinXP");
        const char* path = programPath ? programPath : "";
        if (std::strlen(path) >= sizeof szModuleFileName || !withExtension(path, "hlp", szHelpName)) {
            clearNames();
            return false;
        }
        std::snprintf(szModuleFileName, sizeof szModuleFileName, "%s", path);
    }
    if (!withExtension(szModuleFileName, "cfg", configName) || !setConfigName(configName)) {
        clearNames();
        return false;
    }
    return true;
}

bool loadStartupSettings(OsFamily family) {
    Platform& p = platform();
    const std::string program = family == OsFamily::WindowsNT ? p.programPath() : std::string();
    const bool named = (family == OsFamily::Windows95 || (!program.empty() && utf16Length(program) <= kMaxPathUnits)) &&
                       formStartupNames(family, program.c_str());
    if (!named) {
        formStartupNames(family, "");
        clearNames();
    }
    const std::string userData = p.userDataFolder();
    // An earlier cwbench without a manifest, run where the user can't write, saved through
    // Windows' file virtualization into %LOCALAPPDATA%\VirtualStore\<its folder without
    // the drive>: that copy is what the user last saved.
    std::string virtualStore;
    if (const std::string beside = szConfigName; !userData.empty() && beside.size() > 3 && beside[1] == ':' &&
                                                  (beside[2] == '\\' || beside[2] == '/'))
        virtualStore = inFolder(inFolder(userData, "VirtualStore"), beside.c_str() + 3);
    setUserConfigName(userData.empty() ? "" : inFolder(inFolder(userData, "cwbench"), "cwbench.cfg").c_str(),
                      virtualStore.c_str());
    loadConfigFile();
    return named;
}

void openHelp(ShellWindow& window) {
    Platform& p = platform();
    if (szHelpName[0] && p.isFile(szHelpName) && window.helpEngineThere()) {
        window.runHelpEngine(szHelpName);
        return;
    }
    const std::string folder(szModuleFileName, folderLength(szModuleFileName));
    const std::string readme = folder.empty() ? std::string() : inFolder(folder, kReadmeName);
    if (readme.empty() || !p.isFile(readme.c_str())) {
        p.messageBox(kNoHelpText, "Help", kMbIconInformation);
    } else if (!window.openDocument(readme.c_str())) {
        // It is there, but no program opens text files: say where it is.
        const std::string text = "cwbench couldn't open its help, " + readme + ". Open it in Notepad.";
        p.messageBox(text.c_str(), "Help", kMbIconInformation);
    }
}

WindowSize windowSizeForDpi(int dpi) {
    // The two usual resolutions have sizes of their own; the formula, made for 120 dpi,
    // would give 403 x 488 at 96.
    if (dpi <= 0 || dpi == 96) return {380, 498};
    if (dpi == 120) return {504, 610};
    return {dpi * 504 / 120, dpi * 610 / 120};
}

int commCommandForPort(int port) { return port >= 1 && port <= 12 ? kCommCommands[port - 1] : 0; }

int portForCommCommand(int id) {
    for (int i = 0; i < 12; ++i)
        if (kCommCommands[i] == id) return i + 1;
    return 0;
}

void formatBuildLine(char* text, std::size_t size) {
    std::snprintf(text, size, "Ver %s, Built %s, %s ", sw_version, build_time, build_date);
}

void formatOsLine(char* text, std::size_t size) { std::snprintf(text, size, "Operating System is %s", szOSname); }

int menuCommand(int id, ShellWindow& window, Keyer& keyer) {
    if (int port = portForCommCommand(id)) {
        mxf.comPort = port;
        publishSettings();
        saveState();
        window.markCommPort(mxf.comPort);
        return 1;
    }
    switch (id) {
    case CM_STATE: showState(); return 1;
    case CM_MXREGS:
        if (mxOpen.load())
            keyer.mx_dumpdebug();
        else
            window.warningBox("MX not Open !");
        return 1;
    case CM_POTVAL: keyer.mx_get_pot_a2d(); return 1;
    case CM_PDLVAL: keyer.mx_get_pdl_a2d(); return 1;
    case CM_TESTPTR: startPtrTest(); return 1;
    case CM_INITLOOP: startInitLoop(); return 1;
    case CM_POWERON:
    case CM_POWEROFF:
        keyer.mx_power(static_cast<unsigned char>(mxf.comPort & 0xFF), id == CM_POWERON ? 1 : 0);
        return 1;
    case CM_MSG1PLAY: startMessage(1); return 1;
    case CM_MSG2PLAY: startMessage(2); return 1;
    case CM_MSG3PLAY: startMessage(3); return 1;
    case CM_MSG4PLAY: startMessage(4); return 1;
    case CM_MSG1EDIT:
    case CM_MSG2EDIT:
    case CM_MSG3EDIT:
    case CM_MSG4EDIT:
        editMsg = (id - CM_MSG1EDIT) / 2 + 1;
        window.runMessageEditor();
        saveState();
        return 1;
    case CM_ABOUT: window.runAbout(); return 1;
    case CM_HELP: openHelp(window); return 1;
    default: return 0;  // MxState (509) and anything else
    }
}

}  // namespace cwbench
