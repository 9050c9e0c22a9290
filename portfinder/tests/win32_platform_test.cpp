// The Win32 platform on a real (or emulated) Windows: the string table compiled into
// this program, looked up in the user's language and converted to the ANSI code page;
// the text-mode list file; a device tree that may not be readable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "app/enum_devices_app.h"
#include "app/lang_strings.h"
#include "app/log.h"
#include "devtree/device_tree_walk.h"
#include "platform/win32/win32_platform.h"
#include "resources/portiq_resource.h"

namespace portiq {
namespace {

class Win32Platform : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        InstallPlatform(Platform{&tree, &system});
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

}  // namespace
}  // namespace portiq
