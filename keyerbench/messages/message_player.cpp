#include "messages/message_player.h"

#include "messages/token_parser.h"

#include <cstring>

namespace cwbench {

std::size_t messageLength(const char* memory, std::size_t size) {
    const void* end = std::memchr(memory, 0, size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - memory) : size;
}

void playChar(unsigned char ch, MessageOutput& out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<unsigned char>(ch - 'a' + 'A');
    out.echo(ch);
    unsigned char first = 0;
    unsigned char second = 0;
    processMsg(ch, &first, &second);
    unsigned char bytes[2];
    std::size_t count = 0;
    if (first != 0) bytes[count++] = first;
    if (second != 0) {
        if (second == '0')
            second = 0;
        else if (second == '1')
            second = 1;
        bytes[count++] = second;
    }
    if (count > 0) out.sendBytes(bytes, count);
}

std::size_t playMessage(const char* memory, std::size_t size, std::atomic<int>& active,
                        MessageOutput& out, int ticket) {
    std::size_t next = 0;
    while (active.load() == ticket) {
        if (next >= size || memory[next] == 0) {
            active.compare_exchange_strong(ticket, 0);
            break;
        }
        if (out.held()) {
            out.waitStep();
            continue;
        }
        playChar(static_cast<unsigned char>(memory[next++]), out);
    }
    return next;
}

}  // namespace cwbench
