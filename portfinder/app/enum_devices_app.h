// PortIQ's run: the walks, the report in one message box, the list file on request.
#pragma once

namespace portiq {

class CEnumDevicesApp {
public:
    // The whole run, on the installed platform. Always false: the program ends after it
    // without a message loop.
    bool InitInstance();
};

// The walks and the diagnosis, on the installed platform: what they leave is the run's
// findings, for the message box or the JSON report. Shows nothing.
void RunWalks();

// Completes g_strMessage once the walks are done: the "not found" text, or the FTDI
// line and the Device Manager hint after the boxes' blocks.
void ComposeReport();

// The name of the list file, in the current directory.
inline constexpr char kListFileName[] = "PortIq.lst";

// Writes g_strLog to the list file; if that fails, tells the user in a second box.
void SaveListFile(unsigned boxType);

// Empties every global of the run (report, log, records, walk state), as at start.
void ResetRunState();

}  // namespace portiq
