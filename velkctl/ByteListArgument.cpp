#include "velkctl/ByteListArgument.h"

#include "common/Escapes.h"
#include "common/HexText.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"

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
            *error = FormatText(N_("too many bytes: %s is one more than the %d an array takes"), QuoteInput(token).c_str(),
                                static_cast<int>(kMaxArrayBytes));
            return -1;
        }
        int high = HexDigitValue(token[0]);
        int low = token.size() == 2 ? HexDigitValue(token[1]) : 0;
        if (token.size() > 2 || high < 0 || low < 0) {
            *error = FormatText(N_("bad byte %s: each byte is 1 or 2 hex digits"), QuoteInput(token).c_str());
            return -1;
        }
        bytes[count++] = static_cast<unsigned char>(token.size() == 2 ? high * 16 + low : high);
    }
    if (count == 0) {
        *error = FormatText(N_("no bytes: give 1 to %d hex bytes separated by blanks"), static_cast<int>(kMaxArrayBytes));
        return -1;
    }
    return count;
}
