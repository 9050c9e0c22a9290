// cwbench's entry point and main window: sizes the window for the screen, creates it with
// the control panel inside, names the state and help files after the program, loads the
// settings and runs the message loop. The menu commands' decisions are in shell.cpp.
#include "keyerlib/keyer.h"
#include "messages/win32/message_editor_win32.h"
#include "panel/win32/panel_win32.h"
#include "platform/path_text.h"
#include "resources/cwbench_resource.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "workers/workers.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <versionhelpers.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace cwbench {

HINSTANCE hInstance = nullptr;
int iXsize = 380;
int iYsize = 498;

namespace {

HWND g_mainWindow = nullptr;

// Never destroyed: the callback and the workers may still use them while the program
// ends (they are not waited for).
MorsixKeyer* g_keyer = new MorsixKeyer;
Win32PanelPoster* g_poster = new Win32PanelPoster;
WorkerEnvironment* g_environment = new WorkerEnvironment;

}  // namespace

// Clears the check mark of all twelve Comm items, then marks port's item when port is
// 1..12; any other port leaves none marked.
void updateCommMenu(HMENU hMenu, int port) {
    for (int p = 1; p <= 12; ++p) CheckMenuItem(hMenu, commCommandForPort(p), MF_BYCOMMAND | MF_UNCHECKED);
    if (int id = commCommandForPort(port)) CheckMenuItem(hMenu, id, MF_BYCOMMAND | MF_CHECKED);
}

INT_PTR CALLBACK AboutDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        char text[128];
        formatBuildLine(text, sizeof text);
        SetDlgItemTextA(hwnd, IDD_BUILD, text);
        formatOsLine(text, sizeof text);
        SetDlgItemTextA(hwnd, IDD_OSNAME, text);
        return TRUE;
    }
    case WM_COMMAND:
        // Only the OK button closes the box: it has no close box, and Escape's IDCANCEL
        // is not IDOK.
        if (wParam == IDOK) {
            EndDialog(hwnd, 1);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

namespace {

class MainWindow final : public ShellWindow {
public:
    explicit MainWindow(HWND hwnd) : hwnd_(hwnd) {}
    void markCommPort(int port) override { updateCommMenu(GetMenu(hwnd_), port); }
    void warningBox(const char* text) override { MessageBoxA(hwnd_, text, "Warning", MB_ICONEXCLAMATION); }
    void runMessageEditor() override {
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MSGEDIT), hwnd_, MsgEditDlgProc, 0);
    }
    void runAbout() override { DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_ABOUT), hwnd_, AboutDlgProc, 0); }
    void runHelpEngine(const char* helpFile) override {
        // The help engine is handed the name in the ANSI code page, whichever call is
        // made: a folder named in other letters is reached through its short 8.3 name
        // where the volume keeps those.
        std::wstring name = wide(helpFile);
        wchar_t shortName[MAX_PATH] = L"";
        const DWORD length = GetShortPathNameW(name.c_str(), shortName, MAX_PATH);
        if (length > 0 && length < MAX_PATH) name.assign(shortName, length);
        WinHelpW(hwnd_, name.c_str(), HELP_INDEX, 0);
    }
    bool helpEngineThere() override {
        // Windows 10 and Server 2012 have no help engine and can't be given one; Vista to
        // 8.1 can have it installed, and without it their own box says where to get it
        // (KB 917607). The manifest declares Windows 10, so the version is told as it is.
        if (IsWindowsVersionOrGreater(10, 0, 0)) return false;
        return !(IsWindowsServer() && IsWindows8OrGreater());
    }
    bool openDocument(const char* path) override {
        // ShellExecuteW may hand the document to a shell extension, which needs COM on
        // the calling thread. Its result is above 32 when a program was started.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const auto started = reinterpret_cast<INT_PTR>(
            ShellExecuteW(hwnd_, L"open", wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (SUCCEEDED(com)) CoUninitialize();
        return started > 32;
    }

private:
    static std::wstring wide(const char* utf8) {
        const std::u16string text = utf16FromUtf8(utf8);
        return std::wstring(text.begin(), text.end());
    }
    HWND hwnd_;
};

void commPortChanged(int port) {
    if (g_mainWindow) updateCommMenu(GetMenu(g_mainWindow), port);
}

int screenDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Start-up steps 4 to 6: the names, then the settings and the Comm menu's mark.
void loadSettings(HWND hwnd) {
    // The Windows 95 family sets the top bit of GetVersion's result.
    const OsFamily family = (GetVersion() & 0x80000000u) ? OsFamily::Windows95 : OsFamily::WindowsNT;
    if (!loadStartupSettings(family))
        MessageBoxA(hwnd, "The program's folder path is too long: cwbench can't keep its settings in a file.",
                    "Error", MB_ICONEXCLAMATION);
    updateCommMenu(GetMenu(hwnd), mxf.comPort);
}

// The sizes for the screen's resolution fit the panel only when the dialog font has the
// metrics its layout was made with; a wider face (Wine's, or a localized system's
// substitute for "Helv") makes the panel larger than the window, and the controls at its
// right and bottom out of reach. So the window grows, and never shrinks, until the whole
// panel (less what the template places above the client area) lies inside its client
// area; the largest tracking size grows with it. A second look covers a menu bar that
// wraps onto another line at the old width and not at the new.
void fitPanel(HWND hwnd) {
    const HWND panel = hDlg.load();
    if (!panel) return;
    for (int look = 0; look < 3; ++look) {
        RECT inside{}, client{}, outer{};
        GetWindowRect(panel, &inside);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&inside), 2);
        GetClientRect(hwnd, &client);
        GetWindowRect(hwnd, &outer);
        const LONG wider = std::max(0L, inside.right - client.right);
        const LONG taller = std::max(0L, inside.bottom - client.bottom);
        if (wider == 0 && taller == 0) return;
        // The tracking limit first: WM_GETMINMAXINFO bounds the new size by it.
        iXsize = std::max<int>(iXsize, outer.right - outer.left + wider);
        iYsize = std::max<int>(iYsize, outer.bottom - outer.top + taller);
        SetWindowPos(hwnd, nullptr, 0, 0, iXsize, iYsize, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        hDlg.store(CreateDialogParamA(hInstance, MAKEINTRESOURCEA(IDD_PANEL), hwnd, DlgProc, 0));
        return 0;
    case WM_SETFOCUS:
        SetFocus(hDlg.load());
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize.x = iXsize;
        info->ptMaxTrackSize.y = iYsize;
        return 0;
    }
    case WM_DESTROY:
        // Nothing may go on keying once the program is gone: close the chip as Exit does
        // (the settings are saved only by Exit).
        closeChipAtExit(*g_keyer);
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND: {
        MainWindow window(hwnd);
        return menuCommand(LOWORD(wParam), window, *g_keyer);
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace cwbench

int WINAPI WinMain(HINSTANCE hThisInstance, HINSTANCE, LPSTR, int nFunsterStil) {
    using namespace cwbench;
    hInstance = hThisInstance;
    const WindowSize size = windowSizeForDpi(screenDpi());
    iXsize = size.width;
    iYsize = size.height;

    // Version 6 of the common controls, which the manifest asks for, must be loaded
    // before the first dialog is made.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    g_environment->keyer = g_keyer;
    g_environment->poster = g_poster;
    setWorkerEnvironment(g_environment);
    setPanelServices(g_keyer, commPortChanged);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProcedure;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, szClassName);
    // The small icon's own 16 x 16 image, not the large one scaled down.
    wc.hIconSm = static_cast<HICON>(LoadImageA(hInstance, szClassName, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND));
    wc.lpszMenuName = "MAINMENU";
    wc.lpszClassName = szClassName;
    if (!RegisterClassExA(&wc)) return 0;

    HWND hwnd = CreateWindowExA(0, szClassName, "Morsix Test Bed",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, iXsize, iYsize, HWND_DESKTOP,
                                nullptr, hInstance, nullptr);
    if (!hwnd) return 0;
    g_mainWindow = hwnd;
    fitPanel(hwnd);
    ShowWindow(hwnd, nFunsterStil);
    UpdateWindow(hwnd);

    loadSettings(hwnd);

    // No dialog-key processing for the panel: every key goes to the control it is for.
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
