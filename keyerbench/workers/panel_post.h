// How the status callback and the worker threads change the control panel: they never
// touch its controls. Each change travels as one PanelPost to the window thread that owns
// the panel (on Windows, one PostMessage of a message of cwbench's own), so the caller
// never waits for that thread, and a post that finds the panel gone is simply dropped.
// The panel applies each post in the order it was posted.
#pragma once

namespace cwbench {

// The texts a post can put in a control: fixed words, so that a post carries an index
// and never a pointer into the poster's memory.
enum class PanelText : int {
    Blank,        // " "
    ThreeBlanks,  // "   "
    Busy,
    Xoff,
    BrkIn,
    Wait,
    Tune,
    PB1,
    PB2,
    PB3,
    PB4,
    Open,
    Closed,
    Count
};

// The words of PanelText, e.g. "Xoff".
const char* panelText(PanelText t);

enum class PostKind : int {
    ShowText,        // control shows PanelText(value)
    Append,          // the character value goes in at control's caret (one character)
    SpeedPot,        // the speed pot reads value WPM: speed bar and display follow it
    LoopOpened,      // open/close loop: value = pass * 256 + revision byte
    LoopFailed,      // open/close loop: mx_open failed on pass value
    FillFromRecord,  // copy the settings record into the panel (initState)
    PlayMessage,     // a pushbutton asks for stored message value (1..4) to play
    Count
};

struct PanelPost {
    PostKind kind;
    int control;  // a control id for ShowText and Append, else 0
    long value;
};

// Delivers posts to the window thread. post() never blocks and may be called from any
// thread; it returns false when the post could not be delivered (no panel, or its queue
// is full), and the post is then lost.
class PanelPoster {
public:
    virtual ~PanelPoster() = default;
    virtual bool post(const PanelPost& p) = 0;
};

// Packs a post into a window message's two parameters and back (both builds use it, so
// the packing is tested on the host).
struct PackedPost {
    unsigned long long wParam;
    long long lParam;
};
PackedPost packPost(const PanelPost& p);
// False for a pair that no packPost made.
bool unpackPost(unsigned long long wParam, long long lParam, PanelPost& p);

}  // namespace cwbench
