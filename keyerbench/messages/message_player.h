// Plays a stored message: each character is upper-cased, echoed, run through
// processMsg, and what comes out is sent to the chip, waiting while it holds input.
//
// A memory is read only within its own bytes: the text ends at its first zero or after
// its last byte, whichever comes first, so a memory loaded without a terminating zero
// is never read past.
//
// A player plays while the flag it was started with holds its own ticket (a non-zero
// number); clearing the flag, or starting another player with a new ticket, stops it at
// its next character. So a player that was held up (in a parser message box, say) while
// another one started can never play on beside it.
#pragma once

#include <atomic>
#include <cstddef>

namespace cwbench {

// Where a played message goes: the chip (through mx_char and mx_xoff) in cwbench, a
// recorder in tests.
class MessageOutput {
public:
    virtual ~MessageOutput() = default;
    // True while the chip refuses input.
    virtual bool held() = 0;
    virtual void send(unsigned char byte) = 0;
    // The bytes of one character (a command and its argument travel together, so that
    // the chip never gets one without the other). By default one send() per byte.
    virtual void sendBytes(const unsigned char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) send(bytes[i]);
    }
    // Every character of the text, token characters included, as it is taken.
    virtual void echo(unsigned char ch) = 0;
    // Called between looks at held().
    virtual void waitStep() = 0;
};

// The length of the text in a memory of size bytes.
std::size_t messageLength(const char* memory, std::size_t size);

// Passes one character through the parser and sends its bytes.
void playChar(unsigned char ch, MessageOutput& out);

// Plays the text of a memory while active holds ticket; at the text's end clears active
// (unless another ticket has taken it meanwhile). Returns the number of characters taken.
std::size_t playMessage(const char* memory, std::size_t size, std::atomic<int>& active,
                        MessageOutput& out, int ticket = 1);

// An output that drives the keyer chip library: mx_char, mx_xoff, 5 ms waits. Echoes
// go nowhere.
class KeyerOutput : public MessageOutput {
public:
    bool held() override;
    void send(unsigned char byte) override;
    void echo(unsigned char) override {}
    void waitStep() override;
};

}  // namespace cwbench
