// The sound device list on synthetic wave-input devices: the records, the log, the
// requests, and the devices left out.
#include <gtest/gtest.h>

#include "base/log.h"
#include "devtree/device_records.h"
#include "sound/sound_devices.h"
#include "test_support.h"

namespace portiq {
namespace {

using synthetic::SyntheticWaveIn;
using testing::PortIqTest;

const char16_t kCodecPath[] = u"\\\\?\\usb#vid_08bb&pid_2902&mi_00#6&2c1b4e3a&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";

class SoundList : public PortIqTest {
protected:
    void List(std::vector<SyntheticWaveIn> devices) {
        machine.wave.devices = std::move(devices);
        Install();
        ListSoundDevices();
    }
};

TEST_F(SoundList, EachDeviceThatAnswersBothQueriesGivesARecordAndALogLine) {
    const std::u16string tooLong = u"\\\\?\\" + std::u16string(96, u'x');  // 100 units and a terminator
    const std::u16string longest = u"\\\\?\\" + std::u16string(95, u'y');  // 99 units and a terminator
    List({
        {"Broken path", kCodecPath, 0, 0, kMmSysErrNotSupported},
        {"USB Audio CODEC", kCodecPath},
        {"No capabilities", kCodecPath, kMmSysErrNoDriver},
        {"Too long a path", tooLong},
        {"Longest path", longest},
        {"No size", u"\\\\?\\USB#VID_08BB&PID_2902&MI_00#KEY#X", 0, kMmSysErrNotSupported},
        {"A name longer than thirty-one characters", u"\\\\?\\usb#mi_00#k#"},
    });
    ASSERT_EQ(g_soundDevices.size(), 4u);
    EXPECT_EQ(g_soundDevices[0].nWaveIn, 1);  // the first device failed: index and number differ
    EXPECT_EQ(g_soundDevices[0].strName, "USB Audio CODEC");
    EXPECT_EQ(g_soundDevices[0].strInterface,
              "\\\\?\\USB#VID_08BB&PID_2902&MI_00#6&2C1B4E3A&0&0000#{6994AD04-93EF-11D0-A3CC-00A0C9223196}\\GLOBAL");
    EXPECT_EQ(g_soundDevices[1].strInterface, "\\\\?\\" + std::string(95, 'Y'));
    // Without the size the path is converted from no units: the record has none.
    EXPECT_EQ(g_soundDevices[2].nWaveIn, 5);
    EXPECT_EQ(g_soundDevices[2].strInterface, "");
    EXPECT_EQ(g_soundDevices[3].strName, "A name longer than thirty-one c");
    EXPECT_EQ(g_strLog,
              "Sound devices:\n"
              "USB Audio CODEC = 6&2C1B4E3A&0&0000\n"
              "Longest path = \\\\?\\" + std::string(95, 'Y') + "\n"
              "No size = \n"
              "A name longer than thirty-one c = K\n");
}

// A webcam has a microphone and no speaker, a headset may only play: output n is not
// input n, and asked there a path would name another device.
TEST_F(SoundList, TheQueriesGoToTheListedInputDeviceWithTheirSizes) {
    machine.wave.outputs = {{"Headset", u"\\\\?\\headset"}, {"B", u"\\\\?\\b"}};
    List({{"A", u"\\\\?\\a"}, {"B", u"\\\\?\\b"}});
    EXPECT_EQ(g_strLog, "Sound devices:\nA = \\\\?\\A\nB = \\\\?\\B\n");
    const std::vector<std::tuple<unsigned, unsigned, std::uint32_t>> expected = {
        {0, 0, 48}, {0, kDrvQueryDeviceInterfaceSize, 0}, {0, kDrvQueryDeviceInterface, 200},
        {1, 0, 48}, {1, kDrvQueryDeviceInterfaceSize, 0}, {1, kDrvQueryDeviceInterface, 200},
    };
    std::vector<std::tuple<unsigned, unsigned, std::uint32_t>> calls;
    for (const synthetic::WaveCall& call : machine.wave.calls) {
        calls.emplace_back(call.device, call.message, call.bytes);
        EXPECT_FALSE(call.output);
    }
    EXPECT_EQ(calls, expected);
}

// Upper-cased by the ANSI code page, as CharUpperBuffA does: a letter the page lacks is
// already '?', every other small letter becomes its capital.
TEST_F(SoundList, PathsAreUpperCasedByTheAnsiCodePage) {
    const char16_t* const kWestern = u"\\\\?\\usb#mi_00#cam\u00e9ra-\u0436\u00ff\u0451#x";
    const struct {
        LANGID language;
        unsigned codePage;
        const char16_t* path;
        const char* key;
    } cases[] = {
        {0x0409, 1252, kWestern, "CAM\xC9RA-?\x9F?"},  // 1252: é É, ÿ Ÿ
        {0x0419, 1251, kWestern, "CAM?RA-\xC6?\xA8"},  // 1251: ж Ж, ё Ё
        // UTF-8: each letter whole, its capital as long (ÿ's capital Ÿ takes 2 bytes too)
        {0x0409, 65001, kWestern, "CAM\xC3\x89RA-\xD0\x96\xC5\xB8\xD0\x81"},
        // ł Ł, α Α, ğ Ğ; ɐ's capital Ɐ takes 3 bytes, ß has none, µ's Μ is μ's: they stay
        {0x0415, 65001, u"\\\\?\\usb#mi_00#\u0142\u03b1\u011f\u0250\u00df\u00b5#x",
         "\xC5\x81\xCE\x91\xC4\x9E\xC9\x90\xC3\x9F\xC2\xB5"},
    };
    for (const auto& c : cases) {
        ResetRunState();
        machine.system.SetUserLanguage(c.language);
        machine.system.codePage = c.codePage;
        List({{"Mic", c.path}});
        EXPECT_EQ(g_strLog, std::string("Sound devices:\nMic = ") + c.key + "\n") << c.language << " " << c.codePage;
    }
}

TEST_F(SoundList, NoDevicesLogOnlyTheHeading) {
    List({});
    EXPECT_EQ(g_strLog, "Sound devices:\n");
    EXPECT_TRUE(g_soundDevices.empty());
}

}  // namespace
}  // namespace portiq
