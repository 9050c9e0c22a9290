// What a played message sends: the token parser together with the player's sending
// rule, for the stored texts cwbench users write.
#include "messages/message_player.h"
#include "messages/token_parser.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace cwbench {
namespace {

using Bytes = std::vector<unsigned char>;

class TokenParserTest : public ::testing::Test {
protected:
    void SetUp() override { poState = PO_CHAR; }

    // Plays a text as a stored message and returns what was sent.
    Bytes play(const char* text) {
        char memory[256] = {};
        std::strncpy(memory, text, sizeof memory - 1);
        std::atomic<int> active{1};
        playMessage(memory, sizeof memory, active, out);
        EXPECT_EQ(active.load(), 0);
        return std::exchange(out.sent, {});
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const auto& b : fs.boxes()) {
            EXPECT_EQ(b.caption, "Error");
            EXPECT_EQ(b.type, kMbIconExclamation);
            texts.push_back(b.text);
        }
        return texts;
    }

    RecordingPlatform fs;
    test::PlatformScope scope{fs};
    test::RecordingOutput out;
};

TEST_F(TokenParserTest, TextWithSpeedTokens) {
    EXPECT_EQ(play("TEST[S25]AB[X]"), (Bytes{'T', 'E', 'S', 'T', 0x1C, 25, 'A', 'B', 0x1E}));
    EXPECT_EQ(out.echoed, "TEST[S25]AB[X]");
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(TokenParserTest, LowerCaseIsTakenAsUpperCase) {
    EXPECT_EQ(play("cq[s25]de"), (Bytes{'C', 'Q', 0x1C, 25, 'D', 'E'}));
    EXPECT_EQ(out.echoed, "CQ[S25]DE");
}

TEST_F(TokenParserTest, EveryTokenSendsItsBytes) {
    EXPECT_EQ(play("[P]"), (Bytes{0x18, 0x01}));
    EXPECT_EQ(play("[N]"), (Bytes{0x18, 0x00}));
    EXPECT_EQ(play("[S20]"), (Bytes{0x1C, 0x14}));
    EXPECT_EQ(play("[K05]"), (Bytes{0x19, 0x05}));
    EXPECT_EQ(play("[W10]"), (Bytes{0x1A, 0x0A}));
    EXPECT_EQ(play("[X]"), (Bytes{0x1E}));
    EXPECT_EQ(play("[M]"), (Bytes{0x1B}));
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(TokenParserTest, PlainBytesPassUnchanged) {
    EXPECT_EQ(play(" 1\r\n0]\xE9"), (Bytes{' ', '1', '\r', '\n', '0', ']', 0xE9}));
}

TEST_F(TokenParserTest, ArgumentCharactersCountByTheirLowFourBits) {
    EXPECT_EQ(play("[SAB]"), (Bytes{0x1C, 12}));
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(TokenParserTest, ThreeDigitArgumentIsATokenMismatch) {
    EXPECT_EQ(play("[S123]"), (Bytes{0x1C, 12, ']'}));
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Message Token Mismatch"});
}

TEST_F(TokenParserTest, ZeroArgumentStillSendsItsByte) {
    EXPECT_EQ(play("[S00]"), (Bytes{0x1C, 0x00}));
    EXPECT_EQ(play("[K00]A"), (Bytes{0x19, 0x00, 'A'}));
    EXPECT_EQ(play("[W00]"), (Bytes{0x1A, 0x00}));
    unsigned char first = 0xFF;
    unsigned char second = 0xFF;
    processMsg('[', &first, &second);
    processMsg('S', &first, &second);
    processMsg('0', &first, &second);
    processMsg('0', &first, &second);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, '0') << "a zero argument travels like the PTT argument";
}

TEST_F(TokenParserTest, ArgumentsThatLookLikeDigitCharactersAreSentAsValues) {
    // 48 and 49 are the codes of '0' and '1': they go out as the numbers themselves.
    EXPECT_EQ(play("[S48][S49]"), (Bytes{0x1C, 48, 0x1C, 49}));
}

TEST_F(TokenParserTest, BadCommandLetterShowsOneBoxAndGoesBackToText) {
    EXPECT_EQ(play("[QRS]AB"), (Bytes{'R', 'S', ']', 'A', 'B'}));
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Bad Buf Msg Cmd"});
    EXPECT_EQ(poState.load(), PO_CHAR);
}

TEST_F(TokenParserTest, UnfinishedTokenIsCompletedByTheNextMessage) {
    EXPECT_EQ(play("CQ[S2"), (Bytes{'C', 'Q', 0x1C}));
    EXPECT_EQ(poState.load(), PO_VALUEL);
    EXPECT_EQ(play("5]HI"), (Bytes{25, 'H', 'I'}));
    EXPECT_TRUE(boxTexts().empty());

    // Completed with something else than a closing bracket as the second character.
    play("[S2");
    EXPECT_EQ(play("5HI"), (Bytes{25, 'I'}));
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Message Token Mismatch"});
}

TEST_F(TokenParserTest, BothOutputsAreClearedOnEveryCall) {
    unsigned char first = 0xAA;
    unsigned char second = 0xBB;
    processMsg('[', &first, &second);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
}

}  // namespace
}  // namespace cwbench
