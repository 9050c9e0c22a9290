// The USB topology walk: every host controller, its root hub and the hubs below it, one
// log line per port, and one UsbDeviceRecord per device that is not a hub, in
// g_usbDevices. usb_walk.cpp opens with the model of what it asks and logs.
#pragma once

#include <cstdint>

#include "devtree/device_records.h"
#include "platform/platform.h"

namespace portiq {

// The record of the device being traced: the descriptor trace fills its three strings,
// the walk its two numbers; appended to g_usbDevices and then reset (numbers -1, strings
// empty), so that a device whose strings can't be read never gets those of the one before.
extern UsbDeviceRecord g_usbPending;

// Index of the host controller being walked: 0 to 9 for "\\.\HCD0" to "\\.\HCD9", 10 and
// on for the controllers reached by their interface path alone (10 + their place in the
// configuration manager's list).
extern int g_nHostController;

// Walks "\\.\HCD0" to "\\.\HCD9", then the host controllers the configuration manager
// lists by their interface whose driver key none of those had. Returns 0, or the error
// code of the first host controller whose root hub couldn't be walked; the linked
// controllers after it are opened and closed again but neither walked nor logged, and the
// list is not asked for.
int EnumerateHostControllers();

// Walks the root hub of an open host controller. 0 once its ports were walked, else the
// error code of the step that failed (logged).
int GetRootHubData(DeviceHandle hostController);

// Walks ports 1 to ports of an open hub and, depth first, the hubs on them; depth is 0
// for a root hub. Hubs deeper than kDeepestHub (usb_requests.h) are not walked, nor a hub
// whose path was opened before in the run.
void GetPortData(DeviceHandle hub, int ports, int depth);

// Puts the walk's globals back to where a new process starts them.
void ResetUsbWalk();

}  // namespace portiq
