// A dialog for tests: every control is held in memory and keeps what the Windows
// control would (text, check state, combo entries and selection, scroll range and
// position, enabled and shown; an edit takes no more than its text limit), message
// boxes are recorded and answered with IDOK, and each call that changes something is
// logged.
#pragma once

#include "platform/dialog.h"

#include <map>
#include <string>
#include <vector>

namespace cwbench {

class RecordingDialog final : public DialogControls {
public:
    struct Control {
        std::string text;
        std::size_t selStart = 0, selEnd = 0;  // an edit's selection; the caret is selEnd
        // An edit's text limit: what Windows gives an edit until told otherwise. Its
        // lines are the text's own: a dialog in memory has no width to wrap at.
        std::size_t limit = 32767;
        bool checked = false;
        std::vector<std::string> items;  // a combo box's entries, sorted as CBS_SORT does
        int selection = -1;
        int scrollMin = 0, scrollMax = 0, scrollPos = 0;
        bool enabled = true;
        bool shown = true;
    };
    struct Box {
        std::string text;
        std::string caption;
        unsigned type;
    };

    std::map<int, Control> controls;
    std::vector<Box> boxes;
    std::vector<std::string> log;  // "setText 107 MX not open", "setCheck 104 1", ...
    int endedWith = -1;            // the result endDialog was called with; -1: not ended

    Control& at(int id) { return controls[id]; }
    // A control's text as the user would type it: replaces all, caret at the end.
    void type(int id, const std::string& text);

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
};

}  // namespace cwbench
