#include "velkctl/NumberArgument.h"

#include <stdint.h>
#include <stdio.h>

#include "console/HexText.h"

namespace {

int DigitValue(char c, int base)
{
    int value = HexDigitValue(c);
    return value < base ? value : -1;
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

// "0-255", "0-0xFFFFFFFF", "-2147483648 to 4294967295", or "1 or more".
std::string RangeText(int64_t minimum, int64_t maximum)
{
    // A limit no one types is no limit to show.
    if (maximum == INT64_MAX)
        return std::to_string(minimum) + " or more";
    if (minimum == 0 && maximum == UINT32_MAX)
        return "0-0xFFFFFFFF";   // a code or a mask: 32 bits
    return std::to_string(minimum) + (minimum < 0 ? " to " : "-") + std::to_string(maximum);
}

} // namespace

bool ParseNumberArgument(const char* text, int64_t minimum, int64_t maximum, int64_t* value)
{
    return Parse(text, minimum, maximum, value) == kNumber;
}

bool NumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value)
{
    switch (Parse(text.c_str(), minimum, maximum, value)) {
    case kNumber:
        return true;
    case kOutOfRange:
        fprintf(stderr, "velkctl: %s %s is out of range%s %s\n", what, text.c_str(), maximum == INT64_MAX ? ":" : "",
                RangeText(minimum, maximum).c_str());
        return false;
    default:
        fprintf(stderr, "velkctl: bad %s '%s': expected a decimal or 0x-hex number, %s\n", what, text.c_str(),
                RangeText(minimum, maximum).c_str());
        return false;
    }
}
