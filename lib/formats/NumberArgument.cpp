#include "formats/NumberArgument.h"

#include <errno.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/HexText.h"
#include "common/Catalogue.h"

namespace {

int DigitValue(char c, int base)
{
    int value = HexDigitValue(c);
    return value < base ? value : -1;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits from *at on; how many, and whether one is not 0.
size_t Digits(const std::string& text, size_t* at, bool* nonZero)
{
    size_t start = *at;
    for (; *at < text.size() && IsDigit(text[*at]); ++*at)
        *nonZero = *nonZero || text[*at] != '0';
    return *at - start;
}

enum Parsed { kNumber, kNotANumber, kOutOfRange };

Parsed Parse(const char* text, int64_t minimum, int64_t maximum, int64_t* value)
{
    if (text == nullptr)
        return kNotANumber;
    bool negative = false;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    } else if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        ++text;
    }
    if (*text == '\0')
        return kNotANumber;

    // Accumulated as a magnitude; anything beyond 2^63 is out of every range we take.
    const uint64_t limit = 1ULL << 63;
    uint64_t magnitude = 0;
    bool tooLarge = false;
    for (; *text != '\0'; ++text) {
        int digit = DigitValue(*text, base);
        if (digit < 0)
            return kNotANumber;
        if (magnitude > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base))
            tooLarge = true;
        else
            magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (tooLarge || (!negative && magnitude == limit))
        return kOutOfRange;
    int64_t result = negative ? (magnitude == limit ? INT64_MIN : -static_cast<int64_t>(magnitude))
                              : static_cast<int64_t>(magnitude);
    if (result < minimum || result > maximum)
        return kOutOfRange;
    *value = result;
    return kNumber;
}

// A number out of range as its message shows it: as typed ("channel 300
// is out of range"), quoted and cut when it runs on.
std::string Shown(const std::string& number)
{
    return number.size() <= kQuotedInputChars ? number : QuoteInput(number);
}

// "0-255", "0-0xFFFFFFFF", "-2147483648 to 4294967295", or "1 or more".
std::string RangeText(int64_t minimum, int64_t maximum)
{
    // A limit no one types is no limit to show.
    if (maximum == INT64_MAX)
        return FormatText(N_("%lld or more"), static_cast<long long>(minimum));
    if (minimum == 0 && maximum == UINT32_MAX)
        return "0-0xFFFFFFFF";   // a code or a mask: 32 bits
    if (minimum < 0)
        return FormatText(N_("%lld to %lld"), static_cast<long long>(minimum), static_cast<long long>(maximum));
    return std::to_string(minimum) + "-" + std::to_string(maximum);
}

} // namespace

bool ParseNumberArgument(const char* text, int64_t minimum, int64_t maximum, int64_t* value)
{
    return Parse(text, minimum, maximum, value) == kNumber;
}

size_t DecimalLength(const std::string& text, size_t from)
{
    size_t at = from;
    bool nonZero = false;
    const size_t whole = Digits(text, &at, &nonZero);
    if (at + 1 < text.size() && text[at] == '.' && IsDigit(text[at + 1])) {
        ++at;
        Digits(text, &at, &nonZero);
    } else if (whole == 0) {
        return 0;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+'))
            ++exponent;
        if (Digits(text, &exponent, &nonZero) != 0)
            at = exponent;
    }
    return at - from;
}

DecimalRead ReadDecimalArgument(const std::string& text, double* value)
{
    if (text.empty() || DecimalLength(text, 0) != text.size())
        return kDecimalNotANumber;
    // The grammar is strtod's own, less what it would take beyond it.
    errno = 0;
    const double parsed = strtod(text.c_str(), nullptr);
    if (!isfinite(parsed) || (errno == ERANGE && fabs(parsed) > 1))
        return kDecimalTooLarge;
    bool nonZero = false;
    for (size_t at = 0; at < text.size() && text[at] != 'e' && text[at] != 'E'; ++at)
        nonZero = nonZero || (IsDigit(text[at]) && text[at] != '0');
    if (errno == ERANGE || (parsed == 0 && nonZero))
        return kDecimalTooSmall;
    *value = parsed;
    return kDecimalNumber;
}

bool ParseDecimalArgument(const std::string& text, double* value)
{
    return ReadDecimalArgument(text, value) == kDecimalNumber;
}

bool ParseNumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value,
                       std::string* error)
{
    switch (Parse(text.c_str(), minimum, maximum, value)) {
    case kNumber:
        return true;
    case kOutOfRange:
        *error = FormatText(maximum == INT64_MAX ? N_("%s %s is out of range: %s") : N_("%s %s is out of range %s"), what,
                            Shown(text).c_str(), RangeText(minimum, maximum).c_str());
        return false;
    default:
        *error = FormatText(N_("bad %s %s: expected a decimal or 0x-hex number, %s"), what, QuoteInput(text).c_str(),
                            RangeText(minimum, maximum).c_str());
        return false;
    }
}
