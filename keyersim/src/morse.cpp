#include "morse.h"

#include <algorithm>

namespace keyersim {

const char* morseCode(unsigned char ch) {
    static const char* const letters[26] = {
        ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
        ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
        "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
    static const char* const digits[10] = {"-----", ".----", "..---", "...--", "....-",
                                           ".....", "-....", "--...", "---..", "----."};
    if (ch >= 'A' && ch <= 'Z') return letters[ch - 'A'];
    if (ch >= 'a' && ch <= 'z') return letters[ch - 'a'];
    if (ch >= '0' && ch <= '9') return digits[ch - '0'];
    switch (ch) {
    case '.': return ".-.-.-";
    case ',': return "--..--";
    case '?': return "..--..";
    case '\'': return ".----.";
    case '!': return "-.-.--";
    case '/': return "-..-.";
    case '(': return "-.--.";
    case ')': return "-.--.-";
    case '&': return ".-...";
    case ':': return "---...";
    case ';': return "-.-.-.";
    case '=': return "-...-";
    case '+': return ".-.-.";
    case '-': return "-....-";
    case '_': return "..--.-";
    case '"': return ".-..-.";
    case '$': return "...-..-";
    case '@': return ".--.-.";
    default: return nullptr;
    }
}

Timing timingFor(const MXSTATE& r, int wpm) {
    wpm = std::max(wpm, 1);
    double unit = 1200.0 / wpm;
    double ratio = r.ditdahratio ? r.ditdahratio : 50;
    Timing t{};
    t.charGap = 3 * unit;
    t.wordGap = 7 * unit;
    if (r.farns != 0 && r.farns > wpm) {
        double c = 1200.0 / r.farns;
        double f = (60000.0 / wpm - 31 * c) / 19;
        unit = c;
        t.farnsworth = true;
        t.charGap = 3 * f;
        t.wordGap = 7 * f;
    }
    t.dit = unit;
    t.dah = 3 * unit * ratio / 50;
    t.elementGap = unit;
    double weight = r.weight ? r.weight : 50;
    t.markShift = std::clamp((weight - 50) / 50 * unit, -0.9 * unit, 0.9 * unit);
    return t;
}

CharPlan planChar(const char* code, const Timing& t, bool merged) {
    CharPlan plan;
    double at = 0;
    for (const char* p = code; *p; ++p) {
        double mark = (*p == '-' ? t.dah : t.dit) + t.markShift;
        plan.elements.push_back(Element{at, at + mark});
        bool last = p[1] == 0;
        double gap = (last && !merged) ? t.charGap : t.elementGap;
        at += mark + gap - t.markShift;
    }
    plan.end = at;
    return plan;
}

double wordSpace(const Timing& t) { return t.wordGap - t.charGap; }

}  // namespace keyersim
