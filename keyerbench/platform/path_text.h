// How cwbench writes path names: UTF-8 everywhere in the portable code, turned into the
// UTF-16 that Windows' wide file calls take by the Win32 platform, with these functions.
// A Cyrillic folder on a system whose ANSI code page has no Cyrillic letters is then the
// same folder for every call, where the ANSI calls would see '?' in its place.
//
// Windows file names may hold unpaired surrogates; they travel as three-byte sequences
// of their own (the scheme known as WTF-8), so that every name the system gives converts
// back to the very same UTF-16 units.
#pragma once

#include <cstddef>
#include <string>

namespace cwbench {

// The longest program path (in UTF-16 units, as Windows counts) whose state and help
// file names cwbench forms; a longer one keeps the settings in memory only.
inline constexpr std::size_t kMaxPathUnits = 1023;

std::string utf8FromUtf16(const std::u16string& text);
// Bytes that are no UTF-8 become U+FFFD.
std::u16string utf16FromUtf8(const std::string& text);
// The UTF-16 units utf16FromUtf8 would give.
std::size_t utf16Length(const std::string& text);

// The form in which the wide file calls take a path of any length. Without it they stop
// at MAX_PATH (260 units, 248 for a folder): a drive path "C:\..." or a network path
// "\\server\share\..." of 248 units or more becomes "\\?\C:\..." or
// "\\?\UNC\server\share\...", with '/' turned into '\' because that form takes every
// character as it stands. Shorter paths, relative ones and those already in the form are
// returned as they are.
std::u16string extendedLengthPath(const std::u16string& path);
// The reverse, for a name Windows hands back in the long form (GetFinalPathNameByHandleW).
std::u16string plainPath(const std::u16string& path);

}  // namespace cwbench
