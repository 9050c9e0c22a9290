// portiq_box_probe CAPTION: reads a message box that another program shows, so that the
// GUI test can check what the user sees rather than only that some window appeared.
//
// Prints, as UTF-8 with bare LF line ends:
//   foreground=0|1  whether the box is the active window, i.e. where keys typed now go
//   topmost=0|1     whether the box stays on top (a system-modal box does)
//   <the box's text, as many lines as it has>
// Exit code 0 when the box was found, 1 when no box has that caption, 2 on a bad call.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The static control that holds the text of a message box.
constexpr int kMessageTextId = 0xFFFF;

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

std::wstring FromAnsi(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), size);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

// WM_GETTEXT crosses into the owner's process, so a hung box must not hang the probe.
std::wstring ControlText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return L"";
    text.resize(copied);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: portiq_box_probe CAPTION\n");
        return 2;
    }
    // "#32770" is the window class of every dialog box, message boxes included.
    const HWND box = FindWindowW(L"#32770", FromAnsi(argv[1]).c_str());
    if (!box || !IsWindowVisible(box)) {
        std::fprintf(stderr, "portiq_box_probe: no visible box titled \"%s\"\n", argv[1]);
        return 1;
    }
    const bool foreground = GetForegroundWindow() == box;
    const bool topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const HWND textControl = GetDlgItem(box, kMessageTextId);
    const std::string text = textControl ? ToUtf8(ControlText(textControl)) : std::string();

    std::string out = std::string("foreground=") + (foreground ? "1" : "0") + "\ntopmost=" + (topmost ? "1" : "0") +
                      "\n" + text + "\n";
    // Binary output: the test compares bytes, and text mode would add CRs.
    const HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (!WriteFile(stdOut, out.data(), static_cast<DWORD>(out.size()), &written, nullptr) || written != out.size())
        return 2;
    return 0;
}
