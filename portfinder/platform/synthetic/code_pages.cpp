#include "platform/synthetic/code_pages.h"

#include <algorithm>

#include "platform/platform.h"

namespace portiq::synthetic {
namespace {

const char16_t* HighHalf(unsigned codePage) {
    return codePage == 1251 ? kCodePage1251High : kCodePage1252High;
}

// The byte for one character, or -1 when the code page lacks it.
int ByteFor(unsigned codePage, char32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    const char16_t* high = HighHalf(codePage);
    for (int i = 0; i < 128; ++i) {
        if (high[i] == c) return 0x80 + i;
    }
    return -1;
}

}  // namespace

unsigned CodePageForLanguage(unsigned languageId) {
    switch (languageId & 0x3FF) {
        case 0x02:  // Bulgarian
        case 0x19:  // Russian
        case 0x22:  // Ukrainian
        case 0x23:  // Belarusian
            return 1251;
        default:
            return 1252;
    }
}

int WideToCodePage(unsigned codePage, const char16_t* text, int units, char* out, int outBytes,
                   const char* defaultChar) {
    if (!text || units < 0 || outBytes < 0 || (outBytes > 0 && !out)) return 0;
    if (codePage == kCpUtf8) {
        if (defaultChar) return 0;  // ERROR_INVALID_PARAMETER
        const std::string utf8 = WideToUtf8(std::u16string(text, static_cast<std::size_t>(units)));
        const int size = static_cast<int>(utf8.size());
        if (outBytes == 0) return size;
        if (size > outBytes) return 0;  // ERROR_INSUFFICIENT_BUFFER
        std::copy(utf8.begin(), utf8.end(), out);
        return size;
    }
    const char replacement = defaultChar && *defaultChar ? *defaultChar : '?';
    int written = 0;
    for (int i = 0; i < units; ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < units && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        const int byte = ByteFor(codePage, c);
        if (outBytes > 0) {
            if (written == outBytes) return 0;  // ERROR_INSUFFICIENT_BUFFER
            out[written] = byte < 0 ? replacement : static_cast<char>(byte);
        }
        ++written;
    }
    return written;
}

namespace {

// The capital of a small letter; any other character as it is. Windows upper-cases text
// one UTF-16 code point at a time from its upper casing table ([MS-UCODEREF] 3.1.5.3,
// which CharUpperBuffA reaches through the ANSI code page); the table's entries are the
// Unicode Character Database's simple uppercase mappings (UnicodeData.txt), where ß has
// none, less those whose capital lower-cases to another letter (µ, ς, the title-case ǅ):
// all of these stay. A letter whose capital is longer in UTF-8 has no row either:
// CharUpperBuffA works in place.
char32_t CapitalOf(char32_t c) {
    if (c < 0x80) return c >= U'a' && c <= U'z' ? c - 0x20 : c;  // most of what is upper-cased
    const UpperCaseRange* end = kUpperCaseRanges + kUpperCaseRangeCount;
    const UpperCaseRange* range =
        std::lower_bound(kUpperCaseRanges, end, c, [](const UpperCaseRange& r, char32_t letter) { return r.last < letter; });
    if (range == end || c < range->first || (c - range->first) % range->step != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + range->delta);
}

}  // namespace

static void UpperCaseUtf8(char* text, std::size_t length);

void UpperCaseInCodePage(unsigned codePage, char* text, std::size_t length) {
    if (codePage == kCpUtf8) return UpperCaseUtf8(text, length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        const char32_t c = byte < 0x80 ? byte : HighHalf(codePage)[byte - 0x80];
        const int capital = ByteFor(codePage, CapitalOf(c));
        if (capital >= 0) text[i] = static_cast<char>(capital);
    }
}

std::u16string CodePageToWide(unsigned codePage, const std::string& text) {
    if (codePage == kCpUtf8) return Utf8ToWide(text);
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide += c < 0x80 ? static_cast<char16_t>(c) : HighHalf(codePage)[c - 0x80];
    return wide;
}

// On a UTF-8 system a letter is several bytes: each whole small letter becomes its
// capital (the table holds only capitals of the same length); every other byte, and a
// sequence that isn't UTF-8, stays as it is (the 1252 rule would tear a letter's bytes
// apart).
static void UpperCaseUtf8(char* text, std::size_t length) {
    const std::string_view view(text, length);
    for (std::size_t at = 0; at < length;) {
        int bytes = 0;
        const char32_t c = DecodeUtf8(view, at, bytes);
        const char32_t capital = c == kNotUtf8 ? c : CapitalOf(c);
        if (capital != c) {
            const std::string encoded = WideToUtf8(std::u16string(1, static_cast<char16_t>(capital)));
            if (encoded.size() == static_cast<std::size_t>(bytes)) encoded.copy(text + at, encoded.size());
        }
        at += bytes;
    }
}

std::string Utf8ToCodePage(unsigned codePage, const std::string& text) {
    // ASCII is the same in every code page (device IDs, driver keys, most names).
    if (IsAscii(text)) return text;
    const std::u16string wide = Utf8ToWide(text);
    std::string out(3 * wide.size(), '\0');
    const int n = WideToCodePage(codePage, wide.data(), static_cast<int>(wide.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string CodePageToUtf8(unsigned codePage, const std::string& text) {
    return WideToUtf8(CodePageToWide(codePage, text));
}

}  // namespace portiq::synthetic
