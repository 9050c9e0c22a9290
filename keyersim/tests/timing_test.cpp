// The keying timing model: element, gap and word lengths in dit units.
#include "morse.h"

#include <gtest/gtest.h>

#include <string>

namespace keyersim {
namespace {

MXSTATE regs(unsigned char weight = 50, unsigned char ratio = 50, unsigned char farns = 0) {
    MXSTATE r{};
    r.weight = weight;
    r.ditdahratio = ratio;
    r.farns = farns;
    return r;
}

// Chip time from the start of a text's first character to the start of what would follow.
double textLength(const std::string& text, const Timing& t) {
    double total = 0;
    for (unsigned char c : text)
        total += c == ' ' ? wordSpace(t) : planChar(morseCode(c), t, false).end;
    return total;
}

TEST(TimingTest, ParisIsFiftyUnitsAtAnySpeed) {
    for (int wpm : {5, 13, 20, 35, 60}) {
        Timing t = timingFor(regs(), wpm);
        EXPECT_NEAR(textLength("PARIS ", t), 50 * 1200.0 / wpm, 1e-9) << wpm << " WPM";
    }
}

TEST(TimingTest, ElementsAndGapsAtTwentyWpm) {
    Timing t = timingFor(regs(), 20);
    CharPlan p = planChar(morseCode('P'), t, false);  // .--.
    ASSERT_EQ(p.elements.size(), 4u);
    EXPECT_DOUBLE_EQ(p.elements[0].up - p.elements[0].down, 60);
    EXPECT_DOUBLE_EQ(p.elements[1].up - p.elements[1].down, 180);
    EXPECT_DOUBLE_EQ(p.elements[1].down - p.elements[0].up, 60);
    EXPECT_DOUBLE_EQ(p.end - p.elements[3].up, 180);
}

TEST(TimingTest, WeightLengthensMarksWithoutChangingTheRhythm) {
    Timing heavy = timingFor(regs(75), 20);
    CharPlan p = planChar(morseCode('A'), heavy, false);
    EXPECT_DOUBLE_EQ(p.elements[0].up - p.elements[0].down, 90);
    EXPECT_DOUBLE_EQ(p.elements[1].down, 120);
    EXPECT_DOUBLE_EQ(p.end, planChar(morseCode('A'), timingFor(regs(), 20), false).end);
}

TEST(TimingTest, RatioScalesTheDah) {
    EXPECT_DOUBLE_EQ(timingFor(regs(50, 66), 20).dah, 3 * 60 * 66 / 50.0);
    EXPECT_DOUBLE_EQ(timingFor(regs(50, 0), 20).dah, 180);
}

TEST(TimingTest, FarnsworthKeysFastCharactersWithLongGaps) {
    Timing t = timingFor(regs(50, 50, 18), 10);
    EXPECT_DOUBLE_EQ(t.dit, 1200.0 / 18);
    EXPECT_NEAR(textLength("PARIS ", t), 6000, 1e-9);
    EXPECT_GT(t.charGap, 3 * t.dit);
    // At or above the Farnsworth speed it changes nothing.
    EXPECT_DOUBLE_EQ(timingFor(regs(50, 50, 18), 20).dit, 60);
}

TEST(TimingTest, MergedCharacterRunsIntoTheNext) {
    Timing t = timingFor(regs(), 20);
    EXPECT_DOUBLE_EQ(planChar(morseCode('A'), t, true).end, planChar(morseCode('A'), t, false).end - 120);
}

TEST(TimingTest, CodesCoverLettersDigitsAndPunctuationOnly) {
    EXPECT_STREQ(morseCode('q'), "--.-");
    EXPECT_STREQ(morseCode('0'), "-----");
    EXPECT_STREQ(morseCode('/'), "-..-.");
    EXPECT_EQ(morseCode('#'), nullptr);
    EXPECT_EQ(morseCode(0x1C), nullptr);
}

}  // namespace
}  // namespace keyersim
