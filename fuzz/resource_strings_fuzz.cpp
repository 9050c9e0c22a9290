// The resource image reader and the string-table look-up over it. Input: a compiled
// resource image (.res), however damaged. Every string id of the first eight blocks is
// looked up for users of four languages, two of them absent from PortIQ's table.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/lang_strings.h"
#include "platform/synthetic/synthetic_platform.h"

using namespace portiq;
using namespace portiq::synthetic;

namespace {

SyntheticMachine& Machine() {
    static SyntheticMachine* machine = [] {
        auto* m = new SyntheticMachine;
        m->Install();
        return m;
    }();
    return *machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SyntheticSystem& system = Machine().system;
    system.resources = ResourceImage();
    system.resources.Load(data, size);
    for (const LANGID language : {LANGID{1033}, LANGID{1049}, LANGID{1058}, LANGID{1031}}) {
        system.SetUserLanguage(language);
        system.systemLanguage = language == 1031 ? LANGID{1049} : LANGID{1033};
        for (unsigned id = 0; id < 8 * 16; ++id) {
            const std::string text = LoadLangString(id);
            if (text.size() > 999 || text.find('\0') != std::string::npos) std::abort();
        }
    }
    return 0;
}
