// The settings record's load, save and show, against files held in memory, including
// the failures a real disk can't be made to produce on demand.
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace cwbench {
namespace {

using test::PlatformScope;
using Bytes = std::vector<unsigned char>;

const char* const kPath = "C:\\cwbench\\cwbench.cfg";

Bytes recordBytes() {
    const auto* p = reinterpret_cast<const unsigned char*>(&mxf);
    return Bytes(p, p + sizeof mxf);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::freshSettings();
        std::memset(&mxf, 0, sizeof mxf);
        setConfigName(kPath);
    }
    Bytes defaultImage() const { return test::readHexFile(KB_GOLDEN_DIR "/default_state.hex"); }
    Bytes sampleImage() const { return test::readHexFile(KB_GOLDEN_DIR "/sample_state.hex"); }

    RecordingPlatform fs;
    PlatformScope scope{fs};
};

TEST_F(SettingsTest, FreshStartWritesTheDefaultImage) {
    ASSERT_EQ(defaultImage().size(), kStateFileSize);
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(fs.files.at(kPath), defaultImage());
    EXPECT_EQ(recordBytes(), defaultImage());
    EXPECT_EQ(fs.files.size(), 1u) << "no temporary file may be left beside the state file";
    EXPECT_TRUE(fs.boxes().empty());
}

TEST_F(SettingsTest, DefaultsKeepTheRestOfTheRecord) {
    std::strcpy(mxf.msg1Buf, "CQ");
    mxf.msg2Buf[5] = 'Z';
    mxf.padding = 0x77;
    loadConfigFile();
    EXPECT_EQ(mxf.msg1Buf[0], 0);
    EXPECT_EQ(mxf.msg1Buf[1], 'Q');
    EXPECT_EQ(mxf.msg2Buf[5], 'Z');
    EXPECT_EQ(mxf.padding, 0x77);
}

TEST_F(SettingsTest, LoadsAFileByteForByteAndSavesItBack) {
    fs.files[kPath] = sampleImage();
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(recordBytes(), sampleImage());
    EXPECT_EQ(mxf.comPort, 0x0102030C);
    fs.files.erase(kPath);
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.files.at(kPath), sampleImage()) << "padding and unterminated memories go back as held";
}

TEST_F(SettingsTest, ShortFileFillsOnlyTheHeadOfTheRecord) {
    fs.files[kPath] = sampleImage();
    loadConfigFile();
    Bytes head = defaultImage();
    head.resize(19);
    fs.files[kPath] = head;
    EXPECT_EQ(loadConfigFile(), 1);
    Bytes expected = sampleImage();
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(recordBytes(), expected);
    EXPECT_EQ(fs.files.at(kPath), head) << "loading never writes";
}

TEST_F(SettingsTest, EmptyFileLeavesAnAllZeroRecord) {
    fs.files[kPath] = {};
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(recordBytes(), Bytes(kStateFileSize, 0));
    EXPECT_TRUE(fs.files.at(kPath).empty());
    EXPECT_TRUE(fs.boxes().empty());
}

TEST_F(SettingsTest, OverlongFileLoadsItsFirst1044Bytes) {
    Bytes big = sampleImage();
    big.resize(5000, 0xEE);
    fs.files[kPath] = big;
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(recordBytes(), sampleImage());
}

TEST_F(SettingsTest, ReadFailureKeepsWhatWasReadAndSaysSo) {
    fs.files[kPath] = sampleImage();
    fs.failReadAfter = 100;
    EXPECT_EQ(loadConfigFile(), 0);
    Bytes record = recordBytes();
    Bytes sample = sampleImage();
    EXPECT_TRUE(std::equal(sample.begin(), sample.begin() + 100, record.begin()));
    EXPECT_EQ(record[100], 0);
    auto boxes = fs.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Read file failed.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, kMbIconExclamation);
    EXPECT_EQ(fs.files.at(kPath), sample);
    // The half-read record is never written over the file.
    mxf.comPort = 3;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.files.at(kPath), sample);
    EXPECT_EQ(fs.files.size(), 1u);
}

TEST_F(SettingsTest, FileThatCouldNotBeReadIsKeptUntilTheUserDeletesIt) {
    fs.files[kPath] = sampleImage();
    fs.locked.insert(kPath);
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 1);
    EXPECT_EQ(std::memcmp(&mxf.mxState, kDefaultRegisters, sizeof kDefaultRegisters), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    EXPECT_TRUE(fs.boxes().empty());
    // Saving while it is still locked keeps the old file.
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    // So does a save once the lock has gone (a COM port chosen later): the defaults in
    // memory never replace the messages the file may hold.
    fs.locked.clear();
    mxf.comPort = 4;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    EXPECT_EQ(fs.files.size(), 1u);
    EXPECT_TRUE(fs.boxes().empty());
    // "ResetDefaults": the user deletes the file and loads again, which writes it anew.
    EXPECT_TRUE(fs.remove(kPath));
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(fs.files.at(kPath), defaultImage());
    mxf.comPort = 4;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.files.at(kPath)[0], 4);
}

TEST_F(SettingsTest, SavingThroughALinkReplacesItsTargetAndKeepsTheLink) {
    const std::string target = "D:\\settings\\cwbench.cfg";
    fs.links[kPath] = target;
    fs.files[target] = sampleImage();
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(recordBytes(), sampleImage());
    mxf.comPort = 7;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(fs.links.at(kPath), target);
    ASSERT_EQ(fs.files.count(target), 1u);
    EXPECT_EQ(fs.files.at(target)[0], 7);
    EXPECT_EQ(fs.files.size(), 1u) << "no file in the link's place, no temporary left";
}


TEST_F(SettingsTest, FileThatCannotBeCreatedIsLeftAloneAndTheUserToldOnce) {
    fs.uncreatable.insert(std::string(kPath) + ".new");
    fs.uncreatable.insert(kPath);
    fs.files[kPath] = sampleImage();
    mxf.comPort = 9;
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    auto boxes = fs.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCannotSaveText);
    EXPECT_EQ(boxes[0].caption, "Error");
}

TEST_F(SettingsTest, WhereNoNewFileCanBeMadeTheStateFileIsWrittenInPlace) {
    fs.uncreatable.insert(std::string(kPath) + ".new");
    fs.files[kPath] = sampleImage();
    mxf.comPort = 9;
    EXPECT_EQ(saveState(), 1);
    ASSERT_EQ(fs.files.at(kPath).size(), kStateFileSize);
    EXPECT_EQ(fs.files.at(kPath)[0], 9);
    EXPECT_EQ(fs.files.size(), 1u);
    EXPECT_TRUE(fs.boxes().empty());
}

TEST_F(SettingsTest, WriteFailureKeepsTheOldFileAndSaysSo) {
    fs.files[kPath] = sampleImage();
    fs.failWriteAfter = 500;
    mxf.comPort = 9;
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    EXPECT_EQ(fs.files.size(), 1u) << "the partial image is removed";
    auto boxes = fs.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Save State Failed.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].type, kMbIconExclamation);
    EXPECT_EQ(mxf.comPort, 9);
}

// Another program (a virus scanner, the indexer, a sync client) holds the new file for a
// while, and Windows' replacement fails meanwhile, perhaps halfway with the old file
// already moved aside: a whole state file is there afterwards, the new one wherever the
// save could finish within about a second.
TEST_F(SettingsTest, ASaveDisturbedByAnotherProgramLeavesAWholeStateFile) {
    const struct {
        int failures;
        bool halfway;
        int replaces;
        unsigned slept;
        bool saved;
    } cases[] = {
        {0, false, 1, 0, true},      {3, false, 4, 350, true}, {5, true, 6, 1050, true},
        {100, true, 6, 1050, true},  // never replaced: the image goes in the old file's place
        {100, false, 6, 1050, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failures);
        fs.files = {{kPath, sampleImage()}};
        fs.clearBoxes();
        fs.failReplaces = c.failures;
        fs.replaceStopsHalfway = c.halfway;
        fs.replaces = 0;
        fs.slept = 0;
        mxf.comPort = 9;
        EXPECT_EQ(saveState(), c.saved ? 1 : 0);
        EXPECT_EQ(fs.replaces, c.replaces);
        EXPECT_EQ(fs.slept, c.slept);
        ASSERT_EQ(fs.files.at(kPath).size(), kStateFileSize);
        EXPECT_EQ(fs.files.at(kPath)[0], c.saved ? 9 : 0x0C);
        EXPECT_EQ(fs.files.size(), 1u) << "the new file is removed";
        const std::vector<std::string> none, failed{"Save State Failed."};
        std::vector<std::string> said;
        for (const auto& box : fs.boxes()) said.push_back(box.text);
        EXPECT_EQ(said, c.saved ? none : failed);
    }
}

// A standard user can't write the program's folder under Program Files: the settings
// live in the user's own folder, starting from those beside the program.
TEST_F(SettingsTest, AProgramFolderTheUserCantWriteKeepsTheSettingsPerUser) {
    const std::string beside = "C:\\Program Files\\cwbench\\cwbench.cfg";
    const std::string perUser = "C:\\Users\\u\\AppData\\Local\\cwbench\\cwbench.cfg";
    auto start = [&] {
        std::memset(&mxf, 0, sizeof mxf);
        setConfigName(beside.c_str());
        setUserConfigName(perUser.c_str());
        return loadConfigFile();
    };
    fs.readOnlyFolders.insert("C:\\Program Files\\cwbench");
    fs.files[beside] = sampleImage();
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(recordBytes(), sampleImage()) << "carried over";
    EXPECT_EQ(stateFileName(), perUser);
    EXPECT_EQ(fs.files.at(perUser), sampleImage());
    EXPECT_EQ(fs.folders.count("C:\\Users\\u\\AppData\\Local\\cwbench"), 1u);
    mxf.comPort = 5;
    EXPECT_EQ(saveState(), 1);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(mxf.comPort, 5) << "read back from the per-user file";
    // ResetDefaults: the per-user file starts again from the defaults, not from the old
    // file beside the program, which stays as it was.
    EXPECT_TRUE(removeStateFile());
    EXPECT_EQ(loadConfigFile(), 1);
    Bytes head = fs.files.at(perUser), defaults = defaultImage();
    head.resize(20);
    defaults.resize(20);
    EXPECT_EQ(head, defaults);
    EXPECT_EQ(fs.files.at(beside), sampleImage());
    EXPECT_TRUE(fs.boxes().empty());

    // No file beside the program: the defaults, per user.
    fs.files.clear();
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(fs.files.at(perUser), defaultImage());
    EXPECT_EQ(fs.files.size(), 1u);
    // Where the user's folder can't be written either, the user is told, once.
    fs.files.clear();
    fs.readOnlyFolders.insert("C:\\Users\\u\\AppData\\Local\\cwbench");
    start();
    EXPECT_EQ(saveState(), 0);
    EXPECT_TRUE(fs.files.empty());
    auto boxes = fs.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCannotSaveText);
    // A folder that can be written keeps the state file beside the program, and the
    // trial file that told so is gone.
    fs.readOnlyFolders.clear();
    fs.files.clear();
    start();
    EXPECT_EQ(stateFileName(), beside);
    EXPECT_EQ(fs.files.size(), 1u);
    EXPECT_EQ(fs.files.at(beside), defaultImage());
}

TEST_F(SettingsTest, ShowStateAfterDefaultStart) {
    loadConfigFile();
    EXPECT_EQ(showState(), 1);
    auto boxes = fs.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "02 10 05 32 00 00 05 14 00 00 12 32 32 06 ff ");
    EXPECT_EQ(boxes[0].text.size(), 45u);
    EXPECT_EQ(boxes[0].caption, "Local State Registers");
    EXPECT_EQ(boxes[0].type, kMbIconExclamation);
}

TEST_F(SettingsTest, ConfigNameIsKeptWholeOrRefused) {
    // Longer than MAX_PATH: kept whole, not cut to another file's name.
    std::string deep = "C:\\" + std::string(300, 'x') + "\\cwbench.cfg";
    EXPECT_TRUE(setConfigName(deep.c_str()));
    EXPECT_EQ(std::string(szConfigName), deep);
    // The longest name that fits, and one character more.
    std::string longest(kConfigNameSize - 1, 'y');
    EXPECT_TRUE(setConfigName(longest.c_str()));
    EXPECT_EQ(std::strlen(szConfigName), kConfigNameSize - 1);
    std::string tooLong(kConfigNameSize, 'z');
    EXPECT_FALSE(setConfigName(tooLong.c_str()));
    EXPECT_STREQ(szConfigName, "");
    // Without a name the settings live in memory: no file is read, made or replaced.
    EXPECT_EQ(loadConfigFile(), 1);
    EXPECT_EQ(mxf.comPort, 1);
    EXPECT_EQ(saveState(), 1);
    EXPECT_TRUE(fs.files.empty());
}

}  // namespace
}  // namespace cwbench
