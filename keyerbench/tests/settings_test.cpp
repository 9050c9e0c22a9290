// The settings record's load, save and show, against files held in memory, including
// the failures a real disk can't be made to produce on demand.
#include "settings/settings.h"
#include "shell/shell.h"
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
    EXPECT_EQ(saveState(), 0);
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
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    // So does a save once the lock has gone (a COM port chosen later): the defaults in
    // memory never replace the messages the file may hold.
    fs.locked.clear();
    mxf.comPort = 4;
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    EXPECT_EQ(fs.files.size(), 1u);
    ASSERT_EQ(fs.boxes().size(), 1u) << "the saves that don't happen say so, once";
    EXPECT_EQ(fs.boxes()[0].text, kKeptUnreadText);
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


TEST_F(SettingsTest, FileThatCannotBeCreatedIsLeftAloneAndTheUserTold) {
    fs.uncreatable.insert(std::string(kPath) + ".new");
    fs.uncreatable.insert(kPath);
    fs.files[kPath] = sampleImage();
    mxf.comPort = 9;
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.at(kPath), sampleImage());
    EXPECT_EQ(fs.boxes().at(0).text, kCannotSaveText);
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

// A virus scanner holds the new file a while; Windows may stop halfway: a whole file stays.
TEST_F(SettingsTest, ASaveDisturbedByAnotherProgramLeavesAWholeStateFile) {
    // Failed replacements, halfway or not; replace calls and milliseconds waited; saved.
    const std::tuple<int, bool, int, unsigned, bool> cases[] = {
        {3, false, 4, 350, true}, {5, true, 6, 1050, true}, {99, true, 6, 1050, true}, {99, false, 6, 1050, false}};
    for (const auto& [failures, halfway, replaces, slept, saved] : cases) {
        fs.files = {{kPath, sampleImage()}};
        fs.clearBoxes();
        fs.failReplaces = failures;
        fs.replaceStopsHalfway = halfway;
        fs.replaces = 0;
        fs.slept = 0;
        mxf.comPort = 9;
        EXPECT_EQ(saveState(), saved ? 1 : 0) << failures;
        EXPECT_EQ(fs.replaces, replaces);
        EXPECT_EQ(fs.slept, slept);
        EXPECT_EQ(fs.files.at(kPath).size(), kStateFileSize);
        EXPECT_EQ(fs.files.at(kPath)[0], saved ? 9 : 0x0C);
        EXPECT_EQ(fs.files.size() + fs.boxes().size(), saved ? 1u : 2u) << "no new file left; a box if not saved";
    }
}

// A standard user can't write the program's folder under Program Files.
TEST_F(SettingsTest, AProgramFolderTheUserCantWriteKeepsTheSettingsPerUser) {
    const std::string beside = "C:\\Program Files\\cw\\cwbench.cfg", perUser = "C:\\Users\\u\\cwbench\\cwbench.cfg";
    fs.program = "C:\\Program Files\\cw\\cwbench.exe";
    fs.userData = "C:\\Users\\u";
    auto start = [&] {
        std::memset(&mxf, 0, sizeof mxf);
        return loadStartupSettings(OsFamily::WindowsNT);
    };
    fs.readOnlyFolders = {"C:\\Program Files\\cw"};
    fs.files[beside] = sampleImage();
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(fs.files.at(perUser), sampleImage()) << "carried over";
    EXPECT_EQ(fs.folders, std::set<std::string>{"C:\\Users\\u\\cwbench"});
    mxf.comPort = 5;
    saveState();
    start();
    EXPECT_EQ(mxf.comPort, 5) << "read back from the per-user file";
    // ResetDefaults starts that file afresh, without the file beside the program.
    removeStateFile();
    loadConfigFile();
    EXPECT_EQ(fs.files.at(perUser)[0], 1);
    // What an earlier build saved through the file virtualization comes first; a file
    // beside the program that can't be opened stops no save.
    for (bool virtualized : {true, false}) {
        fs.files = {{beside, sampleImage()}};
        if (virtualized) fs.files["C:\\Users\\u\\VirtualStore\\Program Files\\cw\\cwbench.cfg"] = Bytes(kStateFileSize, 7);
        fs.locked = {beside};
        start();
        mxf.msg4Buf[0] = 'K';
        EXPECT_EQ(saveState(), 1);
        EXPECT_EQ(fs.files.at(perUser)[0], virtualized ? 7 : 1);
        EXPECT_EQ(fs.files.at(perUser)[787], 'K');
    }
    EXPECT_TRUE(fs.boxes().empty());
    // Where neither folder can be written, the user is told, once.
    fs.files.clear();
    fs.locked.clear();
    fs.readOnlyFolders.insert("C:\\Users\\u\\cwbench");
    start();
    EXPECT_EQ(saveState(), 0);
    EXPECT_EQ(fs.files.size() + fs.boxes().size(), 1u) << "no file, one box";
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
