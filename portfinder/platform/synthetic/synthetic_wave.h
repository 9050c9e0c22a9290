// A machine's wave-input devices, answering the wave calls from data a scenario or a
// test supplies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace portiq::synthetic {

// One wave-input device; its number is its place in the list.
struct SyntheticWaveIn {
    std::string name;              // product name, ANSI; the capabilities keep 31 characters
    std::u16string interfacePath;  // empty: the device has no interface
    MMRESULT capsError = kMmSysErrNoError;       // what each query fails with, if it does
    MMRESULT sizeError = kMmSysErrNoError;
    MMRESULT interfaceError = kMmSysErrNoError;
};

// One call as the walk made it, for tests of the requests themselves.
struct WaveCall {
    unsigned device = 0;
    unsigned message = 0;  // 0 for waveInGetDevCapsA
    std::uint32_t bytes = 0;  // the capabilities' size, or the path buffer's
};

class SyntheticWave : public WaveDevices {
public:
    std::vector<SyntheticWaveIn> devices;
    std::vector<WaveCall> calls;

    unsigned WaveInGetNumDevs() override;
    MMRESULT WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) override;
    MMRESULT WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) override;
};

}  // namespace portiq::synthetic
