// The sound device list: one CSbRecord per wave-input device, in g_soundDevices.
#pragma once

namespace portiq {

// Not walked yet: the list stays as it is (empty in a real run), so no Audio line is
// written unless records were put there beforehand.
void ListSoundDevices();

}  // namespace portiq
