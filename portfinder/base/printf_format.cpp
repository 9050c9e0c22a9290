#include "base/printf_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace portiq {

bool FormatArg::ToInteger(std::int64_t& value) const {
    switch (kind_) {
        case Kind::Signed: value = signed_; return true;
        case Kind::Unsigned: value = static_cast<std::int64_t>(unsigned_); return true;
        case Kind::Floating:
            // Converting a value no 64-bit integer holds is undefined; NaN fails both tests.
            if (!(floating_ >= -0x1p63 && floating_ < 0x1p63)) return false;
            value = static_cast<std::int64_t>(floating_);
            return true;
        default: return false;
    }
}

double FormatArg::AsFloating() const {
    switch (kind_) {
        case Kind::Floating: return floating_;
        case Kind::Signed: return static_cast<double>(signed_);
        case Kind::Unsigned: return static_cast<double>(unsigned_);
        default: return 0.0;
    }
}

namespace {

enum class Length { Default, Char, Short, Long, LongLong };

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    Length length = Length::Default;
    bool wide = false;  // 'w' or 'l' before s or c
    bool wrongStar = false;  // a '*' whose argument is missing or unusable
    char conversion = 0;
};

constexpr int kLongestField = 4096;  // keeps hostile widths and precisions bounded

class Formatter {
public:
    Formatter(const FormatArg* args, std::size_t count) : args_(args), count_(count) {}

    // Returns false when a %ws argument stopped the formatting.
    bool Run(const char* format) {
        const char* p = format;
        out_.reserve(128);  // most entries fit: one allocation
        while (*p) {
            if (*p != '%') {
                const char* literal = p;
                while (*p && *p != '%') ++p;
                out_.append(literal, p);
                continue;
            }
            const char* start = p++;
            Directive directive;
            p = ParseDirective(p, directive);
            if (directive.conversion == 0) {  // format ends inside a conversion
                out_.append(start);
                break;
            }
            if (!Convert(directive, start, p)) return false;
        }
        return true;
    }

    const std::string& text() const { return out_; }

private:
    const FormatArg* NextArg() { return next_ < count_ ? &args_[next_++] : nullptr; }

    const char* ParseDirective(const char* p, Directive& directive) {
        while (*p && std::strchr("-+ #0", *p)) directive.flags += *p++;
        if (*p == '*') {
            ++p;
            std::int64_t width = 0;
            if (!StarArgument(width)) {
                directive.wrongStar = true;
            } else if (width < 0) {  // as in C: left-justified
                directive.flags += '-';
                directive.width = Bounded(width < -kLongestField ? kLongestField : -width);
            } else {
                directive.width = Bounded(width);
            }
        } else {
            directive.width = ParseNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                std::int64_t precision = 0;
                if (!StarArgument(precision)) directive.wrongStar = true;
                directive.precision = precision < 0 ? -1 : Bounded(precision);  // negative: none, as in C
            } else {
                directive.precision = ParseNumber(p);
                if (directive.precision < 0) directive.precision = 0;  // "." alone is precision 0
            }
        }
        if (p[0] == 'h' && p[1] == 'h') {
            directive.length = Length::Char, p += 2;
        } else if (p[0] == 'h') {
            directive.length = Length::Short, ++p;
        } else if (p[0] == 'l' && p[1] == 'l') {
            directive.length = Length::LongLong, p += 2;
        } else if (p[0] == 'l') {
            directive.length = Length::Long, directive.wide = true, ++p;
        } else if (p[0] == 'w') {
            directive.wide = true, ++p;
        } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            directive.length = Length::LongLong, p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            directive.length = Length::Long, p += 3;
        }
        if (*p) directive.conversion = *p++;
        return p;
    }

    bool StarArgument(std::int64_t& value) {
        const FormatArg* arg = NextArg();
        return arg && arg->ToInteger(value);
    }

    static int Bounded(std::int64_t value) { return static_cast<int>(value > kLongestField ? kLongestField : value); }

    // A decimal number; -1 when there is none.
    static int ParseNumber(const char*& p) {
        if (*p < '0' || *p > '9') return -1;
        long long value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (value > kLongestField) value = kLongestField;
        }
        return static_cast<int>(value);
    }

    std::string CFormat(const Directive& directive, const char* length, char conversion) const {
        std::string f = "%" + directive.flags;
        if (directive.width >= 0) f += std::to_string(directive.width);
        if (directive.precision >= 0) f += "." + std::to_string(directive.precision);
        return f + length + conversion;
    }

    template <typename T>
    void AppendC(const std::string& cformat, T value) {
        char buffer[8192];
        int n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), value);
        if (n > 0) out_.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
    }

    // An integer conversion as C formats it (the log writes thousands of them, so not
    // through snprintf): precision as the least number of digits, '#' for the octal zero
    // and the hexadecimal prefix, a sign or blank for signed values, zeros or blanks to
    // the width.
    void AppendInteger(const Directive& directive, bool negative, std::uint64_t magnitude) {
        const char conversion = directive.conversion;
        const bool isSigned = conversion == 'd' || conversion == 'i';
        const unsigned base = conversion == 'o' ? 8 : conversion == 'x' || conversion == 'X' ? 16 : 10;
        const char* symbols = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        const auto has = [&](char flag) { return directive.flags.find(flag) != std::string::npos; };
        char digits[24];
        int count = 0;
        for (std::uint64_t rest = magnitude; rest != 0; rest /= base) digits[count++] = symbols[rest % base];
        int zeros = std::max((directive.precision < 0 ? 1 : directive.precision) - count, 0);
        if (base == 8 && has('#') && zeros == 0) zeros = 1;
        std::string prefix = negative ? "-" : isSigned && has('+') ? "+" : isSigned && has(' ') ? " " : "";
        if (base == 16 && has('#') && magnitude != 0) prefix += conversion == 'X' ? "0X" : "0x";
        int length = static_cast<int>(prefix.size()) + zeros + count;
        if (has('0') && !has('-') && directive.precision < 0 && directive.width > length) {
            zeros += directive.width - length;
            length = directive.width;
        }
        Pad(LeftPadding(directive, length));
        out_ += prefix;
        out_.append(static_cast<std::size_t>(zeros), '0');
        while (count > 0) out_ += digits[--count];
        Pad(RightPadding(directive, length));
    }

    void Pad(int count) {
        if (count > 0) out_.append(static_cast<std::size_t>(count), ' ');
    }

    static std::int64_t NarrowSigned(std::int64_t v, Length length) {
        switch (length) {
            case Length::Char: return static_cast<signed char>(v);
            case Length::Short: return static_cast<short>(v);
            case Length::LongLong: return v;
            default: return static_cast<std::int32_t>(v);
        }
    }

    static std::uint64_t NarrowUnsigned(std::uint64_t v, Length length) {
        switch (length) {
            case Length::Char: return static_cast<unsigned char>(v);
            case Length::Short: return static_cast<unsigned short>(v);
            case Length::LongLong: return v;
            default: return static_cast<std::uint32_t>(v);
        }
    }

    bool Convert(Directive& directive, const char* start, const char* end) {
        if (directive.wrongStar && TakesArgument(directive.conversion)) {
            NextArg();
            return true;
        }
        std::int64_t integer = 0;
        switch (directive.conversion) {
            case '%': out_ += '%'; return true;
            case 'n': NextArg(); return true;
            case 'd':
            case 'i': {
                const FormatArg* arg = NextArg();
                if (!arg || !arg->ToInteger(integer)) return true;
                const std::int64_t value = NarrowSigned(integer, directive.length);
                const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
                AppendInteger(directive, value < 0, magnitude);
                return true;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                const FormatArg* arg = NextArg();
                if (!arg || !arg->ToInteger(integer)) return true;
                AppendInteger(directive, false, NarrowUnsigned(static_cast<std::uint64_t>(integer), directive.length));
                return true;
            }
            case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': {
                const FormatArg* arg = NextArg();
                if (!arg || !IsNumber(*arg)) return true;
                AppendC(CFormat(directive, "", directive.conversion), arg->AsFloating());
                return true;
            }
            case 'c': {
                const FormatArg* arg = NextArg();
                if (!arg || !arg->ToInteger(integer)) return true;
                if (directive.wide) {
                    const char16_t unit[2] = {static_cast<char16_t>(integer), 0};
                    directive.precision = -1;
                    return AppendWide(directive, unit);
                }
                Pad(LeftPadding(directive, 1));
                out_ += static_cast<char>(integer);
                Pad(RightPadding(directive, 1));
                return true;
            }
            case 's': {
                const FormatArg* arg = NextArg();
                if (!arg) return true;
                if (arg->kind() == FormatArg::Kind::WideText) return AppendWide(directive, arg->wide());
                if (arg->kind() != FormatArg::Kind::Text) return true;
                AppendNarrow(directive, arg->text());
                return true;
            }
            case 'p': {
                const FormatArg* arg = NextArg();
                if (!arg || arg->kind() != FormatArg::Kind::Pointer) return true;
                // As the Windows run-time library prints it: all digits, upper case.
                char buffer[2 * sizeof(void*) + 1];
                std::snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(arg->pointer())));
                out_ += buffer;
                return true;
            }
            default:  // not a conversion: kept as written
                out_.append(start, end);
                return true;
        }
    }

    static bool TakesArgument(char conversion) {
        return conversion != 0 && std::strchr("diuxXoeEfFgGcspn", conversion) != nullptr;
    }

    static bool IsNumber(const FormatArg& arg) {
        return arg.kind() == FormatArg::Kind::Signed || arg.kind() == FormatArg::Kind::Unsigned ||
               arg.kind() == FormatArg::Kind::Floating;
    }

    static int LeftPadding(const Directive& directive, std::size_t length) {
        if (directive.flags.find('-') != std::string::npos) return 0;
        return directive.width - static_cast<int>(length);
    }
    static int RightPadding(const Directive& directive, std::size_t length) {
        if (directive.flags.find('-') == std::string::npos) return 0;
        return directive.width - static_cast<int>(length);
    }

    void AppendNarrow(const Directive& directive, const char* text) {
        if (!text) text = "(null)";
        std::size_t length = std::strlen(text);
        if (directive.precision >= 0 && static_cast<std::size_t>(directive.precision) < length) length = directive.precision;
        Pad(LeftPadding(directive, length));
        out_.append(text, length);
        Pad(RightPadding(directive, length));
    }

    bool AppendWide(const Directive& directive, const char16_t* text) {
        static const char16_t kNull[] = u"(null)";
        if (!text) text = kNull;
        std::size_t length = 0;
        while (text[length] && (directive.precision < 0 || length < static_cast<std::size_t>(directive.precision))) ++length;
        Pad(LeftPadding(directive, length));
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] > 0xFF) return false;
            out_ += static_cast<char>(text[i]);
        }
        Pad(RightPadding(directive, length));
        return true;
    }

    const FormatArg* args_;
    std::size_t count_;
    std::size_t next_ = 0;
    std::string out_;
};

}  // namespace

std::string FormatPrintfArgs(const char* format, const FormatArg* args, std::size_t count) {
    if (!format) return {};
    Formatter formatter(args, count);
    formatter.Run(format);
    return formatter.text();
}

}  // namespace portiq
