#include "formats/Duration.h"

#include <stdio.h>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/Catalogue.h"

namespace {

struct Unit { const char* name; uint64_t micros; };

const Unit kUnits[] = {
    { "us", 1 },
    { "ms", 1000 },
    { "s", 1000000 },
    { "m", 60000000 },
    { "h", 3600000000ULL },
};

const uint64_t kMaxMicros = 100ULL * 24 * 3600000000ULL;

bool Fail(std::string* error, const char* why)
{
    if (error != nullptr)
        *error = FormatText(N_("%s (expected a number and a unit us, ms, s, m or h, like 100ms, 2.5s or 3m; a bare "
                               "number is seconds)"),
                            why);
    return false;
}

} // namespace

bool ParseDuration(const std::string& text, uint64_t* micros, std::string* error)
{
    // Digits, an optional fraction, then the unit.
    size_t i = 0;
    uint64_t whole = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
        if (whole > kMaxMicros)
            return Fail(error, N_("too long (at most 100 days)"));
    }
    size_t wholeDigits = i;
    std::string fraction;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            fraction += text[i];
        if (fraction.empty())
            return Fail(error, N_("expected digits after the decimal point"));
    }
    if (wholeDigits == 0 && fraction.empty())
        return Fail(error, N_("expected a number"));
    const std::string unitText = i == text.size() ? std::string("s") : text.substr(i);
    const Unit* unit = nullptr;
    for (const Unit& candidate : kUnits) {
        if (unitText == candidate.name)
            unit = &candidate;
    }
    if (unit == nullptr)
        return Fail(error, N_("unknown unit"));
    if (whole > kMaxMicros / unit->micros)
        return Fail(error, N_("too long (at most 100 days)"));
    uint64_t result = whole * unit->micros;
    // The fraction's digits, each worth a tenth of the one before; the
    // unit has at most 10 digits, so any digit past that must be 0.
    uint64_t place = unit->micros;
    for (char digit : fraction) {
        uint64_t value = static_cast<uint64_t>(digit - '0');
        if (place % 10 != 0) {
            if (value != 0)
                return Fail(error, N_("finer than a microsecond"));
            continue;
        }
        place /= 10;
        result += value * place;
    }
    if (result > kMaxMicros)
        return Fail(error, N_("too long (at most 100 days)"));
    *micros = result;
    return true;
}

bool ParseDurationOption(const std::string& text, const char* what, bool positive, uint64_t* micros,
                         std::string* error)
{
    std::string why;
    uint64_t parsed = 0;
    if (!ParseDuration(text, &parsed, &why)) {
        *error = FormatText(N_("bad %s %s: %s"), what, QuoteInput(text).c_str(), why.c_str());
        return false;
    }
    if (positive && parsed == 0) {
        *error = FormatText(N_("bad %s %s: must be more than 0"), what, QuoteInput(text).c_str());
        return false;
    }
    *micros = parsed;
    return true;
}
