// Everything of cwbench that runs off the window thread: the status callback mxCallBack,
// which the keyer library raises on a thread of its own with the chip's status, speed-pot
// and echo reports, and five worker threads:
//   msgThread       plays one stored message through the token parser
//   testThread      sends random characters while test_string is set ("RandChar")
//   keyingThread    keys the paddle contacts at random while random_keying is set
//                   ("KeyerTest"), and releases both when it ends
//   ptrTestThread   the chip's buffer pointer commands, once ("Test Callsign Completion")
//   initLoopThread  opens and closes the chip up to 1000 times ("InitLoop")
//
// Rules that keep the three kinds of thread (window, callback, workers) from ever waiting
// for each other:
// - Every value below that more than one thread touches is an atomic, set by one side
//   and polled by another. Nothing here waits for the window thread.
// - The callback and the workers never touch a control: each change of the panel is a
//   PanelPost (panel_post.h), delivered to the window thread without blocking.
// - The settings record mxf belongs to the window thread. A worker gets what it needs
//   from it when it is started there (a message is copied into the player's own buffer)
//   or from a copy the window thread publishes after each change (the open/close loop
//   reads the port and registers afresh at each pass), and the callback never reads it:
//   the speed bar's position is worked out by the panel when the post arrives.
// - Senders (the message player, the random test, a typed character) pass each character
//   to the chip under one lock, after looking at their flag under it; stopSenders() takes
//   that lock once, so after it returns no sender whose flag was cleared sends again. The
//   lock is never held around anything that waits on a window (the parser's boxes are
//   shown outside it), so Exit never waits for a box.
// - No chip is closed keying. Every close (CloseMx, Exit, the main window's end, each
//   pass of the open/close loop) goes through closeChip: it stops every sender and the
//   keying test, releases whatever contact may be down (DIT, DAH, Tune's key), empties
//   the chip's buffer, ends PTT, and only then calls mx_close. It holds the send lock and
//   the keying lock throughout, so no character, press or Tune can come between the
//   release and mx_close; each lock is waited for at most timing.keyingReleaseMs, and
//   past that (a call stuck in the library) the close goes on regardless. Every
//   mx_directkey and mx_key goes through the keying lock. The callback never takes
//   either lock.
// - Workers are started detached and nobody joins them; the only waits are the bounded
//   ones of Exit and CloseMx for the random keying test to release the contacts and end.
#pragma once

#include "keyerlib/keyer.h"
#include "workers/panel_post.h"

#include <atomic>
#include <chrono>

namespace cwbench {

// --- Values shared by the window thread, the callback and the workers ---------------------

extern std::atomic<unsigned char> mxStatus;    // the last CB_STATUS byte
extern std::atomic<unsigned char> mxSpeedPot;  // the last CB_SPEEDPOT value, WPM
extern std::atomic<int> potLock;               // the speed follows the speed pot
extern std::atomic<int> g_isMX2;               // the last open reported revision 20 or more
// 0 while no stored message plays, else the playing message's ticket; clearing it stops
// the player at its next character.
extern std::atomic<int> activeMsg;
extern std::atomic<const char*> lpActiveMsg;   // the memory the playing message came from
extern std::atomic<int> test_string;           // testThread runs while set
extern std::atomic<int> random_keying;         // keyingThread runs while set
extern std::atomic<signed char> mxOpen;        // the chip is open (panel or loop)

// The random test's characters; index 43, the trailing blank, is never drawn.
inline constexpr char testChars[] = " ABCDEFGH IJKLMNOPQRST UVWXYZ1234567890?,.- ";
static_assert(sizeof testChars == 45);

// --- Where the callback and the workers reach out to -----------------------------------

// Waits, in milliseconds. The defaults are the program's; tests shorten them.
struct WorkerTiming {
    int holdStepMs = 5;          // between looks at mx_xoff while the chip holds input
    int keyingStepMs = 200;      // the random keying step
    int loopDwellMs = 200;       // open and closed in the open/close loop
    int loopPassMs = 1;          // between passes
    int busyPollMs = 10;         // ptrTestThread, between looks at KBUSY
    int busyPatienceMs = 60000;  // ptrTestThread gives up when the chip stays busy this long
    int keyingReleaseMs = 250;   // the most a close waits for a sender or a press to let go
    int pttSettleMs = 50;        // a close lets the chip take the PTT release before the port closes
};

struct WorkerEnvironment {
    Keyer* keyer = nullptr;
    PanelPoster* poster = nullptr;
    WorkerTiming timing;
};

// Sets the library and the panel the callback and the workers use; once, before the
// callback is registered and any worker starts (tests set it per case, with nothing
// running). The environment must outlive every worker.
void setWorkerEnvironment(const WorkerEnvironment* env);

// --- The callback and the thread procedures -------------------------------------------

// Registered with mx_set_callback. 1 for CB_STATUS, CB_SPEEDPOT and CB_ECHOBACK, else 0.
int MXAPI mxCallBack(int lCmd, int lParam);

void msgThread(void* job);  // takes over the PlayJob startMessage made
void testThread(void*);
void keyingThread(void*);
void ptrTestThread(void*);
void initLoopThread(void*);

// --- Starting and stopping (window thread) ---------------------------------------------

// Plays message memory 1..4 of mxf when no message is active: copies it for the player,
// sets lpActiveMsg and a new ticket in activeMsg, and starts msgThread. False (and
// nothing done) while a message is active, or for another number.
bool startMessage(int number);
// "KeyerTest" and "RandChar": when the flag is set, clear it (the worker ends by itself);
// otherwise set it and start the worker.
void toggleKeyingTest();
void toggleRandomTest();
// "Test Callsign Completion".
bool startPtrTest();
// "InitLoop". False, and nothing started, while a loop runs.
bool startInitLoop();
// Publishes mxf.comPort and mxf.mxState for the open/close loop, which opens each pass
// on the port and sends the registers published last. The window thread calls it after
// everything that may change them (the panel's commands and scroll bars, the Comm menu).
void publishSettings();

// --- Keying, sending and closing (any thread) -------------------------------------------

// mx_directkey(contacts), under the keying lock: DIT and DAH of the panel, and the
// keying test's release.
void directKey(Keyer& k, unsigned char contacts);
// mx_key(down), under the keying lock: the panel's Tune.
void tuneKey(Keyer& k, bool down);
// A typed character, sent under the send lock (after the player's last one).
void sendTyped(Keyer& k, unsigned char c);
// Drops what waits in the chip's buffer (mx_clearbuf) and ends PTT. PTT is a buffered
// command (a message's [P]), so its release is the command [N] sent into the emptied
// buffer, where the chip takes it at once. The chip reports no PTT state, so it is sent
// whether or not a message turned PTT on.
void clearChipBuffer(Keyer& k);
// Closes the chip as above; returns mx_close's result. When mxOpen says nothing is open
// the buffer is left alone (only a contact that may be down is released), and a close
// that finds nothing open (MX_NOT_OPEN) stops nothing.
int closeChip(Keyer& k);
// The main window is gone and the program ends: stops every worker and closes the chip
// the same way, without saving the settings.
void closeChipAtExit(Keyer& k);
// How many closes have released the chip so far: the panel's DIT, DAH and Tune toggles
// start released again after one.
unsigned chipCloses();

// Returns once no sender is in the middle of passing a character to the chip.
void stopSenders();
// Waits until every random keying thread has released the contacts and ended, at most
// timing.keyingReleaseMs. False when one is still running.
bool awaitKeyingReleased();

// Workers running now, and a bounded wait for none (tests, and the stress test's end).
int workersRunning();
bool waitForWorkers(std::chrono::milliseconds bound);

}  // namespace cwbench
