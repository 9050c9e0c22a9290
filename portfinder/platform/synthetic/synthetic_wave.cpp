#include "platform/synthetic/synthetic_wave.h"

#include <algorithm>
#include <cstring>

namespace portiq::synthetic {
namespace {

// The capabilities both sides share; a smaller structure gets as much as it holds.
template <typename Caps>
MMRESULT AnswerCaps(const std::vector<SyntheticWaveDevice>& list, unsigned device, Caps* caps, unsigned size) {
    if (device >= list.size()) return kMmSysErrBadDeviceId;
    const SyntheticWaveDevice& d = list[device];
    if (d.capsError != kMmSysErrNoError) return d.capsError;
    if (!caps) return kMmSysErrInvalParam;
    Caps answer{};
    answer.wMid = 1;
    answer.wPid = 0x65;
    answer.vDriverVersion = 0x0500;
    const std::size_t length = std::min(d.name.size(), sizeof answer.szPname - 1);
    std::memcpy(answer.szPname, d.name.data(), length);  // always terminated, as Windows does
    answer.dwFormats = 0x000FFFFF;
    answer.wChannels = 2;
    std::memcpy(caps, &answer, std::min<std::size_t>(size, sizeof answer));
    return kMmSysErrNoError;
}

MMRESULT AnswerMessage(const std::vector<SyntheticWaveDevice>& list, unsigned device, unsigned message,
                       std::uintptr_t param1, std::uintptr_t param2) {
    if (device >= list.size()) return kMmSysErrBadDeviceId;
    const SyntheticWaveDevice& d = list[device];
    const std::uint32_t needed =
        d.interfacePath.empty() ? 0 : static_cast<std::uint32_t>(2 * (d.interfacePath.size() + 1));
    if (message == kDrvQueryDeviceInterfaceSize) {
        if (d.sizeError != kMmSysErrNoError) return d.sizeError;
        if (param1 == 0) return kMmSysErrInvalParam;
        std::memcpy(reinterpret_cast<void*>(param1), &needed, sizeof needed);
        return kMmSysErrNoError;
    }
    if (message == kDrvQueryDeviceInterface) {
        if (d.interfaceError != kMmSysErrNoError) return d.interfaceError;
        if (param1 == 0 || param2 < std::max<std::uint32_t>(needed, 2)) return kMmSysErrInvalParam;
        const std::u16string path = d.interfacePath + u'\0';
        std::memcpy(reinterpret_cast<void*>(param1), path.data(), 2 * path.size());
        return kMmSysErrNoError;
    }
    return kMmSysErrNotSupported;
}

}  // namespace

unsigned SyntheticWave::WaveInGetNumDevs() { return static_cast<unsigned>(devices.size()); }

MMRESULT SyntheticWave::WaveInGetDevCaps(unsigned device, WaveInCapsA* caps, unsigned size) {
    calls.push_back({device, 0, size, false});
    return AnswerCaps(devices, device, caps, size);
}

MMRESULT SyntheticWave::WaveInMessage(unsigned device, unsigned message, std::uintptr_t param1,
                                      std::uintptr_t param2) {
    calls.push_back({device, message, static_cast<std::uint32_t>(param2), false});
    return AnswerMessage(devices, device, message, param1, param2);
}

unsigned SyntheticWave::WaveOutGetNumDevs() { return static_cast<unsigned>(outputs.size()); }

MMRESULT SyntheticWave::WaveOutGetDevCaps(unsigned device, WaveOutCapsA* caps, unsigned size) {
    calls.push_back({device, 0, size, true});
    return AnswerCaps(outputs, device, caps, size);
}

MMRESULT SyntheticWave::WaveOutMessage(unsigned device, unsigned message, std::uintptr_t param1,
                                       std::uintptr_t param2) {
    calls.push_back({device, message, static_cast<std::uint32_t>(param2), true});
    return AnswerMessage(outputs, device, message, param1, param2);
}

}  // namespace portiq::synthetic
