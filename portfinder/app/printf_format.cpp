#include "app/printf_format.h"

#include <cstdio>
#include <cstring>

namespace portiq {

std::int64_t FormatArg::AsSigned() const {
    switch (kind_) {
        case Kind::Signed: return signed_;
        case Kind::Unsigned: return static_cast<std::int64_t>(unsigned_);
        case Kind::Floating: return static_cast<std::int64_t>(floating_);
        default: return 0;
    }
}

std::uint64_t FormatArg::AsUnsigned() const { return static_cast<std::uint64_t>(AsSigned()); }

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

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    Length length = Length::Default;
    bool wide = false;  // 'w' or 'l' before s or c
    char conversion = 0;
};

class Formatter {
public:
    Formatter(const FormatArg* args, std::size_t count) : args_(args), count_(count) {}

    // Returns false when a %ws argument stopped the formatting.
    bool Run(const char* format) {
        const char* p = format;
        while (*p) {
            if (*p != '%') {
                out_ += *p++;
                continue;
            }
            const char* start = p++;
            Spec spec;
            p = ParseSpec(p, spec);
            if (spec.conversion == 0) {  // format ends inside a conversion
                out_.append(start);
                break;
            }
            if (!Convert(spec, start, p)) return false;
        }
        return true;
    }

    const std::string& text() const { return out_; }

private:
    const FormatArg* NextArg() { return next_ < count_ ? &args_[next_++] : nullptr; }

    const char* ParseSpec(const char* p, Spec& spec) {
        while (*p && std::strchr("-+ #0", *p)) spec.flags += *p++;
        spec.width = ParseNumber(p);
        if (*p == '.') {
            ++p;
            spec.precision = ParseNumber(p);
            if (spec.precision < 0) spec.precision = 0;
        }
        if (p[0] == 'h' && p[1] == 'h') {
            spec.length = Length::Char, p += 2;
        } else if (p[0] == 'h') {
            spec.length = Length::Short, ++p;
        } else if (p[0] == 'l' && p[1] == 'l') {
            spec.length = Length::LongLong, p += 2;
        } else if (p[0] == 'l') {
            spec.length = Length::Long, spec.wide = true, ++p;
        } else if (p[0] == 'w') {
            spec.wide = true, ++p;
        } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            spec.length = Length::LongLong, p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            spec.length = Length::Long, p += 3;
        }
        if (*p) spec.conversion = *p++;
        return p;
    }

    // A decimal number or '*' (taken from the arguments; a negative width means '-').
    int ParseNumber(const char*& p) {
        if (*p == '*') {
            ++p;
            const FormatArg* arg = NextArg();
            long long value = arg ? arg->AsSigned() : 0;
            return static_cast<int>(value < -4096 ? -4096 : value > 4096 ? 4096 : value);
        }
        if (*p < '0' || *p > '9') return -1;
        long long value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (value > 4096) value = 4096;  // keeps hostile widths bounded
        }
        return static_cast<int>(value);
    }

    std::string CFormat(const Spec& spec, const char* length, char conversion) const {
        std::string f = "%" + spec.flags;
        if (spec.width >= 0) f += std::to_string(spec.width);
        if (spec.precision >= 0) f += "." + std::to_string(spec.precision);
        return f + length + conversion;
    }

    template <typename T>
    void AppendC(const std::string& cformat, T value) {
        char buffer[8192];
        int n = std::snprintf(buffer, sizeof buffer, cformat.c_str(), value);
        if (n > 0) out_.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
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

    bool Convert(Spec& spec, const char* start, const char* end) {
        switch (spec.conversion) {
            case '%': out_ += '%'; return true;
            case 'n': NextArg(); return true;
            case 'd':
            case 'i': {
                const FormatArg* arg = NextArg();
                if (!arg || !IsNumber(*arg)) return true;
                AppendC(CFormat(spec, "ll", 'd'),
                        static_cast<long long>(NarrowSigned(arg->AsSigned(), spec.length)));
                return true;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                const FormatArg* arg = NextArg();
                if (!arg || !IsNumber(*arg)) return true;
                AppendC(CFormat(spec, "ll", spec.conversion),
                        static_cast<unsigned long long>(NarrowUnsigned(arg->AsUnsigned(), spec.length)));
                return true;
            }
            case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': {
                const FormatArg* arg = NextArg();
                if (!arg || !IsNumber(*arg)) return true;
                AppendC(CFormat(spec, "", spec.conversion), arg->AsFloating());
                return true;
            }
            case 'c': {
                const FormatArg* arg = NextArg();
                if (!arg || !IsNumber(*arg)) return true;
                if (spec.wide) {
                    const char16_t unit[2] = {static_cast<char16_t>(arg->AsUnsigned()), 0};
                    spec.precision = -1;
                    return AppendWide(spec, unit);
                }
                Pad(LeftPadding(spec, 1));
                out_ += static_cast<char>(arg->AsUnsigned());
                Pad(RightPadding(spec, 1));
                return true;
            }
            case 's': {
                const FormatArg* arg = NextArg();
                if (!arg) return true;
                if (arg->kind() == FormatArg::Kind::WideText) return AppendWide(spec, arg->wide());
                if (arg->kind() != FormatArg::Kind::Text) return true;
                AppendNarrow(spec, arg->text());
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

    static bool IsNumber(const FormatArg& arg) {
        return arg.kind() == FormatArg::Kind::Signed || arg.kind() == FormatArg::Kind::Unsigned ||
               arg.kind() == FormatArg::Kind::Floating;
    }

    static int LeftPadding(const Spec& spec, std::size_t length) {
        if (spec.flags.find('-') != std::string::npos) return 0;
        return spec.width - static_cast<int>(length);
    }
    static int RightPadding(const Spec& spec, std::size_t length) {
        if (spec.flags.find('-') == std::string::npos) return 0;
        return spec.width - static_cast<int>(length);
    }

    void AppendNarrow(const Spec& spec, const char* text) {
        if (!text) text = "(null)";
        std::size_t length = std::strlen(text);
        if (spec.precision >= 0 && static_cast<std::size_t>(spec.precision) < length) length = spec.precision;
        Pad(LeftPadding(spec, length));
        out_.append(text, length);
        Pad(RightPadding(spec, length));
    }

    bool AppendWide(const Spec& spec, const char16_t* text) {
        static const char16_t kNull[] = u"(null)";
        if (!text) text = kNull;
        std::size_t length = 0;
        while (text[length] && (spec.precision < 0 || length < static_cast<std::size_t>(spec.precision))) ++length;
        Pad(LeftPadding(spec, length));
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] > 0xFF) return false;
            out_ += static_cast<char>(text[i]);
        }
        Pad(RightPadding(spec, length));
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
