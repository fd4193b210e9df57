#include "common/FormatText.h"

#include <stdio.h>
#include <stdlib.h>

std::string FormatTextV(const char* format, va_list args)
{
    char small[128];   // most lines fit: one pass
    va_list again;
    va_copy(again, args);
    int needed = vsnprintf(small, sizeof small, format, args);
    if (needed < 0) {
        va_end(again);
        return std::string();
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        va_end(again);
        return std::string(small, static_cast<size_t>(needed));
    }
    std::string big(static_cast<size_t>(needed) + 1, '\0');
    vsnprintf(&big[0], big.size(), format, again);
    va_end(again);
    big.resize(static_cast<size_t>(needed));
    return big;
}

std::string CountOf(unsigned long long count, const char* noun)
{
    return FormatText("%llu %s%s", count, noun, count == 1 ? "" : "s");
}

void AppendDecimal(std::string* out, unsigned long long value, int digits)
{
    char reversed[24];
    int size = 0;
    do {
        reversed[size++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = digits - size; pad > 0; --pad)
        *out += '0';
    while (size > 0)
        *out += reversed[--size];
}

void AppendHex(std::string* out, unsigned long value, int digits)
{
    static const char kHexDigits[] = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        *out += kHexDigits[(value >> shift) & 0xF];
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    return text;
}

std::string ExactNumber(double value)
{
    std::string text = FormatText("%.15g", value);
    if (strtod(text.c_str(), nullptr) != value)
        text = FormatText("%.17g", value);
    return text;
}
