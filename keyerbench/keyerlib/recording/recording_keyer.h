// A keyer library for tests: records every call as text ("mx_weight(60)"), answers
// mx_open, mx_close and mx_xoff as the test says, and is safe to call from any thread.
//
// It also keeps a small model of what an open chip holds, enough to say whether a close
// left it keying: the contacts (mx_directkey), Tune's key (mx_key), PTT, and how many
// bytes wait in its buffer. The model sends nothing: every byte waits until mx_clearbuf,
// except a buffered PTT command that arrives with nothing before it, which the chip takes
// at once.
#pragma once

#include "keyerlib/keyer.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace cwbench {

class RecordingKeyer final : public Keyer {
public:
    // What mx_open gives and the revision it reports on success.
    std::atomic<int> openResult{MX_SUCCESS};
    std::atomic<int> revision{20};
    // What mx_close gives; by default MX_SUCCESS while "open", else MX_NOT_OPEN.
    std::atomic<bool> closeFollowsOpen{true};
    std::atomic<int> closeResult{MX_SUCCESS};
    // Answers mx_xoff; none: never holds.
    std::function<int()> xoff;
    // Called with each recorded call after it is recorded (outside the lock).
    std::function<void(const std::string&)> onCall;

    std::vector<std::string> calls() const;
    // The calls whose text starts with prefix, e.g. "mx_char(".
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
    void clear();
    MXCALLBACK callback() const { return callback_.load(); }
    bool isOpen() const { return open_.load(); }
    MXSTATE lastDefaults() const;

    struct Lines {
        int contacts = 0;
        bool tune = false;
        bool ptt = false;
        int waiting = 0;
        bool operator==(const Lines& o) const {
            return contacts == o.contacts && tune == o.tune && ptt == o.ptt && waiting == o.waiting;
        }
    };
    // What each mx_close of an open chip left it holding.
    std::vector<Lines> linesAtClose() const;

    int mx_open(unsigned char* revision, unsigned char comPort) override;
    int mx_close() override;
    int mx_set_callback(MXCALLBACK callback) override;
    int mx_send_defaults(const MXSTATE* registers) override;
    int mx_setmx1mode() override;
    int mx_setmx2mode() override;
    int mx_char(unsigned char c) override;
    int mx_xoff() override;
    int mx_backspace() override;
    int mx_clearbuf() override;
    int mx_pause(unsigned char on) override;
    int mx_key(unsigned char down) override;
    int mx_directkey(unsigned char contacts) override;
    int mx_wpm(unsigned char wpm) override;
    int mx_getpot() override;
    int mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange) override;
    int mx_setmode(unsigned char modereg) override;
    int mx_pincfg(unsigned char pincfg) override;
    int mx_st_freq(unsigned char stconst) override;
    int mx_weight(unsigned char weight) override;
    int mx_xtnd1st(unsigned char xtnd) override;
    int mx_kcomp(unsigned char kcomp) override;
    int mx_setfarns(unsigned char farns) override;
    int mx_keysample(unsigned char sampadj) override;
    int mx_ditdah_ratio(unsigned char ratio) override;
    int mx_ptt_leadtail(unsigned char leadin, unsigned char tail) override;
    int mx_ptr_reset() override;
    int mx_setptr_ovr(unsigned char position) override;
    int mx_setptr_ins(unsigned char position) override;
    int mx_load_nulls(unsigned char count) override;
    int mx_power(unsigned char comPort, unsigned char on) override;
    int mx_dumpdebug() override;
    int mx_get_pot_a2d() override;
    int mx_get_pdl_a2d() override;

private:
    void record(const std::string& call);
    mutable std::mutex lock_;
    std::vector<std::string> calls_;
    std::atomic<MXCALLBACK> callback_{nullptr};
    std::atomic<bool> open_{false};
    MXSTATE defaults_{};
    Lines lines_;
    bool pttCommandTaken_ = false;  // its argument comes next
    std::vector<Lines> atClose_;
};

}  // namespace cwbench
