// The 34 operations of the keyer chip library, over one simulated chip per process.
//
// A library-wide lock guards which chip is open; each chip has its own lock for its
// buffer and registers, its keying thread, and a reporter whose own thread raises the
// callback with no lock held, so a callback may block or call any operation, mx_close
// included, without holding up the keying or a caller on another thread. No lock is
// held across a callback, and mx_close never waits for one (reporter.h).
#include "chip.h"
#include "keyersim.h"

#include <atomic>
#include <cstdio>
#include <cstddef>
#include <memory>
#include <mutex>

using keyersim::Chip;
using keyersim::Ev;

namespace {

struct Library {
    std::mutex lock;
    bool configured = false;
    keyersim::Config config;
    std::unique_ptr<keyersim::Clock> clock;
    keyersim::Trace trace;
    std::shared_ptr<Chip> chip;
    std::atomic<MXCALLBACK> callback{nullptr};
};

// Never destroyed: a chip thread left running at exit must not find it gone.
Library& lib() {
    static Library* l = new Library;
    return *l;
}

// Takes the configuration from the environment unless someone set one. Lock held.
void ensureConfigured(Library& l) {
    if (l.configured) return;
    l.config = keyersim::Config::fromEnvironment();
    l.clock = std::make_unique<keyersim::Clock>(l.config.timeScale);
    l.trace.reset(l.config.tracePath, l.config.keepTrace);
    l.configured = true;
}

void traceCall(const char* name, int a = -1, int b = -1, int c = -1) {
    Library& l = lib();
    double now;
    {
        std::lock_guard<std::mutex> g(l.lock);
        ensureConfigured(l);
        if (!l.config.traceCalls) return;
        now = l.clock->nowMs();
    }
    char text[64];
    if (a < 0)
        std::snprintf(text, sizeof text, "%s()", name);
    else if (b < 0)
        std::snprintf(text, sizeof text, "%s(%d)", name, a);
    else if (c < 0)
        std::snprintf(text, sizeof text, "%s(%d, %d)", name, a, b);
    else
        std::snprintf(text, sizeof text, "%s(%d, %d, %d)", name, a, b, c);
    l.trace.add(now, Ev::Call, 0, text);
}

std::shared_ptr<Chip> openChip() {
    Library& l = lib();
    std::lock_guard<std::mutex> g(l.lock);
    return l.chip;
}

void deliver(int kind, int value) {
    MXCALLBACK cb = lib().callback.load();
    if (cb) cb(kind, value);
}

// Runs an operation on the open chip; MX_NOT_OPEN when there is none.
template <typename F>
int withChip(F f) {
    std::shared_ptr<Chip> chip = openChip();
    if (!chip) return MX_NOT_OPEN;
    f(*chip);
    return MX_SUCCESS;
}

int setRegister(const char* name, std::size_t offset, unsigned char v) {
    traceCall(name, v);
    return withChip([&](Chip& c) { c.setRegister(offset, v); });
}

}  // namespace

namespace keyersim {

bool configure(const Config& config) {
    Library& l = lib();
    std::lock_guard<std::mutex> g(l.lock);
    if (l.chip) return false;
    l.config = config;
    l.clock = std::make_unique<Clock>(config.timeScale);
    l.trace.reset(config.tracePath, config.keepTrace);
    l.configured = true;
    return true;
}

std::vector<TraceEvent> traceEvents() { return lib().trace.events(); }

void clearTrace() { lib().trace.clear(); }

double nowMs() {
    Library& l = lib();
    std::lock_guard<std::mutex> g(l.lock);
    ensureConfigured(l);
    return l.clock->nowMs();
}

std::vector<unsigned char> pendingBytes() {
    std::shared_ptr<Chip> chip = openChip();
    return chip ? chip->pendingBytes() : std::vector<unsigned char>{};
}

bool idle() {
    std::shared_ptr<Chip> chip = openChip();
    return !chip || chip->idle();
}

bool keyingIdle() {
    std::shared_ptr<Chip> chip = openChip();
    return !chip || chip->keyingIdle();
}

}  // namespace keyersim

extern "C" {

int MXAPI mx_open(unsigned char* revision, unsigned char comPort) {
    traceCall("mx_open", comPort);
    Library& l = lib();
    std::lock_guard<std::mutex> g(l.lock);
    if (l.chip) return MX_ALREADY_OPEN;
    if (l.config.openResult != 0) return l.config.openResult;
    bool exists = false;
    for (int p : l.config.ports) exists = exists || p == comPort;
    if (!exists) return COM_OPEN_FAILED;
    l.chip = std::make_shared<Chip>(l.config, *l.clock, l.trace, deliver);
    l.chip->start();
    if (revision) *revision = static_cast<unsigned char>(l.config.revision);
    return MX_SUCCESS;
}

int MXAPI mx_close(void) {
    traceCall("mx_close");
    std::shared_ptr<Chip> chip;
    {
        Library& l = lib();
        std::lock_guard<std::mutex> g(l.lock);
        chip.swap(l.chip);
    }
    if (!chip) return MX_NOT_OPEN;
    chip->stop();
    return MX_SUCCESS;
}

int MXAPI mx_set_callback(MXCALLBACK callback) {
    traceCall("mx_set_callback");
    lib().callback.store(callback);
    return MX_SUCCESS;
}

int MXAPI mx_send_defaults(const MXSTATE* registers) {
    traceCall("mx_send_defaults");
    if (!registers) return withChip([](Chip&) {});
    MXSTATE r = *registers;
    return withChip([&](Chip& c) { c.setRegisters(r); });
}

int MXAPI mx_setmx1mode(void) {
    traceCall("mx_setmx1mode");
    return withChip([](Chip& c) { c.setGeneration(1); });
}

int MXAPI mx_setmx2mode(void) {
    traceCall("mx_setmx2mode");
    return withChip([](Chip& c) { c.setGeneration(2); });
}

int MXAPI mx_char(unsigned char ch) {
    traceCall("mx_char", ch);
    return withChip([&](Chip& c) { c.putChar(ch); });
}

int MXAPI mx_xoff(void) {
    traceCall("mx_xoff");
    std::shared_ptr<Chip> chip = openChip();
    return chip && chip->xoff() ? 1 : 0;
}

int MXAPI mx_backspace(void) {
    traceCall("mx_backspace");
    return withChip([](Chip& c) { c.backspace(); });
}

int MXAPI mx_clearbuf(void) {
    traceCall("mx_clearbuf");
    return withChip([](Chip& c) { c.clearBuffer(); });
}

int MXAPI mx_pause(unsigned char on) {
    traceCall("mx_pause", on);
    return withChip([&](Chip& c) { c.pause(on != 0); });
}

int MXAPI mx_key(unsigned char down) {
    traceCall("mx_key", down);
    return withChip([&](Chip& c) { c.key(down != 0); });
}

int MXAPI mx_directkey(unsigned char contacts) {
    traceCall("mx_directkey", contacts);
    return withChip([&](Chip& c) { c.directKey(contacts); });
}

int MXAPI mx_wpm(unsigned char wpm) {
    traceCall("mx_wpm", wpm);
    return withChip([&](Chip& c) { c.setSpeed(wpm); });
}

int MXAPI mx_getpot(void) {
    traceCall("mx_getpot");
    return withChip([](Chip& c) { c.requestPot(); });
}

int MXAPI mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange) {
    traceCall("mx_setup_speedpot", minWpm, wpmRange, potRange);
    return withChip([&](Chip& c) {
        c.setRegister(offsetof(MXSTATE, minwpm), minWpm);
        c.setRegister(offsetof(MXSTATE, wpmrange), wpmRange);
        c.setRegister(offsetof(MXSTATE, potrange), potRange);
    });
}

int MXAPI mx_setmode(unsigned char v) { return setRegister("mx_setmode", offsetof(MXSTATE, modereg), v); }
int MXAPI mx_pincfg(unsigned char v) { return setRegister("mx_pincfg", offsetof(MXSTATE, pincfg), v); }
int MXAPI mx_st_freq(unsigned char v) { return setRegister("mx_st_freq", offsetof(MXSTATE, stconst), v); }
int MXAPI mx_weight(unsigned char v) { return setRegister("mx_weight", offsetof(MXSTATE, weight), v); }
int MXAPI mx_xtnd1st(unsigned char v) { return setRegister("mx_xtnd1st", offsetof(MXSTATE, xtnd), v); }
int MXAPI mx_kcomp(unsigned char v) { return setRegister("mx_kcomp", offsetof(MXSTATE, kcomp), v); }
int MXAPI mx_setfarns(unsigned char v) { return setRegister("mx_setfarns", offsetof(MXSTATE, farns), v); }
int MXAPI mx_keysample(unsigned char v) { return setRegister("mx_keysample", offsetof(MXSTATE, sampadj), v); }
int MXAPI mx_ditdah_ratio(unsigned char v) {
    return setRegister("mx_ditdah_ratio", offsetof(MXSTATE, ditdahratio), v);
}

int MXAPI mx_ptt_leadtail(unsigned char leadin, unsigned char tail) {
    traceCall("mx_ptt_leadtail", leadin, tail);
    return withChip([&](Chip& c) {
        c.setRegister(offsetof(MXSTATE, leadin), leadin);
        c.setRegister(offsetof(MXSTATE, tail), tail);
    });
}

int MXAPI mx_ptr_reset(void) {
    traceCall("mx_ptr_reset");
    return withChip([](Chip& c) { c.ptrReset(); });
}

int MXAPI mx_setptr_ovr(unsigned char position) {
    traceCall("mx_setptr_ovr", position);
    return withChip([&](Chip& c) { c.setPointer(position, true); });
}

int MXAPI mx_setptr_ins(unsigned char position) {
    traceCall("mx_setptr_ins", position);
    return withChip([&](Chip& c) { c.setPointer(position, false); });
}

int MXAPI mx_load_nulls(unsigned char count) {
    traceCall("mx_load_nulls", count);
    return withChip([&](Chip& c) { c.loadNulls(count); });
}

int MXAPI mx_power(unsigned char comPort, unsigned char on) {
    traceCall("mx_power", comPort, on);
    return MX_SUCCESS;
}

int MXAPI mx_dumpdebug(void) {
    traceCall("mx_dumpdebug");
    std::shared_ptr<Chip> chip = openChip();
    if (!chip) return MX_NOT_OPEN;
    lib().trace.add(keyersim::nowMs(), Ev::Note, 0, chip->debugText());
    return MX_SUCCESS;
}

int MXAPI mx_get_pot_a2d(void) {
    traceCall("mx_get_pot_a2d");
    std::shared_ptr<Chip> chip = openChip();
    if (!chip) return MX_NOT_OPEN;
    Library& l = lib();
    std::lock_guard<std::mutex> g(l.lock);
    return l.config.potWpm;
}

int MXAPI mx_get_pdl_a2d(void) {
    traceCall("mx_get_pdl_a2d");
    std::shared_ptr<Chip> chip = openChip();
    return chip ? 0 : MX_NOT_OPEN;
}

}  // extern "C"
