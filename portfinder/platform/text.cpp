#include "platform/text.h"

#include "platform/usb_requests.h"

namespace portiq {
bool ParseNumber(std::string_view text, unsigned long long limit, unsigned long long& number) {
    if (text.empty()) return false;
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) base = 16, start = 2;
    unsigned long long value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0 || digit >= base) return false;
        value = value * base + digit;
        if (value > limit) return false;
    }
    number = value;
    return true;
}

char32_t DecodeUtf8(std::string_view text, std::size_t at, int& bytes) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    bytes = 1;
    if (lead < 0x80) return lead;
    const int extra = (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || at + extra >= text.size()) return kNotUtf8;
    char32_t c = extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    for (int k = 1; k <= extra; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return kNotUtf8;
        c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kNotUtf8;
    bytes = extra + 1;
    return c;
}

std::size_t FirstMalformedUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        int bytes = 0;
        if (DecodeUtf8(text, at, bytes) == kNotUtf8) return at;
        at += bytes;
    }
    return std::string_view::npos;
}

std::u16string Utf8ToWide(std::string_view text) {
    std::u16string wide;
    for (std::size_t i = 0; i < text.size();) {
        int bytes = 0;
        char32_t c = DecodeUtf8(text, i, bytes);
        i += bytes;
        if (c == kNotUtf8) {
            wide += u'\xFFFD';
        } else if (c >= 0x10000) {
            c -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (c >> 10));
            wide += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            wide += static_cast<char16_t>(c);
        }
    }
    return wide;
}

std::string WideToUtf8(std::u16string_view text) {
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

std::vector<std::uint8_t> UsbStringDescriptor(std::u16string_view text) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(2 + 2 * text.size()), kStringDescriptorType};
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace portiq
