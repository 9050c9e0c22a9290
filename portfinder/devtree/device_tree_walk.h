// The Plug and Play device-tree walk: recognises every interface box by its model name,
// writes the box's block of the report (header, Audio line, port lines), collects all
// FTDI ports and logs one record per examined node.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace portiq {

// One block of the report as the walk wrote it, for what reads the run's findings (the
// udev rules on Linux, the diagnosis): the box its header names and what stands under it.
struct BoxPortLine {
    std::string strPort;     // "COM5"; empty where the port node's name has none
    std::string strCaption;  // "Tavrilink Nova CAT port"
};
struct BoxBlock {
    int nNumber = 0;                 // the number in its header
    std::string strName;             // the name that opened it: a model's full name inside
    std::string strDriverKey;        // the driver key of the node that name came from
    int nSoundDevice = -1;           // g_soundDevices index of its Audio line; -1: none
    std::vector<BoxPortLine> ports;  // the port lines written while it was open
    std::size_t nEnd = 0;            // where its last line ends in g_strMessage
};
extern std::vector<BoxBlock> g_boxBlocks;

// The node of each box's USB device as the walk met it, for the diagnosis: for every
// record of g_usbDevices whose product names a model, the node whose driver key is the
// record's, or, where the record has none (a device without a driver has none), the node
// whose device ID names the record's vendor, product and serial number.
struct BoxNode {
    int nRecord = -1;  // index into g_usbDevices
    DEVINST node = 0;
    DEVINST parent = 0;
};
extern std::vector<BoxNode> g_boxNodes;

// Walks the whole tree from its root. Runs after the sound list and the USB walk, whose
// records it reads. A tree whose root or first child can't be had gives no walk.
void WalkDeviceTree();

// Examines first and each following sibling, recursing into their children; parent
// is used only in the log records.
void WalkDevNodes(DEVINST parent, DEVINST first);

// Puts the walk state back to where a new process starts it.
void ResetDeviceTreeWalk();

}  // namespace portiq
