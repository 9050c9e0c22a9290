// The message player: bounded reading of a memory, flow control, stopping.
#include "messages/message_player.h"
#include "messages/token_parser.h"
#include "settings/settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace cwbench {
namespace {

class MessagePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        poState = PO_CHAR;
        std::memset(&mxf, 0, sizeof mxf);
    }
    test::RecordingOutput out;
};

TEST_F(MessagePlayerTest, UnterminatedMemoryEndsAtItsLastByte) {
    // As a state file may leave them: no zero in either memory, nor in the padding.
    std::memset(mxf.msg3Buf, 'E', sizeof mxf.msg3Buf);
    std::memset(mxf.msg4Buf, 'T', sizeof mxf.msg4Buf);
    mxf.padding = 'X';
    std::atomic<int> active{1};
    EXPECT_EQ(playMessage(mxf.msg3Buf, sizeof mxf.msg3Buf, active, out), 256u);
    EXPECT_EQ(out.sent, std::vector<unsigned char>(256, 'E'));
    EXPECT_EQ(active.load(), 0);

    active = 1;
    out.sent.clear();
    EXPECT_EQ(playMessage(mxf.msg4Buf, sizeof mxf.msg4Buf, active, out), 256u);
    EXPECT_EQ(out.sent, std::vector<unsigned char>(256, 'T'));

    EXPECT_EQ(messageLength(mxf.msg4Buf, sizeof mxf.msg4Buf), 256u);
    std::strcpy(mxf.msg1Buf, "CQ");
    EXPECT_EQ(messageLength(mxf.msg1Buf, sizeof mxf.msg1Buf), 2u);
}

TEST_F(MessagePlayerTest, EmptyMessageEndsAtOnce) {
    std::atomic<int> active{1};
    EXPECT_EQ(playMessage(mxf.msg1Buf, sizeof mxf.msg1Buf, active, out), 0u);
    EXPECT_EQ(active.load(), 0);
    EXPECT_TRUE(out.sent.empty());
}

TEST_F(MessagePlayerTest, HoldDelaysButNeverDropsACharacter) {
    std::strcpy(mxf.msg1Buf, "ABC");
    out.holdPolls = 7;
    std::atomic<int> active{1};
    playMessage(mxf.msg1Buf, sizeof mxf.msg1Buf, active, out);
    EXPECT_EQ(out.sent, (std::vector<unsigned char>{'A', 'B', 'C'}));
    EXPECT_EQ(out.waits, 7);
}

TEST_F(MessagePlayerTest, ClearedFlagStopsThePlayer) {
    class StopAfterTwo final : public MessageOutput {
    public:
        explicit StopAfterTwo(std::atomic<int>& a) : active(a) {}
        std::atomic<int>& active;
        int sent = 0;
        bool held() override { return false; }
        void send(unsigned char) override {
            if (++sent == 2) active = 0;
        }
        void echo(unsigned char) override {}
        void waitStep() override {}
    };
    std::strcpy(mxf.msg2Buf, "ABCDEF");
    std::atomic<int> active{1};
    StopAfterTwo stopper(active);
    EXPECT_EQ(playMessage(mxf.msg2Buf, sizeof mxf.msg2Buf, active, stopper), 2u);
    EXPECT_EQ(stopper.sent, 2);
}

}  // namespace
}  // namespace cwbench
