// The whole run: the report's composition, the message box, and the list file.
#include <gtest/gtest.h>

#include <fstream>

#include "app/enum_devices_app.h"
#include "base/log.h"
#include "devtree/device_records.h"
#include "diagnosis/diagnosis.h"
#include "platform/synthetic/code_pages.h"
#include "radios/radio_blocks.h"
#include "report/json_report.h"
#include "test_support.h"

namespace portiq {
namespace {

using testing::PortIqTest;

class Report : public PortIqTest {
protected:
    void SetUp() override {
        PortIqTest::SetUp();
        Install();
    }
};

TEST_F(Report, NothingFoundShowsTheNotFoundTextAlone) {
    g_strMessage = "left over by a walk";
    ComposeReport();
    EXPECT_EQ(g_strMessage, "Tavrilink device not found or drivers not installed.");
}

TEST_F(Report, FtdiPortsWithoutABoxFollowWhatTheWalkWrote) {
    g_strMessage = "walk text\n";
    g_strFtdiPorts = "COM3, COM12";
    ComposeReport();
    EXPECT_EQ(g_strMessage, "walk text\nFTDI ports found:\tCOM3, COM12\n\nGo to Device Manager to make\nchanges, if needed.");
}

TEST_F(Report, BoxesWithoutFtdiPortsGetNoFtdiLine) {
    g_strMessage = "Found device #1\n\n";
    g_nDevicesFound = 1;
    ComposeReport();
    EXPECT_EQ(g_strMessage, "Found device #1\n\n\nGo to Device Manager to make\nchanges, if needed.");
}

class Run : public PortIqTest {
protected:
    void RunScenario(const std::string& file, const std::string& extra = "") {
        directory = testing::MakeScratchDirectory();
        std::string text = testing::ReadFileBytes(testing::ScenarioPath(file));
        LoadText(text + "\n" + extra);
        machine.system.fileDirectory = directory;
        EXPECT_FALSE(CEnumDevicesApp().InitInstance());
    }
    std::string ListFile() const { return testing::ReadFileBytes(directory + "/PortIq.lst"); }
    bool ListFileExists() const { return std::ifstream(directory + "/PortIq.lst").good(); }

    std::string directory;
};

TEST_F(Run, TheDefaultMachineShowsBothBoxesTheFtdiLineAndTheHint) {
    RunScenario("default.scn");
    ASSERT_EQ(machine.system.messageBoxes.size(), 1u);
    const synthetic::ShownMessageBox& box = machine.system.messageBoxes[0];
    EXPECT_EQ(box.caption, "PortIQ");
    EXPECT_EQ(box.type, kMbOk);
    EXPECT_EQ(box.text,
              "Found device #1\nAudio\tUSB Audio CODEC\nCOM5\tTavrilink Nova CAT port\nCOM6\tTavrilink Nova PTT/CW port\n\n"
              "Found device #2\nCOM7\tTavrilink Meridian SERIAL port\nCOM8\tTavrilink Meridian FSK port\n\n"
              "FTDI ports found:\tCOM3\n\nGo to Device Manager to make\nchanges, if needed.");
    EXPECT_FALSE(ListFileExists());
}

TEST_F(Run, AnyArgumentMakesTheBoxSystemModal) {
    RunScenario("default.scn", "arguments 1\n");
    EXPECT_EQ(machine.system.messageBoxes.at(0).type, kMbOk | kMbSystemModal);
}

TEST_F(Run, ShiftOrCtrlWritesTheLogInTextMode) {
    RunScenario("default.scn", "hold shift\n");
    std::string expected;
    for (char c : g_strLog) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ListFile(), expected);
    EXPECT_EQ(testing::ReadFileBytes(testing::GoldenPath("default.lst")), expected);

    ResetRunState();
    machine = synthetic::SyntheticMachine();
    RunScenario("default.scn", "hold ctrl\n");
    EXPECT_EQ(ListFile(), expected);
}

TEST_F(Run, AnEmptyLogGivesAnEmptyFileAndCrLfFromTheSystemBecomesCrCrLf) {
    RunScenario("unreadable-tree.scn", "hold shift\n");
    EXPECT_EQ(ListFile(), "Sound devices:\r\n *** ERROR *** Device tree root not located. ErrorCode = 13\r\n");

    g_strLog = "";
    machine.system.WriteTextFile("PortIq.lst", "", 0);
    EXPECT_EQ(ListFile(), "");  // written where the run writes it: fileDirectory
    g_strLog = " failed with error 5: Access is denied.\r\n";
    SaveListFile(kMbOk);
    EXPECT_EQ(ListFile(), " failed with error 5: Access is denied.\r\r\n");
}

TEST_F(Run, WithoutAKeyNoFileIsWrittenAndAnOldOneIsLeftAlone) {
    directory = testing::MakeScratchDirectory();
    { std::ofstream(directory + "/PortIq.lst", std::ios::binary) << "old log"; }
    LoadFile("default.scn");
    machine.system.fileDirectory = directory;
    CEnumDevicesApp().InitInstance();
    EXPECT_EQ(ListFile(), "old log");
}

TEST_F(Run, AListFileThatCantBeWrittenIsReportedAndTheRunEndsNormally) {
    RunScenario("default.scn", "hold shift\nlanguage 1049\n");
    ASSERT_EQ(machine.system.messageBoxes.size(), 1u);  // written: no second box

    ResetRunState();
    machine = synthetic::SyntheticMachine();
    machine.system.fileWriteError = 5;
    RunScenario("default.scn", "hold shift\nlanguage 1049\narguments 2\n");
    ASSERT_EQ(machine.system.messageBoxes.size(), 2u);
    const synthetic::ShownMessageBox& box = machine.system.messageBoxes[1];
    EXPECT_EQ(box.caption, "PortIQ");
    EXPECT_EQ(box.type, kMbOk | kMbSystemModal | kMbIconExclamation);
    EXPECT_EQ(synthetic::CodePageToUtf8(1251, box.text),
              "Не удалось сохранить диагностический журнал в файл PortIq.lst ни в папке C:\\PortIQ, ни на рабочем столе."
              "\n\nAccess is denied.\r\n");

    // A folder the user can't write (Program Files): the Desktop takes the file.
    ResetRunState();
    machine = synthetic::SyntheticMachine();
    machine.system.fileWriteError = 5;
    machine.system.desktop = "C:\\Users\\ham\\Desktop";
    RunScenario("default.scn", "hold shift\n");
    ASSERT_EQ(machine.system.messageBoxes.size(), 2u);
    EXPECT_EQ(machine.system.messageBoxes[1].text,
              "The current folder can't be written, so the diagnostic log was saved as C:\\Users\\ham\\Desktop\\PortIq.lst.");
    EXPECT_EQ(machine.system.messageBoxes[1].type, kMbOk | kMbIconInformation);
    EXPECT_EQ(machine.system.fileWrites.back().path, "C:\\Users\\ham\\Desktop\\PortIq.lst");
}

TEST_F(Run, ARealFileSystemRefusalIsReportedToo) {
    directory = testing::MakeScratchDirectory();
    LoadFile("default.scn");
    // A directory where the file should go can't be opened for writing, even by root.
    machine.system.fileDirectory = directory + "/missing-directory";
    machine.system.shiftHeld = true;
    CEnumDevicesApp().InitInstance();
    ASSERT_EQ(machine.system.messageBoxes.size(), 2u);
    EXPECT_EQ(machine.system.messageBoxes[1].text,
              "The diagnostic log could not be saved to PortIq.lst, either in C:\\PortIQ or on the Desktop.\n\n"
              "The system cannot find the path specified.\r\n");
}

TEST_F(Run, RussianAndUkrainianUsersGetTheirLanguage) {
    RunScenario("default.scn", "language 1049\n");
    const std::string header = "Найден интерфейс №1\nAudio\tUSB Audio CODEC\n";
    EXPECT_EQ(synthetic::CodePageToUtf8(1251, machine.system.messageBoxes.at(0).text).substr(0, header.size()), header);
    ResetRunState();
    machine = synthetic::SyntheticMachine();
    RunScenario("unreadable-tree.scn", "language 1058\n");
    EXPECT_EQ(synthetic::CodePageToUtf8(1251, machine.system.messageBoxes.at(0).text),
              "Не підключений інтерфейс або не встановлений драйвер.");
}

// The JSON report of the default machine, parsed back: the boxes as the report shows
// them, and radio blocks as the radio pass leaves them (filled here by hand).
TEST_F(Run, TheJsonReportSaysWhatTheMessageBoxSays) {
    RunScenario("default.scn", "language 1049\n");
    int nova = 0;
    while (g_usbDevices.at(nova).strSerial != "TN0A1B2C") ++nova;
    g_boxFindings.at(nova).push_back({Cause::kNoAccess, "COM6", "\xC3"});
    g_radioBlocks = {{"", nova, 0, {{"COM9", 0, ""}, {"", 1, "CAT"}}, {{Cause::kModemManager, "COM9", ""}}},
                     {"Maker Rig", 99, -1, {}, {}}};
    JsonReportPlatform platform;
    platform.toUtf8 = [](const std::string& ansi) { return synthetic::CodePageToUtf8(1251, ansi); };
    const auto json = nlohmann::ordered_json::parse(JsonReportText(BuildJsonReport(platform)));
    g_radioBlocks.clear();
    EXPECT_EQ(json["format"], 1);
    ASSERT_EQ(json["boxes"].size(), 2u);
    const auto& box = json["boxes"][0];
    EXPECT_EQ(box["model"], "Tavrilink Nova (CAT+PTT/CW)");
    EXPECT_EQ(box["location"], nlohmann::ordered_json::parse(R"({"host_controller":0,"port_path":"1.2","sysfs_name":null})"));
    EXPECT_EQ(box["serial"], "TN0A1B2C");
    EXPECT_EQ(box["ports"][1], nlohmann::ordered_json::parse(R"({"name":"COM6","role":"PTT/CW","interface":1,
        "channel":"B","device_path":null,"stable_link":null})"));
    EXPECT_EQ(box["sound"]["name"], "USB Audio CODEC");
    EXPECT_EQ(json["boxes"][1]["ports"][0]["role"], "SERIAL");
    EXPECT_EQ(json["boxes"][1]["sound"], nullptr);
    EXPECT_EQ(json["ftdi_ports"], nlohmann::ordered_json::parse(R"(["COM3"])"));
    // A finding's text in the user's language, its detail converted from the code page.
    const auto& finding = json["boxes"][0]["findings"].at(0);
    EXPECT_EQ(finding["cause"], "no_access");
    EXPECT_EQ(finding["detail"], "Г");
    EXPECT_NE(finding["text"].get<std::string>().find("COM6"), std::string::npos);
    const auto& unnamed = json["radios"][0];
    EXPECT_EQ(unnamed["name"], nullptr);
    EXPECT_EQ(unnamed["kind"], "unnamed");
    EXPECT_EQ(unnamed["serial"], "TN0A1B2C");  // the record the block names
    EXPECT_EQ(unnamed["ports"][0]["role"], nullptr);
    EXPECT_EQ(unnamed["ports"][1]["name"], nullptr);
    EXPECT_EQ(unnamed["ports"][1]["role"], "CAT");
    EXPECT_EQ(unnamed["sound"]["name"], "USB Audio CODEC");
    EXPECT_EQ(unnamed["findings"][0]["cause"], "modem_manager");
    EXPECT_EQ(json["radios"][1]["kind"], "known");
    EXPECT_EQ(json["radios"][1]["location"], nullptr);  // a record index out of range
}

// Bytes no conversion made UTF-8 are replaced, never thrown on.
TEST(JsonReport, TextsThatArentUtf8AreReplaced) {
    ResetRunState();
    g_strFtdiPorts = "COM\xFF";
    const std::string text = JsonReportText(BuildJsonReport({}));
    g_strFtdiPorts.clear();
    EXPECT_EQ(nlohmann::ordered_json::parse(text)["ftdi_ports"][0], "COM\xEF\xBF\xBD");
}

}  // namespace
}  // namespace portiq
