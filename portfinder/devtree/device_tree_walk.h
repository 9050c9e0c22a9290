// The Plug and Play device-tree walk: recognises every interface box by its model name,
// writes the box's block of the report (header, Audio line, port lines), collects all
// FTDI ports and logs one record per examined node.
#pragma once

#include "platform/platform.h"

namespace portiq {

// Walks the whole tree from its root. Runs after the sound list and the USB walk, whose
// records it reads. A tree whose root or first child can't be had gives no walk.
void WalkDeviceTree();

// Examines first and each following sibling, recursing into their children; parent
// is used only in the log records.
void WalkDevNodes(DEVINST parent, DEVINST first);

// Puts the walk state back to where a new process starts it.
void ResetDeviceTreeWalk();

}  // namespace portiq
