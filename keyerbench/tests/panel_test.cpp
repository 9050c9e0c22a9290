// The control panel's decisions: opening and closing, typed text, the parameter boxes,
// the speed bar, the pin configuration, keyer mode and hang, pot lock, ResetDefaults,
// Exit, initState, and the posts of the callback and the workers.
#include "bench_fixture.h"

#include <gtest/gtest.h>

namespace cwbench {
namespace {

using Calls = std::vector<std::string>;

class PanelTest : public test::BenchTest {};

TEST_F(PanelTest, InitRegistersTheCallbackAndFillsOnlyTheCombos) {
    panel.init();
    EXPECT_EQ(calls(), Calls{"mx_set_callback()"});
    EXPECT_EQ(keyer.callback(), &mxCallBack);
    EXPECT_EQ(dlg.at(IDC_MODECOMBO).items,
              (std::vector<std::string>{"Iambic A", "Iambic B", "Ultimatic", "UltimDah", "UltimDit", "VibroBug"}));
    EXPECT_EQ(dlg.at(IDC_HANGCOMBO).items,
              (std::vector<std::string>{"1.0 Word", "1.3 Word", "1.6 Word", "2.0 Word"}));
    EXPECT_EQ(dlg.at(IDC_MODECOMBO).selection, -1);
    EXPECT_EQ(dlg.at(IDC_HANGCOMBO).selection, -1);
    EXPECT_TRUE(dlg.log.empty());
}

TEST_F(PanelTest, OpenPicksTheChipGenerationByRevision) {
    struct Case {
        int revision;
        const char* serial;
        const char* group;
        const char* ptt;
        const char* key;
        bool pdlTone;
        const char* modeCall;
    };
    const Case cases[] = {
        {19, "MX1 F/W revision 19", "Pin5 Config", "PTT", "Key", false, "mx_setmx1mode()"},
        {20, "MX2 F/W revision 20", "Output Cfg", "PTT On", "Port A/B", true, "mx_setmx2mode()"},
        {200, "MX2 F/W revision 200", "Output Cfg", "PTT On", "Port A/B", true, "mx_setmx2mode()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.revision);
        keyer.mx_close();
        test::resetGlobals();
        loadConfigFile();
        mxf.comPort = 0x103;  // the open call passes the low byte
        keyer.clear();
        keyer.revision = c.revision;
        panel.command(IDOPEN, 0);
        EXPECT_EQ(calls(), (Calls{"mx_open(3)", c.modeCall, "mx_send_defaults()", "mx_getpot()"}));
        EXPECT_EQ(dlg.at(MXSERIAL).text, c.serial);
        EXPECT_EQ(dlg.at(IDOUTCFG).text, c.group);
        EXPECT_EQ(dlg.at(IDP5PTT).text, c.ptt);
        EXPECT_EQ(dlg.at(IDP5KEY).text, c.key);
        EXPECT_EQ(dlg.at(ID_PDLTONE).shown, c.pdlTone);
        EXPECT_EQ(g_isMX2.load(), c.pdlTone ? 1 : 0);
        EXPECT_EQ(dlg.at(IDOPENSTAT).text, "Open");
        EXPECT_EQ(mxOpen.load(), 1);
        EXPECT_EQ(dlg.at(IDWEIGHT).text, "50");  // initState filled the panel
        const MXSTATE sent = keyer.lastDefaults();
        EXPECT_EQ(std::memcmp(&sent, kDefaultRegisters, sizeof(MXSTATE)), 0);
    }
}

TEST_F(PanelTest, OpenFailureOnlyShowsWhy) {
    const std::pair<int, const char*> cases[] = {
        {NO_ECHO_RESPONSE, "MX Fail:no echo"},           {ECHO_MISMATCH, "MX Fail:echo mismatch"},
        {NO_OPEN_RESPONSE, "MX Fail:no open response"},  {COM_OPEN_FAILED, "MX Fail:comm open"},
        {GET_COM_STATE_FAILED, "MX Fail:get comm state"}, {SET_COM_STATE_FAILED, "MX Fail:set comm state"},
        {MX_ALREADY_OPEN, "MX Already Open"},            {-7, "MX Fail:unknown error"},
        {MX_NOT_OPEN, "MX Fail:unknown error"},          {5, "MX Fail:unknown error"},
    };
    for (const auto& [result, text] : cases) {
        SCOPED_TRACE(result);
        dlg.log.clear();
        keyer.clear();
        keyer.openResult = result;
        panel.command(IDOPEN, 0);
        EXPECT_EQ(dlg.log, Calls{std::string("setText 107 ") + text});
        EXPECT_EQ(calls().size(), 1u);
        EXPECT_EQ(mxOpen.load(), 0);
    }
}

TEST_F(PanelTest, CloseSavesOnlyWhatWasOpen) {
    panel.command(IDCLOSEX, 0);
    EXPECT_EQ(dlg.at(MXSERIAL).text, "MX not open");
    EXPECT_EQ(files.files.count(test::kStateFile), 0u) << "nothing open: the state file is not written";

    openChip(20);
    files.files.clear();
    activeMsg = 7;
    test_string = 1;
    random_keying = 1;
    mxf.mxState.weight = 61;
    panel.command(IDCLOSEX, 0);
    EXPECT_EQ(activeMsg.load() + test_string.load() + random_keying.load(), 0);
    ASSERT_EQ(files.files.count(test::kStateFile), 1u);
    EXPECT_EQ(files.files[test::kStateFile][4 + 3], 61);
    EXPECT_EQ(dlg.at(IDOPENSTAT).text, "Closed");
    EXPECT_EQ(dlg.at(MXSERIAL).text, " ");
    EXPECT_EQ(mxOpen.load(), 0);
    test_string = 0;
    random_keying = 0;
}

TEST_F(PanelTest, TypedCharactersAreSentShownOrDropped) {
    openChip(20);
    activeMsg = 3;
    for (unsigned ch : {unsigned('a'), unsigned('Z'), unsigned('1'), unsigned(' '), unsigned('\r'), 0x1C1u}) panel.typed(ch);  // high bits ignored
    EXPECT_EQ(calls(), (Calls{"mx_xoff()", "mx_char(65)", "mx_xoff()", "mx_char(90)", "mx_xoff()", "mx_char(49)",
                              "mx_xoff()", "mx_char(32)", "mx_xoff()", "mx_char(13)", "mx_xoff()", "mx_char(193)"}));
    EXPECT_EQ(dlg.at(INBOUND).text, "AZ1 \r\xC1");
    EXPECT_EQ(activeMsg.load(), 0) << "a typed character stops a playing message";

    // While the chip holds input nothing is sent or shown; backspace always goes through.
    keyer.clear();
    keyer.xoff = [] { return 1; };
    panel.typed('q');
    panel.typed(8);
    EXPECT_EQ(calls(), (Calls{"mx_xoff()", "mx_backspace()"}));
    EXPECT_EQ(dlg.at(INBOUND).text, "AZ1 \r\xC1");
    EXPECT_EQ(window.backspaces, 1);
}

TEST_F(PanelTest, UpdateChecksEachBoxOnItsOwn) {
    openChip(20);
    struct Case {
        int box;
        const char* typed;
        const char* error;  // nullptr: accepted
        Calls sent;
    };
    const char* weightError = "Weight must be between 10 and 90";
    const Case cases[] = {
        {IDWEIGHT, "95", weightError, {}},
        {IDWEIGHT, "9", weightError, {}},
        {IDWEIGHT, "300", weightError, {}},
        {IDWEIGHT, "50", nullptr, {}},  // equal to the record: nothing at all
        {IDWEIGHT, "060", nullptr, {"mx_weight(60)"}},
        {IDLEADIN, "251", "LeadIn can't be greater than 250", {}},
        {IDLEADIN, "250", nullptr, {"mx_ptt_leadtail(250, 0)"}},
        {IDTAIL, "251", "Tail can't be greater than 250", {}},
        {IDTAIL, "7", nullptr, {"mx_ptt_leadtail(250, 7)"}},
        {ID1STEXT, "251", "Xtnd can't be greater than 250", {}},
        {ID1STEXT, "250", nullptr, {"mx_xtnd1st(250)"}},
        {IDKEYCOMP, "999", "Kcomp can't be greater than 250", {}},
        {IDKEYCOMP, "1", nullptr, {"mx_kcomp(1)"}},
        {IDFARNS, "5", "Farns can't be greater than 99", {}},
        {IDFARNS, "100", "Farns can't be greater than 99", {}},
        {IDFARNS, "0", nullptr, {"mx_setfarns(0)"}},
        {IDFARNS, "99", nullptr, {"mx_setfarns(99)"}},
        {IDSAMPADJ, "91", "SampAdj must be between 10 and 90", {}},
        {IDSAMPADJ, "10", nullptr, {"mx_keysample(10)"}},
        {IDRATIO, "32", "Dit/Dah Ratio must be between 33 and 66", {}},
        {IDRATIO, "67", "Dit/Dah Ratio must be between 33 and 66", {}},
        {IDRATIO, "66", nullptr, {"mx_ditdah_ratio(66)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.box) + " = " + c.typed);
        keyer.clear();
        dlg.boxes.clear();
        const MXSTATE before = mxf.mxState;
        dlg.type(c.box, c.typed);
        panel.command(IDUPDATE, 0);
        EXPECT_EQ(calls(), c.sent);
        if (c.error) {
            ASSERT_EQ(dlg.boxes.size(), 1u);
            EXPECT_EQ(dlg.boxes[0].text, c.error);
            EXPECT_EQ(dlg.boxes[0].caption, "Parameter Error");
            EXPECT_EQ(dlg.boxes[0].type, kMbIconExclamation);
            EXPECT_EQ(std::memcmp(&before, &mxf.mxState, sizeof before), 0);
            EXPECT_EQ(dlg.at(c.box).text, c.typed) << "the box keeps what was typed";
            initState(dlg);  // the boxes back to the record, for the next case
        } else {
            EXPECT_TRUE(dlg.boxes.empty());
            EXPECT_EQ(dlg.at(c.box).text, std::to_string(std::stoi(c.typed))) << "written back as a plain number";
        }
    }
    EXPECT_EQ(mxf.mxState.weight, 60);
    EXPECT_EQ(mxf.mxState.tail, 7);
    EXPECT_FALSE(dlg.at(IDC_HANGCOMBO).enabled) << "a tail disables the hang time";
}

TEST_F(PanelTest, UpdateRaisesOneBoxPerBadValueAndAppliesTheRest) {
    openChip(20);
    dlg.type(IDWEIGHT, "95");
    dlg.type(IDLEADIN, "20");
    dlg.type(IDRATIO, "70");
    dlg.type(IDTAIL, "0");
    panel.command(IDUPDATE, 0);
    ASSERT_EQ(dlg.boxes.size(), 2u);
    EXPECT_EQ(dlg.boxes[0].text, "Weight must be between 10 and 90");
    EXPECT_EQ(dlg.boxes[1].text, "Dit/Dah Ratio must be between 33 and 66");
    EXPECT_EQ(calls(), Calls{"mx_ptt_leadtail(20, 0)"});
    EXPECT_EQ(mxf.mxState.leadin, 20);
}

TEST_F(PanelTest, SpeedBarSteps) {
    struct Case {
        const char* name;
        unsigned char speed;
        int request;
        int position;
        int expected;  // -1: no change and no call
    };
    // minwpm 5, wpmrange 20: bottom 5, top 25.
    const Case cases[] = {
        {"line up at the top", 25, kLineUp, 0, -1},
        {"line up", 16, kLineUp, 0, 17},
        {"line down at the bottom", 5, kLineDown, 0, -1},
        {"line down", 16, kLineDown, 0, 15},
        {"page up at top - 5", 20, kPageUp, 0, -1},
        {"page up at top - 6", 19, kPageUp, 0, 24},
        {"page down at bottom + 5", 10, kPageDown, 0, -1},
        {"page down at bottom + 6", 11, kPageDown, 0, 6},
        {"thumb at the top of the bar", 16, kThumbPosition, 0, 25},
        {"thumb tracking", 16, kThumbTrack, 20, 5},
        {"below the range, request ignored", 3, kLineDown, 0, 5},
        {"above the range, request ignored", 30, kLineUp, 0, 25},
        {"end scroll", 16, 8, 0, -1},
    };
    openChip(20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keyer.clear();
        mxf.mxState.speed = c.speed;
        panel.verticalScroll(c.request, c.position);
        if (c.expected < 0) {
            EXPECT_TRUE(calls().empty());
            EXPECT_EQ(mxf.mxState.speed, c.speed);
        } else {
            EXPECT_EQ(calls(), Calls{"mx_wpm(" + std::to_string(c.expected) + ")"});
            EXPECT_EQ(mxf.mxState.speed, c.expected);
            EXPECT_EQ(dlg.at(IDWPMSB).scrollPos, 20 - c.expected + 5);
            EXPECT_EQ(dlg.at(IDWPM).text, std::to_string(c.expected));
        }
    }
}

TEST_F(PanelTest, SpeedRangeBoxesAreTakenOverFirst) {
    openChip(20);
    mxf.mxState.speed = 8;
    dlg.type(IDWPMBOT, "10");
    panel.verticalScroll(kLineUp, 0);
    EXPECT_EQ(mxf.mxState.minwpm, 10);
    EXPECT_EQ(mxf.mxState.wpmrange, 15) << "the top box still says 25";
    EXPECT_EQ(calls(), (Calls{"mx_setup_speedpot(10, 15, 255)", "mx_wpm(10)"}));
    EXPECT_EQ(dlg.at(IDWPMSB).scrollMax, 15);

    // A range the fields can't hold is refused and shown as the record has it.
    keyer.clear();
    dlg.type(IDWPMTOP, "9");
    panel.verticalScroll(kLineUp, 0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(dlg.at(IDWPMTOP).text, "25");
    EXPECT_EQ(mxf.mxState.wpmrange, 15);

    // While the speed follows the pot, a scroll only asks for the pot.
    keyer.clear();
    potLock = 1;
    panel.verticalScroll(kLineUp, 0);
    EXPECT_EQ(calls(), Calls{"mx_getpot()"});
}

TEST_F(PanelTest, SidetoneArrowsStayWithinTheNamedTones) {
    openChip(20);
    mxf.mxState.stconst = PDLSTONE | 9;
    for (int i = 0; i < 4; ++i) panel.horizontalScroll(kLineUp);
    EXPECT_EQ(mxf.mxState.stconst, PDLSTONE | MAX_TONE);
    EXPECT_EQ(calls(), (Calls{"mx_st_freq(138)", "mx_st_freq(139)"}));
    keyer.clear();
    mxf.mxState.stconst = 1;
    for (int i = 0; i < 3; ++i) panel.horizontalScroll(kLineDown);
    panel.horizontalScroll(kThumbTrack);
    EXPECT_EQ(mxf.mxState.stconst, MIN_TONE);
    EXPECT_EQ(calls(), Calls{"mx_st_freq(0)"});
}

TEST_F(PanelTest, ModeBoxesToggleTheirBits) {
    openChip(20);  // modereg 0x02
    const std::tuple<int, unsigned char, bool> boxes[] = {
        {SWAPBTN, 0x0A, true}, {AUTOSPACE, 0x08, false}, {SERECHO, 0x0C, true},
        {PDLECHO, 0x4C, true}, {CTSPACE, 0x4D, true},   {PDLDOG, 0xCD, false},  // checked when 0x80 is clear
    };
    for (const auto& [box, modereg, checked] : boxes) {
        keyer.clear();
        panel.command(box, 0);
        EXPECT_EQ(mxf.mxState.modereg, modereg);
        EXPECT_EQ(dlg.at(box).checked, checked);
        EXPECT_EQ(calls(), Calls{"mx_setmode(" + std::to_string(modereg) + ")"});
    }
    keyer.clear();
    panel.command(ID_PDLTONE, 0);
    EXPECT_EQ(mxf.mxState.stconst, 0x85);
    EXPECT_TRUE(dlg.at(ID_PDLTONE).checked);
    EXPECT_EQ(calls(), Calls{"mx_st_freq(133)"});
}

TEST_F(PanelTest, KeyerModeAndHangCombos) {
    openChip(20);
    struct Case {
        int index;
        unsigned char modeBits;
        unsigned char ultimBits;
        bool pincfgSent;
    };
    const Case cases[] = {{4, 0x20, 0x40, true}, {3, 0x20, 0x80, true}, {2, 0x20, 0x00, true},
                          {0, 0x10, 0x00, false}, {5, 0x30, 0x00, false}, {1, 0x00, 0x00, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        keyer.clear();
        dlg.at(IDC_MODECOMBO).selection = c.index;
        panel.command(IDC_MODECOMBO, 3);  // a notification other than a selection change
        EXPECT_TRUE(calls().empty());
        panel.command(IDC_MODECOMBO, kSelectionChange);
        EXPECT_EQ(mxf.mxState.modereg & 0x30, c.modeBits);
        EXPECT_EQ(mxf.mxState.pincfg & 0xC0, c.ultimBits);
        Calls expected{"mx_setmode(" + std::to_string(mxf.mxState.modereg) + ")"};
        if (c.pincfgSent) expected.push_back("mx_pincfg(" + std::to_string(mxf.mxState.pincfg) + ")");
        EXPECT_EQ(calls(), expected);
    }
    keyer.clear();
    dlg.at(IDC_HANGCOMBO).selection = 2;
    panel.command(IDC_HANGCOMBO, kSelectionChange);
    EXPECT_EQ(mxf.mxState.pincfg, 0x26);
    EXPECT_EQ(calls(), Calls{"mx_pincfg(38)"});

    // Any notification of the Tail box re-reads it for the hang combo.
    dlg.type(IDTAIL, "12");
    EXPECT_EQ(panel.command(IDTAIL, 0x300), 0);
    EXPECT_FALSE(dlg.at(IDC_HANGCOMBO).enabled);
    dlg.type(IDTAIL, "0");
    panel.command(IDTAIL, 0x300);
    EXPECT_TRUE(dlg.at(IDC_HANGCOMBO).enabled);
}

TEST_F(PanelTest, PinButtonsOnBothGenerations) {
    // pincfg 0xF6 (sidetone, port A, hang and Ultimatic bits): on an MX2 chip the buttons
    // are switches that leave the other bits alone; on an MX1 chip each sets a whole value.
    struct Press {
        int revision, button;
        unsigned char pincfg;
        bool ptt, key, tone;
    };
    const Press presses[] = {
        {20, IDP5PTT, 0xF7, true, false, true},  {20, IDP5KEY, 0xFB, true, true, true},
        {20, IDP5KEY, 0xF7, true, false, true},  {20, IDP5TONE, 0xF5, true, false, false},
        {19, IDP5TONE, 6, false, false, true},   {19, IDP5PTT, 5, true, false, false},
        {19, IDP5KEY, 8, false, true, false},
    };
    int opened = 0;
    for (const Press& p : presses) {
        SCOPED_TRACE(std::to_string(p.revision) + ": " + std::to_string(p.button));
        if (p.revision != opened) {
            keyer.mx_close();
            openChip(opened = p.revision);
            mxf.mxState.pincfg = 0xF6;
        }
        keyer.clear();
        panel.command(p.button, 0);
        EXPECT_EQ(mxf.mxState.pincfg, p.pincfg);
        EXPECT_EQ(dlg.at(IDP5PTT).checked, p.ptt);
        EXPECT_EQ(dlg.at(IDP5KEY).checked, p.key);
        EXPECT_EQ(dlg.at(IDP5TONE).checked, p.tone);
        EXPECT_EQ(calls(), Calls{"mx_pincfg(" + std::to_string(p.pincfg) + ")"});
    }
}

TEST_F(PanelTest, PotLockOnlyWhileOpen) {
    panel.command(IDPOTLOCK, 0);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(dlg.log.empty());

    openChip(20);
    panel.command(IDPOTLOCK, 0);
    EXPECT_EQ(calls(), (Calls{"mx_getpot()", "mx_wpm(0)"}));
    EXPECT_EQ(potLock.load(), 1);
    EXPECT_EQ(mxf.mxState.speed, 0);
    EXPECT_TRUE(dlg.at(IDPOTLOCK).checked);

    keyer.clear();
    mxSpeedPot = 22;
    panel.command(IDPOTLOCK, 0);
    EXPECT_EQ(calls(), Calls{"mx_wpm(22)"});
    EXPECT_EQ(mxf.mxState.speed, 22);
    EXPECT_EQ(dlg.at(IDWPM).text, "22");
    EXPECT_EQ(dlg.at(IDWPMSB).scrollPos, 20 - 22 + 5);
    EXPECT_FALSE(dlg.at(IDPOTLOCK).checked);
}

TEST_F(PanelTest, ButtonsThatToggle) {
    const std::pair<int, const char*> presses[] = {
        {PAUSE, "mx_pause(1)"},       {PAUSE, "mx_pause(0)"},      {IDTUNE, "mx_key(1)"},
        {IDDIT, "mx_directkey(2)"},   {IDDAH, "mx_directkey(3)"},  {IDDIT, "mx_directkey(1)"},
        {IDDAH, "mx_directkey(0)"},   {IDTUNE, "mx_key(0)"},
    };
    for (const auto& [button, call] : presses) {
        keyer.clear();
        EXPECT_EQ(panel.command(button, 0), 1);
        EXPECT_EQ(calls(), Calls{call});
    }
    EXPECT_EQ(panel.command(IDC_AUTOPTT, 0), 0);
    EXPECT_EQ(panel.command(IDWEIGHT, 0x300), 0);
}

TEST_F(PanelTest, ClearBufStopsEverythingAndEmptiesTheKeyboardWindow) {
    openChip(20);
    dlg.type(INBOUND, "CQ CQ");
    // The running random test's characters wait in the post queue: none may come back.
    panel.command(IDLOOP, 0);
    while (keyer.callsStartingWith("mx_char(").size() < 30) std::this_thread::yield();
    random_keying = 1;
    panel.command(CLEARBUF, 0);
    EXPECT_EQ(activeMsg.load() + test_string.load() + random_keying.load(), 0);
    ASSERT_TRUE(waitForWorkers(std::chrono::seconds(5)));
    EXPECT_EQ(keyer.callsStartingWith("mx_clearbuf(").size(), 1u);
    panel.applyAll(poster.take());
    EXPECT_EQ(dlg.at(INBOUND).text, "");
    panel.apply({PostKind::Append, INBOUND, 'K', windowGeneration(INBOUND)});
    EXPECT_EQ(dlg.at(INBOUND).text, "K") << "what comes after is shown";
}

TEST_F(PanelTest, ResetDefaultsWritesAFreshFileWhileOpen) {
    loadConfigFile();
    panel.command(ID_DEFAULT, 0);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].text, "MX not Open !");
    EXPECT_EQ(dlg.boxes[0].caption, "Warning");
    EXPECT_TRUE(calls().empty());

    openChip(20);
    mxf.comPort = 3;
    std::strcpy(mxf.msg2Buf, "CQ");
    mxf.mxState.weight = 70;
    saveState();
    panel.command(ID_DEFAULT, 0);
    const std::vector<unsigned char>& file = files.files[test::kStateFile];
    ASSERT_EQ(file.size(), kStateFileSize);
    EXPECT_EQ(file[0], 1);
    EXPECT_EQ(file[4 + 3], 50);
    EXPECT_EQ(file[275], 0);
    EXPECT_EQ(window.portChanges, 1) << "the Comm menu marks port 1 again";
    EXPECT_EQ(dlg.at(IDWEIGHT).text, "50");
    EXPECT_EQ(calls(), Calls{"mx_send_defaults()"});
}

TEST_F(PanelTest, ExitSavesAndClosesOnlyWhatIsOpen) {
    panel.command(IDEXIT, 0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(files.files.count(test::kStateFile), 0u);
    EXPECT_EQ(window.quits, 1);
    EXPECT_EQ(dlg.endedWith, 0);

    openChip(20);
    files.files.clear();
    activeMsg = 2;
    panel.command(IDEXIT, 0);
    EXPECT_EQ(activeMsg.load(), 0);
    EXPECT_EQ(calls(), (Calls{"mx_clearbuf()", "mx_char(24)", "mx_char(0)", "mx_close()"}));
    EXPECT_EQ(files.files.count(test::kStateFile), 1u);
    EXPECT_EQ(mxOpen.load(), 0);
    EXPECT_EQ(window.quits, 2);
}

TEST_F(PanelTest, InitStateShowsTheRecord) {
    struct Case {
        const char* name;
        unsigned char modereg, minwpm, wpmrange, pincfg, tail;
        int isMx2;
        int mode;          // keyer mode combo entry
        const char* top;   // top speed box
        int position;      // speed bar, for speed 16
        int checkedPins;   // 1 PTT, 2 Key, 4 Sidetone; -1: left as they were
    };
    const Case cases[] = {
        {"defaults", 0x02, 5, 20, 0x06, 0, 1, 1, "25", 9, 4},
        {"range to 260", 0x10, 10, 250, 0x06, 0, 1, 0, "260", 244, 4},
        {"UltimDah", 0x20, 5, 20, 0xC6, 0, 1, 3, "25", 9, 4},
        {"UltimDit", 0x20, 5, 20, 0x46, 0, 1, 4, "25", 9, 4},
        {"Ultimatic", 0x20, 5, 20, 0x06, 5, 1, 2, "25", 9, 4},
        {"VibroBug", 0x30, 5, 20, 0x06, 0, 1, 5, "25", 9, 4},
        {"MX1 Key", 0x00, 5, 20, 0x09, 0, 0, 1, "25", 9, 2},
        {"MX1 PTT", 0x00, 5, 20, 0x03, 0, 0, 1, "25", 9, 1},
        {"MX1 none", 0x00, 5, 20, 0x30, 0, 0, 1, "25", 9, -1},
    };
    panel.init();  // the combos' entries
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memcpy(&mxf.mxState, kDefaultRegisters, sizeof(MXSTATE));
        MXSTATE& s = mxf.mxState;
        s.modereg = c.modereg;
        s.minwpm = c.minwpm;
        s.wpmrange = c.wpmrange;
        s.pincfg = c.pincfg;
        s.tail = c.tail;
        g_isMX2 = c.isMx2;
        for (int pin : {IDP5PTT, IDP5KEY, IDP5TONE}) dlg.at(pin).checked = true;
        EXPECT_EQ(initState(dlg), 1);
        EXPECT_EQ(dlg.at(IDC_MODECOMBO).selection, c.mode);
        EXPECT_EQ(dlg.at(IDWPMBOT).text, std::to_string(c.minwpm));
        EXPECT_EQ(dlg.at(IDWPMTOP).text, c.top);
        EXPECT_EQ(dlg.at(IDWPMSB).scrollMax, c.wpmrange);
        EXPECT_EQ(dlg.at(IDWPMSB).scrollPos, c.position);
        EXPECT_EQ(dlg.at(IDC_HANGCOMBO).enabled, c.tail == 0);
        const bool ptt = dlg.at(IDP5PTT).checked, key = dlg.at(IDP5KEY).checked, tone = dlg.at(IDP5TONE).checked;
        EXPECT_EQ((ptt ? 1 : 0) | (key ? 2 : 0) | (tone ? 4 : 0), c.checkedPins < 0 ? 7 : c.checkedPins);
        EXPECT_FALSE(dlg.at(ID_PDLTONE).checked);
    }
    // Speed 0: the pot lock is checked and the speed display left alone.
    dlg.at(IDWPM).text = "17";
    mxf.mxState.speed = 0;
    mxf.mxState.stconst = PDLSTONE | 5;
    initState(dlg);
    EXPECT_EQ(potLock.load(), 1);
    EXPECT_TRUE(dlg.at(IDPOTLOCK).checked);
    EXPECT_EQ(dlg.at(IDWPM).text, "17");
    EXPECT_TRUE(dlg.at(ID_PDLTONE).checked);
}

TEST_F(PanelTest, PostsFromOtherThreadsLandInTheirControls) {
    openChip(20);
    mxf.mxState.speed = 16;
    panel.apply({PostKind::ShowText, IDBUSY, static_cast<long>(PanelText::Busy)});
    panel.apply({PostKind::Append, OUTBOUND, 'C'});
    panel.apply({PostKind::Append, OUTBOUND, 'Q'});
    panel.apply({PostKind::SpeedPot, 0, 12});  // pot lock off: ignored
    potLock = 1;
    panel.apply({PostKind::SpeedPot, 0, 12});
    panel.apply({PostKind::LoopOpened, 0, 7 * 256 + 0xF0});  // revision byte taken as signed
    EXPECT_EQ(dlg.at(MXSERIAL).text, "MX rev -16 pass 7");
    panel.apply({PostKind::LoopFailed, 0, 999});
    EXPECT_EQ(dlg.at(MXSERIAL).text, "ERROR on pass 999");
    EXPECT_EQ(dlg.at(IDBUSY).text, "Busy");
    EXPECT_EQ(dlg.at(OUTBOUND).text, "CQ");
    EXPECT_EQ(dlg.at(IDWPM).text, "12");
    EXPECT_EQ(dlg.at(IDWPMSB).scrollPos, 20 - 12 + 5);
    EXPECT_TRUE(calls().empty()) << "posts only show; the callback already told the chip";

    // A pushbutton's play request that arrives after the chip was closed starts nothing.
    std::strcpy(mxf.msg2Buf, "E");
    panel.command(IDCLOSEX, 0);
    panel.apply({PostKind::PlayMessage, 0, 2});
    EXPECT_EQ(activeMsg.load(), 0);
    EXPECT_EQ(workersRunning(), 0);

    // A batch: characters for one window one after another go in as one text.
    dlg.log.clear();
    const unsigned in = windowGeneration(INBOUND);
    panel.applyAll({{PostKind::Append, INBOUND, 'A', in}, {PostKind::Append, INBOUND, 'B', in},
                    {PostKind::Append, OUTBOUND, 'C'}, {PostKind::ShowText, IDXOFF, static_cast<long>(PanelText::Xoff)},
                    {PostKind::Append, OUTBOUND, 'D'}, {PostKind::Append, OUTBOUND, 0}, {PostKind::Append, OUTBOUND, 'E'}});
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"replaceSelection 103 AB", "replaceSelection 101 C", "setText 417 Xoff",
                                                 "replaceSelection 101 DE"}));

    // The queue wakes the window thread once, when it was idle.
    PanelPostQueue queue;
    EXPECT_TRUE(queue.push({PostKind::Append, OUTBOUND, 'X'}));
    EXPECT_FALSE(queue.push({PostKind::Append, OUTBOUND, 'Y'}));
    EXPECT_EQ(queue.take().size(), 2u);
    EXPECT_FALSE(queue.push({PostKind::Append, OUTBOUND, 'Z'})) << "a drain is still scheduled";
    EXPECT_EQ(queue.take().size(), 1u);
    EXPECT_TRUE(queue.take().empty());
    EXPECT_TRUE(queue.push({PostKind::Append, OUTBOUND, 'W'})) << "idle again: wake it";
    queue.wakeFailed();
    EXPECT_TRUE(queue.push({PostKind::Append, OUTBOUND, 'V'})) << "the wake-up was lost: ask again";
    bool dropped = false;  // two posts wait: the last two of these find the queue full
    for (std::size_t i = 0; i < PanelPostQueue::kMaxQueued; ++i) queue.push({PostKind::Append, OUTBOUND, 'U'}, &dropped);
    EXPECT_TRUE(dropped) << "a full queue drops the post and says so";

    // 100,000 echoes in lines of 61: the Outgoing Morse Window shows the newest whole lines.
    std::string echoed;
    for (int i = 0; i < 100000; ++i) {
        echoed.push_back(i % 62 == 61 ? '\n' : static_cast<char>('A' + i % 26));
        mxCallBack(CB_ECHOBACK, echoed.back());
        if (i % 1000 == 999) panel.applyAll(poster.take());
    }
    const std::string& shown = dlg.at(OUTBOUND).text;
    EXPECT_LE(shown.size(), dlg.at(OUTBOUND).limit);
    EXPECT_GE(shown.size(), dlg.at(OUTBOUND).limit / 2);
    EXPECT_EQ(echoed.substr(echoed.size() - shown.size() - 1), "\n" + shown);
}

}  // namespace
}  // namespace cwbench
