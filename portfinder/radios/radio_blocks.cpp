#include "radios/radio_blocks.h"

namespace portiq {

std::vector<RadioBlock> g_radioBlocks;

}  // namespace portiq
