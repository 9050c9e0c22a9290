#include "keyerlib/recording/recording_keyer.h"

namespace cwbench {

namespace {

std::string call(const char* name) { return std::string(name) + "()"; }
std::string call(const char* name, int a) { return std::string(name) + "(" + std::to_string(a) + ")"; }
std::string call(const char* name, int a, int b) {
    return std::string(name) + "(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}
std::string call(const char* name, int a, int b, int c) {
    return std::string(name) + "(" + std::to_string(a) + ", " + std::to_string(b) + ", " + std::to_string(c) + ")";
}

}  // namespace

void RecordingKeyer::record(const std::string& text) {
    {
        std::lock_guard<std::mutex> g(lock_);
        calls_.push_back(text);
    }
    if (onCall) onCall(text);
}

std::vector<std::string> RecordingKeyer::calls() const {
    std::lock_guard<std::mutex> g(lock_);
    return calls_;
}

std::vector<std::string> RecordingKeyer::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls())
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

void RecordingKeyer::clear() {
    std::lock_guard<std::mutex> g(lock_);
    calls_.clear();
}

std::vector<RecordingKeyer::Lines> RecordingKeyer::linesAtClose() const {
    std::lock_guard<std::mutex> g(lock_);
    return atClose_;
}

MXSTATE RecordingKeyer::lastDefaults() const {
    std::lock_guard<std::mutex> g(lock_);
    return defaults_;
}

int RecordingKeyer::mx_open(unsigned char* rev, unsigned char comPort) {
    record(call("mx_open", comPort));
    int result = openResult.load();
    if (result == MX_SUCCESS && open_.exchange(true)) result = MX_ALREADY_OPEN;
    if (result == MX_SUCCESS && rev) *rev = static_cast<unsigned char>(revision.load());
    if (result == MX_SUCCESS) {
        std::lock_guard<std::mutex> g(lock_);
        lines_ = Lines{};  // each case of a test starts from a chip at rest
        pttCommandTaken_ = false;
    }
    return result;
}

int RecordingKeyer::mx_close() {
    record(call("mx_close"));
    bool was = open_.exchange(false);
    if (was) {
        std::lock_guard<std::mutex> g(lock_);
        atClose_.push_back(lines_);
    }
    if (closeFollowsOpen) return was ? MX_SUCCESS : MX_NOT_OPEN;
    return closeResult.load();
}

int RecordingKeyer::mx_set_callback(MXCALLBACK cb) {
    record(call("mx_set_callback"));
    callback_.store(cb);
    return MX_SUCCESS;
}

int RecordingKeyer::mx_send_defaults(const MXSTATE* registers) {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (registers) defaults_ = *registers;
    }
    record(call("mx_send_defaults"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_xoff() {
    record(call("mx_xoff"));
    return xoff ? xoff() : 0;
}

int RecordingKeyer::mx_setmx1mode() {
    record(call("mx_setmx1mode"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setmx2mode() {
    record(call("mx_setmx2mode"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_char(unsigned char c) {
    record(call("mx_char", c));
    std::lock_guard<std::mutex> g(lock_);
    if (!open_) return MX_SUCCESS;
    if (pttCommandTaken_) {
        lines_.ptt = c != 0;
        pttCommandTaken_ = false;
    } else if (c == BUFPTT_CMD && lines_.waiting == 0) {
        pttCommandTaken_ = true;
    } else {
        ++lines_.waiting;
    }
    return MX_SUCCESS;
}

int RecordingKeyer::mx_backspace() {
    record(call("mx_backspace"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_clearbuf() {
    record(call("mx_clearbuf"));
    std::lock_guard<std::mutex> g(lock_);
    lines_.waiting = 0;
    pttCommandTaken_ = false;
    return MX_SUCCESS;
}

int RecordingKeyer::mx_pause(unsigned char on) {
    record(call("mx_pause", on));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_key(unsigned char down) {
    record(call("mx_key", down));
    std::lock_guard<std::mutex> g(lock_);
    if (open_) lines_.tune = down != 0;
    return MX_SUCCESS;
}

int RecordingKeyer::mx_directkey(unsigned char contacts) {
    record(call("mx_directkey", contacts));
    std::lock_guard<std::mutex> g(lock_);
    if (open_) lines_.contacts = contacts;
    return MX_SUCCESS;
}

int RecordingKeyer::mx_wpm(unsigned char wpm) {
    record(call("mx_wpm", wpm));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_getpot() {
    record(call("mx_getpot"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setup_speedpot(unsigned char minWpm, unsigned char wpmRange, unsigned char potRange) {
    record(call("mx_setup_speedpot", minWpm, wpmRange, potRange));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setmode(unsigned char modereg) {
    record(call("mx_setmode", modereg));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_pincfg(unsigned char pincfg) {
    record(call("mx_pincfg", pincfg));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_st_freq(unsigned char stconst) {
    record(call("mx_st_freq", stconst));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_weight(unsigned char weight) {
    record(call("mx_weight", weight));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_xtnd1st(unsigned char xtnd) {
    record(call("mx_xtnd1st", xtnd));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_kcomp(unsigned char kcomp) {
    record(call("mx_kcomp", kcomp));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setfarns(unsigned char farns) {
    record(call("mx_setfarns", farns));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_keysample(unsigned char sampadj) {
    record(call("mx_keysample", sampadj));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_ditdah_ratio(unsigned char ratio) {
    record(call("mx_ditdah_ratio", ratio));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_ptt_leadtail(unsigned char leadin, unsigned char tail) {
    record(call("mx_ptt_leadtail", leadin, tail));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_ptr_reset() {
    record(call("mx_ptr_reset"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setptr_ovr(unsigned char position) {
    record(call("mx_setptr_ovr", position));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_setptr_ins(unsigned char position) {
    record(call("mx_setptr_ins", position));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_load_nulls(unsigned char count) {
    record(call("mx_load_nulls", count));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_power(unsigned char comPort, unsigned char on) {
    record(call("mx_power", comPort, on));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_dumpdebug() {
    record(call("mx_dumpdebug"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_get_pot_a2d() {
    record(call("mx_get_pot_a2d"));
    return MX_SUCCESS;
}

int RecordingKeyer::mx_get_pdl_a2d() {
    record(call("mx_get_pdl_a2d"));
    return MX_SUCCESS;
}

}  // namespace cwbench
