#include "console/VariableText.h"

namespace {

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int32_t ParseDecimalSaturating(const char* text)
{
    if (text == nullptr)
        return 0;
    const char* p = text;
    while (IsWhiteSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate the magnitude in 64 bits, clamped once it passes the int32 range.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}
