// The player's output to the keyer chip library.
#include "keyerlib/morsixdll.h"
#include "messages/message_player.h"

#include <chrono>
#include <thread>

namespace cwbench {

bool KeyerOutput::held() { return mx_xoff() != 0; }

void KeyerOutput::send(unsigned char byte) { mx_char(byte); }

void KeyerOutput::waitStep() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

}  // namespace cwbench
