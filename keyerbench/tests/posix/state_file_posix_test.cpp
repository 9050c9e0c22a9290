// The state file on a POSIX file system: a replaced file keeps its permissions, a file
// without write permission is left alone, and a symbolic link stays a link while its
// target gets the new image.
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace cwbench {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

class StateFilePosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::freshSettings();
        std::memset(&mxf, 0, sizeof mxf);
        setConfigName("cwbench.cfg");
    }
    static Bytes sample() { return test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex"); }
    // Loads, changes the port and saves, as choosing a COM port does.
    static void loadChangeAndSave() {
        EXPECT_EQ(loadConfigFile(), 1);
        mxf.comPort = 7;
        EXPECT_EQ(saveState(), 1);
    }
    static fs::perms permissionsOf(const std::string& path) { return fs::status(path).permissions(); }
    static bool leftovers() { return fs::exists("cwbench.cfg.new") || fs::exists("real/cwbench.cfg.new"); }

    test::InFreshDirectory dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope{boxes};
};

TEST_F(StateFilePosixTest, ReplacedFileKeepsItsPermissions) {
    for (fs::perms mode : {fs::perms(0640), fs::perms(0600), fs::perms(0666)}) {
        SCOPED_TRACE(static_cast<int>(mode));
        test::writeFile("cwbench.cfg", sample());
        fs::permissions("cwbench.cfg", mode);
        loadChangeAndSave();
        EXPECT_EQ(permissionsOf("cwbench.cfg"), mode);
        EXPECT_EQ(test::readFile("cwbench.cfg")[0], 7);
        EXPECT_FALSE(leftovers());
    }
}

TEST_F(StateFilePosixTest, FileWithoutWritePermissionIsNotReplaced) {
    test::writeFile("cwbench.cfg", sample());
    fs::permissions("cwbench.cfg", fs::perms(0444));
    loadChangeAndSave();
    EXPECT_EQ(test::readFile("cwbench.cfg"), sample());
    EXPECT_EQ(permissionsOf("cwbench.cfg"), fs::perms(0444));
    EXPECT_FALSE(leftovers());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StateFilePosixTest, SavingThroughASymbolicLinkReplacesItsTarget) {
    fs::create_directory("real");
    test::writeFile("real/cwbench.cfg", sample());
    fs::permissions("real/cwbench.cfg", fs::perms(0600));
    fs::create_symlink("real/cwbench.cfg", "cwbench.cfg");
    loadChangeAndSave();
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("cwbench.cfg")));
    EXPECT_EQ(fs::read_symlink("cwbench.cfg"), "real/cwbench.cfg");
    Bytes saved = test::readFile("real/cwbench.cfg");
    ASSERT_EQ(saved.size(), kStateFileSize);
    EXPECT_EQ(saved[0], 7);
    EXPECT_EQ(permissionsOf("real/cwbench.cfg"), fs::perms(0600));
    EXPECT_FALSE(leftovers());
}

TEST_F(StateFilePosixTest, LinkToAMissingFileGetsItsTargetCreated) {
    fs::create_directory("real");
    fs::create_symlink("real/cwbench.cfg", "cwbench.cfg");
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status("cwbench.cfg")));
    EXPECT_EQ(test::readFile("real/cwbench.cfg"), test::readHexFile(KB_GOLDEN_DIR "/default_state.hex"));
    EXPECT_FALSE(leftovers());
}

}  // namespace
}  // namespace cwbench
