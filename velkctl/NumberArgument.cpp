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

} // namespace

bool ParseNumberArgument(const char* text, int64_t minimum, int64_t maximum, int64_t* value)
{
    if (text == nullptr)
        return false;
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
        return false;

    // Accumulated as a magnitude; anything beyond 2^63 is out of every range we take.
    const uint64_t limit = 1ULL << 63;
    uint64_t magnitude = 0;
    for (; *text != '\0'; ++text) {
        int digit = DigitValue(*text, base);
        if (digit < 0)
            return false;
        if (magnitude > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(base))
            return false;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    int64_t result;
    if (negative)
        result = magnitude == limit ? INT64_MIN : -static_cast<int64_t>(magnitude);
    else if (magnitude == limit)
        return false;
    else
        result = static_cast<int64_t>(magnitude);
    if (result < minimum || result > maximum)
        return false;
    *value = result;
    return true;
}

bool NumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value)
{
    if (ParseNumberArgument(text.c_str(), minimum, maximum, value))
        return true;
    fprintf(stderr, "velkctl: bad %s '%s': expected %s\n", what, text.c_str(),
            minimum < 0 ? "a decimal or 0x-hex number in range" : "a non-negative decimal or 0x-hex number in range");
    return false;
}
