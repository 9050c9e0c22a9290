// The keyer simulator's command stream: an open simulated chip fed with the input. A
// byte below 0x80 goes to mx_char as it is (text, buffered commands and their argument
// bytes); a byte from 0x80 up picks another operation, whose arguments are the bytes
// that follow. The first byte is the chip's firmware revision (below 20 an MX1 chip).
// The chip runs 10,000 times faster than real time, its callback calls back into the
// library, and every input ends with mx_close.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "keyerlib/morsixdll.h"
#include "keyersim.h"

namespace {

int MXAPI OnReport(int kind, int) {
    if (kind == CB_ECHOBACK) mx_xoff();  // a callback may call the library
    return kind >= CB_STATUS && kind <= CB_ECHOBACK ? 1 : 0;
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return next_ >= size_; }
    unsigned char Byte() { return next_ < size_ ? data_[next_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
};

void Check(bool holds) {
    if (!holds) std::abort();
}

void RunOperation(unsigned char op, Input& in) {
    switch ((op - 0x80) % 32) {
        case 0: mx_char(in.Byte()); break;
        case 1: mx_backspace(); break;
        case 2: mx_clearbuf(); break;
        case 3: mx_pause(in.Byte()); break;
        case 4: mx_key(in.Byte()); break;
        case 5: mx_directkey(in.Byte()); break;
        case 6: mx_wpm(in.Byte()); break;
        case 7: mx_getpot(); break;
        case 8: {
            const unsigned char minWpm = in.Byte(), range = in.Byte();
            mx_setup_speedpot(minWpm, range, in.Byte());
            break;
        }
        case 9: mx_setmode(in.Byte()); break;
        case 10: mx_pincfg(in.Byte()); break;
        case 11: mx_st_freq(in.Byte()); break;
        case 12: mx_weight(in.Byte()); break;
        case 13: mx_xtnd1st(in.Byte()); break;
        case 14: mx_kcomp(in.Byte()); break;
        case 15: mx_setfarns(in.Byte()); break;
        case 16: mx_keysample(in.Byte()); break;
        case 17: mx_ditdah_ratio(in.Byte()); break;
        case 18: {
            const unsigned char leadIn = in.Byte();
            mx_ptt_leadtail(leadIn, in.Byte());
            break;
        }
        case 19: mx_ptr_reset(); break;
        case 20: mx_setptr_ovr(in.Byte()); break;
        case 21: mx_setptr_ins(in.Byte()); break;
        case 22: mx_load_nulls(in.Byte()); break;
        case 23: {
            MXSTATE registers;
            unsigned char* bytes = &registers.modereg;
            for (std::size_t i = 0; i < sizeof registers; ++i) bytes[i] = in.Byte();
            mx_send_defaults(&registers);
            break;
        }
        case 24: mx_setmx1mode(); break;
        case 25: mx_setmx2mode(); break;
        case 26: mx_xoff(); break;
        case 27: mx_dumpdebug(); break;
        case 28: mx_get_pot_a2d(), mx_get_pdl_a2d(); break;
        case 29: std::this_thread::sleep_for(std::chrono::microseconds(100 * (in.Byte() % 8))); break;
        case 30: {
            // Closed and opened again; an open chip refuses a second open.
            Check(mx_close() == MX_SUCCESS);
            unsigned char revision = 0;
            Check(mx_open(&revision, 1) == MX_SUCCESS);
            Check(mx_open(&revision, 1) == MX_ALREADY_OPEN);
            break;
        }
        default: mx_power(in.Byte(), in.Byte()); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    keyersim::Config config;
    config.revision = in.Byte();
    config.timeScale = 10000;
    config.ports = {1};
    config.buttons = {{1, 2.0}, {3, 40.0}};
    Check(keyersim::configure(config));
    mx_set_callback(OnReport);

    unsigned char revision = 0;
    Check(mx_open(&revision, 1) == MX_SUCCESS && revision == config.revision);
    while (!in.empty()) {
        const unsigned char byte = in.Byte();
        if (byte < 0x80) {
            Check(mx_char(byte) == MX_SUCCESS);
        } else {
            RunOperation(byte, in);
        }
    }
    Check(mx_close() == MX_SUCCESS);
    Check(mx_char('E') == MX_NOT_OPEN && mx_close() == MX_NOT_OPEN);
    return 0;
}
