// printf-style formatting with the rules PortIQ's texts rely on, identical on every
// build (the C libraries disagree on %ws and on the width of long).
//
// Conversions: d i u x X o c s p % with flags, width, precision and '*'; length
// modifiers hh h l ll I32 I64, where l is 32 bits as on Windows. %ws (and %ls) takes
// UTF-16 text and turns each unit up to U+00FF into the byte of the same value; at the
// first unit above U+00FF the whole formatting stops, and the result is what was
// formatted before that unit. %n writes nothing.
//
// '*' takes the width or precision from the arguments, as in C: a negative width means
// left-justified ('-') with its magnitude, a negative precision means none. Widths and
// precisions are bounded to 4096.
//
// A wrong argument produces nothing: a conversion without an argument, with an argument
// of an unusable type, or whose '*' argument is missing or unusable, is left out (its
// arguments are taken all the same, so the ones after it stay in place). A
// floating-point argument to an integer conversion or to '*' is truncated toward zero;
// one that is NaN, infinite or outside the range of a 64-bit integer is a wrong
// argument.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

namespace portiq {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Floating, Text, WideText, Pointer };

    template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T value) : kind_(Kind::Signed), signed_(value) {}
    template <typename T,
              std::enable_if_t<std::is_integral_v<T> && !std::is_signed_v<T>, int> = 0>
    FormatArg(T value) : kind_(Kind::Unsigned), unsigned_(value) {}
    FormatArg(double value) : kind_(Kind::Floating), floating_(value) {}
    FormatArg(const char* text) : kind_(Kind::Text), text_(text) {}
    FormatArg(const std::string& text) : kind_(Kind::Text), text_(text.c_str()) {}
    FormatArg(const char16_t* text) : kind_(Kind::WideText), wide_(text) {}
    FormatArg(const std::u16string& text) : kind_(Kind::WideText), wide_(text.c_str()) {}
    FormatArg(const void* pointer) : kind_(Kind::Pointer), pointer_(pointer) {}

    Kind kind() const { return kind_; }
    // The argument as an integer; false for text, pointers and floating-point values
    // that no 64-bit integer holds.
    bool ToInteger(std::int64_t& value) const;
    double AsFloating() const;
    const char* text() const { return kind_ == Kind::Text ? text_ : nullptr; }
    const char16_t* wide() const { return kind_ == Kind::WideText ? wide_ : nullptr; }
    const void* pointer() const { return kind_ == Kind::Pointer ? pointer_ : nullptr; }

private:
    Kind kind_;
    union {
        std::int64_t signed_;
        std::uint64_t unsigned_;
        double floating_;
        const char* text_;
        const char16_t* wide_;
        const void* pointer_;
    };
};

// Formats format with count arguments.
std::string FormatPrintfArgs(const char* format, const FormatArg* args, std::size_t count);

template <typename... Args>
std::string FormatPrintf(const char* format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatPrintfArgs(format, list, sizeof...(Args));
}

}  // namespace portiq
