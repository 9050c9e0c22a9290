#include "sound/sound_devices.h"

namespace portiq {

void ListSoundDevices() {}

}  // namespace portiq
