// Searches and case mapping on ANSI text as the walks use them. The code pages PortIQ
// meets (1251, 1252) are single-byte, and device instance IDs and interface paths are
// ASCII by the platform's rules, so byte-wise operations give what the multibyte ones
// give.
#pragma once

#include <string>

namespace portiq {

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// True when part occurs in text and its first occurrence is not at position 0.
inline bool ContainsPastStart(const std::string& text, const std::string& part) {
    const std::size_t position = text.find(part);
    return position != std::string::npos && position > 0;
}

inline std::string UpperCaseAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace portiq
