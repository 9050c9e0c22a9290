#include "platform/win32/win32_dialog.h"

namespace cwbench {

void Win32Dialog::setText(int id, const char* text) { SetDlgItemTextA(dlg_, id, text); }

int Win32Dialog::getText(int id, char* buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = 0;
    return static_cast<int>(GetDlgItemTextA(dlg_, id, buffer, size));
}

void Win32Dialog::setUnsigned(int id, unsigned value) { SetDlgItemInt(dlg_, id, value, FALSE); }

unsigned Win32Dialog::getUnsigned(int id) { return GetDlgItemInt(dlg_, id, nullptr, FALSE); }

void Win32Dialog::setCheck(int id, bool checked) {
    SendDlgItemMessageA(dlg_, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Dialog::addComboString(int id, const char* text) {
    SendDlgItemMessageA(dlg_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

int Win32Dialog::comboSelection(int id) {
    return static_cast<int>(SendDlgItemMessageA(dlg_, id, CB_GETCURSEL, 0, 0));
}

void Win32Dialog::setComboSelection(int id, int index) {
    SendDlgItemMessageA(dlg_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Dialog::setScrollRange(int id, int min, int max, bool redraw) {
    SetScrollRange(GetDlgItem(dlg_, id), SB_CTL, min, max, redraw ? TRUE : FALSE);
}

void Win32Dialog::setScrollPos(int id, int pos, bool redraw) {
    SetScrollPos(GetDlgItem(dlg_, id), SB_CTL, pos, redraw ? TRUE : FALSE);
}

void Win32Dialog::enable(int id, bool enabled) { EnableWindow(GetDlgItem(dlg_, id), enabled ? TRUE : FALSE); }

void Win32Dialog::show(int id, bool shown) { ShowWindow(GetDlgItem(dlg_, id), shown ? SW_SHOW : SW_HIDE); }

void Win32Dialog::replaceSelection(int id, const char* text) {
    SendDlgItemMessageA(dlg_, id, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

void Win32Dialog::selectAll(int id) { SendDlgItemMessageA(dlg_, id, EM_SETSEL, 0, -1); }

void Win32Dialog::selection(int id, int& start, int& end) {
    DWORD first = 0, last = 0;
    SendDlgItemMessageA(dlg_, id, EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
    start = static_cast<int>(first);
    end = static_cast<int>(last);
}

void Win32Dialog::setSelection(int id, int start, int end) {
    SendDlgItemMessageA(dlg_, id, EM_SETSEL, static_cast<WPARAM>(start), end);
}

int Win32Dialog::textLength(int id) { return GetWindowTextLengthA(GetDlgItem(dlg_, id)); }

int Win32Dialog::textLimit(int id) {
    return static_cast<int>(SendDlgItemMessageA(dlg_, id, EM_GETLIMITTEXT, 0, 0));
}

int Win32Dialog::lineFromChar(int id, int pos) {
    return static_cast<int>(SendDlgItemMessageA(dlg_, id, EM_LINEFROMCHAR, static_cast<WPARAM>(pos), 0));
}

int Win32Dialog::lineIndex(int id, int line) {
    return static_cast<int>(SendDlgItemMessageA(dlg_, id, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
}

int Win32Dialog::messageBox(const char* text, const char* caption, unsigned type) {
    return MessageBoxA(dlg_, text, caption, type);
}

void Win32Dialog::endDialog(int result) { EndDialog(dlg_, result); }

}  // namespace cwbench
