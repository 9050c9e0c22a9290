// A state file the user made read-only: Windows refuses to replace it (ReplaceFileA),
// and cwbench must leave it as it is, attribute and all, with nothing left beside it.
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace cwbench {
namespace {

TEST(ReadOnlyStateFileTest, SaveLeavesAReadOnlyFileAsItWas) {
    test::InFreshDirectory dir("ReadOnly");
    std::string path = "cwbench.cfg";
    std::vector<unsigned char> old = test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex");
    test::writeFile(path, old);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope(boxes);
    test::freshSettings();
    setConfigName(path.c_str());
    std::memset(&mxf, 0, sizeof mxf);

    EXPECT_EQ(loadConfigFile(), 1);
    mxf.comPort = 7;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(boxes.boxes.empty());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace cwbench
