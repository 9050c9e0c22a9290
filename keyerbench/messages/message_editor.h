// The Message Editor (dialog 512): edits one of the four message memories and inserts
// the buffered-command tokens at the caret. Runs modally on the window thread; the Edit
// menu command saves the state file when it returns, whatever the outcome.
#pragma once

#include "platform/dialog.h"

namespace cwbench {

// The memory the editor works on, 1..4: set by the Edit menu command before it runs.
extern int editMsg;
// The memory being edited; kept from one run of the editor to the next, so an editMsg
// outside 1..4 edits the one edited last (none at first).
extern char* msg;

// Dialog initialisation: picks msg for editMsg and puts its text into the text box.
// Returns 1, so that the dialog sets the default focus.
int messageEditorInit(DialogControls& dlg);
// A command whose whole first parameter is wParam; 1 when handled, else 0. Save and
// Cancel end the dialog with 1.
int messageEditorCommand(DialogControls& dlg, unsigned long long wParam);

}  // namespace cwbench
