#include "messages/message_editor.h"

#include "resources/cwbench_resource.h"
#include "settings/settings.h"

#include <cstdio>

namespace cwbench {

int editMsg = 0;
char* msg = nullptr;

namespace {

void insertArgumentToken(DialogControls& dlg, const char* format) {
    char token[16];
    std::snprintf(token, sizeof token, format, dlg.getUnsigned(CM_BUFARG));
    dlg.replaceSelection(CM_MSGTEXT, token);
}

}  // namespace

int messageEditorInit(DialogControls& dlg) {
    switch (editMsg) {
    case 1: msg = mxf.msg1Buf; break;
    case 2: msg = mxf.msg2Buf; break;
    case 3: msg = mxf.msg3Buf; break;
    case 4: msg = mxf.msg4Buf; break;
    default: break;
    }
    if (msg) {
        // A memory loaded from a file may lack its zero: show its 256 bytes at most.
        char text[kMsgBufSize + 1];
        std::snprintf(text, sizeof text, "%.*s", static_cast<int>(kMsgBufSize), msg);
        dlg.replaceSelection(CM_MSGTEXT, text);
    }
    return 1;
}

int messageEditorCommand(DialogControls& dlg, unsigned long long wParam) {
    // Only plain clicks: the whole parameter is compared, so the two edits' notifications
    // (their id with a notification code in the high word) change nothing.
    switch (wParam) {
    case CM_MSGCLR:
        dlg.selectAll(CM_MSGTEXT);
        if (msg) {
            char text[kMsgBufSize + 1];
            std::snprintf(text, sizeof text, "%.*s", static_cast<int>(kMsgBufSize), msg);
            dlg.replaceSelection(CM_MSGTEXT, text);
        }
        return 1;
    case CM_MSGSAVE:
        // At most 255 characters and the ending zero.
        if (msg) dlg.getText(CM_MSGTEXT, msg, static_cast<int>(kMsgBufSize));
        dlg.endDialog(1);
        return 1;
    case CM_MSGCANCEL: dlg.endDialog(1); return 1;
    case CM_BUFSETPTT: dlg.replaceSelection(CM_MSGTEXT, "[P]"); return 1;
    case CM_BUFCLRPTT: dlg.replaceSelection(CM_MSGTEXT, "[N]"); return 1;
    case CM_BUFCANCEL: dlg.replaceSelection(CM_MSGTEXT, "[X]"); return 1;
    case CM_MERGE: dlg.replaceSelection(CM_MSGTEXT, "[M]"); return 1;
    case CM_BUFWPM: insertArgumentToken(dlg, "[S%02u]"); return 1;
    case CM_BUFKEY: insertArgumentToken(dlg, "[K%02u]"); return 1;
    case CM_BUFWAIT: insertArgumentToken(dlg, "[W%02u]"); return 1;
    default: return 0;
    }
}

}  // namespace cwbench
