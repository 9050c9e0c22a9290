// The dialogs as Windows builds them from cwbench's compiled resources (cwbench.rc is
// linked into this program): every control of the control panel (100), the About box
// (200) and the Message Editor (512), in template order, with its id, window class, the
// style bits its kind needs, and its rectangle in dialog units (through MapDialogRect).
#include "resources/cwbench_resource.h"
#include "cwbench_version.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

enum class Kind { Push, DefPush, Check, Radio, Group, Edit, EditMulti, EditRight, Text, Centre, Right, Icon, VBar, HBar, Combo };

struct Expected {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h;
    bool hidden = false;
};

const std::vector<Expected> kPanel = {
    {IDEXIT, Kind::Push, "Exit", 207, 252, 34, 14},
    {INBOUND, Kind::EditMulti, "", 7, 218, 178, 31},
    {OUTBOUND, Kind::EditMulti, "", 7, 159, 178, 44},
    {MXSERIAL, Kind::Text, "", 161, 85, 78, 11},
    {112, Kind::Centre, "Outgoing Morse Window", 5, 149, 175, 9},
    {113, Kind::Centre, "Keyboard Entry Window", 6, 206, 175, 12},
    {IDWEIGHT, Kind::Edit, "", 89, 17, 22, 12},
    {117, Kind::Text, "Weight", 116, 19, 32, 12},
    {IDLEADIN, Kind::Edit, "", 89, 28, 22, 12},
    {119, Kind::Text, "LeadIn", 116, 30, 32, 12},
    {IDTAIL, Kind::Edit, "", 89, 39, 22, 12},
    {121, Kind::Text, "Tail", 116, 41, 32, 12},
    {IDFARNS, Kind::Edit, "", 89, 50, 22, 12},
    {123, Kind::Text, "Farns", 116, 52, 32, 12},
    {PAUSE, Kind::Push, "Pause", 52, 252, 40, 14},
    {CLEARBUF, Kind::Push, "ClearBuf", 7, 252, 40, 14},
    {IDOPEN, Kind::Push, "OpenMx", 153, 48, 40, 14},
    {IDCLOSEX, Kind::Push, "CloseMx", 153, 66, 40, 14},
    {IDRATIO, Kind::Edit, "", 89, 61, 22, 12},
    {402, Kind::Text, "Ratio", 116, 63, 32, 12},
    {SWAPBTN, Kind::Check, "Swap", 12, 80, 40, 10},
    {PDLECHO, Kind::Check, "Paddle Echo", 12, 120, 56, 10},
    {PDLDOG, Kind::Check, "PaddleDog", 12, 110, 55, 10},
    {AUTOSPACE, Kind::Check, "AutoSpace", 12, 90, 52, 10},
    {CTSPACE, Kind::Check, "CT Space", 12, 100, 49, 10},
    {SERECHO, Kind::Check, "Serial Echo", 12, 130, 60, 10},
    {IDUPDATE, Kind::Push, "Update", 89, 107, 40, 14},
    {410, Kind::Group, "KeyerMode", 7, 8, 69, 27},
    {411, Kind::Group, "ModeReg", 7, 70, 69, 75},
    {412, Kind::Group, "Customize", 81, 8, 67, 137},
    {IDBUSY, Kind::Text, "", 160, 15, 20, 12},
    {IDXOFF, Kind::Text, "", 185, 15, 20, 12},
    {IDBREAKIN, Kind::Text, "", 210, 15, 22, 12},
    {IDWAIT, Kind::Text, "", 160, 28, 20, 12},
    {IDTUNE, Kind::Push, "Tune", 97, 252, 40, 14},
    {IDTUNESTAT, Kind::Text, "", 185, 28, 21, 12},
    {IDOPENSTAT, Kind::Text, "Closed", 210, 28, 22, 12},
    {423, Kind::Group, "Status", 153, 8, 85, 34},
    {TESTSTR, Kind::Push, "KeyerTest", 198, 66, 40, 14},
    {IDWPMTOP, Kind::EditRight, "", 198, 161, 16, 12},
    {IDWPMBOT, Kind::EditRight, "", 198, 217, 16, 12},
    {IDPOTLOCK, Kind::Check, "PotLock", 197, 234, 43, 10},
    {IDP5PTT, Kind::Radio, "PTT", 159, 110, 39, 10},
    {IDP5KEY, Kind::Radio, "Key", 159, 121, 39, 10},
    {IDOUTCFG, Kind::Group, "Pin Config", 153, 101, 87, 32},
    {IDKEYCOMP, Kind::Edit, "", 89, 72, 22, 12},
    {-1, Kind::Text, "KComp", 116, 74, 27, 12},
    {ID1STEXT, Kind::Edit, "", 89, 83, 22, 12},
    {-1, Kind::Text, "1stExt", 116, 85, 24, 12},
    {IDSAMPADJ, Kind::Edit, "", 89, 94, 22, 12},
    {-1, Kind::Text, "Ksamp", 116, 96, 25, 10},
    {IDLOOP, Kind::Push, "RandChar", 198, 48, 40, 14},
    {IDDIT, Kind::Push, "DIT", 162, 135, 26, 14},
    {IDDAH, Kind::Push, "DAH", 203, 135, 26, 14},
    {420, Kind::Group, "WPM", 190, 150, 51, 97},
    {IDWPMSB, Kind::VBar, "", 220, 161, 15, 68},
    {IDFREQ, Kind::HBar, "", 89, 123, 22, 10},
    {442, Kind::Text, "STfreq", 116, 124, 29, 12},
    {ID_DEFAULT, Kind::Push, "ResetDefaults", 143, 252, 56, 14},
    {IDWPM, Kind::Right, "", 198, 189, 13, 12},
    {ID_PDLTONE, Kind::Check, "PDL Tone", 90, 134, 49, 10, true},
    {IDC_MODECOMBO, Kind::Combo, "", 15, 19, 52, 66},
    {IDC_HANGCOMBO, Kind::Combo, "", 15, 49, 52, 66},
    {127, Kind::Group, "Hang (Set tail=0)", 7, 37, 69, 31},
    {IDP5TONE, Kind::Radio, "Sidetone", 193, 111, 44, 10},
    {128, Kind::Radio, "Auto PTT", 193, 122, 44, 10},
};

const std::vector<Expected> kAbout = {
    {IDOK, Kind::DefPush, "&OK", 78, 79, 40, 14},
    {20, Kind::Icon, "", 10, 10, 20, 8},
    {104, Kind::Centre, "Morsix Testbed for Windows/WIN32 API", 38, 9, 148, 8},
    {IDD_BUILD, Kind::Centre, "", 38, 21, 148, 8},
    {IDD_OSNAME, Kind::Centre, "", 38, 33, 148, 8},
};

const std::vector<Expected> kEditor = {
    {CM_MSGTEXT, Kind::EditMulti, "", 16, 13, 206, 29},
    {CM_MSGCLR, Kind::Push, "Restore", 63, 129, 40, 14},
    {CM_MSGSAVE, Kind::Push, "Save", 113, 129, 40, 14},
    {CM_MSGCANCEL, Kind::Push, "Cancel", 165, 129, 40, 14},
    {202, Kind::Group, "Insert Buffered Command", 15, 46, 204, 76},
    {CM_BUFSETPTT, Kind::Push, "SetPTT", 27, 60, 32, 13},
    {CM_BUFARG, Kind::Edit, "", 31, 95, 25, 12},
    {CM_BUFCLRPTT, Kind::Push, "ClrPTT", 68, 60, 35, 13},
    {CM_BUFWPM, Kind::Push, "SetWpm", 67, 95, 36, 13},
    {CM_BUFKEY, Kind::Push, "SetKey", 114, 95, 39, 13},
    {CM_BUFCANCEL, Kind::Push, "Cancel WPM", 161, 60, 47, 13},
    {CM_BUFWAIT, Kind::Push, "SetWait", 165, 95, 39, 13},
    {215, Kind::Group, "Buffered Command with Argument", 24, 80, 185, 35},
    {CM_MERGE, Kind::Push, "Merge", 114, 59, 39, 14},
};

// The class and the style bits each kind needs; mask selects the bits compared.
struct KindStyle {
    const char* className;
    DWORD mask;
    DWORD bits;
};

KindStyle styleOf(Kind k) {
    const DWORD multi = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    switch (k) {
    case Kind::Push: return {"Button", BS_TYPEMASK | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP};
    case Kind::DefPush: return {"Button", BS_TYPEMASK | WS_TABSTOP, BS_DEFPUSHBUTTON | WS_TABSTOP};
    // The plain kinds: a click only sends a command.
    case Kind::Check: return {"Button", BS_TYPEMASK, BS_CHECKBOX};
    case Kind::Radio: return {"Button", BS_TYPEMASK, BS_RADIOBUTTON};
    case Kind::Group: return {"Button", BS_TYPEMASK, BS_GROUPBOX};
    case Kind::Edit: return {"Edit", ES_RIGHT | ES_CENTER | multi | WS_TABSTOP, ES_LEFT | WS_TABSTOP};
    case Kind::EditMulti: return {"Edit", multi | ES_RIGHT | ES_CENTER, multi};
    case Kind::EditRight: return {"Edit", ES_RIGHT | ES_CENTER | ES_MULTILINE, ES_RIGHT};
    case Kind::Text: return {"Static", SS_TYPEMASK, SS_LEFT};
    case Kind::Centre: return {"Static", SS_TYPEMASK, SS_CENTER};
    case Kind::Right: return {"Static", SS_TYPEMASK, SS_RIGHT};
    case Kind::Icon: return {"Static", SS_TYPEMASK, SS_ICON};
    case Kind::VBar: return {"ScrollBar", SBS_VERT, SBS_VERT};
    case Kind::HBar: return {"ScrollBar", SBS_VERT, SBS_HORZ};
    // (The combo box hands WS_VSCROLL on to its list, whose window is not this one.)
    case Kind::Combo: return {"ComboBox", 0x3 | CBS_SORT | WS_TABSTOP, CBS_DROPDOWN | CBS_SORT | WS_TABSTOP};
    }
    return {"", 0, 0};
}

INT_PTR CALLBACK NoHandling(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog made from the program's own template; the panel is a child and needs a parent.
class Dialog {
public:
    explicit Dialog(int id) {
        if (id == IDD_PANEL)
            parent_ = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 600, 700, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        hwnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), parent_, NoHandling, 0);
    }
    ~Dialog() {
        if (hwnd) DestroyWindow(hwnd);
        if (parent_) DestroyWindow(parent_);
    }
    HWND hwnd = nullptr;

private:
    HWND parent_ = nullptr;
};

// Dialog units to pixels as the dialog manager converts a template: the corner and the
// size each on their own (so the far edge is corner + size, rounded apart).
RECT dialogUnits(HWND dialog, int x, int y, int w, int h) {
    RECT corner{x, y, w, h};
    MapDialogRect(dialog, &corner);
    return RECT{corner.left, corner.top, corner.left + corner.right, corner.top + corner.bottom};
}

std::string text(HWND w) {
    char buffer[256] = "";
    GetWindowTextA(w, buffer, sizeof buffer);
    return buffer;
}

void checkControls(int dialogId, const std::vector<Expected>& expected) {
    Dialog d(dialogId);
    ASSERT_NE(d.hwnd, nullptr) << "dialog " << dialogId << " not created, error " << GetLastError();
    std::size_t i = 0;
    for (HWND c = GetWindow(d.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++i) {
        ASSERT_LT(i, expected.size()) << "more controls than the template should have";
        const Expected& e = expected[i];
        SCOPED_TRACE("dialog " + std::to_string(dialogId) + ", control " + std::to_string(i) + " (" + e.text + ")");
        EXPECT_EQ(static_cast<short>(GetDlgCtrlID(c)), e.id);
        const KindStyle ks = styleOf(e.kind);
        char cls[64] = "";
        GetClassNameA(c, cls, sizeof cls);
        EXPECT_STRCASEEQ(cls, ks.className);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(c, GWL_STYLE));
        EXPECT_EQ(style & ks.mask, ks.bits) << std::hex << "style " << style;
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_EQ((style & WS_VISIBLE) == 0, e.hidden);
        if (e.kind != Kind::Icon) {
            EXPECT_EQ(text(c), e.text);
        }

        RECT actual{};
        GetWindowRect(c, &actual);
        MapWindowPoints(nullptr, d.hwnd, reinterpret_cast<POINT*>(&actual), 2);
        const RECT want = dialogUnits(d.hwnd, e.x, e.y, e.w, e.h);
        EXPECT_EQ(actual.left, want.left);
        EXPECT_EQ(actual.top, want.top);
        // A drop-down combo box is as high as its edit (the list drops below), and an
        // icon control takes the icon's size: only their corner is the template's.
        if (e.kind != Kind::Icon) {
            EXPECT_EQ(actual.right, want.right);
        }
        if (e.kind != Kind::Icon && e.kind != Kind::Combo) {
            EXPECT_EQ(actual.bottom, want.bottom);
        }
    }
    EXPECT_EQ(i, expected.size());
}

TEST(ResourceTest, ControlPanelHasItsSixtySixControls) {
    ASSERT_EQ(kPanel.size(), 66u);
    checkControls(IDD_PANEL, kPanel);
}

TEST(ResourceTest, AboutBox) { checkControls(IDD_ABOUT, kAbout); }

TEST(ResourceTest, MessageEditor) { checkControls(IDD_MSGEDIT, kEditor); }

TEST(ResourceTest, DialogFrames) {
    struct Frame {
        int id;
        const char* caption;
        DWORD must, mustNot;
        int x, y, w, h;
    };
    const Frame frames[] = {
        {IDD_PANEL, "", WS_CHILD | WS_VISIBLE | WS_BORDER, WS_DLGFRAME | WS_SYSMENU, 0, -15, 247, 272},
        {IDD_ABOUT, "Morsix Testbed", WS_POPUP | WS_CAPTION, WS_SYSMENU, 6, 22, 198, 99},
        {IDD_MSGEDIT, "Message Editor", WS_POPUP | WS_CAPTION, WS_SYSMENU, 4, 6, 237, 155},
    };
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.id);
        Dialog d(f.id);
        ASSERT_NE(d.hwnd, nullptr);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(d.hwnd, GWL_STYLE));
        EXPECT_EQ(style & f.must, f.must) << std::hex << style;
        EXPECT_EQ(style & f.mustNot, 0u) << std::hex << style;
        EXPECT_EQ(text(d.hwnd), f.caption);
        RECT client{};
        GetClientRect(d.hwnd, &client);
        const RECT want = dialogUnits(d.hwnd, 0, 0, f.w, f.h);
        EXPECT_EQ(client.right, want.right);
        EXPECT_EQ(client.bottom, want.bottom);
        if (f.id == IDD_PANEL) {
            // A child: its client area's corner sits at (0, -15) dialog units in the
            // parent's client area (the border lies outside it).
            POINT origin{0, 0};
            ClientToScreen(d.hwnd, &origin);
            ScreenToClient(GetParent(d.hwnd), &origin);
            const RECT corner = dialogUnits(d.hwnd, f.x, f.y, 0, 0);
            EXPECT_EQ(origin.x, corner.left);
            EXPECT_EQ(origin.y, corner.top);
        }
    }
}

std::string menuText(HMENU menu, int position) {
    char text[64] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(ResourceTest, MenuIconAndVersion) {
    struct Item {
        int id;
        std::string text;
    };
    std::vector<std::pair<std::string, std::vector<Item>>> popups = {
        {"&Comm", {}},
        {"&Debug", {{506, "LocState"}, {509, "MxState"}, {507, "MXdebug"}, {510, "PotVal"}, {511, "PdlVal"},
                    {3, "Test Callsign Completion"}, {518, "InitLoop"}, {516, "PowerOn"}, {517, "PowerOff"}}},
    };
    for (int id : {500, 501, 502, 503, 504, 505, 519, 526, 538, 546, 556, 566})
        popups[0].second.push_back({id, "Com" + std::to_string(popups[0].second.size() + 1)});
    for (int m = 0; m < 4; ++m)
        popups.push_back({"Msg&" + std::to_string(m + 1), {{530 + 2 * m, "&Play"}, {531 + 2 * m, "&Edit"}}});
    popups.push_back({"&Help", {{300, "&About"}, {508, "&Help"}}});

    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "MAINMENU");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(popups.size()));
    for (int p = 0; p < GetMenuItemCount(menu); ++p) {
        EXPECT_EQ(menuText(menu, p), popups[p].first);
        const HMENU popup = GetSubMenu(menu, p);
        const std::vector<Item>& items = popups[p].second;
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size())) << popups[p].first;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            EXPECT_EQ(static_cast<int>(GetMenuItemID(popup, i)), items[i].id);
            EXPECT_EQ(menuText(popup, i), items[i].text);
            EXPECT_EQ((GetMenuState(popup, i, MF_BYPOSITION) & MF_CHECKED) != 0, p == 0 && i == 0)
                << items[i].text << ": only Com1 is marked";
        }
    }
    DestroyMenu(menu);

    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), "Morsix"), nullptr);
    HRSRC version = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));  // RT_VERSION
    ASSERT_NE(version, nullptr);
    const char* block = static_cast<const char*>(LockResource(LoadResource(nullptr, version)));
    const DWORD size = SizeofResource(nullptr, version);
    // The version CMakeLists.txt sets and the holder LICENSE names, as UTF-16 in the block.
    const std::wstring_view all(reinterpret_cast<const wchar_t*>(block), size / 2);
    for (const wchar_t* needle : {L"" CWBENCH_VERSION_TEXT, L"" BOXTOOLS_COMPANY_NAME, L"" BOXTOOLS_LEGAL_COPYRIGHT})
        EXPECT_NE(all.find(needle), std::wstring_view::npos) << needle;

    HRSRC manifest = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const std::string_view xml(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                               SizeofResource(nullptr, manifest));
    EXPECT_NE(xml.find("name=\"cwbench\" version=\"" CWBENCH_VERSION_TEXT ".0\""), std::string_view::npos);
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string_view::npos);
    EXPECT_NE(xml.find(">true</dpiAware>"), std::string_view::npos);
}

}  // namespace
