// The radio pass: after the boxes, the radios that have a USB interface of their own.
//
// It reads what the walks left (the USB records, the sound devices, the boxes' blocks) and
// the device tree, and changes none of it: the boxes' blocks and the log stay as the box
// walk wrote them. A radio is found two ways:
//   - a USB device a row of the radio table names (by VID/PID and the globs on its product
//     and serial strings): its ports with the roles the row gives, its sound device on
//     its own interfaces or, where the codec is a device of its own, the one codec beside
//     it on a hub that holds nothing else (a transceiver's internal hub);
//   - a serial bridge and a codec alone on one hub, shown as one unnamed interface, with
//     no roles (see IsOneInterface in radio_pass.cpp for what counts).
// A box, a box's codec and a device a row names are never part of an unnamed interface.
#pragma once

#include <cstddef>
#include <string>

#include "radios/radio_table.h"

namespace portiq {

// Fills g_radioBlocks from the run's records with the radio table; with a table of the
// caller's (tests) where given. Runs after WalkDeviceTree and DiagnoseBoxes.
void FindRadios();
void FindRadios(const RadioRow* table, std::size_t rows);

// The report's text of g_radioBlocks, each block ended by an empty line; empty when none.
std::string RadioReportText();

// Whether text matches a table glob ('*' any run, '?' one character); nullptr: anything.
bool MatchesRadioGlob(const char* pattern, const std::string& text);

}  // namespace portiq
