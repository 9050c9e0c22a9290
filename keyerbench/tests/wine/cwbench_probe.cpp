// cwbench_probe: looks at a running cwbench.exe from inside Wine, so that the GUI test can
// check what the user sees and find where to click.
//
//   cwbench_probe window                  outer=W,H client=W,H at=X,Y (the main window)
//   cwbench_probe fits                    "ID left,top,right,bottom" of each visible panel control not
//                                          in the client area (but for group boxes' tops); 1 if any
//   cwbench_probe [--in CAPTION] text ID   the control's text
//   cwbench_probe [--in CAPTION] point ID  "X Y": the middle of the control's visible part
//                                          on the screen
//   cwbench_probe [--in CAPTION] state ID  visible=0|1 enabled=0|1 checked=0|1
//   cwbench_probe box CAPTION              foreground=0|1, then the message box's text
//
// Controls are looked up in the control panel, or with --in in the dialog box with that
// caption (the Message Editor, the About box). Output is cwbench's own (ANSI) text, with LF
// line ends.
// Exit code 0 when found, 1 when the window or control isn't there, 2 on a bad call.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// WM_GETTEXT crosses into cwbench's process; a hung window must not hang the probe.
std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return "";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return "";
    text.resize(copied);
    return text;
}

int Print(const std::string& out) {
    const HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    return WriteFile(stdOut, out.data(), static_cast<DWORD>(out.size()), &written, nullptr) &&
                   written == out.size()
               ? 0
               : 2;
}

HWND MainWindow() { return FindWindowA("Morsix", "Morsix Test Bed"); }

HWND Panel() {
    HWND main = MainWindow();
    return main ? FindWindowExA(main, nullptr, "#32770", nullptr) : nullptr;
}

int Usage() {
    std::fprintf(stderr, "usage: cwbench_probe window | box CAPTION | [--in CAPTION] text|point|state ID\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "window") {
        HWND main = MainWindow();
        HWND panel = Panel();
        if (!main || !panel) return 1;
        RECT outer{}, client{};
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        char line[200];
        std::snprintf(line, sizeof line, "outer=%ld,%ld client=%ld,%ld at=%ld,%ld\n", outer.right - outer.left,
                      outer.bottom - outer.top, client.right, client.bottom, outer.left, outer.top);
        return Print(line);
    }
    if (command == "fits") {
        const HWND main = MainWindow(), panel = Panel();
        RECT client{};
        if (!main || !panel || !GetClientRect(main, &client)) return 1;
        std::string out;
        for (HWND c = GetWindow(panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r{};
            char kind[8] = "", line[96];
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
            const bool groupBox = GetClassNameA(c, kind, sizeof kind) && !lstrcmpiA(kind, "Button") &&
                                  (GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
            if (!IsWindowVisible(c) || (r.left >= 0 && (r.top >= 0 || groupBox) && r.right <= client.right && r.bottom <= client.bottom)) continue;
            std::snprintf(line, sizeof line, "%d %ld,%ld,%ld,%ld\n", GetDlgCtrlID(c), r.left, r.top, r.right, r.bottom);
            out += line;
        }
        return out.empty() ? 0 : (Print(out), 1);
    }
    if (command == "box") {
        if (argc != 3) return Usage();
        const HWND box = FindWindowA("#32770", argv[2]);
        if (!box || !IsWindowVisible(box)) return 1;
        const HWND text = GetDlgItem(box, 0xFFFF);  // the static control of a message box
        return Print(std::string("foreground=") + (GetForegroundWindow() == box ? "1" : "0") + "\n" +
                     (text ? WindowText(text) : std::string()) + "\n");
    }
    int arg = 1;
    HWND dialog = nullptr;
    if (command == "--in") {
        if (argc != 5) return Usage();
        dialog = FindWindowA("#32770", argv[2]);
        arg = 3;
    } else {
        if (argc != 3) return Usage();
        dialog = Panel();
    }
    if (!dialog) return 1;
    const std::string what = argv[arg];
    const HWND control = GetDlgItem(dialog, std::atoi(argv[arg + 1]));
    if (!control) return 1;
    if (what == "text") return Print(WindowText(control) + "\n");
    if (what == "point") {
        // The middle of the part the user can see: a control may reach past its window
        // (the panel is as wide as the fonts make it, the main window as wide as the
        // screen's resolution says).
        RECT r{};
        GetWindowRect(control, &r);
        for (HWND w = GetParent(control); w; w = GetParent(w)) {
            RECT client{};
            GetClientRect(w, &client);
            MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
            if (!IntersectRect(&r, &r, &client)) return 1;
        }
        char line[64];
        std::snprintf(line, sizeof line, "%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return Print(line);
    }
    if (what == "state") {
        const LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
        char line[64];
        std::snprintf(line, sizeof line, "visible=%d enabled=%d checked=%d\n", IsWindowVisible(control) ? 1 : 0,
                      IsWindowEnabled(control) ? 1 : 0, checked == BST_CHECKED ? 1 : 0);
        return Print(line);
    }
    return Usage();
}
