#include "sound/sound_devices.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/log.h"
#include "devtree/device_records.h"
#include "platform/platform.h"

namespace portiq {
namespace {

// The interface path is read into 100 UTF-16 units and converted into as many bytes.
constexpr std::size_t kPathUnits = 100;
constexpr int kPathBytes = 200;
// CSbRecord keeps at most 31 characters of the product name.
constexpr std::size_t kLongestName = 31;

// The product name up to its NUL, never past the capabilities' 32 characters.
std::string ProductName(const WaveInCapsA& caps) {
    const void* nul = std::memchr(caps.szPname, '\0', sizeof caps.szPname);
    const std::size_t length = nul ? static_cast<const char*>(nul) - caps.szPname : sizeof caps.szPname;
    return std::string(caps.szPname, std::min(length, kLongestName));
}

// The path as the size query counts it (terminator included), never more than the
// buffer holds; converted to ANSI and upper-cased by the code page's rules (an é or a
// Cyrillic small letter in a path becomes its capital).
std::string AnsiPath(const std::array<char16_t, kPathUnits>& path, std::uint32_t pathBytes) {
    SystemServices& system = *CurrentPlatform().system;
    const int units = static_cast<int>(std::min<std::uint32_t>(pathBytes / 2, kPathUnits));
    std::array<char, kPathBytes> ansi{};
    if (units == 0 || system.WideToAnsi(path.data(), units, ansi.data(), kPathBytes, nullptr) == 0) return {};
    const void* nul = std::memchr(ansi.data(), '\0', ansi.size());
    const std::size_t length = nul ? static_cast<const char*>(nul) - ansi.data() : ansi.size();
    system.UpperCaseAnsi(ansi.data(), static_cast<std::uint32_t>(length));
    return std::string(ansi.data(), length);
}

// The interface queries go to the wave-input side, to the device being listed. (Sent to
// the wave-output device of the same number, they would describe some other device, or
// none, wherever a PC has more or fewer outputs than inputs, and a box's codec would
// then never be named.)
void ListSoundDevice(WaveDevices& wave, unsigned device) {
    WaveInCapsA caps{};
    if (wave.WaveInGetDevCaps(device, &caps, sizeof caps) != kMmSysErrNoError) return;
    std::uint32_t pathBytes = 0;  // its result is not looked at: a failed query leaves 0
    wave.WaveInMessage(device, kDrvQueryDeviceInterfaceSize, reinterpret_cast<std::uintptr_t>(&pathBytes), 0);
    std::array<char16_t, kPathUnits> path{};
    const MMRESULT pathResult = wave.WaveInMessage(device, kDrvQueryDeviceInterface,
                                                    reinterpret_cast<std::uintptr_t>(path.data()), sizeof path);
    const std::string interfacePath = AnsiPath(path, pathBytes);
    if (pathResult != kMmSysErrNoError) return;
    g_soundDevices.push_back(CSbRecord{static_cast<int>(device), ProductName(caps), interfacePath});
    LogPrintf("%s = %s\n", g_soundDevices.back().strName, g_soundDevices.back().GetInstanceKey());
}

}  // namespace

void ListSoundDevices() {
    LogPrintf("Sound devices:\n");
    WaveDevices* wave = CurrentPlatform().wave;
    if (!wave) return;
    const unsigned count = wave->WaveInGetNumDevs();
    for (unsigned device = 0; device < count; ++device) ListSoundDevice(*wave, device);
}

}  // namespace portiq
