// The USB interfaces of radios (transceivers with a USB port of their own, and the sound-card
// interfaces that sit between a radio and a PC) that PortIQ names beside its boxes. The
// rows are data: adding a radio is adding a row to radio_table.cpp, nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace portiq {

// One serial port of a radio's USB device, by the USB interface that carries it (an FTDI
// chip's channel A is interface 0, B is 1).
struct RadioPortRow {
    int interfaceNumber = -1;  // -1: the entry is unused
    // What the radio does on it: "CAT", "PTT", "CW", "PTT/CW", "DATA", "GPS" ... nullptr
    // where no public source says: a user keys whatever we call PTT, so we never guess.
    const char* role = nullptr;
};

inline constexpr std::size_t kMostRadioPorts = 4;

struct RadioRow {
    std::uint16_t vendorId;
    std::uint16_t productId;
    // Globs ('*' any run, '?' one character, case-sensitive) the USB product and serial
    // number strings must match; nullptr: any string, or none.
    const char* productPattern;
    const char* serialPattern;
    const char* name;  // the name the report shows ("Maker Model")
    RadioPortRow ports[kMostRadioPorts];
};

// The table, most specific rows first: the first row a device matches names it.
extern const RadioRow g_radioTable[];
extern const std::size_t g_radioTableSize;

}  // namespace portiq
