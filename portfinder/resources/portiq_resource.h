// Resource ids of PortIQ, shared by portiq.rc and the code.
#pragma once

#define IDS_DEVICE_MANAGER_HINT 2
#define IDS_NOT_FOUND 4
#define IDS_FOUND_DEVICE 5
#define IDS_FTDI_PORTS_FOUND 6
#define IDS_LIST_NOT_SAVED 7
#define IDS_LIST_SAVED_ELSEWHERE 8

// The diagnosis: one text per cause (Windows' remedy, and a Unix system's where it
// differs), the words it names things with, and the hub port statuses.
#define IDS_DIAG_NO_DRIVER 16
#define IDS_DIAG_NO_DRIVER_UNIX 17
#define IDS_DIAG_DISABLED 18
#define IDS_DIAG_NOT_AUTHORIZED_UNIX 19
#define IDS_DIAG_FAILED_START 20
#define IDS_DIAG_NO_SOUND_CARD_UNIX 21
#define IDS_DIAG_OTHER_PROBLEM 22
#define IDS_DIAG_PORT_FAILURE 23
#define IDS_DIAG_HELD_UNIX 24
#define IDS_DIAG_OTHER_DRIVER_UNIX 25
#define IDS_DIAG_NO_ACCESS_UNIX 26
#define IDS_DIAG_MODEM_MANAGER_UNIX 27
#define IDS_DIAG_ELSEWHERE 28
#define IDS_DIAG_USB_DEVICE 29
#define IDS_DIAG_CHANNEL 30
#define IDS_DIAG_THE_BOX 31
#define IDS_DIAG_SOUND_CODEC 32
#define IDS_DIAG_PLACE 33
#define IDS_DIAG_FAILED_ENUMERATION 34
#define IDS_DIAG_GENERAL_FAILURE 35
#define IDS_DIAG_OVERCURRENT 36
#define IDS_DIAG_NOT_ENOUGH_POWER 37

// The radio pass: a radio's header, the header of a serial port and a codec alone on one
// hub, and the captions of their port lines. A block of its own (48 to 63).
#define IDS_RADIO_FOUND 48
#define IDS_RADIO_UNNAMED 49
#define IDS_RADIO_PORT_ROLE 50
#define IDS_RADIO_PORT 51
#define IDS_RADIO_SERIAL_PORT 52
