// The keyer chip library as cwbench's portable code calls it: one virtual operation per
// mx_ operation of morsixdll.h, with the same arguments and results, so that the panel,
// the callback and the workers run in tests against a recording fake.
//
// MorsixKeyer passes each call straight to the library (the simulator on the host build,
// morsixdll.dll on Windows). The library accepts calls from any thread at the same time,
// and so must every implementation of this interface.
#pragma once

#include "keyerlib/morsixdll.h"

namespace cwbench {

class Keyer {
public:
    virtual ~Keyer() = default;
    virtual int mx_open(unsigned char* revision, unsigned char comPort) = 0;
    virtual int mx_close() = 0;
    virtual int mx_set_callback(MXCALLBACK callback) = 0;
    virtual int mx_send_defaults(const MXSTATE* registers) = 0;
    virtual int mx_setmx1mode() = 0;
    virtual int mx_setmx2mode() = 0;
    virtual int mx_char(unsigned char c) = 0;
    virtual int mx_xoff() = 0;
    virtual int mx_backspace() = 0;
    virtual int mx_clearbuf() = 0;
    virtual int mx_pause(unsigned char on) = 0;
    virtual int mx_key(unsigned char down) = 0;
    virtual int mx_directkey(unsigned char contacts) = 0;
    virtual int mx_wpm(unsigned char wpm) = 0;
    virtual int mx_getpot() = 0;
    virtual int mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange) = 0;
    virtual int mx_setmode(unsigned char modereg) = 0;
    virtual int mx_pincfg(unsigned char pincfg) = 0;
    virtual int mx_st_freq(unsigned char stconst) = 0;
    virtual int mx_weight(unsigned char weight) = 0;
    virtual int mx_xtnd1st(unsigned char xtnd) = 0;
    virtual int mx_kcomp(unsigned char kcomp) = 0;
    virtual int mx_setfarns(unsigned char farns) = 0;
    virtual int mx_keysample(unsigned char sampadj) = 0;
    virtual int mx_ditdah_ratio(unsigned char ratio) = 0;
    virtual int mx_ptt_leadtail(unsigned char leadin, unsigned char tail) = 0;
    virtual int mx_ptr_reset() = 0;
    virtual int mx_setptr_ovr(unsigned char position) = 0;
    virtual int mx_setptr_ins(unsigned char position) = 0;
    virtual int mx_load_nulls(unsigned char count) = 0;
    virtual int mx_power(unsigned char comPort, unsigned char on) = 0;
    virtual int mx_dumpdebug() = 0;
    virtual int mx_get_pot_a2d() = 0;
    virtual int mx_get_pdl_a2d() = 0;
};

// The library itself.
class MorsixKeyer final : public Keyer {
public:
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
};

}  // namespace cwbench
