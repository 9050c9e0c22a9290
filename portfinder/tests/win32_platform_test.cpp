// The Win32 platform on a real (or emulated) Windows: the string table compiled into
// this program, looked up in the user's language and converted to the ANSI code page;
// the text-mode list file; a device tree that may not be readable; the wave devices the
// system reports (under Wine often none); the USB requests, whose structures go through
// the real DeviceIoControl even where no host controller exists (Wine has none).
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/enum_devices_app.h"
#include "base/lang_strings.h"
#include "base/log.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "platform/synthetic/code_pages.h"
#include "platform/synthetic/scenario.h"
#include "platform/synthetic/scenario_writer.h"
#include "platform/win32/win32_platform.h"
#include "resources/portiq_resource.h"
#include "sound/sound_devices.h"
#include "usb/descriptor_trace.h"
#include "usb/usb_walk.h"

namespace portiq {
namespace {

class Win32Platform : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        InstallPlatform(Platform{&tree, &system, &wave, &usb});
    }
    // The ANSI text as UTF-16, through the system's own conversion back.
    static std::wstring Wide(const std::string& ansi) {
        std::wstring wide(ansi.size(), L'\0');
        const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                                          static_cast<int>(wide.size()));
        wide.resize(n > 0 ? n : 0);
        return wide;
    }
    win32::Win32DeviceTree tree;
    win32::Win32System system;
    win32::Win32Wave wave;
    win32::Win32Usb usb;
};

// The test is run once per language (LC_ALL under Wine); PORTIQ_EXPECT_LANGUAGE says
// which one the run was started with, so a locale that didn't take effect fails.
TEST_F(Win32Platform, StringsComeInTheUsersLanguageAndCodePage) {
    const char* expected = std::getenv("PORTIQ_EXPECT_LANGUAGE");
    const LANGID language = GetUserDefaultLangID();
    if (expected) {
        ASSERT_EQ(language, std::strtoul(expected, nullptr, 0));
    }
    if (language == 0x0419) {
        ASSERT_EQ(GetACP(), 1251u);
        EXPECT_EQ(LoadLangString(IDS_NOT_FOUND), "\xcd\xe5 \xef\xee\xe4\xea\xeb\xfe\xf7\xe5\xed Tavrilink \xe8\xeb\xe8 "
                                                 "\xed\xe5 \xf3\xf1\xf2\xe0\xed\xee\xe2\xeb\xe5\xed \xe4\xf0\xe0\xe9\xe2\xe5\xf0.");
        EXPECT_EQ(Wide(LoadLangString(IDS_FOUND_DEVICE)), L"\u041d\u0430\u0439\u0434\u0435\u043d \u0438\u043d\u0442\u0435"
                                                          L"\u0440\u0444\u0435\u0439\u0441 \u2116%i");
        EXPECT_EQ(Wide(LoadLangString(IDS_FTDI_PORTS_FOUND)), L"\u041d\u0430\u0439\u0434\u0435\u043d\u044b FTDI "
                                                              L"\u043f\u043e\u0440\u0442\u044b:");
    } else if (language == 0x0422) {
        ASSERT_EQ(GetACP(), 1251u);
        EXPECT_EQ(Wide(LoadLangString(IDS_NOT_FOUND)),
                  L"\u041d\u0435 \u043f\u0456\u0434\u043a\u043b\u044e\u0447\u0435\u043d\u0438\u0439 \u0456\u043d"
                  L"\u0442\u0435\u0440\u0444\u0435\u0439\u0441 \u0430\u0431\u043e \u043d\u0435 \u0432\u0441\u0442"
                  L"\u0430\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0439 \u0434\u0440\u0430\u0439\u0432\u0435\u0440.");
        EXPECT_EQ(Wide(LoadLangString(IDS_DEVICE_MANAGER_HINT)),
                  L"\n\u041f\u0440\u0438 \u043d\u0435\u043e\u0431\u0445\u0456\u0434\u043d\u043e\u0441\u0442\u0456 "
                  L"\u0440\u043e\u0431\u0456\u0442\u044c \u0437\u043c\u0456\u043d\u0438\n\u0443 \u0414\u0438\u0441"
                  L"\u043f\u0435\u0442\u0447\u0435\u0440\u0456 \u041f\u0440\u0438\u0441\u0442\u0440\u043e\u0457\u0432.");
    } else {
        EXPECT_EQ(LoadLangString(IDS_NOT_FOUND), "Tavrilink device not found or drivers not installed.");
        EXPECT_EQ(LoadLangString(IDS_DEVICE_MANAGER_HINT), "\nGo to Device Manager to make\nchanges, if needed.");
    }
    EXPECT_EQ(LoadLangString(100), "");
}

// Windows whose ANSI code page is UTF-8 (under Wine: a locale without one, as hi_IN).
TEST_F(Win32Platform, AUtf8CodePageGivesUtf8Texts) {
    if (system.AnsiCodePage() != kCpUtf8) GTEST_SKIP() << "the ANSI code page is " << GetACP();
    char out[32] = "";
    EXPECT_EQ(std::string(out, std::max(0, system.WideToAnsi(u"Найдены:", 8, out, sizeof out, nullptr))), "Найдены:");
}

TEST_F(Win32Platform, TheListFileIsWrittenInTextMode) {
    DeleteFileA(kListFileName);
    g_strLog = "line one\nsystem text\r\n";
    SaveListFile(MB_OK);
    std::ifstream in(kListFileName, std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, "line one\r\nsystem text\r\r\n");
    in.close();
    DeleteFileA(kListFileName);
}

TEST_F(Win32Platform, AFileThatCantBeCreatedGivesTheSystemsErrorCode) {
    EXPECT_NE(system.WriteTextFile("no-such-directory\\PortIq.lst", "x", 1), 0u);
    EXPECT_FALSE(system.SystemErrorText(ERROR_ACCESS_DENIED).empty());
}

TEST_F(Win32Platform, TheDeviceTreeWalkEndsWhateverTheConfigurationManagerAnswers) {
    WalkDeviceTree();  // under Wine: the root isn't located; on Windows: the whole tree
    EXPECT_FALSE(g_strLog.empty());
}

TEST_F(Win32Platform, TheSoundListHoldsWhatTheSystemsWaveDevicesAnswer) {
    ListSoundDevices();
    const unsigned count = waveInGetNumDevs();
    ASSERT_LE(g_soundDevices.size(), count);
    std::string log = "Sound devices:\n";
    for (const CSbRecord& record : g_soundDevices) {
        // The same device asked directly, with room for any path.
        const UINT device = static_cast<UINT>(record.nWaveIn);
        WAVEINCAPSA caps{};
        ASSERT_EQ(waveInGetDevCapsA(device, &caps, sizeof caps), MMSYSERR_NOERROR);
        EXPECT_EQ(record.strName, std::string(caps.szPname).substr(0, 31));
        ULONG bytes = 0;
        waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(device)), DRV_QUERYDEVICEINTERFACESIZE,
                      reinterpret_cast<DWORD_PTR>(&bytes), 0);
        EXPECT_LE(bytes, 200u) << "a longer path is left out";
        std::wstring path(1024, L'\0');
        ASSERT_EQ(waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(device)), DRV_QUERYDEVICEINTERFACE,
                                reinterpret_cast<DWORD_PTR>(&path[0]), 2048),
                  MMSYSERR_NOERROR);
        char ansi[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
        CharUpperA(ansi);
        EXPECT_EQ(record.strInterface, ansi);
        log += record.strName + " = " + record.GetInstanceKey() + "\n";
    }
    EXPECT_EQ(g_strLog, log);
    // A number past the last device is no device.
    WaveInCapsA caps{};
    EXPECT_EQ(wave.WaveInGetDevCaps(count, &caps, sizeof caps), kMmSysErrBadDeviceId);
    std::uint32_t bytes = 12345;
    EXPECT_NE(wave.WaveInMessage(count, kDrvQueryDeviceInterfaceSize, reinterpret_cast<std::uintptr_t>(&bytes), 0),
              kMmSysErrNoError);
    EXPECT_EQ(bytes, 12345u);
}

// CharUpperBuffA by the ANSI code page: at 0xE6 and 0xE9 both pages hold small letters
// (æ é in 1252, ж й in 1251), at 0xFF and 0xB8 they differ (ÿ and a cedilla, я and ё).
// Those bytes aren't UTF-8: on a UTF-8 system é and ж are two bytes each.
TEST_F(Win32Platform, UpperCasingFollowsTheAnsiCodePage) {
    const bool utf8 = GetACP() == CP_UTF8;
    char text[] = "ab\xe6\xe9\xff\xb8";
    if (utf8) std::strcpy(text, "a\xc3\xa9\xd0\xb6");
    EXPECT_EQ(system.UpperCaseAnsi(text, 5 + !utf8), 5u + !utf8);
    if (GetACP() == 1252) EXPECT_STREQ(text, "AB\xc6\xc9\x9f\xb8");
    else if (GetACP() == 1251) EXPECT_STREQ(text, "AB\xc6\xc9\xdf\xa8");
    else if (utf8) EXPECT_STREQ(text, "A\xc3\x89\xd0\x96");
    else GTEST_SKIP() << "code page " << GetACP();
    // The synthetic machine's table against this system's: ł α ğ, and letters that stay
    // (µ and ς, whose capitals are μ's and σ's, the title-case ǅ, ɐ whose capital is longer).
    const wchar_t letters[] = L"\u0142\u03b1\u011f\u00b5\u03c2\u01c5\u0250";
    std::string real(32, '\0');
    real.resize(WideCharToMultiByte(CP_ACP, 0, letters, -1, &real[0], 32, nullptr, nullptr) - 1);
    std::string ours = real;
    system.UpperCaseAnsi(&real[0], static_cast<std::uint32_t>(real.size()));
    synthetic::UpperCaseInCodePage(GetACP(), &ours[0], ours.size());
    EXPECT_EQ(ours, real);
}

TEST_F(Win32Platform, TheHostControllerInterfaceListFitsTheSizeAsked) {
    std::uint32_t length = 0;
    const CONFIGRET sized = usb.GetHostControllerInterfaceListSize(length);
    if (sized != kCrSuccess) GTEST_SKIP() << "no interface list here (CONFIGRET " << sized << ")";  // Wine's cfgmgr32
    ASSERT_GE(length, 1u);
    std::string list(length, 'x');
    ASSERT_EQ(usb.GetHostControllerInterfaceList(&list[0], length), kCrSuccess);
    EXPECT_EQ(list.back(), '\0');
}

TEST_F(Win32Platform, HostControllersThatDontOpenAreSkippedSilently) {
    int opening = 0;
    for (int n = 0; n <= 9; ++n) {
        const std::string path = "\\\\.\\HCD" + std::to_string(n);
        UniqueDeviceHandle controller(usb, usb.CreateFileA(path.c_str()));
        if (controller) ++opening;
        else EXPECT_NE(system.LastError(), 0u);
    }
    const int result = EnumerateHostControllers();
    if (opening == 0) {  // Wine
        EXPECT_EQ(result, 0);
        EXPECT_EQ(g_strLog, "");
        EXPECT_TRUE(g_usbDevices.empty());
    } else {
        const std::string first = "\nHost Controller \\\\.\\HCD";
        EXPECT_EQ(g_strLog.compare(0, first.size(), first), 0) << g_strLog;
    }
    EXPECT_FALSE(usb.CloseHandle(0x1234));
}

// What portiq-dump writes of this system, loaded again, gives the walks' log byte for byte.
TEST_F(Win32Platform, ThisSystemWrittenOutReplaysTheWalksLog) {
    const unsigned codePage = GetACP();
    if (codePage != 1251 && codePage != 1252) GTEST_SKIP() << "code page " << codePage;
    ListSoundDevices();
    EnumerateHostControllers();
    WalkDeviceTree();
    const std::string log = g_strLog;
    const std::string dump = "codepage " + std::to_string(codePage) + "\n" +
                             synthetic::WriteScenarioHardware(CurrentPlatform(), [codePage](const std::string& ansi) {
                                 return synthetic::CodePageToUtf8(codePage, ansi);
                             });
    synthetic::SyntheticMachine machine;
    std::istringstream in(dump);
    std::string error;
    ASSERT_TRUE(synthetic::LoadScenario(in, machine, error)) << error << "\n" << dump;
    ResetRunState();
    machine.Install();
    ListSoundDevices();
    EnumerateHostControllers();
    WalkDeviceTree();
    EXPECT_EQ(g_strLog, log) << dump;
}

// The walk's requests through the real DeviceIoControl, sent to a device that is no USB
// host controller or hub: each fails, and the system's own error text is logged.
TEST_F(Win32Platform, RequestsToADeviceThatIsNoHubFailWithTheSystemsError) {
    UniqueDeviceHandle device(usb, usb.CreateFileA("\\\\.\\NUL"));
    if (!device) GTEST_SKIP() << "\\\\.\\NUL doesn't open here (error " << system.LastError() << ")";
    const int code = GetRootHubData(device.get());
    EXPECT_NE(code, 0);
    EXPECT_EQ(g_strLog, " failed with error " + std::to_string(code) + ": " + system.SystemErrorText(code));

    g_strLog.clear();
    const UsbDeviceDescriptor none{};
    EXPECT_EQ(DisplayDeviceDescriptor(device.get(), 1, 0, none), 0);
    DisplayConfigurationDescriptor(device.get(), 1, 0);
    EXPECT_NE(g_strLog.find(" *** ERROR *** 1: Driverkey Name 1 not returned. ErrorCode = "), std::string::npos) << g_strLog;
    EXPECT_NE(g_strLog.find("\nConfiguration Descriptor failed with error "), std::string::npos) << g_strLog;
    EXPECT_EQ(g_strLog.find("Driverkey name ="), std::string::npos);
}

}  // namespace
}  // namespace portiq
