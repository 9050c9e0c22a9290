// A state file another program holds open without sharing: Windows refuses to open,
// create or replace it, and cwbench must leave it as it is.
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace cwbench {
namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

TEST(LockedStateFileTest, LoadAndSaveLeaveALockedFileAsItWas) {
    test::InFreshDirectory dir("Locked");
    std::string path = "cwbench.cfg";
    std::vector<unsigned char> old = test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex");
    test::writeFile(path, old);
    test::NativeFilesRecordedBoxes boxes;
    test::PlatformScope scope(boxes);
    setConfigName(path.c_str());
    std::memset(&mxf, 0, sizeof mxf);
    {
        Handle lock(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock.valid());
        EXPECT_EQ(loadConfigFile(), 1);
        EXPECT_EQ(mxf.comPort, 1);
        EXPECT_EQ(saveState(), 0);
    }
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, kKeptUnreadText);
}

}  // namespace
}  // namespace cwbench
