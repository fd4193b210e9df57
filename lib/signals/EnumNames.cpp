#include "signals/EnumNames.h"

#include <ctype.h>

#include "signals/SignalDatabase.h"

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "formats/NumberArgument.h"

const char* EnumNameFault(const Signal& signal, int64_t raw, const std::string& name)
{
    if (name.find_first_not_of(' ') == std::string::npos)
        return N_("enum name '%s' is empty or only blanks");
    if (name.front() == ' ' || name.back() == ' ')
        return N_("enum name '%s' begins or ends with a blank");
    if (HasControlCharacter(name))
        return N_("enum name '%s' holds a control character");
    double number;
    if (ReadDecimalArgument(name, &number) == kDecimalNumber &&
        number != static_cast<double>(raw) * signal.scale + signal.offset)
        return N_("enum name '%s' reads as a number other than the value it stands for, so a send of it would be "
                  "ambiguous");
    return nullptr;
}

bool StandsAlone(const std::string& name)
{
    if (name.empty() || isdigit(static_cast<unsigned char>(name[0])) || name[0] == '-' || name[0] == '+' || name[0] == '.')
        return false;
    for (char c : name) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f || c == '=' || c == '"')
            return false;
    }
    return true;
}

std::string ShownEnumName(const std::string& name)
{
    return StandsAlone(name) ? name : "\"" + name + "\"";
}
