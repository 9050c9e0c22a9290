#include "platform/path_text.h"

namespace cwbench {

namespace {

bool isHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point that starts at text[i] and the bytes it takes; U+FFFD and one byte for
// anything that is no UTF-8. Encoded surrogates are taken, one unit each.
char32_t decode(const std::string& text, std::size_t i, std::size_t& length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    length = 1;
    if (lead < 0x80) return lead;
    const std::size_t extra = lead > 0xF4 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (extra == 0 || i + extra >= text.size()) return 0xFFFD;
    char32_t c = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms and values past U+10FFFF are no UTF-8.
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || c > 0x10FFFF) return 0xFFFD;
    length = extra + 1;
    return c;
}

bool isDriveAbsolute(const std::u16string& p) {
    return p.size() >= 3 && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z')) && p[1] == u':' &&
           (p[2] == u'\\' || p[2] == u'/');
}

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::string utf8FromUtf16(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        append(out, c);
    }
    return out;
}

std::u16string utf16FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t c = decode(text, i, length);
        i += length;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::size_t utf16Length(const std::string& text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        units += decode(text, i, length) >= 0x10000 ? 2 : 1;
        i += length;
    }
    return units;
}

std::u16string extendedLengthPath(const std::u16string& path) {
    constexpr std::size_t kShortestExtended = 248;
    const bool unc = path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1]) && path[2] != u'?' &&
                     path[2] != u'.';
    if (path.size() < kShortestExtended || !(unc || isDriveAbsolute(path))) return path;
    std::u16string result = unc ? u"\\\\?\\UNC\\" + path.substr(2) : u"\\\\?\\" + path;
    for (char16_t& c : result)
        if (c == u'/') c = u'\\';
    return result;
}

std::u16string plainPath(const std::u16string& path) {
    if (path.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + path.substr(8);
    if (path.rfind(u"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

}  // namespace cwbench
