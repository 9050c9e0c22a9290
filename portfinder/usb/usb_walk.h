// The USB topology walk: one UsbDeviceRecord per non-hub device, in g_usbDevices.
#pragma once

namespace portiq {

// Not walked yet: returns 0 and leaves g_usbDevices as it is, so boxes are recognised
// by their device-node names (or by records put there beforehand).
int EnumerateHostControllers();

}  // namespace portiq
