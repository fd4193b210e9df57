#include "signals/TomlValues.h"

#include <math.h>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"

bool ReadTomlString(TomlErrors* errors, const toml::node& node, const char* what, std::string* text)
{
    if (!node.is_string()) {
        errors->At(node.source(), FormatText(N_("%s must be text in quotes"), what));
        return false;
    }
    *text = node.as_string()->get();
    if (HasControlCharacter(*text)) {
        errors->At(node.source(), FormatText(N_("%s must not hold control characters"), what));
        return false;
    }
    return true;
}

bool ReadTomlInteger(TomlErrors* errors, const toml::node& node, const char* what, int64_t lowest, int64_t highest,
                     int64_t* value)
{
    if (!node.is_integer() || node.as_integer()->get() < lowest || node.as_integer()->get() > highest) {
        errors->At(node.source(), FormatText(N_("%s must be a whole number from %lld to %lld"), what,
                                             static_cast<long long>(lowest), static_cast<long long>(highest)));
        return false;
    }
    *value = node.as_integer()->get();
    return true;
}

bool ReadTomlInteger(TomlErrors* errors, const toml::node& node, const char* what, int lowest, int highest, int* value)
{
    int64_t number = 0;
    if (!ReadTomlInteger(errors, node, what, static_cast<int64_t>(lowest), static_cast<int64_t>(highest), &number))
        return false;
    *value = static_cast<int>(number);
    return true;
}

bool ReadTomlNumber(TomlErrors* errors, const toml::node& node, const char* what, double* value)
{
    double number = NAN;
    if (node.is_integer())
        number = static_cast<double>(node.as_integer()->get());
    else if (node.is_floating_point())
        number = node.as_floating_point()->get();
    if (!isfinite(number)) {
        errors->At(node.source(), FormatText(N_("%s must be a finite number"), what));
        return false;
    }
    *value = number;
    return true;
}

std::string TomlBasicString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
