// Text helpers every layer shares: ASCII checks and case, numbers as scenario files and
// sysfs write them, UTF-8 <-> UTF-16, and a USB string descriptor's bytes. ASCII-only by
// design: case by a code page's rules goes through the platform (UpperCaseAnsi).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace portiq {

inline bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

inline std::string UpperCaseAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

inline bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// 0 to 15 for a hex digit in either case, -1 for any other character.
inline int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A decimal number, or a hex one after "0x"/"0X", of digits only (no sign, no space), at
// most limit. number holds the value only where true is returned.
bool ParseNumber(std::string_view text, unsigned long long limit, unsigned long long& number);

// The character that starts at text[at] and how many bytes it takes; -1 for a sequence
// that isn't UTF-8: a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate or a value past U+10FFFF (bytes is then 1).
inline constexpr char32_t kNotUtf8 = static_cast<char32_t>(-1);
char32_t DecodeUtf8(std::string_view text, std::size_t at, int& bytes);

// Where the first sequence that isn't UTF-8 starts, or npos when there is none.
std::size_t FirstMalformedUtf8(std::string_view text);

// UTF-8 <-> UTF-16; each byte of malformed UTF-8 becomes U+FFFD, lone surrogates become U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);

// A string descriptor as a device returns it: its length, type 3, the text in UTF-16
// little-endian. The caller keeps text within the 126 units a length byte can count.
std::vector<std::uint8_t> UsbStringDescriptor(std::u16string_view text);

}  // namespace portiq
