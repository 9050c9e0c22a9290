// The shell's decisions: the state and help file names, the window size, the menu
// commands; and the Message Editor.
#include "bench_fixture.h"
#include "messages/message_editor.h"
#include "platform/path_text.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

namespace cwbench {
namespace {

using Calls = std::vector<std::string>;

TEST(StartupNamesTest, TheExtensionAtTheEndIsReplaced) {
    // The program's file name, and what stands before "cfg" and "hlp" in the other two.
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\" + std::string(100, 'e') + "\\cwbench.exe";
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\cwbench\\cwbench.exe", "C:\\Program Files\\cwbench\\cwbench."},
        // An "exe" elsewhere in the path stays where it is.
        {"C:\\exeter\\cwbench.exe", "C:\\exeter\\cwbench."},
        {"C:\\Tools\\exe-files\\cwbench.exe", "C:\\Tools\\exe-files\\cwbench."},
        {"D:\\bin\\exercise.exe", "D:\\bin\\exercise."},
        {"C:\\CWBENCH\\CWBENCH.EXE", "C:\\CWBENCH\\CWBENCH."},
        // No extension, or another one: the name gets one added.
        {"C:\\exe\\cwbench", "C:\\exe\\cwbench."},
        {"C:\\x.exe\\cwbench.com", "C:\\x.exe\\cwbench.com."},
        // Longer than the 127 characters names used to hold: kept whole.
        {deep, deep.substr(0, deep.size() - 3)},
    };
    for (const auto& [program, stem] : cases) {
        SCOPED_TRACE(program);
        ASSERT_TRUE(formStartupNames(OsFamily::WindowsNT, program.c_str()));
        EXPECT_EQ(szModuleFileName, program);
        EXPECT_EQ(szConfigName, stem + "cfg");
        EXPECT_EQ(szHelpName, stem + "hlp");
        EXPECT_STREQ(szOSname, "WinNT/WinXP");
    }
    // The Windows 95 family: the names are fixed.
    ASSERT_TRUE(formStartupNames(OsFamily::Windows95, "C:\\whatever\\cw.exe"));
    EXPECT_STREQ(szModuleFileName, "\\Program Files\\cwbench\\cwbench.exe");
    EXPECT_STREQ(szConfigName, "\\Program Files\\cwbench\\cwbench.cfg");
    EXPECT_STREQ(szHelpName, "\\Program Files\\cwbench\\cwbench.hlp");
    EXPECT_STREQ(szOSname, "Win95/Win98");
    // Too long to hold: no names at all rather than a cut one.
    const std::string tooLong = "C:\\" + std::string(kPathSize, 'x') + "\\cwbench.exe";
    EXPECT_FALSE(formStartupNames(OsFamily::WindowsNT, tooLong.c_str()));
    EXPECT_STREQ(szConfigName, "");
    EXPECT_STREQ(szHelpName, "");
    // A path that fits but whose ".cfg" form wouldn't.
    const std::string edge = std::string(kPathSize - 2, 'y');
    EXPECT_FALSE(formStartupNames(OsFamily::WindowsNT, edge.c_str()));
    EXPECT_STREQ(szConfigName, "");
}

TEST(WindowSizeTest, ForTheScreensResolution) {
    const std::tuple<int, int, int> cases[] = {{96, 380, 498},  {120, 504, 610}, {144, 604, 732},
                                               {72, 302, 366},  {0, 380, 498},   {-1, 380, 498}};
    for (const auto& [dpi, width, height] : cases) {
        const WindowSize s = windowSizeForDpi(dpi);
        EXPECT_EQ(s.width, width) << dpi;
        EXPECT_EQ(s.height, height) << dpi;
    }
}

class FakeShellWindow final : public ShellWindow {
public:
    std::vector<std::string> did;
    void markCommPort(int port) override { did.push_back("mark " + std::to_string(port)); }
    void warningBox(const char* text) override { did.push_back(std::string("warning ") + text); }
    void runMessageEditor() override { did.push_back("editor " + std::to_string(editMsg)); }
    void runAbout() override { did.push_back("about"); }
    void runHelpEngine(const char* file) override { did.push_back(std::string("help engine ") + file); }
    bool helpEngineThere() override { return helpEngine; }
    bool helpEngine = true;
    bool openDocument(const char* path) override {
        did.push_back(std::string("open ") + path);
        return documentOpens;
    }
    bool documentOpens = true;
};

class MenuTest : public test::BenchTest {
protected:
    FakeShellWindow shell;
};

TEST_F(MenuTest, CommCommandsStoreThePortAndSaveEveryTime) {
    loadConfigFile();
    const int ids[12] = {500, 501, 502, 503, 504, 505, 519, 526, 538, 546, 556, 566};
    for (int port = 1; port <= 12; ++port) {
        EXPECT_EQ(commCommandForPort(port), ids[port - 1]);
        EXPECT_EQ(portForCommCommand(ids[port - 1]), port);
    }
    EXPECT_EQ(commCommandForPort(0), 0);
    EXPECT_EQ(commCommandForPort(13), 0);
    EXPECT_EQ(portForCommCommand(506), 0);

    for (int id : {CM_COM3, CM_COM3, CM_COM12}) {
        files.files.erase(test::kStateFile);
        EXPECT_EQ(menuCommand(id, shell, keyer), 1);
        ASSERT_EQ(files.files.count(test::kStateFile), 1u) << "saved even when the port is the same";
        EXPECT_EQ(files.files[test::kStateFile][0], portForCommCommand(id));
    }
    EXPECT_EQ(shell.did, (std::vector<std::string>{"mark 3", "mark 3", "mark 12"}));
}

TEST_F(MenuTest, OpenCloseLoopTakesChangesAtItsNextPass) {
    loadConfigFile();
    initState(dlg);
    // While pass 0 has the chip open, the user picks Com5, updates the weight to 60 and
    // holds DIT; pass 0 lets go of DIT before it closes, pass 1 opens on COM5 with 60.
    std::atomic<int> stage{0};
    keyer.onCall = [&, pass = 0](const std::string& call) mutable {
        if (call == "mx_getpot()" && pass++ == 0) for (stage = 1; stage != 2;) std::this_thread::yield();
        if (call == "mx_open(5)" && pass == 2) keyer.openResult = NO_ECHO_RESPONSE;
    };
    ASSERT_TRUE(startInitLoop());
    while (stage != 1) std::this_thread::yield();
    menuCommand(CM_COM5, shell, keyer);
    dlg.type(IDWEIGHT, "60");
    panel.command(IDUPDATE, 0);
    panel.command(IDDIT, 0);
    stage = 2;
    ASSERT_TRUE(waitForWorkers(std::chrono::seconds(10)));
    EXPECT_EQ(calls(), (Calls{"mx_open(1)", "mx_send_defaults()", "mx_getpot()", "mx_weight(60)", "mx_directkey(2)",
                              "mx_directkey(0)", "mx_clearbuf()", "mx_char(24)", "mx_char(0)", "mx_close()", "mx_open(5)",
                              "mx_send_defaults()", "mx_getpot()", "mx_clearbuf()", "mx_char(24)", "mx_char(0)",
                              "mx_close()", "mx_open(5)"}));
    EXPECT_EQ(keyer.lastDefaults().weight, 60);
}

TEST_F(MenuTest, DebugAndPlayCommands) {
    mxf.comPort = 0x107;
    const std::pair<int, Calls> cases[] = {
        {CM_MXREGS, {}},  // closed: the warning
        {CM_POTVAL, {"mx_get_pot_a2d()"}},
        {CM_PDLVAL, {"mx_get_pdl_a2d()"}},
        {CM_POWERON, {"mx_power(7, 1)"}},
        {CM_POWEROFF, {"mx_power(7, 0)"}},
    };
    for (const auto& [id, expected] : cases) {
        keyer.clear();
        EXPECT_EQ(menuCommand(id, shell, keyer), 1);
        EXPECT_EQ(calls(), expected) << id;
    }
    EXPECT_EQ(shell.did, std::vector<std::string>{"warning MX not Open !"});
    mxOpen = 1;
    keyer.clear();
    menuCommand(CM_MXREGS, shell, keyer);
    EXPECT_EQ(calls(), Calls{"mx_dumpdebug()"});

    EXPECT_EQ(menuCommand(CM_MXSTATE, shell, keyer), 0);
    EXPECT_EQ(menuCommand(12345, shell, keyer), 0);

    // Each Play command plays its own memory.
    std::strcpy(mxf.msg1Buf, "A");
    std::strcpy(mxf.msg2Buf, "B");
    std::strcpy(mxf.msg3Buf, "C");
    std::strcpy(mxf.msg4Buf, "D");
    for (int n = 0; n < 4; ++n) {
        keyer.clear();
        EXPECT_EQ(menuCommand(CM_MSG1PLAY + 2 * n, shell, keyer), 1);
        ASSERT_TRUE(waitForWorkers(std::chrono::seconds(5)));
        EXPECT_EQ(keyer.callsStartingWith("mx_char("), Calls{"mx_char(" + std::to_string('A' + n) + ")"});
    }
}

TEST_F(MenuTest, EditSavesWhateverTheEditorDid) {
    loadConfigFile();
    for (int n = 1; n <= 4; ++n) {
        files.files.erase(test::kStateFile);
        EXPECT_EQ(menuCommand(CM_MSG1EDIT + 2 * (n - 1), shell, keyer), 1);
        EXPECT_EQ(editMsg, n);
        EXPECT_EQ(files.files.count(test::kStateFile), 1u);
    }
    menuCommand(CM_ABOUT, shell, keyer);
    EXPECT_EQ(shell.did, (std::vector<std::string>{"editor 1", "editor 2", "editor 3", "editor 4", "about"}));

    char line[64];
    formatBuildLine(line, sizeof line);
    EXPECT_STREQ(line, "Ver 3.1, Built 12:59:52, Jan 16 2007 ");
    formStartupNames(OsFamily::WindowsNT, "C:\\cw\\cwbench.exe");
    formatOsLine(line, sizeof line);
    EXPECT_STREQ(line, "Operating System is WinNT/WinXP");
}

TEST_F(MenuTest, HelpOpensTheHelpFileElseReadmeElseSaysWhereHelpIs) {
    formStartupNames(OsFamily::WindowsNT, "C:\\cw\\cwbench.exe");
    files.files = {{"C:\\cw\\cwbench.hlp", {}}, {"C:\\cw\\README.txt", {}}};
    menuCommand(CM_HELP, shell, keyer);
    shell.helpEngine = false;  // Windows 10: README.txt instead
    menuCommand(CM_HELP, shell, keyer);
    files.files.erase("C:\\cw\\cwbench.hlp");
    shell.documentOpens = false;  // no program for text files
    menuCommand(CM_HELP, shell, keyer);
    files.files.clear();
    EXPECT_EQ(menuCommand(CM_HELP, shell, keyer), 1);
    EXPECT_EQ(shell.did, (Calls{"help engine C:\\cw\\cwbench.hlp", "open C:\\cw\\README.txt", "open C:\\cw\\README.txt"}));
    ASSERT_EQ(files.boxes().size(), 2u);
    EXPECT_EQ(files.boxes()[0].text, "cwbench couldn't open its help, C:\\cw\\README.txt. Open it in Notepad.");
    EXPECT_EQ(files.boxes()[1].text, kNoHelpText);
}

TEST(PathTextTest, NamesConvertBothWaysAndTakeTheLongFormFrom248Units) {
    // Cyrillic, a pair of surrogates and unpaired ones, as Windows file names may hold.
    const std::u16string name = u"C:\\\u0410\u043d\u0434\\\U0001F600\xD800x\xDC00";
    EXPECT_EQ(utf16FromUtf8(utf8FromUtf16(name)), name);
    EXPECT_EQ(utf16Length(utf8FromUtf16(name)), name.size());
    const std::u16string x(245, u'x'), shorter = u"C:\\" + x.substr(1);
    EXPECT_EQ(extendedLengthPath(u"C:/" + x), u"\\\\?\\C:\\" + x);
    EXPECT_EQ(extendedLengthPath(u"\\\\srv\\s/" + x), u"\\\\?\\UNC\\srv\\s\\" + x);
    EXPECT_EQ(extendedLengthPath(shorter), shorter);
    EXPECT_EQ(plainPath(u"\\\\?\\UNC\\srv\\s"), u"\\\\srv\\s");
}

// Whole starts from a Cyrillic folder (ANSI calls would see '?') or 260 to 1,024 units.
TEST(StartupTest, ProgramFoldersInAnyLettersAndUpTo1023UnitsKeepTheirSettings) {
    test::freshSettings();
    RecordingPlatform fs;
    test::PlatformScope scope(fs);
    auto start = [&](const std::u16string& program) {
        fs.program = utf8FromUtf16(program);
        return loadStartupSettings(OsFamily::WindowsNT);
    };
    auto deep = [](std::size_t units) { return u"C:\\" + std::u16string(units - 15, u'\u20AC') + u"\\cwbench.exe"; };
    for (const std::u16string& program : {std::u16string(u"C:\\\u0410\u043d\u0434\u0440\u0435\u0439\\cw \U0001F4FB\\cwbench.exe"),
                                          deep(260), deep(261), deep(1023), deep(1024)}) {
        fs.files.clear();
        const bool named = start(program);
        EXPECT_EQ(named, program.size() <= kMaxPathUnits) << program.size();
        EXPECT_EQ(utf16FromUtf8(szHelpName), named ? program.substr(0, program.size() - 3) + u"hlp" : u"");
        EXPECT_EQ(utf16FromUtf8(szConfigName), named ? program.substr(0, program.size() - 3) + u"cfg" : u"");
        mxf.comPort = 5;
        saveState();
        start(program);
        EXPECT_EQ(mxf.comPort, named ? 5 : 1);
        EXPECT_EQ(fs.files.size(), named ? 1u : 0u);
    }
}

class EditorTest : public test::BenchTest {};

TEST_F(EditorTest, TokensGoInAtTheCaret) {
    std::strcpy(mxf.msg2Buf, "CQ DE");
    editMsg = 2;
    EXPECT_EQ(messageEditorInit(dlg), 1);
    EXPECT_EQ(msg, mxf.msg2Buf);
    EXPECT_EQ(dlg.at(CM_MSGTEXT).text, "CQ DE");
    const std::pair<int, const char*> presses[] = {
        {CM_BUFSETPTT, "[P]"}, {CM_BUFCLRPTT, "[N]"}, {CM_BUFCANCEL, "[X]"}, {CM_MERGE, "[M]"},
    };
    std::string expected = "CQ DE";
    for (const auto& [button, token] : presses) {
        EXPECT_EQ(messageEditorCommand(dlg, button), 1);
        expected += token;
    }
    const std::tuple<int, const char*, const char*> arguments[] = {
        {CM_BUFWPM, "", "[S00]"}, {CM_BUFWPM, "7", "[S07]"}, {CM_BUFKEY, "123", "[K123]"},
        {CM_BUFWAIT, "10", "[W10]"}, {CM_BUFWAIT, "x", "[W00]"},
    };
    for (const auto& [button, argument, token] : arguments) {
        dlg.type(CM_BUFARG, argument);
        messageEditorCommand(dlg, button);
        expected += token;
    }
    EXPECT_EQ(dlg.at(CM_MSGTEXT).text, expected);
    // A notification from the text box (its id with a code in the high word) does nothing.
    EXPECT_EQ(messageEditorCommand(dlg, (0x300ull << 16) | CM_MSGTEXT), 0);
    EXPECT_EQ(messageEditorCommand(dlg, 1), 0);  // Enter
    EXPECT_EQ(messageEditorCommand(dlg, 2), 0);  // Escape
    EXPECT_EQ(dlg.endedWith, -1);

    // Restore brings the stored text back; Cancel leaves the memory alone.
    messageEditorCommand(dlg, CM_MSGCLR);
    EXPECT_EQ(dlg.at(CM_MSGTEXT).text, "CQ DE");
    dlg.type(CM_MSGTEXT, "changed");
    messageEditorCommand(dlg, CM_MSGCANCEL);
    EXPECT_EQ(dlg.endedWith, 1);
    EXPECT_STREQ(mxf.msg2Buf, "CQ DE");
}

TEST_F(EditorTest, SaveKeepsAtMost255Characters) {
    editMsg = 4;
    messageEditorInit(dlg);
    dlg.type(CM_MSGTEXT, std::string(300, 'K'));
    EXPECT_EQ(messageEditorCommand(dlg, CM_MSGSAVE), 1);
    EXPECT_EQ(dlg.endedWith, 1);
    EXPECT_EQ(std::string(mxf.msg4Buf), std::string(255, 'K'));

    // An editMsg outside 1..4 edits the memory edited last.
    editMsg = 9;
    RecordingDialog again;
    messageEditorInit(again);
    EXPECT_EQ(msg, mxf.msg4Buf);
    EXPECT_EQ(again.at(CM_MSGTEXT).text, std::string(255, 'K'));
}

}  // namespace
}  // namespace cwbench
