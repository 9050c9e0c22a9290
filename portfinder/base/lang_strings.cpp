#include "base/lang_strings.h"

#include <array>
#include <vector>

#include "platform/platform.h"

namespace portiq {
namespace {

constexpr int kLongestText = 999;

unsigned ReadUnit(const ResourceBytes& block, std::size_t offset) {
    return block.data[offset] | (block.data[offset + 1] << 8);
}

// Entry index of a string-table block; empty when the block ends before it.
std::u16string BlockEntry(const ResourceBytes& block, unsigned index) {
    std::size_t offset = 0;
    for (unsigned entry = 0;; ++entry) {
        if (offset + 2 > block.size) return {};
        const std::size_t units = ReadUnit(block, offset);
        offset += 2;
        if (entry == index) {
            if (offset + 2 * units > block.size) return {};
            std::u16string text(units, u'\0');
            for (std::size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(ReadUnit(block, offset + 2 * i));
            return text;
        }
        offset += 2 * units;
    }
}

}  // namespace

std::string LoadLangString(unsigned id) {
    SystemServices& system = *CurrentPlatform().system;
    const LANGID languages[] = {system.UserDefaultLanguage(), kLangUserDefault, kLangSystemDefault,
                                kLangEnglishUs};
    for (LANGID language : languages) {
        ResourceBytes block;
        if (!system.FindStringBlock(id / 16 + 1, language, block) || !block.data) continue;
        // The first language that has the block is taken, even if this entry is empty.
        const std::u16string text = BlockEntry(block, id % 16);
        if (text.empty()) return {};
        std::array<char, kLongestText + 1> buffer{};
        // A blank for what the code page lacks; UTF-8 lacks nothing, and Windows refuses
        // any replacement for it.
        const char* replacement = system.AnsiCodePage() == kCpUtf8 ? nullptr : " ";
        const int bytes = system.WideToAnsi(text.data(), static_cast<int>(text.size()), buffer.data(),
                                            kLongestText, replacement);
        if (bytes <= 0 || bytes > kLongestText) return {};
        return std::string(buffer.data());  // up to a NUL, as the C string it is
    }
    return {};
}

}  // namespace portiq
