// The log's formatting rules: the 511-character cut, the %ws rule, Windows-sized longs,
// and LogLastError's entry.
#include <gtest/gtest.h>

#include "app/log.h"
#include "test_support.h"

namespace portiq {
namespace {

using testing::PortIqTest;

TEST(FormatPrintf, FollowsPrintfForTheConversionsTheWalksUse) {
    EXPECT_EQ(FormatPrintf("%i:%08x*%08x*%s*%s*%s\n", 3, 0x1Au, 0xDEADBEEFu, "F", "D", "K"),
              "3:0000001a*deadbeef*F*D*K\n");
    EXPECT_EQ(FormatPrintf(" bcdUSB %4.4x bMaxPower %2.2x = %d mA", 0x110, 0x32, 0x64), " bcdUSB 0110 bMaxPower 32 = 100 mA");
    EXPECT_EQ(FormatPrintf("[%5s|%-5s|%.2s]", "ab", "cd", "xyz"), "[   ab|cd   |xy]");
    EXPECT_EQ(FormatPrintf("%d%%", -7), "-7%");
    EXPECT_EQ(FormatPrintf("%*d", 4, 7), "   7");
}

TEST(FormatPrintf, LongIsThirtyTwoBitsOnEveryBuild) {
    EXPECT_EQ(FormatPrintf("%lx %x %llx", 0x1FFFFFFFFull, 0x1FFFFFFFFull, 0x1FFFFFFFFull), "ffffffff ffffffff 1ffffffff");
    EXPECT_EQ(FormatPrintf("%d", 0xFFFFFFFFu), "-1");
    EXPECT_EQ(FormatPrintf("%hx %hhx", 0x12345, 0x1FF), "2345 ff");
}

TEST(FormatPrintf, WideTextKeepsLatinOneAndStopsTheWholeEntryAboveIt) {
    EXPECT_EQ(FormatPrintf("Driverkey name = %ws\n", u"{36fc9e60}\\0012"), "Driverkey name = {36fc9e60}\\0012\n");
    EXPECT_EQ(FormatPrintf("%ws|", u"caf\u00e9"), "caf\xe9|");
    // A Cyrillic product string: the entry ends before the first Cyrillic letter, its
    // line break included.
    EXPECT_EQ(FormatPrintf(" = %ws\nnext %d", u"USB \u0410\u0443\u0434\u0438\u043e", 5), " = USB ");
    EXPECT_EQ(FormatPrintf("%ws", u"\u0410"), "");
}

TEST(FormatPrintf, MissingOrMistypedArgumentsProduceNothing) {
    EXPECT_EQ(FormatPrintf("a%db%sc"), "abc");
    EXPECT_EQ(FormatPrintf("%d|%s", "text", 5), "|");
    EXPECT_EQ(FormatPrintf("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(FormatPrintf("%n%q%", 1), "%q%");
    EXPECT_EQ(FormatPrintf("%999999999d", 1).size(), 4096u);  // hostile widths stay bounded
}

TEST_F(PortIqTest, LogEntriesAreCutTo511CharactersAndAtANul) {
    Install();
    const std::string longName(600, 'x');
    LogPrintf("%s\n", longName);
    EXPECT_EQ(g_strLog, std::string(511, 'x'));
    LogPrintf("%s", std::string(511, 'y'));
    EXPECT_EQ(g_strLog.size(), 1022u);
    LogPrintf("a%cb", 0);
    EXPECT_EQ(g_strLog.substr(1022), "a");
}

TEST_F(PortIqTest, LogLastErrorWritesTheSystemTextAndReturnsTheCode) {
    Install();
    machine.system.lastError = 31;
    EXPECT_EQ(LogLastError(""), 31);
    EXPECT_EQ(g_strLog, " failed with error 31: A device attached to the system is not functioning.\r\n");
    machine.system.lastError = 4242;  // a code the system has no text for
    EXPECT_EQ(LogLastError(""), 4242);
    EXPECT_EQ(g_strLog.substr(g_strLog.find("4242") - 19), " failed with error 4242: ");
}

}  // namespace
}  // namespace portiq
