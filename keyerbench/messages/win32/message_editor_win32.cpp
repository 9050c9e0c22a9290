#include "messages/win32/message_editor_win32.h"

#include "messages/message_editor.h"
#include "platform/win32/win32_dialog.h"

namespace cwbench {

INT_PTR CALLBACK MsgEditDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    Win32Dialog dlg(hwnd);
    switch (message) {
    case WM_INITDIALOG: return messageEditorInit(dlg);
    case WM_COMMAND: return messageEditorCommand(dlg, static_cast<unsigned long long>(wParam));
    default: return FALSE;
    }
}

}  // namespace cwbench
