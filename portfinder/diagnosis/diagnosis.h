// The diagnosis: when a box's port or sound card can't be used, the report says why and
// what to do, one line per problem under the box it concerns.
//
// It runs after the three walks and reads what they left: the boxes' USB records (a
// product naming a model) and the nodes the device-tree walk met for them, the hub ports
// whose devices failed, and the report's blocks. From each box's node it asks the
// platform about the box's own nodes (its interfaces and serial ports, and the sound
// codec beside it on the same hub): the status and problem number Windows keeps for
// each, and on a Unix-like system the driver bound to each interface and who may open
// each serial port. Nothing is opened: opening a serial port raises DTR and RTS, which
// keys some radios.
//
// A box with a block of its own gets its lines at the end of that block; a box the walk
// gave no block (no port, no header), and a failing port that can only be the box's,
// get a short block of their own, which the report shows after the boxes. The log
// records what each line was read from. A machine where nothing is wrong gets no line
// and no log entry.
#pragma once

#include <string>
#include <vector>

#include "diagnosis/causes.h"

namespace portiq {

// Adds the lines under the boxes' blocks of g_strMessage and the short blocks to
// g_strDiagnosedElsewhere; logs what each was read from.
void DiagnoseBoxes();

// The short blocks of boxes without a block of their own, each ended by an empty line;
// empty when there are none. ComposeReport puts them after the boxes' blocks.
extern std::string g_strDiagnosedElsewhere;

// Each box's findings by its g_usbDevices index (empty for every other record), for the
// JSON report: the report's lines say the same in the user's language.
extern std::vector<std::vector<Finding>> g_boxFindings;

}  // namespace portiq
