// The control panel: cwbench's whole working surface, a modeless child dialog of the main
// window (dialog 100), and the logic that decides what each of its controls does.
//
// What the panel models. The settings record mxf (settings.h) is the truth; the panel's
// boxes, check boxes, combo boxes and scroll bars only show it, and they show it only
// after initState has copied the record in (a successful OpenMx, ResetDefaults, or the
// open/close loop). Until then the boxes are empty and read as 0.
// - Mode register (modereg): five check boxes toggle one bit each; "PaddleDog" is checked
//   when bit 0x80 is clear. The keyer mode combo writes bits 0x30 (and, for the Ultimatic
//   modes, bits 0xC0 of pincfg); each change goes to the chip with mx_setmode/mx_pincfg.
// - Parameters: eight boxes are read by "Update", each on its own, in a fixed order; a
//   number equal to the record does nothing, one outside its limits raises one
//   "Parameter Error" box and changes nothing, an accepted one is stored, written back as
//   a plain decimal and sent.
// - Speed: the vertical bar runs 0..wpmrange with its top as the highest speed, so the
//   position of speed s is wpmrange - s + minwpm. A scroll message first takes over the
//   bottom and top boxes, then moves the speed by one or five within the range; while
//   the speed follows the pot (potLock) it only asks the chip for the pot.
// - Pin configuration: on an MX2 chip (revision 20 or more) the three radio buttons are
//   independent switches of pincfg bits; on an MX1 chip they choose one of three whole
//   values 5, 8, 6. OpenMx relabels them for the chip it found.
// - Open/closed: mxOpen, shown in IDOPENSTAT; MXSERIAL shows the open result or revision.
//   Only PotLock, ResetDefaults and Exit look at mxOpen; every other command calls the
//   library open or not, and the library answers MX_NOT_OPEN.
// - Typed text: each character the keyboard window receives is sent with mx_char and
//   shown, unless the chip holds input (mx_xoff), when it is dropped; backspace always
//   goes to the chip and removes the last shown character.
// - Posts: the status callback and the workers change the panel only through PanelPosts
//   (workers/panel_post.h), which apply() carries out on the window thread. A character
//   posted for the Keyboard Entry Window before ClearBuf emptied it is dropped.
// - The Keyboard Entry and Outgoing Morse Windows scroll for ever: before an insert
//   would pass an edit's text limit, their oldest lines go (appendText).
// - Closing: CloseMx and Exit close the chip through closeChip (workers.h), which stops
//   every sender and lets go of DIT, DAH, Tune's key, the buffer and PTT first. DIT, DAH
//   and Tune are toggles; after any close (the loop's too) they start released again.
//   ClearBuf ends PTT as well as the buffer.
//
// Every member runs on the window thread. The panel reaches the dialog's controls through
// DialogControls and the chip through Keyer, so tests run it against recording fakes.
#pragma once

#include "keyerlib/keyer.h"
#include "platform/dialog.h"
#include "workers/panel_post.h"
#include "workers/workers.h"

#include <string>
#include <vector>

namespace cwbench {

// Direct keying, pause and tune toggles: the window thread's alone.
extern unsigned mxDirect;
extern int mxPause;
extern int mxTune;
// Scratch text for status lines.
extern char sbuf[64];

// Scroll requests (SB_ of a WM_VSCROLL / WM_HSCROLL message).
enum ScrollRequest {
    kLineUp = 0,  // SB_LINEUP, SB_LINELEFT
    kLineDown = 1,  // SB_LINEDOWN, SB_LINERIGHT
    kPageUp = 2,
    kPageDown = 3,
    kThumbPosition = 4,
    kThumbTrack = 5
};
// The combo box notification a selection change sends (CBN_SELCHANGE).
inline constexpr int kSelectionChange = 1;

// The highest sidetone code the arrows reach (MAX_TONE; code 12 has no tone).
inline constexpr unsigned char MAX_TONE = 11;

// What the panel asks of the program around it.
class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    // Hands a backspace to the keyboard window's own procedure, which removes the last
    // character shown.
    virtual void passBackspace() = 0;
    // Posts the quit message (exit code 0).
    virtual void postQuit() = 0;
    // mxf.comPort changed (ResetDefaults): the Comm menu marks the new port.
    virtual void commPortChanged() = 0;
};

// The texts MXSERIAL shows for a failed mx_open.
const char* openFailureText(int result);

// Copies mxf into the panel's controls and sets potLock (see settings.h). Returns 1.
int initState(DialogControls& panel);

class Panel {
public:
    Panel(DialogControls& controls, Keyer& keyer, PanelWindow& window);

    // Dialog initialisation after the edits are subclassed: registers mxCallBack and
    // fills the two combo boxes. Nothing else is filled.
    void init();
    // A character the keyboard window received (its WM_CHAR parameter).
    void typed(unsigned wParam);
    // WM_COMMAND from control id with notification code; 1 when handled, else 0.
    int command(int id, int notification);
    // WM_VSCROLL from the speed bar; position counts for the thumb requests.
    void verticalScroll(int request, int position);
    // WM_HSCROLL from the sidetone arrows.
    void horizontalScroll(int request);
    // A post from the callback or a worker.
    void apply(const PanelPost& p);
    // Posts in the order they were made; characters appended to the same window one after
    // another go in together, as one text.
    void applyAll(const std::vector<PanelPost>& posts);

private:
    int dispatch(int id, int notification);
    void scrollSpeed(int request, int position);
    void appendText(int id, std::string text);
    void dropOldest(int id, int cut, int reach);
    void toggleModeBit(int box, unsigned char bit);
    void togglePaddleDog();
    void togglePaddleTone();
    void keyerModeChanged();
    void hangChanged();
    void tailChanged();
    void update();
    void pinButton(int id);
    void potLockPressed();
    void clearBuffer();
    void open();
    void close();
    void resetDefaults();
    void exit();
    void showSpeedBar(int speed);
    void forgetReleasedToggles();
    void stopPlayingAndTests();

    DialogControls& dlg_;
    Keyer& mx_;
    PanelWindow& window_;
    unsigned closesSeen_ = chipCloses();
};

}  // namespace cwbench
