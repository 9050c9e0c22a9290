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

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

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

std::u16string CodePageToWide(unsigned codePage, const std::string& text) {
    if (codePage == kCpUtf8) return Utf8ToWide(text);
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide += c < 0x80 ? static_cast<char16_t>(c) : HighHalf(codePage)[c - 0x80];
    return wide;
}

std::u16string Utf8ToWide(const std::string& text) {
    std::u16string wide;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = text[i];
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        char32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0;
        for (int k = 1; valid && k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                valid = false;
            } else {
                c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
        }
        if (!valid || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            wide += u'\xFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (c >> 10));
            wide += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            wide += static_cast<char16_t>(c);
        }
    }
    return wide;
}

std::string WideToUtf8(const std::u16string& text) {
    std::string utf8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string Utf8ToCodePage(unsigned codePage, const std::string& text) {
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
