#include "velkctl/ByteListArgument.h"

#include "common/Escapes.h"
#include "common/HexText.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

int ParseByteListArgument(const std::string& text, unsigned char bytes[kMaxArrayBytes], std::string* error)
{
    int count = 0;
    size_t at = 0;
    for (;;) {
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        if (at == text.size())
            break;
        size_t end = at;
        while (end < text.size() && !IsBlank(text[end]))
            ++end;
        const std::string token = text.substr(at, end - at);
        at = end;

        if (count == kMaxArrayBytes) {
            *error = "too many bytes: " + QuoteInput(token) + " is one more than the "
                     + std::to_string(static_cast<int>(kMaxArrayBytes)) + " an array takes";
            return -1;
        }
        int high = HexDigitValue(token[0]);
        int low = token.size() == 2 ? HexDigitValue(token[1]) : 0;
        if (token.size() > 2 || high < 0 || low < 0) {
            *error = "bad byte " + QuoteInput(token) + ": each byte is 1 or 2 hex digits";
            return -1;
        }
        bytes[count++] = static_cast<unsigned char>(token.size() == 2 ? high * 16 + low : high);
    }
    if (count == 0) {
        *error = "no bytes: give 1 to " + std::to_string(static_cast<int>(kMaxArrayBytes))
                 + " hex bytes separated by blanks";
        return -1;
    }
    return count;
}
