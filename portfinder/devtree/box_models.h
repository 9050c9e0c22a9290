// The Tavrilink models the device-tree walk recognises, with the captions of each
// model's two serial channels.
#pragma once

#include <string>

namespace portiq {

struct ModelRow {
    const char* name;      // the model's full name, as its USB product string holds it
    const char* captionA;  // nullptr: the model's ports get no lines
    const char* captionB;
};

// Table order matters: recognition takes every row in turn, captions the first row the
// box name contains. No name of the table contains another.
inline constexpr ModelRow g_szModelNames[] = {
    {"Tavrilink NovaNova (CAT+PTT/CW)", "\tTavrilink NovaNova CAT port\n", "\tTavrilink NovaNova PTT port\n"},
    {"Tavrilink NovaNova (MORSIX+FSK)", "\tTavrilink NovaNova MORSIX port\n", "\tTavrilink NovaNova FSK port\n"},
    {"Tavrilink NovaNova (2xSERIAL)", "\tTavrilink NovaNova SERIAL port A\n", "\tTavrilink NovaNova SERIAL port B\n"},
    {"Tavrilink Orbit (CAT+PTT/CW)", nullptr, nullptr},
    {"Tavrilink Orbit (MORSIX+FSK)", nullptr, nullptr},
    {"Tavrilink Orbit (2xSERIAL)", nullptr, nullptr},
    {"Tavrilink Lynx", "\tTavrilink Lynx CAT port\n", "\tTavrilink Lynx PTT/CW port\n"},
    {"Tavrilink Nova (CAT+PTT/CW)", "\tTavrilink Nova CAT port\n", "\tTavrilink Nova PTT/CW port\n"},
    {"Tavrilink Nova (MORSIX+FSK)", "\tTavrilink Nova MORSIX port\n", "\tTavrilink Nova FSK port\n"},
    {"Tavrilink Meridian (CAT+PTT/CW)", "\tTavrilink Meridian CAT port\n", "\tTavrilink Meridian PTT/CW port\n"},
    {"Tavrilink Meridian (SERIAL+FSK)", "\tTavrilink Meridian SERIAL port\n", "\tTavrilink Meridian FSK port\n"},
};

// The model word of the first row whose name text holds ("NovaNova", "Orbit", "Lynx",
// "Nova", "Meridian"); empty when text names no model.
std::string ModelWord(const std::string& text);

}  // namespace portiq
