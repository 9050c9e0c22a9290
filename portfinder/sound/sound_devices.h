// The sound device list: one CSbRecord per wave-input device that answers both its
// capabilities and its interface path, in g_soundDevices, and a log section.
#pragma once

namespace portiq {

// Logs "Sound devices:" and appends a record for every wave-input device whose
// capabilities and interface path can be had, in increasing device number. The path is
// asked of the same device, in a 200-byte buffer, converted to
// the ANSI code page and upper-cased. Devices that fail a query are left out silently.
void ListSoundDevices();

}  // namespace portiq
