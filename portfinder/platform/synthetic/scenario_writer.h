// Writes a device tree as scenario text, so that a tree read on a real machine can be
// sent in and replayed by portiq-sim and the tests.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

namespace portiq::synthetic {

// The tree's nodes as "node" lines (handles kept), read with the same calls and buffer
// sizes as the walk. toUtf8 turns the platform's ANSI texts into UTF-8. A quote in a
// value can't be written and becomes an apostrophe; control characters become blanks.
// Nodes below kDeepestScenarioNode levels are left out. Empty when the root can't be had.
std::string WriteScenarioTree(DeviceTree& tree, const std::function<std::string(const std::string&)>& toUtf8);

}  // namespace portiq::synthetic
