#include "formats/CodeArgument.h"

#include <ctype.h>

#include "common/Escapes.h"
#include "common/HexText.h"
#include "protocol/MessageCode.h"
#include "common/FormatText.h"
#include "common/Catalogue.h"

namespace {

const uint32_t kDirectionBits[] = { kDirReadValue, kDirWriteValue, kDirReadPara, kDirWritePara };

void Join(std::string* joined, const char* name)
{
    if (!joined->empty())
        *joined += '+';
    *joined += name;
}

} // namespace

bool ParseCodeArgument(const std::string& text, const char* what, uint32_t* code, std::string* error)
{
    size_t start = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    size_t digits = text.size() - start;
    uint32_t value = 0;
    bool good = digits >= 1 && digits <= 8;
    for (size_t i = start; good && i < text.size(); ++i) {
        int digit = HexDigitValue(text[i]);
        good = digit >= 0;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (!good) {
        *error = FormatText(N_("bad %s %s: expected 1 to 8 hex digits, with or without 0x (codes are always hex, as "
                               "monitor prints them: 20001001 is 0x20001001)"),
                            what, QuoteInput(text).c_str());
        return false;
    }
    *code = value;
    return true;
}

std::string MissingCodeFieldsWarning(uint32_t code)
{
    const bool direction = (code & (kDirReadValue | kDirWriteValue | kDirReadPara | kDirWritePara)) != 0;
    const bool type = (code & kAllTypeBits) != 0;
    if (direction && type)
        return std::string();
    const char* missing = !type ? N_("no type bit (DEP ADC WTC CNT TMR STR ARR CTL ABS), so no subscriber receives it")
                                : N_("no direction bit (bits 28-31)");
    if (!direction && !type)
        missing = N_("no direction bit (bits 28-31) and no type bit (DEP ADC WTC CNT TMR STR ARR CTL ABS), so no "
                     "subscriber receives it");
    return FormatText(N_("warning: code %08x has %s; posted anyway. Codes are hex: are CODE and VALUE the right way "
                         "round?"),
                      static_cast<unsigned>(code), missing);
}

uint32_t TypeBitOfName(const std::string& name)
{
    for (const TypeName& type : kTypeNames) {
        size_t i = 0;
        while (i < name.size() && type.name[i] != '\0' &&
               toupper(static_cast<unsigned char>(name[i])) == type.name[i])
            ++i;
        if (i == name.size() && type.name[i] == '\0')
            return type.bit;
    }
    return 0;
}

std::string TypeNamesOf(uint32_t code)
{
    std::string names;
    for (const TypeName& type : kTypeNames) {
        if ((code & type.bit) != 0)
            Join(&names, type.name);
    }
    return names;
}

std::string DirectionNamesOf(uint32_t code)
{
    std::string names;
    for (uint32_t bit : kDirectionBits) {
        if ((code & bit) != 0)
            Join(&names, DirectionWord(bit));
    }
    return names;
}

bool LooksLikeSignalName(const std::string& text)
{
    uint32_t code = 0;
    std::string error;
    return !text.empty() && (isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_') &&
           !ParseCodeArgument(text, "code", &code, &error);
}
