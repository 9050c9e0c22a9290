// The state file where the ANSI calls fail: a Cyrillic folder under code page 1252 (the
// test runs under LC_ALL=en_US.UTF-8), 260 to 1,023 units, a folder the user can't write.
#include "platform/path_text.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace cwbench {
namespace {

// Two starts, the first saving a change. (The folders stay from run to run: the C
// library's calls that would empty the test's directory stop at MAX_PATH.)
int portAfterRestart(const std::string& name, const std::string& perUser = "") {
    platform().remove((perUser.empty() ? name : perUser).c_str());
    for (int change : {6, 0}) {
        std::memset(&mxf, 0, sizeof mxf);
        setConfigName(name.c_str());
        setUserConfigName(perUser.c_str());
        loadConfigFile();
        mxf.comPort += change;
        saveState();
    }
    return mxf.comPort;
}

TEST(StateFilePathsTest, WhereTheAnsiCallsFail) {
    const char* readOnly = std::getenv("CWBENCH_READ_ONLY_FOLDER");
    test::InFreshDirectory dir(readOnly ? "WidePathsReadOnly" : "WidePaths");  // ctest may run both at once
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope(boxes);
    test::freshSettings();
    wchar_t here[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, here);
    const std::string base = utf8FromUtf16(std::u16string(here, here + std::wcslen(here)));
    platform().createFolder((base + "\\\xD0\x90\xD0\xBD\xD0\xB4").c_str());  // "And" in Cyrillic
    EXPECT_EQ(portAfterRestart(base + "\\\xD0\x90\xD0\xBD\xD0\xB4\\cwbench.cfg"), 7);
    EXPECT_NE(GetFileAttributesW((std::wstring(here) + L"\\\u0410\u043d\u0434\\cwbench.cfg").c_str()),
              INVALID_FILE_ATTRIBUTES) << "named as Windows spells it, not after the UTF-8 bytes";
    EXPECT_EQ(GetFileAttributesW((std::wstring(here) + L"\\\u0410\u043d\u0434\\cwbench.cfg.old").c_str()),
              INVALID_FILE_ATTRIBUTES) << "the replaced file's backup is gone";
    for (std::size_t units : {std::size_t{260}, std::size_t{261}, kMaxPathUnits}) {
        std::string name = base + std::string(units - utf16Length(base) - 12, 'd');
        for (std::size_t i = base.size(); i + 1 < name.size(); i += 200) {
            name[i] = '\\';  // folders of 199 letters
            platform().createFolder(name.substr(0, i).c_str());
        }
        platform().createFolder(name.c_str());
        EXPECT_EQ(portAfterRestart(name + "\\cwbench.cfg"), 7) << units;
        EXPECT_EQ(utf16Length(name + "\\cwbench.cfg"), units);
    }
    // read_only_folder.sh names a folder the user can't write, holding the sample state
    // file: the settings go per user, starting from that file.
    if (const char* user = std::getenv("CWBENCH_USER_FOLDER"); readOnly && user) {
        const std::string beside = std::string(readOnly) + "\\cwbench.cfg";
        ASSERT_EQ(platform().createForWrite((beside + ".x").c_str()), nullptr) << "the folder can be written";
        EXPECT_EQ(portAfterRestart(beside, std::string(user) + "\\cw\\cwbench.cfg"), 0x0102030C + 6) << "carried over";
        EXPECT_EQ(test::readFile(beside), test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex"));
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace cwbench
