// The printf engine and the log's entry rules. Input: the format, then each argument,
// separated by NUL bytes. An argument's first byte gives its kind, the rest its value:
//   i signed and u unsigned integer (C's strtoll/strtoull, any base: "-5", "0x1F")
//   f floating point (strtod: "1e300", "nan", "-inf")
//   s text; w UTF-16 text (the rest as UTF-8; a byte of no sequence is a unit of its
//   value); n a null text
//   p pointer (strtoull)
// Anything else is a signed integer of the first byte's value.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/printf_format.h"
#include "fuzz_input.h"

using portiq::FormatArg;

namespace {

constexpr std::size_t kMostArguments = 16;

std::u16string Utf16(const std::string& utf8) {
    std::u16string text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
        const auto follows = [&](std::size_t k) { return k < utf8.size() && (byte(k) & 0xC0) == 0x80; };
        if ((byte(i) & 0xE0) == 0xC0 && follows(i + 1)) {
            text += static_cast<char16_t>((byte(i) & 0x1F) << 6 | (byte(i + 1) & 0x3F));
            i += 1;
        } else if ((byte(i) & 0xF0) == 0xE0 && follows(i + 1) && follows(i + 2)) {
            text += static_cast<char16_t>((byte(i) & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F));
            i += 2;
        } else {
            text += static_cast<char16_t>(byte(i));
        }
    }
    return text;
}

FormatArg MakeArgument(const std::string& token, std::vector<std::u16string>& wideTexts) {
    const char* value = token.c_str() + 1;
    switch (token[0]) {
        case 'i': return FormatArg(static_cast<std::int64_t>(std::strtoll(value, nullptr, 0)));
        case 'u': return FormatArg(static_cast<std::uint64_t>(std::strtoull(value, nullptr, 0)));
        case 'f': return FormatArg(std::strtod(value, nullptr));
        case 's': return FormatArg(value);
        case 'n': return FormatArg(static_cast<const char*>(nullptr));
        case 'w': wideTexts.push_back(Utf16(token.substr(1))); return FormatArg(wideTexts.back().c_str());
        case 'p': return FormatArg(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(std::strtoull(value, nullptr, 0))));
        default: return FormatArg(static_cast<int>(static_cast<unsigned char>(token[0])));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = fuzzinput::Split(data, size, '\0', kMostArguments + 1);
    std::vector<std::u16string> wideTexts;
    wideTexts.reserve(parts.size());  // the arguments point into it
    std::vector<FormatArg> args;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (!parts[i].empty()) args.push_back(MakeArgument(parts[i], wideTexts));
    }

    const std::string text = portiq::FormatPrintfArgs(parts[0].c_str(), args.data(), args.size());
    if (portiq::FormatPrintfArgs(parts[0].c_str(), args.data(), args.size()) != text) std::abort();

    // One log entry: at most 511 characters, cut at a NUL.
    portiq::g_strLog.clear();
    portiq::LogAppendEntry(text);
    if (portiq::g_strLog.size() > portiq::kLogEntryLimit || portiq::g_strLog.find('\0') != std::string::npos) std::abort();
    return 0;
}
