// The control panel's Win32 side: its dialog procedure, the two edit subclasses and the
// poster that carries the callback's and the workers' changes to the window thread.
#pragma once

#include "keyerlib/keyer.h"
#include "workers/panel_post.h"

#include <windows.h>

#include <atomic>

namespace cwbench {

// The panel's private message: posts are waiting in the panel's queue.
inline constexpr UINT WM_PANELPOST = WM_APP + 1;
// The timer that drains the queue while posts keep coming.
inline constexpr UINT_PTR kDrainTimer = 1;
inline constexpr UINT kDrainMs = 15;

// The panel: set as its dialog is created, cleared when Exit ends the program, so that
// nothing is posted to a panel on its way out.
extern std::atomic<HWND> hDlg;
extern WNDPROC lpfOldKeyProc;
extern WNDPROC lpfOldOutProc;
extern HWND hKProc;

// Queues posts for hDlg and wakes it with PostMessage when the queue was idle; never
// waits for the window thread.
class Win32PanelPoster final : public PanelPoster {
public:
    bool post(const PanelPost& p) override;
};

// What the panel needs before dialog 100 is created: the library, and what to do when
// ResetDefaults changed the COM port (the shell marks it in the Comm menu).
void setPanelServices(Keyer* keyer, void (*commPortChanged)(int port));

INT_PTR CALLBACK DlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK KeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK OutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cwbench
