// The Message Editor's dialog procedure (dialog 512).
#pragma once

#include <windows.h>

namespace cwbench {

INT_PTR CALLBACK MsgEditDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cwbench
