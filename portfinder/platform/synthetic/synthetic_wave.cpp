#include "platform/synthetic/synthetic_wave.h"

#include <algorithm>
#include <cstring>

namespace portiq::synthetic {

unsigned SyntheticWave::WaveInGetNumDevs() { return static_cast<unsigned>(devices.size()); }

MMRESULT SyntheticWave::WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) {
    calls.push_back({device, 0, size});
    if (device >= devices.size()) return kMmSysErrBadDeviceId;
    const SyntheticWaveIn& in = devices[device];
    if (in.capsError != kMmSysErrNoError) return in.capsError;
    if (!caps) return kMmSysErrInvalParam;
    WaveInCapsA answer{};
    answer.wMid = 1;
    answer.wPid = 0x65;
    answer.vDriverVersion = 0x0500;
    const std::size_t length = std::min(in.name.size(), sizeof answer.szPname - 1);
    std::memcpy(answer.szPname, in.name.data(), length);  // always terminated, as Windows does
    answer.dwFormats = 0x000FFFFF;
    answer.wChannels = 2;
    // A smaller structure gets as much of the answer as it holds.
    std::memcpy(caps, &answer, std::min<std::size_t>(size, sizeof answer));
    return kMmSysErrNoError;
}

MMRESULT SyntheticWave::WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1,
                                      std::uintptr_t param2) {
    calls.push_back({device, message, static_cast<std::uint32_t>(param2)});
    if (device >= devices.size()) return kMmSysErrBadDeviceId;
    const SyntheticWaveIn& in = devices[device];
    const std::uint32_t needed =
        in.interfacePath.empty() ? 0 : static_cast<std::uint32_t>(2 * (in.interfacePath.size() + 1));
    if (message == kDrvQueryDeviceInterfaceSize) {
        if (in.sizeError != kMmSysErrNoError) return in.sizeError;
        if (param1 == 0) return kMmSysErrInvalParam;
        std::memcpy(reinterpret_cast<void*>(param1), &needed, sizeof needed);
        return kMmSysErrNoError;
    }
    if (message == kDrvQueryDeviceInterface) {
        if (in.interfaceError != kMmSysErrNoError) return in.interfaceError;
        if (param1 == 0 || param2 < std::max<std::uint32_t>(needed, 2)) return kMmSysErrInvalParam;
        const std::u16string path = in.interfacePath + u'\0';
        std::memcpy(reinterpret_cast<void*>(param1), path.data(), 2 * path.size());
        return kMmSysErrNoError;
    }
    return kMmSysErrNotSupported;
}

}  // namespace portiq::synthetic
