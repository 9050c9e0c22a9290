// The keyer chip library morsixdll: the 34 operations cwbench calls, their result codes,
// the status callback and its report kinds and status bits.
//
// Calling convention: every operation and the callback use __stdcall (MXAPI below). The
// library exports the operations under their plain names (mx_open, not mx_open@8); the
// module definition file morsixdll.def lists them with the argument sizes the i686
// linker needs, and the import library made from it binds them by name at load time.
// On 64-bit Windows the convention keyword is ignored by the compiler; on the host build
// MXAPI is empty and the operations come from the keyer simulator library.
//
// Byte arguments are passed as unsigned char (one 4-byte stack slot each on i686).
// Only the results of mx_open, mx_close and mx_xoff carry meaning for cwbench; the other
// operations return MX_SUCCESS, or MX_NOT_OPEN when no chip is open, except those that
// need no open chip (mx_set_callback, mx_power) and the diagnostics. mx_xoff gives 0
// when no chip is open.
//
// Threads: any thread may call any operation at any time, the callback included; the
// library takes care of its own locking.
#pragma once

#if defined(_WIN32)
#define MXAPI __stdcall
#else
#define MXAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

// mx_open results; mx_close gives MX_SUCCESS or MX_NOT_OPEN.
enum {
    MX_SUCCESS = 0,
    NO_ECHO_RESPONSE = -1,
    ECHO_MISMATCH = -2,
    NO_OPEN_RESPONSE = -3,
    COM_OPEN_FAILED = -4,
    GET_COM_STATE_FAILED = -5,
    SET_COM_STATE_FAILED = -6,
    MX_ALREADY_OPEN = -8,
    MX_NOT_OPEN = -9
};

// Report kinds of the status callback.
enum { CB_STATUS = 1, CB_SPEEDPOT = 2, CB_ECHOBACK = 3 };

// Bits of a CB_STATUS byte.
enum { XOFF = 0x01, BREAKIN = 0x02, KBUSY = 0x04, KTUNE = 0x08, KWAIT = 0x10 };

// From an MX2 chip (firmware revision 20 or more) a status byte with KPBSTAT set is a
// pushbutton report instead; it shares its bit with KTUNE.
enum { KPBSTAT = 0x08, KPB1 = 0x01, KPB2 = 0x02, KPB3 = 0x04, KPB4 = 0x10 };

// Firmware revisions from this one on are MX2 chips.
enum { MX2_MIN_REVISION = 20 };

// Buffered command bytes: queued with mx_char like characters, and carried out by the
// chip when its sender reaches them. PTT, key-down, wait and speed take one argument byte.
enum {
    BUFPTT_CMD = 0x18,
    BUFKEY_CMD = 0x19,
    WAIT_CMD = 0x1A,
    MERGE_CMD = 0x1B,
    BUFSPEED_CMD = 0x1C,
    CANCELSPD_CMD = 0x1E
};

// mx_directkey contacts.
enum { DAH_DIRECT = 1, DIT_DIRECT = 2 };

// The chip's 15-byte register block, in the order mx_send_defaults sends it.
typedef struct MXSTATE {
    unsigned char modereg;
    unsigned char speed;
    unsigned char stconst;
    unsigned char weight;
    unsigned char leadin;
    unsigned char tail;
    unsigned char minwpm;
    unsigned char wpmrange;
    unsigned char xtnd;
    unsigned char kcomp;
    unsigned char farns;
    unsigned char sampadj;
    unsigned char ditdahratio;
    unsigned char pincfg;
    unsigned char potrange;
} MXSTATE;

// The status callback: lCmd is a CB_ kind, lParam its value (status byte, pot speed in
// WPM, or the character just sent). Returns 1 for a known kind, else 0.
//
// It runs on a thread of the library's own, never on a caller's thread; the reports of
// one open chip come one at a time, in the order the chip made them. It may call any
// operation, mx_close included, and it may block or take its time: the chip keys on
// regardless and its reports wait (a waiting speed-pot report takes the newest reading
// instead of queueing another).
//
// mx_close never waits for a callback in progress, so a callback may wait for the
// thread that is calling mx_close. Once mx_close has returned, no further callback
// starts for the chip it closed and the reports not yet delivered are dropped; the one
// callback whose delivery had already begun may still be running (or just entering),
// and its calls find the chip closed (MX_NOT_OPEN) or reach a chip opened since. A
// program that frees what its callback uses must let such a callback finish first.
// Callbacks of a chip closed and one opened after it may overlap in that way; those of
// one chip never do. mx_set_callback takes effect from the next report.
typedef int(MXAPI* MXCALLBACK)(int lCmd, int lParam);

// Opens the chip on COM port comPort (1..12). On MX_SUCCESS *revision holds the
// chip's firmware revision.
int MXAPI mx_open(unsigned char* revision, unsigned char comPort);
int MXAPI mx_close(void);
int MXAPI mx_set_callback(MXCALLBACK callback);
int MXAPI mx_send_defaults(const MXSTATE* registers);
int MXAPI mx_setmx1mode(void);
int MXAPI mx_setmx2mode(void);

// Queues a character, buffered command or argument byte (0 and 1 too).
int MXAPI mx_char(unsigned char c);
// Non-zero while the chip refuses input; 0 when no chip is open.
int MXAPI mx_xoff(void);
int MXAPI mx_backspace(void);
int MXAPI mx_clearbuf(void);
int MXAPI mx_pause(unsigned char on);
int MXAPI mx_key(unsigned char down);
int MXAPI mx_directkey(unsigned char contacts);
// 0 leaves the speed to the speed pot.
int MXAPI mx_wpm(unsigned char wpm);
// A CB_SPEEDPOT report follows.
int MXAPI mx_getpot(void);
int MXAPI mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange);

int MXAPI mx_setmode(unsigned char modereg);
int MXAPI mx_pincfg(unsigned char pincfg);
int MXAPI mx_st_freq(unsigned char stconst);
int MXAPI mx_weight(unsigned char weight);
int MXAPI mx_xtnd1st(unsigned char xtnd);
int MXAPI mx_kcomp(unsigned char kcomp);
int MXAPI mx_setfarns(unsigned char farns);
int MXAPI mx_keysample(unsigned char sampadj);
int MXAPI mx_ditdah_ratio(unsigned char ratio);
int MXAPI mx_ptt_leadtail(unsigned char leadin, unsigned char tail);

// Buffer pointer control: back to an empty buffer; overwrite or insert from a position;
// load placeholders that the chip skips when it reaches them.
int MXAPI mx_ptr_reset(void);
int MXAPI mx_setptr_ovr(unsigned char position);
int MXAPI mx_setptr_ins(unsigned char position);
int MXAPI mx_load_nulls(unsigned char count);

int MXAPI mx_power(unsigned char comPort, unsigned char on);

// Diagnostics.
int MXAPI mx_dumpdebug(void);
int MXAPI mx_get_pot_a2d(void);
int MXAPI mx_get_pdl_a2d(void);

#ifdef __cplusplus
}
#endif
