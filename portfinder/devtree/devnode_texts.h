// Texts of a device node. None of these fails: a value that can't be read falls back
// as documented.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace portiq {

// The friendly name; else the device description; else "Unknown Device".
std::string GetDevNodeFriendlyName(DEVINST node);

// The device instance ID as the platform gives it; empty when it can't be read.
std::string GetDevNodeDeviceId(DEVINST node);

// The driver key (the DRIVER property); empty when it can't be read.
std::string GetDevNodeDriverKey(DEVINST node);

// The text inside the last pair of parentheses of a friendly name ("COM5" of
// "USB Serial Port (COM5)"); empty when there is no such pair.
std::string ParsePortName(const std::string& friendlyName);

// The node's children in the tree's order; none when it has none or they can't be had.
// A list that doesn't end is read up to 4096 children.
std::vector<DEVINST> GetDevNodeChildren(DEVINST node);

}  // namespace portiq
