// The state file through Windows' own wide file calls where the ANSI ones fail: a folder
// named in letters the ANSI code page lacks (run under LC_ALL=en_US.UTF-8, code page
// 1252), paths past MAX_PATH up to the longest the start-up accepts, and a program
// folder the user can't write.
#include "platform/path_text.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace cwbench {
namespace {

// Loads (writing the defaults), changes the port, saves and loads again: the port must
// come back, with nothing but the state file left. (The folders stay from run to run:
// the C library's calls that would empty the test's directory stop at MAX_PATH.)
void roundTrip(const std::string& name) {
    platform().remove(name.c_str());
    test::freshSettings();
    std::memset(&mxf, 0, sizeof mxf);
    ASSERT_TRUE(setConfigName(name.c_str()));
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 1);
    EXPECT_TRUE(platform().isFile(name.c_str()));
    mxf.comPort = 7;
    EXPECT_EQ(saveState(), 1);
    std::memset(&mxf, 0, sizeof mxf);
    setConfigName(name.c_str());
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 7);
    EXPECT_FALSE(platform().isFile((name + ".new").c_str()));
}

TEST(StateFilePathsTest, ACyrillicFolderAndPathsOf260To1023Units) {
    test::InFreshDirectory dir("WidePaths");
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope(boxes);
    wchar_t here[MAX_PATH] = L"";
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, here), 0u);
    const std::string base = utf8FromUtf16(std::u16string(here, here + std::wcslen(here)));

    const std::string cyrillic = base + "\\\xD0\x90\xD0\xBD\xD0\xB4\xD1\x80\xD0\xB5\xD0\xB9";  // "Андрей"
    platform().createFolder(cyrillic.c_str());
    SCOPED_TRACE(GetACP());
    roundTrip(cyrillic + "\\cwbench.cfg");
    // The folder Windows itself names so, not one named after the UTF-8 bytes.
    const std::wstring wide = std::wstring(here) + L"\\\u0410\u043d\u0434\u0440\u0435\u0439\\cwbench.cfg";
    EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);

    for (std::size_t units : {260u, 261u, kMaxPathUnits}) {
        SCOPED_TRACE(units);
        // Folders of at most 200 letters (a name the file system takes) down to a state
        // file whose whole path has that many units.
        const std::string file = "\\cwbench.cfg";
        std::string name = base;
        for (std::size_t left = units - utf16Length(base) - file.size(); left > 0;) {
            std::size_t letters = std::min<std::size_t>(left - 1, 200);
            if (left - 1 - letters == 1) --letters;  // no room left for a nameless folder
            name += "\\" + std::string(letters, 'd');
            left -= letters + 1;
            platform().createFolder(name.c_str());
        }
        name += file;
        ASSERT_EQ(utf16Length(name), units);
        roundTrip(name);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// A program folder the user can't write (Program Files to a standard user), made so by
// read_only_folder.sh, which names it and the user's data folder.
TEST(StateFilePathsTest, AFolderTheUserCantWriteKeepsTheSettingsPerUser) {
    const char* folder = std::getenv("CWBENCH_READ_ONLY_FOLDER");
    const char* user = std::getenv("CWBENCH_USER_FOLDER");
    if (!folder || !user) GTEST_SKIP() << "run by read_only_folder.sh";
    const std::string beside = std::string(folder) + "\\cwbench.cfg";
    const std::string perUser = std::string(user) + "\\cwbench\\cwbench.cfg";
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope(boxes);
    ASSERT_EQ(platform().createForWrite((beside + ".x").c_str()), nullptr) << "the folder can be written";
    const std::vector<unsigned char> sample = test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex");
    auto start = [&] {
        std::memset(&mxf, 0, sizeof mxf);
        setConfigName(beside.c_str());
        setUserConfigName(perUser.c_str());
        return loadConfigFile();
    };
    test::freshSettings();
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(std::memcmp(&mxf, sample.data(), kStateFileSize), 0) << "carried over";
    EXPECT_EQ(stateFileName(), perUser);
    mxf.comPort = 5;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(mxf.comPort, 5);
    EXPECT_EQ(test::readFile(beside), sample);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace cwbench
