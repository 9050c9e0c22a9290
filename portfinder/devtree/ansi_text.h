// Searches and case mapping on ANSI text as the walks use them. Searches are byte-wise:
// the texts searched for are ASCII, and no byte of a UTF-8 letter (nor the first byte of
// a 1251/1252 letter) is ASCII. Upper-casing is ASCII-only where only ASCII is looked
// for, and otherwise the code page's, through the platform, as Windows does it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/text.h"

namespace portiq {

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// True when part occurs in text and its first occurrence is not at position 0.
inline bool ContainsPastStart(const std::string& text, const std::string& part) {
    const std::size_t position = text.find(part);
    return position != std::string::npos && position > 0;
}

// Upper-cased as the sound list upper-cases interface paths: by the ANSI code page's
// rules (CharUpperBuffA), so that a device instance ID holding é still holds its codec's
// instance key, which the path gave as É.
inline std::string UpperCaseInCodePage(std::string text) {
    SystemServices* system = CurrentPlatform().system;
    if (!system) return UpperCaseAscii(text);
    if (!text.empty()) system->UpperCaseAnsi(&text[0], static_cast<std::uint32_t>(text.size()));
    return text;
}

}  // namespace portiq
