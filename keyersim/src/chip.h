// One open simulated keyer chip: its input buffer, its registers, the chip's own keying
// thread, which keys the buffer as Morse on a timeline of chip time, and its reporter,
// whose own thread raises the callback reports (reporter.h). The keying thread never
// runs the caller's code, so a callback that blocks or floods the chip with calls never
// holds up the keying.
//
// The buffer holds kBufferSize bytes. XOFF goes up when more than kHighWater bytes wait
// and down again when fewer than kLowWater do; a byte that arrives while the buffer is
// full is lost, as on the chip. Positions for the pointer commands count bytes since the
// last mx_ptr_reset; a zero byte in the buffer is a placeholder that is skipped when
// the sender reaches it.
//
// Bytes the sender takes from the buffer:
//   0x00                 placeholder, skipped
//   0x18 a  (BUFPTT)     PTT on (a = 1) or off (a = 0)
//   0x19 n  (BUFKEY)     key down for n seconds
//   0x1A n  (WAIT)       wait n seconds
//   0x1B    (MERGE)      the next character runs into the one after it
//   0x1C n  (BUFSPEED)   key at n WPM from here (0: the speed pot) until 0x1E
//   0x1E    (CANCELSPD)  back to the speed set by mx_wpm or the registers
//   blank, CR, LF        word space
//   a character with a Morse code: keyed; any other byte: echoed without keying
// Each character, blank or line end is echoed (CB_ECHOBACK) once it has been keyed.
//
// A command with an argument waits at the front of the buffer until its argument has
// arrived: the next byte that arrives is the argument, whatever it is (that is how 0, 1
// or a command code get through as arguments). mx_backspace works on whole items, never
// splitting a command from its argument: it drops the last character, or the last
// command together with its argument; a command still waiting for its argument stays
// (the sender is about to send that argument) and the item before it goes instead.
//
// Timeline: a byte starts when the one before has ended, or when it arrived if the chip
// was idle; the thread sleeps until each scheduled edge (catching up at once when it
// wakes late), so delays in waking never accumulate into the timeline. The trace stamps
// bytes, edges and echoes with their scheduled time and, after '@', the time the thread
// actually made them, so lateness shows.
//
// Status (CB_STATUS, on each change): XOFF; BREAKIN while the paddles broke into sending;
// KBUSY while a byte is being keyed or bytes wait to be keyed; KWAIT during a buffered
// wait; KTUNE while the key is held down by mx_key or a buffered key command, reported
// by MX1 chips only (an MX2 chip uses that bit for its pushbutton reports, KPBSTAT with
// the button's bit, followed 100 ms later by KPBSTAT alone for the release).
#pragma once

#include "config.h"
#include "keying_clock.h"
#include "keyerlib/morsixdll.h"
#include "morse.h"
#include "reporter.h"
#include "trace.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keyersim {

// Chip time: wall time since the epoch, sped up by the time scale.
class Clock {
public:
    explicit Clock(double scale = 1.0)
        : epoch_(std::chrono::steady_clock::now()), scale_(scale) {}
    double nowMs() const;
    std::chrono::steady_clock::time_point wallAt(double chipMs) const;

private:
    std::chrono::steady_clock::time_point epoch_;
    double scale_;
};

inline constexpr std::size_t kBufferSize = 128;
inline constexpr std::size_t kHighWater = 96;
inline constexpr std::size_t kLowWater = 32;

class Chip {
public:
    Chip(const Config& config, const Clock& clock, Trace& trace, Deliver deliver);
    ~Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    void start();
    // Drops the key and PTT lines, closes the reporter (no callback starts after this
    // returns; one in progress is not waited for) and joins the keying thread, which
    // never waits for a callback. Any thread may call it, a callback included.
    void stop();

    bool isMx2() const { return config_.revision >= MX2_MIN_REVISION; }

    void putChar(unsigned char c);
    bool xoff();
    void backspace();
    void clearBuffer();
    void pause(bool on);
    void key(bool down);
    void directKey(unsigned char contacts);
    void setRegisters(const MXSTATE& r);
    void setRegister(std::size_t offset, unsigned char v);
    void setSpeed(unsigned char wpm);
    void requestPot();
    void ptrReset();
    void setPointer(unsigned char position, bool overwrite);
    void loadNulls(unsigned char count);
    void setGeneration(int generation);
    std::string debugText();

    // The bytes waiting in the buffer (tests).
    std::vector<unsigned char> pendingBytes();
    // Nothing waits and nothing is being keyed.
    bool keyingIdle();
    // Keying idle, and every report delivered.
    bool idle();

private:
    enum class StepKind { KeyDown, KeyUp, Echo, PttOn, PttOff };
    struct Step {
        double at;
        StepKind kind;
        int value;
    };
    struct Slot {
        unsigned char byte;
        double arrived;
    };
    enum class Job { None, Char, Wait, Key };

    void run();
    void advance(double now);
    bool startNext(double now);
    void noteFarnsworth(double at, const Timing& t, int wpm);
    void apply(const Step& s, double now);
    void setKeyLine(double at, double actual);
    void updateStatus();
    unsigned char statusByte() const;
    void queue(int kind, int value);
    void post(int kind, int value);
    void insertByte(unsigned char c, double now);
    void takeFront(std::size_t n);
    void dropLastItem();
    void abortJob(double now);
    int currentWpm() const;
    double nextWake() const;

    const Config config_;
    const Clock clock_;  // a copy: a chip closed from its callback may outlive a reconfiguration
    Trace& trace_;
    const std::shared_ptr<Reporter> reporter_;

    FineTimer fineTimer_;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread thread_;
    bool running_ = false;
    bool stopping_ = false;

    MXSTATE regs_{};
    int speedOverride_ = -1;
    int generation_ = 0;

    std::deque<Slot> buf_;
    long consumed_ = 0;
    long wptr_ = 0;
    bool overwrite_ = false;
    // Written under the lock, read without it: a producer polling mx_xoff never takes
    // the lock the keying thread needs.
    std::atomic<bool> xoff_{false};

    Job job_ = Job::None;
    std::deque<Step> steps_;
    double jobEnd_ = 0;
    bool mergeNext_ = false;
    int farnsworthNoted_ = 0;  // character speed of the Farnsworth spacing last noted; 0: off

    bool jobKey_ = false;
    bool tune_ = false;
    bool paddle_ = false;
    bool keyLine_ = false;
    bool ptt_ = false;
    bool paused_ = false;
    bool breakin_ = false;

    int reported_ = -1;
    std::vector<std::pair<int, int>> outbox_;  // reports the keying thread hands over

    struct ButtonEvent {
        double at;
        int bits;
    };
    std::deque<ButtonEvent> buttons_;
};

}  // namespace keyersim
