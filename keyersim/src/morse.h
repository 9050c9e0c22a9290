// Morse code and the keying timing model of the simulated chip.
//
// Timing, all in ms of chip time, for a speed of W words per minute:
//   - unit u = 1200 / W (PARIS, 50 units, takes one minute at 1 WPM);
//   - dit = u; dah = 3 u scaled by the dit/dah ratio register: 3 u * ratio / 50, so 50
//     is 1:3 and 33..66 span about 1:2 to 1:4 (0 counts as 50);
//   - weight moves time from space to mark without changing an element's period: every
//     mark is longer by (weight - 50) / 50 u and the space after it as much shorter
//     (50 or 0 is neutral; the shift is held within 0.9 u);
//   - gaps: 1 u between the elements of a character, 3 u after a character, 7 u between
//     words (a blank adds 4 u to the 3 u after the character before it);
//   - Farnsworth: when the Farnsworth register is set and higher than W, characters are
//     keyed at that speed (unit c = 1200 / farns) and only the gaps after characters
//     and words are stretched, to f = (60000 / W - 31 c) / 19, so that PARIS (31 units
//     of characters, 19 of gaps) still takes 60000 / W ms: 3 f after a character, 7 f
//     between words;
//   - a merged character is followed by the 1 u element gap instead of 3 u, so the next
//     character runs into it as one sign.
// First-element extension, key compensation, lead-in and tail are stored but not
// modelled.
#pragma once

#include "keyerlib/morsixdll.h"

#include <vector>

namespace keyersim {

// Dots and dashes of a character (either case), or nullptr when it has no code.
const char* morseCode(unsigned char ch);

struct Timing {
    double dit;
    double dah;
    double markShift;   // added to each mark, taken from the space after it
    double elementGap;  // before the shift
    double charGap;
    double wordGap;
    bool farnsworth;    // characters keyed at the Farnsworth register's speed
};

Timing timingFor(const MXSTATE& registers, int wpm);

struct Element {
    double down;  // ms from the character's start
    double up;
};

struct CharPlan {
    std::vector<Element> elements;
    double end;  // ms from the start until the next character may begin
};

CharPlan planChar(const char* code, const Timing& t, bool merged);

// Extra time a blank adds after the gap that follows a character.
double wordSpace(const Timing& t);

}  // namespace keyersim
