// The message token parser and the message player. Input: message memories separated by
// NUL bytes, played one after the other as cwbench plays them (the parser's state runs
// on from one message into the next). The chip holds its input at times the input's
// bytes decide, so the player's waiting is taken too.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "messages/message_player.h"
#include "messages/token_parser.h"
#include "platform/recording/recording_platform.h"
#include "settings/settings.h"

using namespace cwbench;

namespace {

// Records what the player does; held() answers from the message's own bytes.
class RecordingOutput : public MessageOutput {
public:
    explicit RecordingOutput(const std::string& holdPattern) : holdPattern_(holdPattern) {}
    bool held() override {
        if (holdPattern_.empty() || waits_ > 64) return false;
        return (holdPattern_[looks_++ % holdPattern_.size()] & 1) != 0;
    }
    void send(unsigned char byte) override { sent.push_back(byte); }
    void echo(unsigned char ch) override { echoed.push_back(ch); }
    void waitStep() override { ++waits_; }

    std::vector<unsigned char> sent;
    std::vector<unsigned char> echoed;

private:
    std::string holdPattern_;
    std::size_t looks_ = 0;
    int waits_ = 0;
};

unsigned char Upper(unsigned char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<unsigned char>(ch - 'a' + 'A') : ch; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RecordingPlatform& recording = *new RecordingPlatform;
    setPlatform(&recording);
    recording.clearBoxes();
    poState = PO_CHAR;  // the parser's state outlives a message, not a fuzz input
    value = 0;

    std::size_t taken = 0;
    for (const std::string& message : fuzzinput::Split(data, size, '\0', 8)) {
        // A memory is kMsgBufSize bytes; a longer message is cut there, unterminated.
        const std::string memory = message.substr(0, kMsgBufSize);
        RecordingOutput out(message);
        std::atomic<int> active{1};
        const std::size_t played = playMessage(memory.data(), memory.size(), active, out);
        // The text ends at its first zero (the last part of the input may hold some).
        if (played != messageLength(memory.data(), memory.size())) std::abort();
        if (active.load() != 0 || out.echoed.size() != played) std::abort();
        for (std::size_t i = 0; i < played; ++i) {
            if (out.echoed[i] != Upper(static_cast<unsigned char>(memory[i]))) std::abort();
        }
        // Each character sends at most a command and its argument byte.
        if (out.sent.size() > 2 * played) std::abort();
        taken += played;
    }
    // At most one error box per character taken.
    if (recording.boxes().size() > taken) std::abort();
    setPlatform(nullptr);
    return 0;
}
