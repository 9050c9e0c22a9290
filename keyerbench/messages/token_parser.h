// The message token parser: turns each character of a played message into the bytes
// the keyer chip receives. Bracketed tokens stand for the chip's buffered commands:
//   [P] PTT on, [N] PTT off, [Snn] speed nn WPM, [Knn] key down, [Wnn] wait,
//   [X] cancel the speed change, [M] merge the next two letters.
#pragma once

#include "keyerlib/morsixdll.h"

#include <atomic>

namespace cwbench {

// Parser states.
enum { PO_CHAR = 0, PO_BEGTOKEN = 1, PO_VALUEH = 2, PO_VALUEL = 3, PO_ENDTOKEN = 4 };


// The parser's state and the argument being built. They live for the whole run and are
// never reset: a message that ends inside a token leaves the next one to finish it.
// Only one message plays at a time; they are atomics all the same, because a player
// stopped while its parser box was up hands them on to the next one without any other
// meeting point between the two threads.
extern std::atomic<int> poState;
extern std::atomic<unsigned char> value;

// Consumes one (upper-cased) character. Both outputs are set to 0 first; 0 means
// nothing to send. The first output is sent as it is; the second is the character '0'
// or '1', which the sender turns into the byte 0 or 1. A numeric argument of zero
// therefore comes out as the second output '0', so that the chip gets its argument byte
// instead of taking the next character for it.
// A bad command letter shows "Bad Buf Msg Cmd" and returns to plain text; a missing
// closing bracket shows "Message Token Mismatch" (both captioned "Error").
void processMsg(unsigned char ch, unsigned char* p1, unsigned char* p2);

}  // namespace cwbench
