// How the status callback and the worker threads change the control panel: they never
// touch its controls. Each change (one character, one indicator) is a PanelPost for the
// window thread that owns the panel, so the caller never waits for that thread, and a
// post that finds the panel gone is simply dropped. The panel applies the posts in the
// order they were made.
//
// Emptying a window (ClearBuf) starts a new generation of its text. Each Append carries
// the generation its window had when the character was made, and one made for an older
// generation is dropped when it arrives: a character queued before the window was
// emptied never writes itself back.
//
// On Windows the posts wait in a PanelPostQueue, and the window thread is woken with one
// PostMessage of a message of cwbench's own when the queue has been idle; while posts keep
// coming it drains the queue from a short timer instead. Posting one window message per
// character would starve the window: Windows hands out posted messages before mouse,
// keyboard and paint messages, so a chip echoing a thousand characters a second would
// leave a click on Exit waiting for ever.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

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
    unsigned generation = 0;  // Append: windowGeneration(control) when it was made
};

// The generation of the text of the Keyboard Entry or Outgoing Morse Window (0 for any
// other control); any thread may ask.
unsigned windowGeneration(int control);
// The window thread is about to empty the window: posts made before are stale.
void newWindowGeneration(int control);

// Delivers posts to the window thread. post() never blocks and may be called from any
// thread; it returns false when the post could not be delivered (no panel, or its queue
// is full), and the post is then lost.
class PanelPoster {
public:
    virtual ~PanelPoster() = default;
    virtual bool post(const PanelPost& p) = 0;
};

// Posts on their way to the window thread. Any thread may push; the window thread takes.
// The lock is held only to add or to swap the list, never while anything else happens.
class PanelPostQueue {
public:
    // Adds a post. True when the window thread must be woken: nothing is scheduled to
    // drain the queue yet. When the queue is full (the window thread stopped draining; its
    // panel is on its way out) the post is lost: false, and *dropped is set if given.
    bool push(const PanelPost& p, bool* dropped = nullptr);
    // Everything queued, oldest first. An empty result means the queue went idle: the
    // next push wakes the window thread again.
    std::vector<PanelPost> take();
    // The wake-up push() asked for could not be delivered: the next push asks again.
    void wakeFailed();

    static constexpr std::size_t kMaxQueued = 1 << 20;

private:
    std::mutex lock_;
    std::vector<PanelPost> posts_;
    bool scheduled_ = false;
};

}  // namespace cwbench
