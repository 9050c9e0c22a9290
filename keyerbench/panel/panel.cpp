#include "panel/panel.h"

#include "platform/platform.h"
#include "resources/cwbench_resource.h"
#include "settings/settings.h"
#include "workers/workers.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <string>

namespace cwbench {

unsigned mxDirect = 0;
int mxPause = 0;
int mxTune = 0;
char sbuf[64];

namespace {

constexpr unsigned char kPaddleDogOff = 0x80;
constexpr unsigned char kUltimDit = 0x40;
constexpr unsigned char kUltimDah = 0x80;
constexpr unsigned char kModeBits = KEYERMODE | NIAMBIC;
constexpr unsigned char kHangBits = HANG0 | HANG1;

// One box of "Update": its field, its limits and how it goes to the chip.
struct Parameter {
    int box;
    unsigned char MXSTATE::*field;
    unsigned lowest, highest;
    bool zeroToo;  // 0 is accepted besides lowest..highest
    const char* rejected;
    void (*send)(Keyer&, const MXSTATE&);
};

const Parameter kParameters[] = {
    {IDWEIGHT, &MXSTATE::weight, 10, 90, false, "Weight must be between 10 and 90",
     [](Keyer& k, const MXSTATE& s) { k.mx_weight(s.weight); }},
    {IDLEADIN, &MXSTATE::leadin, 0, 250, false, "LeadIn can't be greater than 250",
     [](Keyer& k, const MXSTATE& s) { k.mx_ptt_leadtail(s.leadin, s.tail); }},
    {IDTAIL, &MXSTATE::tail, 0, 250, false, "Tail can't be greater than 250",
     [](Keyer& k, const MXSTATE& s) { k.mx_ptt_leadtail(s.leadin, s.tail); }},
    {ID1STEXT, &MXSTATE::xtnd, 0, 250, false, "Xtnd can't be greater than 250",
     [](Keyer& k, const MXSTATE& s) { k.mx_xtnd1st(s.xtnd); }},
    {IDKEYCOMP, &MXSTATE::kcomp, 0, 250, false, "Kcomp can't be greater than 250",
     [](Keyer& k, const MXSTATE& s) { k.mx_kcomp(s.kcomp); }},
    {IDFARNS, &MXSTATE::farns, 10, 99, true, "Farns can't be greater than 99",
     [](Keyer& k, const MXSTATE& s) { k.mx_setfarns(s.farns); }},
    {IDSAMPADJ, &MXSTATE::sampadj, 10, 90, false, "SampAdj must be between 10 and 90",
     [](Keyer& k, const MXSTATE& s) { k.mx_keysample(s.sampadj); }},
    {IDRATIO, &MXSTATE::ditdahratio, 33, 66, false, "Dit/Dah Ratio must be between 33 and 66",
     [](Keyer& k, const MXSTATE& s) { k.mx_ditdah_ratio(s.ditdahratio); }},
};

bool accepted(const Parameter& p, unsigned v) { return (p.zeroToo && v == 0) || (v >= p.lowest && v <= p.highest); }

// The mode register bit each of the five plain mode check boxes toggles.
unsigned char modeBitOf(int box) {
    switch (box) {
    case SWAPBTN: return PDL_SWAP;
    case AUTOSPACE: return ASPACE;
    case SERECHO: return SER_ECHO;
    case PDLECHO: return PDL_ECHO;
    case CTSPACE: return CT_SPACE;
    default: return 0;
    }
}

// The keyer mode combo's entries, in the order the sorted list shows them.
struct KeyerMode {
    unsigned char modeBits;
    bool ultimatic;            // pincfg bits 0xC0 are set from ultimaticBits
    unsigned char ultimaticBits;
};
const KeyerMode kKeyerModes[] = {
    {0x10, false, 0},          // Iambic A
    {0x00, false, 0},          // Iambic B
    {0x20, true, 0},           // Ultimatic
    {0x20, true, kUltimDah},   // UltimDah
    {0x20, true, kUltimDit},   // UltimDit
    {0x30, false, 0},          // VibroBug
};

void errorBox(DialogControls& d, const char* text, const char* caption) {
    d.messageBox(text, caption, kMbIconExclamation);
}

}  // namespace

const char* openFailureText(int result) {
    switch (result) {
    case NO_ECHO_RESPONSE: return "MX Fail:no echo";
    case ECHO_MISMATCH: return "MX Fail:echo mismatch";
    case NO_OPEN_RESPONSE: return "MX Fail:no open response";
    case COM_OPEN_FAILED: return "MX Fail:comm open";
    case GET_COM_STATE_FAILED: return "MX Fail:get comm state";
    case SET_COM_STATE_FAILED: return "MX Fail:set comm state";
    case MX_ALREADY_OPEN: return "MX Already Open";
    default: return "MX Fail:unknown error";
    }
}

Panel::Panel(DialogControls& controls, Keyer& keyer, PanelWindow& window)
    : dlg_(controls), mx_(keyer), window_(window) {}

void Panel::init() {
    mx_.mx_set_callback(mxCallBack);
    for (const char* mode : {"Iambic A", "Iambic B", "Ultimatic", "UltimDah", "UltimDit", "VibroBug"})
        dlg_.addComboString(IDC_MODECOMBO, mode);
    for (const char* hang : {"1.0 Word", "1.3 Word", "1.6 Word", "2.0 Word"}) dlg_.addComboString(IDC_HANGCOMBO, hang);
}

void Panel::typed(unsigned wParam) {
    unsigned char ch = static_cast<unsigned char>(wParam & 0xFF);
    if (ch >= 'a' && ch <= 'z') ch = static_cast<unsigned char>(ch - 'a' + 'A');
    if (ch == 8) {
        mx_.mx_backspace();
        window_.passBackspace();
        return;
    }
    if (mx_.mx_xoff() != 0) return;
    // A typed character stops a playing message; the player's last character goes to the
    // chip before this one, never after it.
    activeMsg.store(0);
    sendTyped(mx_, ch);
    appendText(INBOUND, std::string(1, static_cast<char>(ch)));
}

int Panel::command(int id, int notification) {
    const int handled = dispatch(id, notification);
    // The open/close loop reads the port and registers as the window thread leaves them.
    publishSettings();
    return handled;
}

int Panel::dispatch(int id, int notification) {
    switch (id) {
    case SWAPBTN:
    case AUTOSPACE:
    case SERECHO:
    case PDLECHO:
    case CTSPACE: toggleModeBit(id, modeBitOf(id)); return 1;
    case PDLDOG: togglePaddleDog(); return 1;
    case ID_PDLTONE: togglePaddleTone(); return 1;
    case IDC_MODECOMBO:
        if (notification == kSelectionChange) keyerModeChanged();
        return 1;
    case IDC_HANGCOMBO:
        if (notification == kSelectionChange) hangChanged();
        return 1;
    case IDTAIL: tailChanged(); return 0;
    case IDUPDATE: update(); return 1;
    case IDP5PTT:
    case IDP5KEY:
    case IDP5TONE: pinButton(id); return 1;
    case IDPOTLOCK: potLockPressed(); return 1;
    case PAUSE:
        mxPause = 1 - mxPause;
        mx_.mx_pause(static_cast<unsigned char>(mxPause));
        return 1;
    case IDTUNE:
        forgetReleasedToggles();
        mxTune = 1 - mxTune;
        tuneKey(mx_, mxTune != 0);
        return 1;
    case IDDIT:
        forgetReleasedToggles();
        mxDirect ^= DIT_DIRECT;
        directKey(mx_, static_cast<unsigned char>(mxDirect & 0xFF));
        return 1;
    case IDDAH:
        forgetReleasedToggles();
        mxDirect ^= DAH_DIRECT;
        directKey(mx_, static_cast<unsigned char>(mxDirect & 0xFF));
        return 1;
    case TESTSTR: toggleKeyingTest(); return 1;
    case IDLOOP: toggleRandomTest(); return 1;
    case CLEARBUF: clearBuffer(); return 1;
    case IDOPEN: open(); return 1;
    case IDCLOSEX: close(); return 1;
    case ID_DEFAULT: resetDefaults(); return 1;
    case IDEXIT: exit(); return 1;
    default: return 0;
    }
}

void Panel::toggleModeBit(int box, unsigned char bit) {
    mxf.mxState.modereg ^= bit;
    dlg_.setCheck(box, (mxf.mxState.modereg & bit) != 0);
    mx_.mx_setmode(mxf.mxState.modereg);
}

void Panel::togglePaddleDog() {
    mxf.mxState.modereg ^= kPaddleDogOff;
    dlg_.setCheck(PDLDOG, (mxf.mxState.modereg & kPaddleDogOff) == 0);
    mx_.mx_setmode(mxf.mxState.modereg);
}

void Panel::togglePaddleTone() {
    mxf.mxState.stconst ^= PDLSTONE;
    dlg_.setCheck(ID_PDLTONE, (mxf.mxState.stconst & PDLSTONE) != 0);
    mx_.mx_st_freq(mxf.mxState.stconst);
}

void Panel::keyerModeChanged() {
    int index = dlg_.comboSelection(IDC_MODECOMBO);
    if (index < 0 || index >= static_cast<int>(std::size(kKeyerModes))) return;
    const KeyerMode& m = kKeyerModes[index];
    MXSTATE& s = mxf.mxState;
    s.modereg = static_cast<unsigned char>((s.modereg & ~kModeBits) | m.modeBits);
    mx_.mx_setmode(s.modereg);
    if (m.ultimatic) {
        s.pincfg = static_cast<unsigned char>((s.pincfg & ~(kUltimDit | kUltimDah)) | m.ultimaticBits);
        mx_.mx_pincfg(s.pincfg);
    }
}

void Panel::hangChanged() {
    int index = dlg_.comboSelection(IDC_HANGCOMBO);
    if (index < 0 || index > 3) return;
    MXSTATE& s = mxf.mxState;
    s.pincfg = static_cast<unsigned char>((s.pincfg & ~kHangBits) | (index * 16));
    mx_.mx_pincfg(s.pincfg);
}

void Panel::tailChanged() { dlg_.enable(IDC_HANGCOMBO, dlg_.getUnsigned(IDTAIL) == 0); }

void Panel::update() {
    MXSTATE& s = mxf.mxState;
    for (const Parameter& p : kParameters) {
        const unsigned v = dlg_.getUnsigned(p.box);
        if (v == s.*p.field) continue;
        if (!accepted(p, v)) {
            errorBox(dlg_, p.rejected, "Parameter Error");
            continue;
        }
        s.*p.field = static_cast<unsigned char>(v);
        dlg_.setUnsigned(p.box, v);
        p.send(mx_, s);
        if (p.box == IDTAIL) dlg_.enable(IDC_HANGCOMBO, s.tail == 0);
    }
}

void Panel::pinButton(int id) {
    MXSTATE& s = mxf.mxState;
    if (g_isMX2.load()) {
        switch (id) {
        case IDP5PTT:
            s.pincfg ^= USEPTT;
            dlg_.setCheck(IDP5PTT, (s.pincfg & USEPTT) != 0);
            break;
        case IDP5KEY:
            if (s.pincfg & KEYPORT1) {
                s.pincfg = static_cast<unsigned char>((s.pincfg & ~KEYPORT1) | KEYPORT0);
                dlg_.setCheck(IDP5KEY, false);
            } else {
                s.pincfg = static_cast<unsigned char>((s.pincfg & ~KEYPORT0) | KEYPORT1);
                dlg_.setCheck(IDP5KEY, true);
            }
            break;
        default:
            s.pincfg ^= USESTONE;
            dlg_.setCheck(IDP5TONE, (s.pincfg & USESTONE) != 0);
            break;
        }
    } else {
        // MX1: one of three whole values, which also clears the hang and Ultimatic bits.
        s.pincfg = id == IDP5PTT ? (USEPTT | KEYPORT0) : id == IDP5KEY ? KEYPORT1 : (USESTONE | KEYPORT0);
        for (int b : {IDP5PTT, IDP5KEY, IDP5TONE}) dlg_.setCheck(b, b == id);
    }
    mx_.mx_pincfg(s.pincfg);
}

void Panel::showSpeedBar(int speed) {
    const MXSTATE& s = mxf.mxState;
    dlg_.setScrollPos(IDWPMSB, s.wpmrange - speed + s.minwpm, true);
    dlg_.setUnsigned(IDWPM, static_cast<unsigned>(speed));
}

void Panel::verticalScroll(int request, int position) {
    scrollSpeed(request, position);
    publishSettings();
}

void Panel::scrollSpeed(int request, int position) {
    MXSTATE& s = mxf.mxState;
    // The speed range boxes are taken over first. A range the 8-bit fields can't hold (a
    // bottom above 255, a top below the bottom or more than 255 above it) is refused:
    // the boxes show the record again and nothing changes.
    const unsigned bottomBox = dlg_.getUnsigned(IDWPMBOT);
    const unsigned topBox = dlg_.getUnsigned(IDWPMTOP);
    const bool bottomChanged = bottomBox != s.minwpm;
    const bool topChanged = topBox != static_cast<unsigned>(s.minwpm) + s.wpmrange;
    if (bottomChanged || topChanged) {
        const unsigned bottom = bottomChanged ? bottomBox : s.minwpm;
        const unsigned top = topChanged ? topBox : static_cast<unsigned>(s.minwpm) + s.wpmrange;
        if (bottom > 255 || top < bottom || top - bottom > 255) {
            dlg_.setUnsigned(IDWPMBOT, s.minwpm);
            dlg_.setUnsigned(IDWPMTOP, static_cast<unsigned>(s.minwpm) + s.wpmrange);
            return;
        }
        s.minwpm = static_cast<unsigned char>(bottom);
        s.wpmrange = static_cast<unsigned char>(top - bottom);
        dlg_.setScrollRange(IDWPMSB, 0, s.wpmrange, false);
        mx_.mx_setup_speedpot(s.minwpm, s.wpmrange, s.potrange);
    }
    if (potLock.load()) {
        mx_.mx_getpot();
        return;
    }
    const int bottom = s.minwpm;
    // A speed is one byte: a range reaching above 255 stops there.
    const int top = std::min(s.minwpm + s.wpmrange, 255);
    int speed = s.speed;
    if (speed < bottom) {
        speed = bottom;
    } else if (speed > top) {
        speed = top;
    } else {
        switch (request) {
        case kLineUp:
            if (speed < top) speed += 1;
            break;
        case kLineDown:
            if (speed > bottom) speed -= 1;
            break;
        case kPageUp:
            if (speed < top - 5) speed += 5;
            break;
        case kPageDown:
            if (speed > bottom + 5) speed -= 5;
            break;
        case kThumbPosition:
        case kThumbTrack: speed = std::clamp(s.wpmrange - position + s.minwpm, bottom, top); break;
        default: break;
        }
    }
    if (speed == s.speed) return;
    s.speed = static_cast<unsigned char>(speed);
    showSpeedBar(speed);
    mx_.mx_wpm(s.speed);
}

void Panel::horizontalScroll(int request) {
    MXSTATE& s = mxf.mxState;
    const unsigned char tone = s.stconst & ~PDLSTONE;
    if (request == kLineUp && tone < MAX_TONE) {
        s.stconst = static_cast<unsigned char>(s.stconst + 1);
        mx_.mx_st_freq(s.stconst);
    } else if (request == kLineDown && tone > MIN_TONE) {
        s.stconst = static_cast<unsigned char>(s.stconst - 1);
        mx_.mx_st_freq(s.stconst);
    }
    publishSettings();
}

void Panel::potLockPressed() {
    if (!mxOpen.load()) return;
    MXSTATE& s = mxf.mxState;
    int speed;
    if (potLock.load()) {
        potLock.store(0);
        speed = mxSpeedPot.load();
        showSpeedBar(speed);
    } else {
        potLock.store(1);
        speed = 0;
        mx_.mx_getpot();
    }
    s.speed = static_cast<unsigned char>(speed);
    mx_.mx_wpm(s.speed);
    dlg_.setCheck(IDPOTLOCK, potLock.load() != 0);
}

void Panel::stopPlayingAndTests() {
    activeMsg.store(0);
    random_keying.store(0);
    test_string.store(0);
    stopSenders();
}

void Panel::clearBuffer() {
    stopPlayingAndTests();
    // After the flags: a character taken before they were cleared is now stale.
    newWindowGeneration(INBOUND);
    clearChipBuffer(mx_);
    dlg_.selectAll(INBOUND);
    dlg_.replaceSelection(INBOUND, "");
}

void Panel::open() {
    unsigned char revision = 0;
    const int result = mx_.mx_open(&revision, static_cast<unsigned char>(mxf.comPort & 0xFF));
    if (result != MX_SUCCESS) {
        dlg_.setText(MXSERIAL, openFailureText(result));
        return;
    }
    if (revision < MX2_MIN_REVISION) {
        g_isMX2.store(0);
        dlg_.setText(IDOUTCFG, "Pin5 Config");
        dlg_.setText(IDP5PTT, "PTT");
        dlg_.setText(IDP5KEY, "Key");
        dlg_.show(ID_PDLTONE, false);
        std::snprintf(sbuf, sizeof sbuf, "MX1 F/W revision %d", revision);
        mx_.mx_setmx1mode();
    } else {
        g_isMX2.store(1);
        dlg_.setText(IDOUTCFG, "Output Cfg");
        dlg_.setText(IDP5PTT, "PTT On");
        dlg_.setText(IDP5KEY, "Port A/B");
        dlg_.show(ID_PDLTONE, true);
        std::snprintf(sbuf, sizeof sbuf, "MX2 F/W revision %d", revision);
        mx_.mx_setmx2mode();
    }
    dlg_.setText(MXSERIAL, sbuf);
    initState(dlg_);
    mx_.mx_send_defaults(&mxf.mxState);
    dlg_.setText(IDOPENSTAT, "Open");
    mx_.mx_getpot();
    mxOpen.store(1);
}

void Panel::close() {
    if (closeChip(mx_) == MX_NOT_OPEN) {
        dlg_.setText(MXSERIAL, "MX not open");
        return;
    }
    // The test's own last release reaches the closed chip before anything can open it
    // again.
    awaitKeyingReleased();
    saveState();
    dlg_.setText(IDOPENSTAT, "Closed");
    dlg_.setText(MXSERIAL, " ");
    mxOpen.store(0);
}

// A close released the contacts and Tune's key (perhaps on the open/close loop's
// thread), so the next press of DIT, DAH or Tune keys again instead of releasing.
void Panel::forgetReleasedToggles() {
    const unsigned closes = chipCloses();
    if (closes == closesSeen_) return;
    closesSeen_ = closes;
    mxDirect = 0;
    mxTune = 0;
}

void Panel::resetDefaults() {
    if (!mxOpen.load()) {
        errorBox(dlg_, "MX not Open !", "Warning");
        return;
    }
    removeStateFile();
    loadConfigFile();
    window_.commPortChanged();
    initState(dlg_);
    mx_.mx_send_defaults(&mxf.mxState);
}

void Panel::exit() {
    if (mxOpen.load()) {
        stopPlayingAndTests();
        // The random keying test lets go of the contacts before the chip closes; it
        // notices its flag within one sleep slice, so this wait is short and bounded.
        // closeChip releases them itself if it did not, and DIT, DAH or Tune.
        awaitKeyingReleased();
        saveState();
        closeChip(mx_);
        mxOpen.store(0);
    }
    window_.postQuit();
    dlg_.endDialog(0);
}

namespace {

// A character made for a window's text before the window was emptied.
bool stale(const PanelPost& p) { return p.generation != windowGeneration(p.control); }

}  // namespace

// An edit takes no more than its text limit, so the Keyboard and Outgoing windows would
// stop showing new text in a long session. Before an insert that would pass the limit the
// oldest text goes: at least a quarter of the limit at a time, so that this happens
// rarely, and on to the start of the next line when one begins within another quarter,
// so that the window keeps whole lines. Text longer than the limit keeps its newest part.
void Panel::appendText(int id, std::string text) {
    const int limit = dlg_.textLimit(id);
    if (limit > 0) {
        if (text.size() > static_cast<std::size_t>(limit)) text.erase(0, text.size() - limit);
        const int length = dlg_.textLength(id);
        const int excess = length + static_cast<int>(text.size()) - limit;
        if (excess > 0) dropOldest(id, std::min(std::max(excess, limit / 4), length), limit / 4);
    }
    dlg_.replaceSelection(id, text.c_str());
}

// Removes the first cut characters, or up to the start of the line after them when that
// is at most reach further; the caret and selection stay on the same characters.
void Panel::dropOldest(int id, int cut, int reach) {
    const int line = dlg_.lineFromChar(id, cut);
    if (dlg_.lineIndex(id, line) != cut) {
        const int next = dlg_.lineIndex(id, line + 1);
        if (next > cut && next - cut <= reach) cut = next;
    }
    int start = 0, end = 0;
    dlg_.selection(id, start, end);
    dlg_.setSelection(id, 0, cut);
    dlg_.replaceSelection(id, "");
    dlg_.setSelection(id, std::max(start - cut, 0), std::max(end - cut, 0));
}

void Panel::applyAll(const std::vector<PanelPost>& posts) {
    std::string run;
    int runControl = 0;
    auto flush = [&] {
        if (!run.empty()) appendText(runControl, run);
        run.clear();
    };
    for (const PanelPost& p : posts) {
        if (p.kind == PostKind::Append) {
            if ((p.value & 0xFF) == 0 || stale(p)) continue;  // a zero byte has no text to show
            if (p.control != runControl) flush();
            runControl = p.control;
            run.push_back(static_cast<char>(p.value & 0xFF));
            continue;
        }
        flush();
        apply(p);
    }
    flush();
}

void Panel::apply(const PanelPost& p) {
    switch (p.kind) {
    case PostKind::ShowText: dlg_.setText(p.control, panelText(static_cast<PanelText>(p.value))); break;
    case PostKind::Append:
        if (!stale(p)) appendText(p.control, std::string(1, static_cast<char>(p.value & 0xFF)));
        break;
    case PostKind::SpeedPot:
        // The pot lock may have been let go since the report came.
        if (potLock.load()) showSpeedBar(static_cast<int>(p.value & 0xFF));
        break;
    case PostKind::LoopOpened:
        std::snprintf(sbuf, sizeof sbuf, "MX rev %d pass %d", static_cast<signed char>(p.value & 0xFF),
                      static_cast<int>(p.value >> 8));
        dlg_.setText(MXSERIAL, sbuf);
        break;
    case PostKind::LoopFailed:
        std::snprintf(sbuf, sizeof sbuf, "ERROR on pass %d", static_cast<int>(p.value));
        dlg_.setText(MXSERIAL, sbuf);
        break;
    case PostKind::FillFromRecord: initState(dlg_); break;
    case PostKind::PlayMessage:
        // A pushbutton press that reaches the window after CloseMx or Exit is stale: the
        // chip it came from is closed, and nothing may start playing after Exit.
        if (mxOpen.load()) startMessage(static_cast<int>(p.value));
        break;
    default: break;
    }
}

}  // namespace cwbench
