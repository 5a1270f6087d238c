#include "framework/CStringFormatter.h"
#include "framework/CStringConversion.h"
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <vector>

namespace
{
enum class Size
{
    Default,
    Char,     // hh
    Short,    // h
    Long,     // l, w: 32 bits under the Microsoft rules
    LongLong, // ll, I64
    Int32,    // I32
    Pointer,  // I, z, t, j: the width of a pointer (64 bits here)
    LongDouble
};

struct Spec
{
    bool left = false, plus = false, space = false, zero = false, alternate = false;
    int width = 0;
    int precision = -1; // -1: none given
    Size size = Size::Default;
    char type = 0;
};

// Widths and precisions stop at a million instead of overflowing; no real format comes near it.
int AddDigit(int value, int digit)
{
    constexpr int kLimit = 1000000;
    return value * 10 + digit >= kLimit ? kLimit : value * 10 + digit;
}

template <typename C> size_t TextLength(const C* p, int maxChars)
{
    size_t n = 0;
    while ((maxChars < 0 || n < static_cast<size_t>(maxChars)) && p[n])
        ++n;
    return n;
}

template <typename C> class Writer
{
public:
    explicit Writer(std::basic_string<C>& out) : m_out(out) {}

    void Char(C c) { m_out.push_back(c); }
    void Repeat(C c, int n)
    {
        if (n > 0) m_out.append(static_cast<size_t>(n), c);
    }
    void Ascii(const char* p, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            m_out.push_back(static_cast<C>(static_cast<unsigned char>(p[i])));
    }
    void Text(const C* p, size_t n) { m_out.append(p, n); }

    // Lays out sign/prefix, zeros and digits in a field: the one place where width is applied to numbers.
    void Field(const Spec& spec, const char* prefix, size_t prefixLen, int zeros, const char* body, size_t bodyLen,
               bool zeroPadAllowed)
    {
        const int used = static_cast<int>(prefixLen + bodyLen) + (zeros > 0 ? zeros : 0);
        const int pad = spec.width > used ? spec.width - used : 0;
        if (!spec.left && !(spec.zero && zeroPadAllowed)) Repeat(C(' '), pad);
        Ascii(prefix, prefixLen);
        if (!spec.left && spec.zero && zeroPadAllowed) Repeat(C('0'), pad);
        Repeat(C('0'), zeros);
        Ascii(body, bodyLen);
        if (spec.left) Repeat(C(' '), pad);
    }

    void PaddedText(const Spec& spec, const C* p, size_t n)
    {
        const int pad = spec.width > static_cast<int>(n) ? spec.width - static_cast<int>(n) : 0;
        // The Microsoft runtime also pads text with zeros when asked to ("%05s").
        if (!spec.left) Repeat(spec.zero ? C('0') : C(' '), pad);
        Text(p, n);
        if (spec.left) Repeat(C(' '), pad);
    }

private:
    std::basic_string<C>& m_out;
};

// prefix receives up to 2 characters (sign, or "0x"); digits up to 22.
void FormatInteger(const Spec& spec, bool isNegative, unsigned long long magnitude, char* prefix, size_t& prefixLen,
                   int& zeros, char* digits, size_t& digitsLen)
{
    prefixLen = 0;
    const char type = spec.type;
    const bool isSigned = type == 'd' || type == 'i';
    if (isSigned)
    {
        if (isNegative)
            prefix[prefixLen++] = '-';
        else if (spec.plus)
            prefix[prefixLen++] = '+';
        else if (spec.space)
            prefix[prefixLen++] = ' ';
    }
    const unsigned base = (type == 'x' || type == 'X') ? 16 : type == 'o' ? 8 : 10;
    const char* set = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[32];
    size_t n = 0;
    for (unsigned long long v = magnitude; v != 0; v /= base)
        tmp[n++] = set[v % base];
    // A precision of 0 prints nothing for the value 0; otherwise 0 is one digit.
    if (magnitude == 0 && spec.precision != 0) tmp[n++] = '0';
    digitsLen = n;
    for (size_t i = 0; i < n; ++i)
        digits[i] = tmp[n - 1 - i];
    zeros = spec.precision > static_cast<int>(n) ? spec.precision - static_cast<int>(n) : 0;
    if (spec.alternate && magnitude != 0)
    {
        if (base == 16)
        {
            prefix[prefixLen++] = '0';
            prefix[prefixLen++] = type;
        }
        else if (base == 8 && zeros == 0)
            zeros = 1;
    }
}

// The decimal point of the C runtime's current locale; "." unless the program chose a locale.
// A point of more than one byte is not one the runtime's own printf could write either.
char CrtDecimalPoint()
{
    const lconv* conv = std::localeconv();
    if (!conv || !conv->decimal_point || !conv->decimal_point[0] || conv->decimal_point[1]) return '.';
    const char point = conv->decimal_point[0];
    return static_cast<unsigned char>(point) < 0x80 ? point : '.';
}

// Formats a finite, non-negative value into text; returns the characters written.
std::string FormatFloatBody(double value, char type, int precision, bool alternate)
{
    const bool upper = type == 'E' || type == 'G' || type == 'A';
    const char lower = static_cast<char>(type | 0x20);
    std::vector<char> buf(static_cast<size_t>(precision) + 400);
    char* const first = buf.data();
    char* const last = buf.data() + buf.size();
    std::string text;
    auto write = [&](std::chars_format fmt, int prec) {
        const auto r = std::to_chars(first, last, value, fmt, prec);
        text.assign(first, r.ptr);
    };
    auto ensurePoint = [&](size_t beforePos) {
        if (text.find('.') == std::string::npos) text.insert(beforePos, 1, '.');
    };
    if (lower == 'f')
    {
        write(std::chars_format::fixed, precision);
        if (alternate) ensurePoint(text.size());
    }
    else if (lower == 'e')
    {
        write(std::chars_format::scientific, precision);
        if (alternate) ensurePoint(text.find('e'));
    }
    else if (lower == 'g')
    {
        const int p = precision == 0 ? 1 : precision;
        write(std::chars_format::scientific, p - 1);
        const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
        const bool fixed = p > exponent && exponent >= -4;
        if (fixed) write(std::chars_format::fixed, p - 1 - exponent);
        if (alternate)
            ensurePoint(fixed ? text.size() : text.find('e'));
        else
        {
            // Without '#', trailing zeros of the fraction go, and the point with them.
            const size_t end = fixed ? text.size() : text.find('e');
            const size_t point = text.find('.');
            if (point != std::string::npos && point < end)
            {
                size_t cut = end;
                while (cut > point + 1 && text[cut - 1] == '0')
                    --cut;
                if (cut == point + 1) cut = point;
                text.erase(cut, end - cut);
            }
        }
    }
    else // 'a': hexadecimal; the Microsoft runtime shows 13 digits when no precision is given
    {
        write(std::chars_format::hex, precision < 0 ? 13 : precision);
        if (alternate) ensurePoint(text.find('p'));
        text.insert(0, "0x");
    }
    if (upper)
        for (char& c : text)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    // Like the Microsoft runtime, the decimal point is the C runtime locale's (a program that sets the
    // user's locale writes "1,5"); the callers that need a point convert it back themselves.
    const char point = CrtDecimalPoint();
    if (point != '.')
        for (char& c : text)
            if (c == '.') c = point;
    return text;
}

template <typename C> std::basic_string<C> ConvertArgumentText(const char* p, size_t n);
template <> std::basic_string<wchar_t> ConvertArgumentText<wchar_t>(const char* p, size_t n)
{
    return WidenText(p, static_cast<int>(n), CP_THREAD_ACP);
}
template <> std::basic_string<char> ConvertArgumentText<char>(const char* p, size_t n)
{
    return std::string(p, n);
}
template <typename C> std::basic_string<C> ConvertArgumentText(const wchar_t* p, size_t n);
template <> std::basic_string<wchar_t> ConvertArgumentText<wchar_t>(const wchar_t* p, size_t n)
{
    return std::wstring(p, n);
}
template <> std::basic_string<char> ConvertArgumentText<char>(const wchar_t* p, size_t n)
{
    return NarrowText(p, static_cast<int>(n), CP_THREAD_ACP);
}

// Does the argument of %s/%c have the width of the format's own characters?
template <typename C> bool IsWideArgument(const Spec& spec)
{
    if (spec.size == Size::Short || spec.size == Size::Char) return false;
    if (spec.size == Size::Long) return true;
    const bool ownWidth = spec.type == 's' || spec.type == 'c';
    return ownWidth == (sizeof(C) == sizeof(wchar_t));
}

template <typename C> void AppendFormatted(std::basic_string<C>& out, const C* format, va_list argsIn)
{
    if (!format) return;
    va_list args;
    va_copy(args, argsIn);
    Writer<C> w(out);
    const C* p = format;
    while (*p)
    {
        if (*p != C('%'))
        {
            const C* start = p;
            while (*p && *p != C('%'))
                ++p;
            w.Text(start, static_cast<size_t>(p - start));
            continue;
        }
        const C* directive = p++;
        Spec spec;
        for (;; ++p)
        {
            if (*p == C('-'))
                spec.left = true;
            else if (*p == C('+'))
                spec.plus = true;
            else if (*p == C(' '))
                spec.space = true;
            else if (*p == C('0'))
                spec.zero = true;
            else if (*p == C('#'))
                spec.alternate = true;
            else
                break;
        }
        if (*p == C('*'))
        {
            spec.width = va_arg(args, int);
            if (spec.width < 0)
            {
                spec.left = true;
                spec.width = spec.width == INT_MIN ? INT_MAX : -spec.width;
            }
            ++p;
        }
        else
            while (*p >= C('0') && *p <= C('9'))
                spec.width = AddDigit(spec.width, *p++ - C('0'));
        if (*p == C('.'))
        {
            ++p;
            spec.precision = 0;
            if (*p == C('*'))
            {
                spec.precision = va_arg(args, int);
                if (spec.precision < 0) spec.precision = -1;
                ++p;
            }
            else
                while (*p >= C('0') && *p <= C('9'))
                    spec.precision = AddDigit(spec.precision, *p++ - C('0'));
        }
        if (*p == C('h'))
        {
            ++p;
            spec.size = Size::Short;
            if (*p == C('h'))
            {
                ++p;
                spec.size = Size::Char;
            }
        }
        else if (*p == C('l'))
        {
            ++p;
            spec.size = Size::Long;
            if (*p == C('l'))
            {
                ++p;
                spec.size = Size::LongLong;
            }
        }
        else if (*p == C('w'))
        {
            ++p;
            spec.size = Size::Long;
        }
        else if (*p == C('I'))
        {
            ++p;
            spec.size = Size::Pointer;
            if (p[0] == C('6') && p[1] == C('4'))
            {
                p += 2;
                spec.size = Size::LongLong;
            }
            else if (p[0] == C('3') && p[1] == C('2'))
            {
                p += 2;
                spec.size = Size::Int32;
            }
        }
        else if (*p == C('z') || *p == C('t') || *p == C('j'))
        {
            ++p;
            spec.size = Size::Pointer;
        }
        else if (*p == C('L'))
        {
            ++p;
            spec.size = Size::LongDouble;
        }
        const C typeChar = *p;
        if (typeChar == 0 || typeChar > 0x7F)
        {
            // An unfinished or unknown directive is written out as it stands.
            w.Text(directive, static_cast<size_t>(p - directive));
            continue;
        }
        ++p;
        spec.type = static_cast<char>(typeChar);
        switch (spec.type)
        {
        case '%':
            w.Char(C('%'));
            break;
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            const bool isSigned = spec.type == 'd' || spec.type == 'i';
            long long sv = 0;
            unsigned long long uv = 0;
            switch (spec.size)
            {
            case Size::Char:
                sv = static_cast<signed char>(va_arg(args, int));
                uv = static_cast<unsigned char>(sv);
                break;
            case Size::Short:
                sv = static_cast<short>(va_arg(args, int));
                uv = static_cast<unsigned short>(sv);
                break;
            case Size::LongLong:
            case Size::Pointer:
                sv = va_arg(args, long long);
                uv = static_cast<unsigned long long>(sv);
                break;
            default: // int, long (32 bits), I32
                sv = va_arg(args, int);
                uv = static_cast<unsigned int>(sv);
                break;
            }
            const bool negative = isSigned && sv < 0;
            const unsigned long long magnitude =
                isSigned ? (negative ? 0ull - static_cast<unsigned long long>(sv) : static_cast<unsigned long long>(sv))
                         : uv;
            char prefix[4];
            size_t prefixLen = 0, digitsLen = 0;
            int zeros = 0;
            char digits[32];
            FormatInteger(spec, negative, magnitude, prefix, prefixLen, zeros, digits, digitsLen);
            w.Field(spec, prefix, prefixLen, zeros, digits, digitsLen, spec.precision < 0);
            break;
        }
        case 'p': {
            const auto v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            char digits[2 * sizeof(void*)];
            for (size_t i = 0; i < sizeof digits; ++i)
                digits[i] = "0123456789ABCDEF"[(v >> (4 * (sizeof digits - 1 - i))) & 0xF];
            Spec plain = spec;
            plain.zero = false;
            w.Field(plain, "", 0, 0, digits, sizeof digits, false);
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            const double value = va_arg(args, double);
            char sign[2] = {};
            size_t signLen = 0;
            if (std::signbit(value))
                sign[signLen++] = '-';
            else if (spec.plus)
                sign[signLen++] = '+';
            else if (spec.space)
                sign[signLen++] = ' ';
            const bool upper = spec.type >= 'A' && spec.type <= 'Z';
            if (std::isinf(value) || std::isnan(value))
            {
                const char* body = std::isinf(value)     ? (upper ? "INF" : "inf")
                                   : std::signbit(value) ? (upper ? "NAN(IND)" : "nan(ind)")
                                                         : (upper ? "NAN" : "nan");
                w.Field(spec, sign, signLen, 0, body, std::strlen(body), false);
                break;
            }
            const int precision = spec.precision < 0 ? ((spec.type | 0x20) == 'a' ? -1 : 6) : spec.precision;
            std::string body = FormatFloatBody(std::fabs(value), spec.type, precision, spec.alternate);
            std::string prefix(sign, signLen);
            if ((spec.type | 0x20) == 'a')
            {
                // Zero padding goes between "0x" and the digits.
                prefix += body.substr(0, 2);
                body.erase(0, 2);
            }
            w.Field(spec, prefix.data(), prefix.size(), 0, body.data(), body.size(), true);
            break;
        }
        case 'c':
        case 'C': {
            const int raw = va_arg(args, int);
            std::basic_string<C> text;
            if (IsWideArgument<C>(spec))
            {
                const wchar_t ch = static_cast<wchar_t>(raw);
                text = ConvertArgumentText<C>(&ch, 1);
            }
            else
            {
                const char ch = static_cast<char>(raw);
                text = ConvertArgumentText<C>(&ch, 1);
            }
            w.PaddedText(spec, text.data(), text.size());
            break;
        }
        case 's':
        case 'S': {
            const void* arg = va_arg(args, const void*);
            std::basic_string<C> text;
            if (!arg)
            {
                static const char kNull[] = "(null)";
                const size_t n = TextLength(kNull, spec.precision);
                text = ConvertArgumentText<C>(kNull, n);
            }
            else if (IsWideArgument<C>(spec))
            {
                const auto* s = static_cast<const wchar_t*>(arg);
                text = ConvertArgumentText<C>(s, TextLength(s, spec.precision));
            }
            else
            {
                const auto* s = static_cast<const char*>(arg);
                text = ConvertArgumentText<C>(s, TextLength(s, spec.precision));
            }
            w.PaddedText(spec, text.data(), text.size());
            break;
        }
        case 'n':
            // Writing through %n is refused by the Microsoft runtime; the pointer is consumed, nothing written.
            (void)va_arg(args, void*);
            break;
        default:
            w.Text(directive, static_cast<size_t>(p - directive));
            break;
        }
    }
    va_end(args);
}
} // namespace

void CStringFormatter::AppendV(std::wstring& out, const wchar_t* pszFormat, va_list args)
{
    AppendFormatted(out, pszFormat, args);
}

void CStringFormatter::AppendV(std::string& out, const char* pszFormat, va_list args)
{
    AppendFormatted(out, pszFormat, args);
}
