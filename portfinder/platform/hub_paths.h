// How the USB walk turns a hub's name into the path it opens, and its rule that a hub is
// opened once in a run. portiq-dump's writer follows the same two rules, so that a
// recorded machine replays as the walk saw it: a change here changes both.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"

namespace portiq {

// A hub's path: "\\.\" and up to 252 bytes of its name in the ANSI code page.
inline constexpr int kHubPathBytes = 256;
inline constexpr int kHubNameBytes = kHubPathBytes - 4;

// "\\.\" and the name's units up to their first NUL, converted by the ANSI code page. A
// name that doesn't convert into 252 bytes leaves "\\.\" alone, which names no device.
std::string HubPath(SystemServices& system, std::u16string_view units);

// The hubs opened in a run, by path. Letters in either case name the same device. A
// driver that names a hub opened before (its own parent, say) would otherwise send the
// walk round in circles, and many ports naming one hub would make it exponential; a real
// machine names every hub once.
class OpenedHubs {
public:
    bool Has(const std::string& path) const { return paths_.count(UpperCaseAscii(path)) != 0; }
    void Add(const std::string& path) { paths_.insert(UpperCaseAscii(path)); }
    void Clear() { paths_.clear(); }

private:
    std::set<std::string> paths_;
};

}  // namespace portiq
