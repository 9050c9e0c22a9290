// The log's formatting rules: the 511-character cut, the %ws rule, Windows-sized longs,
// and LogLastError's entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "base/log.h"
#include "test_support.h"

namespace portiq {
namespace {

using testing::PortIqTest;

// One formatting case: the format, its arguments and the text expected.
struct FormatCase {
    const char* format;
    std::vector<FormatArg> args;
    std::string expected;
};

void ExpectFormats(const std::vector<FormatCase>& cases) {
    for (const FormatCase& c : cases) {
        EXPECT_EQ(FormatPrintfArgs(c.format, c.args.data(), c.args.size()), c.expected)
            << "format \"" << c.format << "\" with " << c.args.size() << " arguments";
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(FormatPrintf, FollowsPrintfForTheConversionsTheWalksUse) {
    EXPECT_EQ(FormatPrintf("%i:%08x*%08x*%s*%s*%s\n", 3, 0x1Au, 0xDEADBEEFu, "F", "D", "K"),
              "3:0000001a*deadbeef*F*D*K\n");
    EXPECT_EQ(FormatPrintf(" bcdUSB %4.4x bMaxPower %2.2x = %d mA", 0x110, 0x32, 0x64), " bcdUSB 0110 bMaxPower 32 = 100 mA");
    EXPECT_EQ(FormatPrintf("[%5s|%-5s|%.2s]", "ab", "cd", "xyz"), "[   ab|cd   |xy]");
    EXPECT_EQ(FormatPrintf("%d%%", -7), "-7%");
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

TEST(FormatPrintf, StarTakesWidthAndPrecisionFromTheArgumentsAsInC) {
    ExpectFormats({
        {"[%*d]", {4, 7}, "[   7]"},
        {"[%*d]", {-5, 42}, "[42   ]"},  // a negative width means left-justified
        {"[%-*d]", {-5, 42}, "[42   ]"},
        {"[%*s|%*c]", {-4, "ab", -3, 'z'}, "[ab  |z  ]"},
        {"[%.*s]", {-1, "abc"}, "[abc]"},  // a negative precision means none
        {"[%.*s]", {2, "abc"}, "[ab]"},
        {"[%.s]", {"abc"}, "[]"},          // '.' alone is precision 0
        {"[%*.*x]", {-6, 3, 0xA}, "[00a   ]"},
        {"[%*d]", {3.9, 7}, "[  7]"},      // a floating-point width is truncated
        {"[%.*d]", {-2.5, 7}, "[7]"},
    });
    // Hostile widths stay bounded, and the most negative one is still left-justified.
    const std::string widest = FormatPrintf("%*d|", std::numeric_limits<std::int64_t>::min(), 1);
    EXPECT_EQ(widest.size(), 4097u);
    EXPECT_EQ(widest.substr(0, 2), "1 ");
    EXPECT_EQ(FormatPrintf("%999999999d", 1).size(), 4096u);
    EXPECT_EQ(FormatPrintf("%.*f", 1e9, 1.0).size(), 4098u);
}

TEST(FormatPrintf, MissingOrMistypedArgumentsProduceNothing) {
    ExpectFormats({
        {"a%db%sc", {}, "abc"},
        {"%d|%s", {"text", 5}, "|"},
        {"%s", {static_cast<const char*>(nullptr)}, "(null)"},
        {"%n%q%", {1}, "%q%"},
        // Floating-point arguments to integer conversions: truncated when a 64-bit
        // integer holds them, a wrong argument when none does.
        {"[%d|%i|%c]", {-2.9, 65.7, 66.2}, "[-2|65|B]"},
        {"[%d]", {1e300}, "[]"},
        {"[%d]", {-1e300}, "[]"},
        {"[%u|%x|%lld]", {kNaN, kInfinity, 9.3e18}, "[||]"},
        {"[%c]", {1e300}, "[]"},
        // A '*' without a usable argument drops its conversion, which still takes its
        // own argument, so the next conversion gets the right one.
        {"[%*d|%d]", {1e300, 5, 6}, "[|6]"},
        {"[%.*s|%s]", {kNaN, "abc", "z"}, "[|z]"},
        {"[%*s|%s]", {"4", "abc", "z"}, "[|z]"},
        {"[%*d]", {}, "[]"},
        {"[%*q]", {1}, "[%*q]"},
    });
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
