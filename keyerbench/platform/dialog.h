// The controls of one dialog, as cwbench's portable code sees them: the control panel and
// the Message Editor move values between these and the settings record through this
// interface, so their decisions run in tests without a window.
//
// Each operation is one Windows call on the control with the given id, with its contract:
//   setText          SetDlgItemTextA
//   getText          GetDlgItemTextA: copies at most size-1 characters and a zero; returns
//                    the number copied (0 also for a missing control)
//   setUnsigned      SetDlgItemInt(..., FALSE): the number as an unsigned decimal
//   getUnsigned      GetDlgItemInt(..., NULL, FALSE): text that is not a number reads as 0
//   setCheck         BM_SETCHECK with BST_CHECKED or BST_UNCHECKED
//   addComboString   CB_ADDSTRING (a sorted combo box puts the entry in its order)
//   comboSelection   CB_GETCURSEL: the selected index, or -1 (CB_ERR) when none is
//   setComboSelection CB_SETCURSEL
//   setScrollRange   SetScrollRange(control, SB_CTL, min, max, redraw)
//   setScrollPos     SetScrollPos(control, SB_CTL, pos, redraw)
//   enable, show     EnableWindow, ShowWindow(SW_SHOW or SW_HIDE)
//   replaceSelection EM_REPLACESEL: the text at the edit's caret, replacing its selection
//   selectAll        EM_SETSEL(0, -1)
//   selection        EM_GETSEL: the first selected character and the one after the last
//   setSelection     EM_SETSEL(start, end)
//   textLength       GetWindowTextLengthA: the length of the control's text
//   textLimit        EM_GETLIMITTEXT: the most text an edit takes (typed or inserted)
//   lineFromChar     EM_LINEFROMCHAR: the line (as the edit shows it) holding character pos
//   lineIndex        EM_LINEINDEX: the first character of that line, or -1 past the last
//   messageBox       MessageBoxA owned by the dialog; returns the button pressed
//   endDialog        EndDialog(dialog, result)
// All are called on the window thread that owns the dialog, and nowhere else.
#pragma once

namespace cwbench {

class DialogControls {
public:
    virtual ~DialogControls() = default;
    virtual void setText(int id, const char* text) = 0;
    virtual int getText(int id, char* buffer, int size) = 0;
    virtual void setUnsigned(int id, unsigned value) = 0;
    virtual unsigned getUnsigned(int id) = 0;
    virtual void setCheck(int id, bool checked) = 0;
    virtual void addComboString(int id, const char* text) = 0;
    virtual int comboSelection(int id) = 0;
    virtual void setComboSelection(int id, int index) = 0;
    virtual void setScrollRange(int id, int min, int max, bool redraw) = 0;
    virtual void setScrollPos(int id, int pos, bool redraw) = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual void show(int id, bool shown) = 0;
    virtual void replaceSelection(int id, const char* text) = 0;
    virtual void selectAll(int id) = 0;
    virtual void selection(int id, int& start, int& end) = 0;
    virtual void setSelection(int id, int start, int end) = 0;
    virtual int textLength(int id) = 0;
    virtual int textLimit(int id) = 0;
    virtual int lineFromChar(int id, int pos) = 0;
    virtual int lineIndex(int id, int line) = 0;
    virtual int messageBox(const char* text, const char* caption, unsigned type) = 0;
    virtual void endDialog(int result) = 0;
};

}  // namespace cwbench
