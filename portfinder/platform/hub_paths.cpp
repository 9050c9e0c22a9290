#include "platform/hub_paths.h"

#include <array>
#include <cstring>

namespace portiq {

std::string HubPath(SystemServices& system, std::u16string_view units) {
    units = units.substr(0, units.find(u'\0'));
    std::array<char, kHubPathBytes> path{'\\', '\\', '.', '\\'};
    if (units.empty() ||
        system.WideToAnsi(units.data(), static_cast<int>(units.size()), path.data() + 4, kHubNameBytes, nullptr) == 0) {
        return std::string(path.data(), 4);
    }
    const void* nul = std::memchr(path.data(), '\0', path.size());
    return std::string(path.data(), nul ? static_cast<const char*>(nul) - path.data() : path.size());
}

}  // namespace portiq
