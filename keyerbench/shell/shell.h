// cwbench's shell: what the start-up and the main window decide, apart from the window
// itself (shell/win32 holds WinMain, WindowProcedure, updateCommMenu and AboutDlgProc).
//
// Start-up names. The state file and the help file sit beside the program and are named
// after it: the extension ".exe" at the end of the program's file name (in any case)
// becomes ".cfg" or ".hlp". Only that extension is replaced, so an "exe" elsewhere in the
// path (C:\exeter\, C:\Tools\exe-files\) stays where it is; a name without the extension
// gets ".cfg" or ".hlp" appended. The names hold the whole path, in UTF-8 as Windows
// gives it in UTF-16 (platform/path_text.h), whatever letters the folder is named in; a
// program path longer than kMaxPathUnits leaves them empty and the start-up reports it,
// rather than cutting it to another name. Where the program's folder can't take the
// state file, the settings are kept per user, in cwbench\cwbench.cfg of the user's data
// folder (settings.h).
//
// Help. The Windows help engine opens cwbench.hlp where there is one beside the program
// (Windows stopped shipping the engine with Vista); otherwise the README.txt that comes
// with cwbench.exe in its archive opens in the user's program for text; where neither is
// there, a box says where help is.
#pragma once

#include "keyerlib/keyer.h"
#include "settings/settings.h"

#include <cstddef>

namespace cwbench {

inline constexpr std::size_t kPathSize = kConfigNameSize;

extern char szModuleFileName[kPathSize];
extern char szHelpName[kPathSize];
extern char szOSname[16];
extern const char sw_version[];   // "3.1"
extern const char build_date[];   // "Jan 16 2007"
extern const char build_time[];   // "12:59:52"
extern const char szClassName[];  // "Morsix": the window class and its icon

enum class OsFamily { Windows95, WindowsNT };

// Sets szModuleFileName, szHelpName, szOSname and szConfigName (setConfigName) for the
// platform family and the running program's full file name (the NT family's). False when
// the path is too long for the names, which are then empty.
bool formStartupNames(OsFamily family, const char* programPath);

// Start-up steps 4 and 6 short of the Comm menu's mark: the names for the running
// program (platform().programPath()), the per-user state file in the user's data folder,
// and loadConfigFile. False when the program's path can't be had or is longer than
// kMaxPathUnits: the names are then empty, the settings the defaults in memory only, and
// the caller tells the user.
bool loadStartupSettings(OsFamily family);

inline constexpr char kReadmeName[] = "README.txt";
inline constexpr char kNoHelpText[] =
    "Help for cwbench is in README.txt, which comes with cwbench.exe in its archive. "
    "Put README.txt beside cwbench.exe and choose Help again.";

// The main window's size for the screen's horizontal dots per inch; 0 or less: the
// screen could not be asked, and 96 dpi's size stands.
struct WindowSize {
    int width;
    int height;
};
WindowSize windowSizeForDpi(int dpi);

// The Comm menu: the command of port 1..12, or 0; the port of a Comm command, or 0.
int commCommandForPort(int port);
int portForCommCommand(int id);

// The About box's two lines: "Ver %s, Built %s, %s " and "Operating System is %s".
void formatBuildLine(char* text, std::size_t size);
void formatOsLine(char* text, std::size_t size);

// What the menu commands ask of the main window (all on the window thread).
class ShellWindow {
public:
    virtual ~ShellWindow() = default;
    // updateCommMenu with the window's menu.
    virtual void markCommPort(int port) = 0;
    virtual void warningBox(const char* text) = 0;
    // Dialog 512, modal, owned by the main window (editMsg is set).
    virtual void runMessageEditor() = 0;
    // Dialog 200, modal, owned by the main window.
    virtual void runAbout() = 0;
    // The help file at its index, through the Windows help engine.
    virtual void runHelpEngine(const char* helpFile) = 0;
    // Whether Windows may have the help engine: not from Windows 10 and Server 2012 on.
    virtual bool helpEngineThere() = 0;
    // Opens the document in the program the user has for its kind (ShellExecuteW "open").
    // False when none could be started.
    virtual bool openDocument(const char* path) = 0;
};

// Help > Help: the help file where the help engine may be there, else README.txt, or a
// box that says where help is (see above) or that README.txt couldn't be opened.
void openHelp(ShellWindow& window);

// A menu command of the main window: 1 when it was handled, else 0.
int menuCommand(int id, ShellWindow& window, Keyer& keyer);

}  // namespace cwbench
