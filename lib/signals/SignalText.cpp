#include "signals/SignalText.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "signals/EnumNames.h"

#include "common/FormatText.h"
#include "formats/JsonLine.h"

namespace {

bool Unscaled(const Signal& signal)
{
    return signal.scale == 1 && signal.offset == 0;
}

// The fewest significant digits that read back to the same float or double.
std::string ShortestDigits(double value, bool single)
{
    char text[40];
    for (int digits = 1; digits <= (single ? 9 : 17); ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, value);
        if (single ? strtof(text, nullptr) == static_cast<float>(value) : strtod(text, nullptr) == value)
            break;
    }
    return text;
}

bool WholeUnscaled(const DecodedSignal& decoded)
{
    return !decoded.isFloat && !decoded.isText && decoded.signal->type != kSignalBool && Unscaled(*decoded.signal);
}

// The raw value's digits, exactly: a u64's as unsigned.
std::string RawDigits(const DecodedSignal& decoded)
{
    if (decoded.signal->type == kSignalU64)
        return FormatText("%llu", static_cast<unsigned long long>(static_cast<uint64_t>(decoded.raw)));
    return FormatText("%lld", static_cast<long long>(decoded.raw));
}

// The raw value as JSON: a number while a double holds it exactly (to
// 2^53), else its digits as a string, so no reader rounds them.
std::string RawJson(const DecodedSignal& decoded)
{
    const int64_t exact = int64_t(1) << 53;
    const bool fits = decoded.signal->type == kSignalU64 ? static_cast<uint64_t>(decoded.raw) <= static_cast<uint64_t>(exact)
                                                         : decoded.raw >= -exact && decoded.raw <= exact;
    return fits ? RawDigits(decoded) : "\"" + RawDigits(decoded) + "\"";
}

std::string Limit(const char* which, double limit, const Signal& signal)
{
    std::string text = FormatText(" (%s %.15g", which, limit);
    return text + (signal.unit.empty() ? "" : " " + signal.unit) + ")";
}

} // namespace

std::string FormatPhysical(const DecodedSignal& decoded)
{
    const double value = decoded.physical;
    if (isnan(value))
        return "NaN";
    if (isinf(value))
        return value > 0 ? "inf" : "-inf";
    if (decoded.isFloat && Unscaled(*decoded.signal))
        return ShortestDigits(value, decoded.signal->type == kSignalF32);
    if (WholeUnscaled(decoded))
        return RawDigits(decoded);   // a 64-bit one has more digits than a double
    return FormatText("%.15g", value);
}

std::string FormatSignalValue(const DecodedSignal& decoded)
{
    const Signal& signal = *decoded.signal;
    if (decoded.unselected)
        return "-";
    if (decoded.missing)
        return "missing";
    if (decoded.isText)
        return "\"" + decoded.text + "\"";
    std::string text;
    if (decoded.enumName != nullptr)
        text = ShownEnumName(*decoded.enumName);
    else if (signal.type == kSignalBool)
        text = decoded.raw != 0 ? "true" : "false";
    else
        text = FormatPhysical(decoded) + (signal.unit.empty() ? "" : " " + signal.unit);
    if (decoded.belowMin)
        text += Limit("below min", signal.min, signal);
    if (decoded.aboveMax)
        text += Limit("above max", signal.max, signal);
    return text;
}

std::string FormatSignal(const DecodedSignal& decoded)
{
    return decoded.signal->name + "=" + FormatSignalValue(decoded);
}

std::string FormatSignalsLine(const std::vector<DecodedSignal>& signals)
{
    std::string line;
    for (const DecodedSignal& decoded : signals) {
        if (!decoded.unselected)
            line += (line.empty() ? "" : "  ") + FormatSignal(decoded);
    }
    return line;
}

std::string FormatSignalsJson(const std::vector<DecodedSignal>& signals)
{
    std::string json = "{";
    for (const DecodedSignal& decoded : signals) {
        const Signal& signal = *decoded.signal;
        if (decoded.unselected)
            continue;
        if (json.size() > 1)
            json += ',';
        json += JsonString(signal.name) + ':';
        if (decoded.missing) {
            json += "null";
        } else if (decoded.isText) {
            json += JsonString(decoded.text);
        } else if (!signal.enums.empty()) {
            json += "{\"name\":" + (decoded.enumName != nullptr ? JsonString(*decoded.enumName) : std::string("null")) +
                    ",\"raw\":" + RawJson(decoded) + "}";
        } else if (signal.type == kSignalBool) {
            json += decoded.raw != 0 ? "true" : "false";
        } else if (!isfinite(decoded.physical)) {
            json += "\"" + FormatPhysical(decoded) + "\"";
        } else if (WholeUnscaled(decoded)) {
            json += RawJson(decoded);
        } else {
            json += FormatPhysical(decoded);
        }
    }
    return json + "}";
}
