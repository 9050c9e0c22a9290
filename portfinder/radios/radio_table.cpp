// The radios PortIQ names beside its boxes. Every fact in a row (IDs, string patterns, the
// role of a port) comes from the public document named in the comment above the row; a
// port no document describes gets no role, since a user keys whatever we call PTT.
// Rows on a bridge chip's stock IDs carry a serial-string pattern of the radio's own, so a
// plain cable on the same chip is never taken for a radio. Specific rows come first.
// A single-port bridge carries its port on interface 0: Linux commit a5360a53 (cp210x, 2012)
// "The existing driver always sends control requests to interface 0 ... This only allows
// for single interface devices"; an FT232RL attaches as "ftdi_sio 1-5:1.0" (config 1,
// interface 0) in a ham.stackexchange.com question ("Kenwood TS-50 and USB to serial").
#include "radios/radio_table.h"

namespace portiq {

const RadioRow g_radioTable[] = {
    // --- Transceivers whose bridge serial string names the model (stock 10c4:ea60) ---

    // IDs and serials: GI7UGV, "ICOM IC-9700 and IC-7300 coexisting in Linux" (x8x.net,
    // 4 April 2019): both radios show 10c4:ea60; the IC-9700's two ports are two bridges
    // with serials "IC-9700 <number> A" and "... B". The article says only that the first
    // answered rig control, which is no maker's word on A and B: no roles.
    {0x10c4, 0xea60, nullptr, "IC-9700 * A", "Icom IC-9700", {{0, nullptr}}},
    {0x10c4, 0xea60, nullptr, "IC-9700 * B", "Icom IC-9700", {{0, nullptr}}},
    // IDs and serial: GI7UGV article above, "IC-7300 03000000" on 10c4:ea60. Role: Icom
    // IC-7300 Full Manual, section 19 "Control command", p. 19-2, "CI-V connection": the
    // transceiver is "remotely controlled using a PC" through "A USB cable"; its one
    // bridge is that port. Keying on its DTR or RTS is a menu setting, so no PTT or CW.
    {0x10c4, 0xea60, nullptr, "IC-7300 *", "Icom IC-7300", {{0, "CAT"}}},

    // --- Radios and radio cables on their maker's own vendor ID ---

    // Linux drivers/usb/serial/ftdi_sio_ids.h, "Icom Inc. devices": ICOM_VID 0x0C26,
    // ICOM_ID_1_PID 0x0004 "ID-1 USB to RS-232" ("a communications tranceiver for
    // HAM-radio operators").
    {0x0c26, 0x0004, nullptr, nullptr, "Icom ID-1", {{0, nullptr}}},
    // systemd hwdb 20-usb-vendor-model.hwdb (from the usb.ids list): usb:v0C26p002B
    // "Icom Inc. IC-R30".
    {0x0c26, 0x002b, nullptr, nullptr, "Icom IC-R30", {}},
    // ftdi_sio_ids.h: ICOM_OPC_U_UC_PID 0x0018 "OPC-478UC, OPC-1122U cloning cable";
    // hwdb usb:v0C26p0018 "USB-Serial Controller [Icom Inc. OPC-478UC]".
    {0x0c26, 0x0018, nullptr, nullptr, "Icom OPC-478UC/OPC-1122U", {{0, nullptr}}},
    // ftdi_sio_ids.h, "ID-RP* devices are Icom Repeater Devices for HAM-radio": 0x0009
    // "ID-RP2C Asset 1 to RS-232", 0x000A "Asset 2", 0x000B "ID-RP2D configuration port",
    // 0x000C/0x000D "ID-RP2V Transmit/Receive config port", 0x0010/0x0011 the same for the
    // ID-RP4000V, 0x0012/0x0013 for the ID-RP2000V. Configuration ports: no radio role.
    {0x0c26, 0x0009, nullptr, nullptr, "Icom ID-RP2C", {{0, nullptr}}},
    {0x0c26, 0x000a, nullptr, nullptr, "Icom ID-RP2C", {{0, nullptr}}},
    {0x0c26, 0x000b, nullptr, nullptr, "Icom ID-RP2D", {{0, nullptr}}},
    {0x0c26, 0x000c, nullptr, nullptr, "Icom ID-RP2V", {{0, nullptr}}},
    {0x0c26, 0x000d, nullptr, nullptr, "Icom ID-RP2V", {{0, nullptr}}},
    {0x0c26, 0x0010, nullptr, nullptr, "Icom ID-RP4000V", {{0, nullptr}}},
    {0x0c26, 0x0011, nullptr, nullptr, "Icom ID-RP4000V", {{0, nullptr}}},
    {0x0c26, 0x0012, nullptr, nullptr, "Icom ID-RP2000V", {{0, nullptr}}},
    {0x0c26, 0x0013, nullptr, nullptr, "Icom ID-RP2000V", {{0, nullptr}}},
    // hwdb: usb:v26AA "Yaesu Musen", usb:v26AAp0001 "FT-1D". A CHIRP users' list thread
    // ("programming Yaesu FT2D", Nov 2016) shows the cable shipped with an FT2D on the
    // same 26aa:0001, hence both names.
    {0x26aa, 0x0001, nullptr, nullptr, "Yaesu FT-1D/FT2D", {}},
    // hwdb: usb:v26AAp000E "FTA-550", usb:v26AAp000F "FTA-750" (Yaesu airband radios).
    {0x26aa, 0x000e, nullptr, nullptr, "Yaesu FTA-550", {}},
    {0x26aa, 0x000f, nullptr, nullptr, "Yaesu FTA-750", {}},

    // --- Sound-card and CAT interfaces between a radio and a PC ---

    // IDs: Linux drivers/usb/serial/cp210x.c id_table, 0x2405/0x0003 "West Mountain Radio
    // RIGblaster Advantage"; hwdb usb:v2405p0002 "... RIGblaster Advantage Audio" is its
    // sound device, a USB device of its own. Roles: West Mountain Radio knowledge base
    // OT168, "Understanding the Com Port Splitter" (Q4 2016 newsletter): the serial port
    // over USB of the Advantage carries rig control (CAT) on TxD/RxD, "RTS activates the
    // PTT" and "DTR is often for keying the CW or FSK jack".
    {0x2405, 0x0003, nullptr, nullptr, "West Mountain Radio RIGblaster Advantage",
     {{0, "CAT/PTT/CW"}}},
    {0x2405, 0x0002, nullptr, nullptr, "West Mountain Radio RIGblaster Advantage", {}},
    // IDs: cp210x.c id_table, 0x10C4/0x814A "West Mountain Radio RIGblaster P&P" (a product
    // ID of its own on the Silicon Labs vendor ID). Roles: the same OT168 article names the
    // Plug & Play's USB serial port beside the Advantage's for rig control, and "RTS
    // activates the PTT" on the RIGblasters; DTR keying it hedges ("often"), so no CW here.
    {0x10c4, 0x814a, nullptr, nullptr, "West Mountain Radio RIGblaster P&P",
     {{0, "CAT/PTT"}}},
    // IDs: cp210x.c id_table, 0x10C4/0x814B "West Mountain Radio RIGtalk". Role: the
    // "100 Pound DXpedition" blog (Nov 2006, "RIGtalk work-in-progress") calls it a "USB
    // rig control interface"; it has this one port.
    {0x10c4, 0x814b, nullptr, nullptr, "West Mountain Radio RIGtalk", {{0, "CAT"}}},
    // cp210x.c id_table: 0x10C4/0x815F "Timewave HamLinkUSB".
    {0x10c4, 0x815f, nullptr, nullptr, "Timewave HamLinkUSB", {{0, nullptr}}},
    // IDs, strings and interfaces: the AIOC firmware's usb_descriptors.h (github
    // skuep/AIOC): USB_VID 0x1209, USB_PID 0x7388, product "All-In-One-Cable"; since
    // firmware 1.2.0 the CDC serial port is interface 4 (ITF_NUM_CDC_0, after audio 0-2 and
    // the CM108-style HID at 3); before it the CDC port was interface 0. Role: the AIOC
    // README, "How To Use": the serial port is for "programming the radio as well as PTT
    // (Asserted on DTR=1 and RTS=0)". The HID at interface 3 keys PTT too ("CM108 style
    // PTT interface"); it has no serial port, so no entry.
    {0x1209, 0x7388, nullptr, nullptr, "AIOC All-In-One-Cable", {{0, "PTT"}, {4, "PTT"}}},
    // ftdi_sio_ids.h, "US Interface Navigator": FTDI_USINT_CAT_PID 0xb810 "Navigator CAT
    // and 2nd PTT lines", _WKEY_PID 0xb811 "Navigator WKEY and FSK lines", _RS232_PID
    // 0xb812 "Navigator RS232 and CONFIG lines" (hwdb says the same). Each port mixes data
    // and keying lines in ways no document details per line, so no roles.
    {0x0403, 0xb810, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
    {0x0403, 0xb811, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
    {0x0403, 0xb812, nullptr, nullptr, "US Interface Navigator", {{0, nullptr}}},
    // ftdi_sio_ids.h, "SCS HF Radio Modems PID's": 0xD010 "SCS PTC-IIusb", 0xD011 "SCS
    // Tracker / DSP TNC"; hwdb: usb:v0403pD012 and pD013 "SCS DRAGON 1".
    {0x0403, 0xd010, nullptr, nullptr, "SCS PTC-IIusb", {{0, nullptr}}},
    {0x0403, 0xd011, nullptr, nullptr, "SCS Tracker/DSP TNC", {{0, nullptr}}},
    {0x0403, 0xd012, nullptr, nullptr, "SCS DRAGON 1", {{0, nullptr}}},
    {0x0403, 0xd013, nullptr, nullptr, "SCS DRAGON 1", {{0, nullptr}}},
    // ftdi_sio_ids.h: FTDI_TNC_X_PID 0xEBE0 "TNC-X USB-to-packet-radio adapter, versions
    // prior to 3.0 (DLP module)".
    {0x0403, 0xebe0, nullptr, nullptr, "TNC-X", {{0, nullptr}}},
    // ftdi_sio_ids.h, "Rig Expert Ukraine devices": FTDI_REU_TINY_PID 0xED22 "RigExpert
    // Tiny".
    {0x0403, 0xed22, nullptr, nullptr, "RigExpert Tiny", {{0, nullptr}}},
    // hwdb: usb:v2100 "RT Systems" (its own vendor ID), radio programming cables:
    // p0E56 "USB62C Radio Cable [Yaesu 857/D - 897/D]", p9E50 "USB-59 Radio Cable [Yaesu
    // VX-8/D/DR]", p9E52 "Yaesu VX-7", p9E54 "CT29B Radio Cable", p9E57 "RTS01 Radio
    // Cable", p9E58 "USB63C Radio Cable [Yaesu FTDX-1200]", p9E5D "K4Y Radio Cable",
    // p9E5F "FT232RL [RTS05 Serial Cable]". ftdi_sio_ids.h lists 9e52 ("Serial converter
    // for VX-7 Radios using FT232RL") and 9e54 too.
    {0x2100, 0x0e56, nullptr, nullptr, "RT Systems USB-62C", {{0, nullptr}}},
    {0x2100, 0x9e50, nullptr, nullptr, "RT Systems USB-59", {{0, nullptr}}},
    {0x2100, 0x9e52, nullptr, nullptr, "RT Systems VX-7 cable", {{0, nullptr}}},
    {0x2100, 0x9e54, nullptr, nullptr, "RT Systems CT29B", {{0, nullptr}}},
    {0x2100, 0x9e57, nullptr, nullptr, "RT Systems RTS01", {{0, nullptr}}},
    {0x2100, 0x9e58, nullptr, nullptr, "RT Systems USB-63C", {{0, nullptr}}},
    {0x2100, 0x9e5d, nullptr, nullptr, "RT Systems K4Y", {{0, nullptr}}},
    {0x2100, 0x9e5f, nullptr, nullptr, "RT Systems RTS05", {{0, nullptr}}},
};

const std::size_t g_radioTableSize = sizeof(g_radioTable) / sizeof(g_radioTable[0]);

}  // namespace portiq
