// The state file on the build's own file system: the host build and the Windows build
// (under Wine) must write the same golden bytes, and survive paths they can't write.
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace cwbench {
namespace {

using Bytes = std::vector<unsigned char>;

class StateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::freshSettings();
        std::memset(&mxf, 0, sizeof mxf);
    }
    // The test's files live in a directory of their own, named relative to it.
    test::InFreshDirectory dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope{boxes};
};

void fillSampleRecord() {
    mxf.comPort = 0x0102030C;
    for (int i = 0; i < 15; ++i) reinterpret_cast<unsigned char*>(&mxf.mxState)[i] = 0xF0 + i;
    std::strcpy(mxf.msg1Buf, "CQ TEST [S25]DE Q2ZX [P]TEST[N]");
    std::strcpy(mxf.msg2Buf, "[K05][W10]VVV");
    std::memset(mxf.msg3Buf, 'E', sizeof mxf.msg3Buf);
    std::strcpy(mxf.msg4Buf, "73");
    mxf.padding = 0xA5;
}

TEST_F(StateFileTest, FreshStartWritesTheGoldenDefaultImage) {
    std::string path = "cwbench.cfg";
    setConfigName(path.c_str());
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(test::readFile(path), test::readHexFile(KB_GOLDEN_DIR "/default_state.hex"));
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StateFileTest, SampleRecordWritesTheGoldenSampleImage) {
    std::string path = "cwbench.cfg";
    setConfigName(path.c_str());
    test::writeFile(path, Bytes(10, 0x11));
    fillSampleRecord();
    EXPECT_EQ(saveState(), 1);
    Bytes golden = test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex");
    EXPECT_EQ(test::readFile(path), golden);

    std::memset(&mxf, 0, sizeof mxf);
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(std::memcmp(&mxf, golden.data(), golden.size()), 0);
}

TEST_F(StateFileTest, MissingDirectoryGivesDefaultsWithoutAFileAndSaysSoOnce) {
    std::string path = "absent/cwbench.cfg";
    setConfigName(path.c_str());
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 1);
    EXPECT_EQ(saveState(), 0);
    EXPECT_FALSE(std::filesystem::exists("absent"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, kCannotSaveText);
}

TEST_F(StateFileTest, DirectoryInThePlaceOfTheFileStaysADirectory) {
    std::string path = "cwbench.cfg";
    std::filesystem::create_directory(path);
    test::writeFile(path + "/keep", Bytes{1, 2, 3});
    setConfigName(path.c_str());
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 1);
    EXPECT_EQ(saveState(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(test::readFile(path + "/keep"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, kKeptUnreadText);
}

}  // namespace
}  // namespace cwbench
