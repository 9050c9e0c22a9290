#include "panel/win32/panel_win32.h"

#include "panel/panel.h"
#include "platform/win32/win32_dialog.h"
#include "resources/cwbench_resource.h"
#include "settings/settings.h"

namespace cwbench {

std::atomic<HWND> hDlg{nullptr};
WNDPROC lpfOldKeyProc = nullptr;
WNDPROC lpfOldOutProc = nullptr;
HWND hKProc = nullptr;

static_assert(kLineUp == SB_LINEUP && kLineDown == SB_LINEDOWN && kPageUp == SB_PAGEUP &&
              kPageDown == SB_PAGEDOWN && kThumbPosition == SB_THUMBPOSITION && kThumbTrack == SB_THUMBTRACK);
static_assert(kLineUp == SB_LINELEFT && kLineDown == SB_LINERIGHT);
static_assert(kSelectionChange == CBN_SELCHANGE);

namespace {

Keyer* g_keyer = nullptr;
// Never destroyed, like everything the workers may still reach while the program ends.
PanelPostQueue* g_queue = new PanelPostQueue;
void (*g_commPortChanged)(int) = nullptr;
std::atomic<bool> g_closing{false};

class PanelSurroundings final : public PanelWindow {
public:
    void passBackspace() override {
        // Repeat count 1, scan code 0x0E: the backspace key as the edit would get it.
        if (lpfOldKeyProc && hKProc) CallWindowProcA(lpfOldKeyProc, hKProc, WM_CHAR, 8, 0x000E0001);
    }
    void postQuit() override {
        g_closing.store(true);
        PostQuitMessage(0);
    }
    void commPortChanged() override {
        if (g_commPortChanged) g_commPortChanged(mxf.comPort);
    }
};

// Made when the dialog is created and never destroyed: a worker may still post while
// the program ends.
Win32Dialog* g_controls = nullptr;
Panel* g_panel = nullptr;

WNDPROC subclass(HWND dialog, int id, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(GetDlgItem(dialog, id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

}  // namespace

void setPanelServices(Keyer* keyer, void (*commPortChanged)(int)) {
    g_keyer = keyer;
    g_commPortChanged = commPortChanged;
}

bool Win32PanelPoster::post(const PanelPost& p) {
    HWND panel = hDlg.load();
    if (!panel || g_closing.load()) return false;
    bool dropped = false;
    // A failed wake-up leaves the post queued all the same: the next post asks again.
    if (g_queue->push(p, &dropped) && !PostMessageA(panel, WM_PANELPOST, 0, 0)) g_queue->wakeFailed();
    return !dropped;
}

namespace {

// Applies what waits in the queue. While posts keep coming, the timer comes back for
// more: timer messages rank below input and painting, so the window stays usable
// whatever the chip reports.
void drainPosts(HWND hwnd) {
    const std::vector<PanelPost> posts = g_queue->take();
    if (posts.empty()) {
        KillTimer(hwnd, kDrainTimer);
        return;
    }
    if (g_panel) g_panel->applyAll(posts);
    SetTimer(hwnd, kDrainTimer, kDrainMs, nullptr);
}

}  // namespace

INT_PTR CALLBACK DlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        hDlg.store(hwnd);
        lpfOldKeyProc = subclass(hwnd, INBOUND, KeyProc);
        lpfOldOutProc = subclass(hwnd, OUTBOUND, OutProc);
        static PanelSurroundings surroundings;
        g_controls = new Win32Dialog(hwnd);
        g_panel = new Panel(*g_controls, *g_keyer, surroundings);
        g_panel->init();
        return FALSE;
    }
    case WM_CHAR:
        if (!g_panel) return FALSE;
        g_panel->typed(static_cast<unsigned>(wParam));
        return TRUE;
    case WM_COMMAND:
        if (!g_panel) return FALSE;
        return g_panel->command(LOWORD(wParam), HIWORD(wParam));
    case WM_VSCROLL:
        if (!g_panel) return FALSE;
        g_panel->verticalScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
        return TRUE;
    case WM_HSCROLL:
        if (!g_panel) return FALSE;
        g_panel->horizontalScroll(LOWORD(wParam));
        return TRUE;
    case WM_PANELPOST: drainPosts(hwnd); return TRUE;
    case WM_TIMER:
        if (wParam != kDrainTimer) return FALSE;
        drainPosts(hwnd);
        return TRUE;
    default: return FALSE;
    }
}

// The keyboard window sends every typed character to the panel, which decides whether it
// is sent and shown; the window never inserts one by itself.
LRESULT CALLBACK KeyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    hKProc = hwnd;
    if (message == WM_CHAR) {
        SendMessageA(GetParent(hwnd), WM_CHAR, wParam, 0);
        return 0;
    }
    return CallWindowProcA(lpfOldKeyProc, hwnd, message, wParam, lParam);
}

// The outgoing window shows what the chip sent and can't be typed into.
LRESULT CALLBACK OutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) return 0;
    return CallWindowProcA(lpfOldOutProc, hwnd, message, wParam, lParam);
}

}  // namespace cwbench
