// The ANSI code pages a synthetic machine can have, and the conversions between them,
// UTF-16 and UTF-8 (scenario files and terminals speak UTF-8).
#pragma once

#include <string>
#include <string_view>

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

// CharUpperBuffA's rule for code page 1251 or 1252: every small letter whose capital the
// code page holds becomes that capital (é to É in 1252, ж to Ж in 1251); every other
// byte stays. On UTF-8 (65001) whole letters of the same two pages' alphabets, where the
// capital takes as many bytes.
void UpperCaseInCodePage(unsigned codePage, char* text, std::size_t length);

// Where the first sequence that isn't UTF-8 starts (a stray or missing continuation
// byte, an overlong form, a surrogate, a value past U+10FFFF), or npos when there is none.
std::size_t FirstMalformedUtf8(std::string_view text);

// UTF-8 <-> UTF-16; each byte of malformed UTF-8 becomes U+FFFD, lone surrogates become U+FFFD.
std::u16string Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::u16string& text);

// Convenience: UTF-8 text as the code page holds it ('?' for what it lacks), and back.
std::string Utf8ToCodePage(unsigned codePage, const std::string& text);
std::string CodePageToUtf8(unsigned codePage, const std::string& text);

}  // namespace portiq::synthetic
