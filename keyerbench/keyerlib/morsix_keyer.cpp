// Each operation is the library's own.
#include "keyerlib/keyer.h"

namespace cwbench {

int MorsixKeyer::mx_open(unsigned char* revision, unsigned char comPort) { return ::mx_open(revision, comPort); }
int MorsixKeyer::mx_close() { return ::mx_close(); }
int MorsixKeyer::mx_set_callback(MXCALLBACK callback) { return ::mx_set_callback(callback); }
int MorsixKeyer::mx_send_defaults(const MXSTATE* registers) { return ::mx_send_defaults(registers); }
int MorsixKeyer::mx_setmx1mode() { return ::mx_setmx1mode(); }
int MorsixKeyer::mx_setmx2mode() { return ::mx_setmx2mode(); }
int MorsixKeyer::mx_char(unsigned char c) { return ::mx_char(c); }
int MorsixKeyer::mx_xoff() { return ::mx_xoff(); }
int MorsixKeyer::mx_backspace() { return ::mx_backspace(); }
int MorsixKeyer::mx_clearbuf() { return ::mx_clearbuf(); }
int MorsixKeyer::mx_pause(unsigned char on) { return ::mx_pause(on); }
int MorsixKeyer::mx_key(unsigned char down) { return ::mx_key(down); }
int MorsixKeyer::mx_directkey(unsigned char contacts) { return ::mx_directkey(contacts); }
int MorsixKeyer::mx_wpm(unsigned char wpm) { return ::mx_wpm(wpm); }
int MorsixKeyer::mx_getpot() { return ::mx_getpot(); }
int MorsixKeyer::mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange) { return ::mx_setup_speedpot(minWpm, wpmRange, potRange); }
int MorsixKeyer::mx_setmode(unsigned char modereg) { return ::mx_setmode(modereg); }
int MorsixKeyer::mx_pincfg(unsigned char pincfg) { return ::mx_pincfg(pincfg); }
int MorsixKeyer::mx_st_freq(unsigned char stconst) { return ::mx_st_freq(stconst); }
int MorsixKeyer::mx_weight(unsigned char weight) { return ::mx_weight(weight); }
int MorsixKeyer::mx_xtnd1st(unsigned char xtnd) { return ::mx_xtnd1st(xtnd); }
int MorsixKeyer::mx_kcomp(unsigned char kcomp) { return ::mx_kcomp(kcomp); }
int MorsixKeyer::mx_setfarns(unsigned char farns) { return ::mx_setfarns(farns); }
int MorsixKeyer::mx_keysample(unsigned char sampadj) { return ::mx_keysample(sampadj); }
int MorsixKeyer::mx_ditdah_ratio(unsigned char ratio) { return ::mx_ditdah_ratio(ratio); }
int MorsixKeyer::mx_ptt_leadtail(unsigned char leadin, unsigned char tail) { return ::mx_ptt_leadtail(leadin, tail); }
int MorsixKeyer::mx_ptr_reset() { return ::mx_ptr_reset(); }
int MorsixKeyer::mx_setptr_ovr(unsigned char position) { return ::mx_setptr_ovr(position); }
int MorsixKeyer::mx_setptr_ins(unsigned char position) { return ::mx_setptr_ins(position); }
int MorsixKeyer::mx_load_nulls(unsigned char count) { return ::mx_load_nulls(count); }
int MorsixKeyer::mx_power(unsigned char comPort, unsigned char on) { return ::mx_power(comPort, on); }
int MorsixKeyer::mx_dumpdebug() { return ::mx_dumpdebug(); }
int MorsixKeyer::mx_get_pot_a2d() { return ::mx_get_pot_a2d(); }
int MorsixKeyer::mx_get_pdl_a2d() { return ::mx_get_pdl_a2d(); }

}  // namespace cwbench
