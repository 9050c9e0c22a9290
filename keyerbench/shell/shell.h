// cwbench's shell: what the start-up and the main window decide, apart from the window
// itself (shell/win32 holds WinMain, WindowProcedure, updateCommMenu and AboutDlgProc).
//
// Start-up names. The state file and the help file sit beside the program and are named
// after it: the extension ".exe" at the end of the program's file name (in any case)
// becomes ".cfg" or ".hlp". Only that extension is replaced, so an "exe" elsewhere in the
// path (C:\exeter\, C:\Tools\exe-files\) stays where it is; a name without the extension
// gets ".cfg" or ".hlp" appended. The names hold the whole path; one too long for them
// leaves them empty and the start-up reports it, rather than cutting it to another name.
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
    // The help file szHelpName at its index, through the Windows help engine.
    virtual void openHelp() = 0;
};

// A menu command of the main window: 1 when it was handled, else 0.
int menuCommand(int id, ShellWindow& window, Keyer& keyer);

}  // namespace cwbench
