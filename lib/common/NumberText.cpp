#include "common/NumberText.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

bool ParseUnsignedDecimal(const char* text, uint32_t* value)
{
    if (text == nullptr || value == nullptr)
        return false;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    uint64_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + static_cast<uint64_t>(*p - '0');
        if (number > 0xFFFFFFFFu)
            return false;
    }
    while (IsBlank(*p))
        ++p;
    if (*p != '\0')
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}
