// Scenario files: a synthetic machine written by hand, in UTF-8 text.
//
//   # A comment runs to the end of its line.
//   language 1049             the user's default language (decimal or 0x hex)
//   system-language 1033      what 0x0800 stands for; the user's language when absent
//   codepage 1251             1251 or 1252; by default chosen from the user's language
//   arguments 1               command-line arguments after the program name
//   hold shift                keys down as the box is dismissed: none, shift, ctrl, shift+ctrl
//   sound wavein=0 name="USB Audio CODEC" interface="\\?\USB#VID_08BB&PID_2902&MI_00#6&2C1B&0&0000#{...}"
//   usb hc=0 port=3 product="Tavrilink Nova (CAT+PTT/CW)" serial="TN0001" driver="{...}\0012"
//   node class=none id="HTREE\ROOT\0"
//     node class={4d36e978-e325-11ce-bfc1-08002be10318} name="USB Serial Port (COM5)" id="FTDIBUS\..."
//
// "sound" and "usb" lines are the records the sound list and the USB walk leave behind,
// in the order given (interface paths are upper-cased, as the sound list stores them).
// "node" lines form the device tree: the first is the root, and each node is a child
// of the nearest line above it that is indented less (spaces only). Node keys: class
// (a class GUID, or none: then the walk skips the node), name (friendly name), desc
// (device description), id (device instance ID), driver (driver key), handle (a
// non-zero number; by default the next free one). A key left out is a value the node
// doesn't have; class must always be given.
//
// A value is a word without blanks or quotes, or a text in double quotes, taken as it
// stands: a backslash is an ordinary character, and a quoted text can't hold a quote.
// Texts are converted to the machine's code page ('?' for what it lacks); USB texts
// keep the characters up to U+00FF, as the descriptor trace captures them.
#pragma once

#include <istream>
#include <string>

#include "platform/synthetic/synthetic_platform.h"

namespace portiq::synthetic {

// Loads a scenario into machine, which should be fresh. On a fault returns false and
// sets error to "line N: what is wrong"; the machine then holds what came before it.
bool LoadScenario(std::istream& in, SyntheticMachine& machine, std::string& error);
bool LoadScenarioFile(const std::string& path, SyntheticMachine& machine, std::string& error);

// Deepest node nesting a scenario may have: far beyond any real tree, and well within
// the stack of the recursive walk.
inline constexpr int kDeepestScenarioNode = 256;

}  // namespace portiq::synthetic
