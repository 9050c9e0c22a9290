// The radios PortIQ names beside its boxes. Every fact in a row (IDs, string patterns, the
// role of a port) comes from the public document named in the comment above the row; a
// port no document describes gets no role, since a user keys whatever we call PTT.
// Rows on a bridge chip's stock IDs carry a serial-string pattern of the radio's own, so a
// plain cable on the same chip is never taken for a radio. Specific rows come first.
#include "radios/radio_table.h"

namespace portiq {

const RadioRow g_radioTable[] = {
    // --- Transceivers whose bridge serial string names the model ---

    // IDs and serial: GI7UGV, "ICOM IC-9700 and IC-7300 coexisting in Linux" (x8x.net,
    // 2019): both radios show 10c4:ea60; the IC-9700's two ports carry the serials
    // "IC-9700 <number> A" and "... B", each a bridge of its own (interface 0).
    {0x10c4, 0xea60, nullptr, "IC-9700 * A", "Icom IC-9700", {{0, nullptr}}},
    {0x10c4, 0xea60, nullptr, "IC-9700 * B", "Icom IC-9700", {{0, nullptr}}},
    // IDs and serial: same GI7UGV article, serial "IC-7300 03000000" on 10c4:ea60.
    {0x10c4, 0xea60, nullptr, "IC-7300 *", "Icom IC-7300", {{0, nullptr}}},

    // --- IDs the radio's maker owns ---

    // Linux drivers/usb/serial/ftdi_sio_ids.h, "Icom Inc. devices": ICOM_VID 0x0C26,
    // ICOM_ID_1_PID 0x0004 "ID-1 USB to RS-232" ("a communications tranceiver for
    // HAM-radio operators").
    {0x0c26, 0x0004, nullptr, nullptr, "Icom ID-1", {{0, nullptr}}},

    // --- Sound-card and CAT interfaces between a radio and a PC ---

    // Linux drivers/usb/serial/cp210x.c id_table: 0x10C4/0x814A "West Mountain Radio
    // RIGblaster P&P" (a product ID of its own on the Silicon Labs vendor ID).
    {0x10c4, 0x814a, nullptr, nullptr, "West Mountain Radio RIGblaster P&P", {{0, nullptr}}},
    // Linux cp210x.c id_table: 0x10C4/0x814B "West Mountain Radio RIGtalk".
    {0x10c4, 0x814b, nullptr, nullptr, "West Mountain Radio RIGtalk", {{0, nullptr}}},
    // Linux cp210x.c id_table: 0x2405/0x0003 "West Mountain Radio RIGblaster Advantage".
    {0x2405, 0x0003, nullptr, nullptr, "West Mountain Radio RIGblaster Advantage",
     {{0, nullptr}}},
    // Linux cp210x.c id_table: 0x10C4/0x815F "Timewave HamLinkUSB".
    {0x10c4, 0x815f, nullptr, nullptr, "Timewave HamLinkUSB", {{0, nullptr}}},
    // Linux ftdi_sio_ids.h, "US Interface Navigator": FTDI_USINT_CAT_PID 0xb810
    // "Navigator CAT and 2nd PTT lines", _WKEY_PID 0xb811 "Navigator WKEY and FSK
    // lines", _RS232_PID 0xb812 "Navigator RS232 and CONFIG lines". Each port mixes
    // data and keying lines, so no single role fits; the comment is the user's guide.
    {0x0403, 0xb810, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
    {0x0403, 0xb811, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
    {0x0403, 0xb812, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
};

const std::size_t g_radioTableSize = sizeof(g_radioTable) / sizeof(g_radioTable[0]);

}  // namespace portiq
