// DialogControls over a real dialog window: each operation is the one Windows call its
// contract names (platform/dialog.h).
#pragma once

#include "platform/dialog.h"

#include <windows.h>

namespace cwbench {

class Win32Dialog final : public DialogControls {
public:
    explicit Win32Dialog(HWND dialog) : dlg_(dialog) {}
    HWND window() const { return dlg_; }

    void setText(int id, const char* text) override;
    int getText(int id, char* buffer, int size) override;
    void setUnsigned(int id, unsigned value) override;
    unsigned getUnsigned(int id) override;
    void setCheck(int id, bool checked) override;
    void addComboString(int id, const char* text) override;
    int comboSelection(int id) override;
    void setComboSelection(int id, int index) override;
    void setScrollRange(int id, int min, int max, bool redraw) override;
    void setScrollPos(int id, int pos, bool redraw) override;
    void enable(int id, bool enabled) override;
    void show(int id, bool shown) override;
    void replaceSelection(int id, const char* text) override;
    void selectAll(int id) override;
    void selection(int id, int& start, int& end) override;
    void setSelection(int id, int start, int end) override;
    int textLength(int id) override;
    int textLimit(int id) override;
    int lineFromChar(int id, int pos) override;
    int lineIndex(int id, int line) override;
    int messageBox(const char* text, const char* caption, unsigned type) override;
    void endDialog(int result) override;

private:
    HWND dlg_;
};

}  // namespace cwbench
