// The ANSI code pages a synthetic machine can have, and the conversions between them,
// UTF-16 and UTF-8 (scenario files and terminals speak UTF-8).
#pragma once

#include <string>

namespace portiq::synthetic {

extern const char16_t kCodePage1251High[128];
extern const char16_t kCodePage1252High[128];

// 1251 for the Cyrillic-script languages, 1252 for every other one, as Windows picks
// the ANSI code page from the user's locale.
unsigned CodePageForLanguage(unsigned languageId);

// WideCharToMultiByte's contract for code page 1251, 1252 or 65001 (UTF-8): units counts
// UTF-16 code units; every character the code page lacks (a surrogate pair is one
// character) becomes defaultChar's first byte, or '?' without one. UTF-8 lacks none (an
// unpaired surrogate becomes U+FFFD) and refuses any defaultChar. Returns the bytes
// written, the bytes needed when outBytes is 0, or 0 when the output doesn't fit or
// UTF-8 was given a defaultChar.
int WideToCodePage(unsigned codePage, const char16_t* text, int units, char* out, int outBytes,
                   const char* defaultChar);

std::u16string CodePageToWide(unsigned codePage, const std::string& text);

// UTF-8 <-> UTF-16; malformed UTF-8 becomes U+FFFD, lone surrogates become U+FFFD.
std::u16string Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::u16string& text);

// Convenience: UTF-8 text as the code page holds it ('?' for what it lacks), and back.
std::string Utf8ToCodePage(unsigned codePage, const std::string& text);
std::string CodePageToUtf8(unsigned codePage, const std::string& text);

}  // namespace portiq::synthetic
