#include "common/ArrayText.h"

#include <string.h>

#include "common/HexText.h"

int ParseArrayText(const char* text, unsigned char bytes[kMaxArrayBytes])
{
    if (text == nullptr || text[0] == '\0')
        return 0;
    // Every token starts after a space, the first after an imagined one before the text;
    // adjacent or trailing spaces therefore give empty tokens, which count as 0.
    int count = 0;
    const char* token = text;
    for (;;) {
        bytes[count++] = static_cast<unsigned char>(ParseHexPrefix(token) & 0xFF);
        if (count == kMaxArrayBytes)
            break;
        const char* space = strchr(token, ' ');
        if (space == nullptr)
            break;
        token = space + 1;
    }
    return count;
}
