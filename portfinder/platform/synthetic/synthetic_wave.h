// A machine's wave devices, inputs and outputs, answering the wave calls from data a
// scenario or a test supplies. Inputs and outputs are two lists: nothing pairs input n
// with output n.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace portiq::synthetic {

// One wave device; its number is its place in its list.
struct SyntheticWaveDevice {
    std::string name;              // product name, ANSI; the capabilities keep 31 characters
    std::u16string interfacePath;  // empty: the device has no interface
    MMRESULT capsError = kMmSysErrNoError;       // what each query fails with, if it does
    MMRESULT sizeError = kMmSysErrNoError;
    MMRESULT interfaceError = kMmSysErrNoError;
};
using SyntheticWaveIn = SyntheticWaveDevice;

// One call as the walk made it, for tests of the requests themselves.
struct WaveCall {
    unsigned device = 0;
    unsigned message = 0;  // 0 for the capabilities
    std::uint32_t bytes = 0;  // the capabilities' size, or the path buffer's
    bool output = false;   // a waveOut call
};

class SyntheticWave : public WaveDevices {
public:
    std::vector<SyntheticWaveDevice> devices;  // the inputs
    std::vector<SyntheticWaveDevice> outputs;
    std::vector<WaveCall> calls;

    unsigned WaveInGetNumDevs() override;
    MMRESULT WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) override;
    MMRESULT WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) override;
    unsigned WaveOutGetNumDevs() override;
    MMRESULT WaveOutGetDevCaps(unsigned device, WaveOutCapsA* caps, unsigned size) override;
    MMRESULT WaveOutMessage(unsigned device, unsigned message, std::uintptr_t param1, std::uintptr_t param2) override;
};

}  // namespace portiq::synthetic
