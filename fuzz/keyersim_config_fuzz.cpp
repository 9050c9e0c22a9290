// The keyer simulator's configuration: the KEYERSIM_* variables. Input: their values,
// one a line, in the order REVISION, POT, PORTS, TIMESCALE, BUTTONS, TRACE,
// OPEN_RESULT. Whatever they hold, the configuration stays within its documented ranges.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "config.h"
#include "fuzz_input.h"

namespace {

const char* const kVariables[] = {"KEYERSIM_REVISION", "KEYERSIM_POT",   "KEYERSIM_PORTS",      "KEYERSIM_TIMESCALE",
                                  "KEYERSIM_BUTTONS",  "KEYERSIM_TRACE", "KEYERSIM_OPEN_RESULT"};

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> values = fuzzinput::Split(data, size, '\n', std::size(kVariables));
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
        // The environment holds C strings: a value ends at a NUL.
        if (i < values.size()) {
            setenv(kVariables[i], values[i].c_str(), 1);
        } else {
            unsetenv(kVariables[i]);
        }
    }
    const keyersim::Config config = keyersim::Config::fromEnvironment();
    Check(config.revision >= 0 && config.revision <= 255);
    Check(config.potWpm >= 1 && config.potWpm <= 255);
    for (const int port : config.ports) Check(port >= 1 && port <= 255);
    Check(config.timeScale >= 0.01 && config.timeScale <= 10000);
    for (const keyersim::ButtonPress& press : config.buttons) {
        Check(press.button >= 1 && press.button <= 4 && press.atMs >= 0 && press.atMs <= 86400000);
    }
    Check(config.openResult >= -128 && config.openResult <= 127);

    // The list parsers on the whole input: on failure the output stays as it was.
    std::vector<int> ports{42};
    const std::string whole(reinterpret_cast<const char*>(data), size);
    if (!keyersim::parsePorts(whole, ports)) Check(ports == std::vector<int>{42});
    std::vector<keyersim::ButtonPress> buttons;
    if (!keyersim::parseButtons(whole, buttons)) Check(buttons.empty());
    return 0;
}
