#include "signals/SignalCodec.h"

#include <float.h>
#include <algorithm>
#include <iterator>
#include <math.h>
#include <string.h>

#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"
#include "common/ClosestWord.h"
#include "common/Escapes.h"
#include "formats/NumberArgument.h"
#include "common/Catalogue.h"
#include "signals/MessageState.h"

namespace {

uint64_t Mask(unsigned bits)
{
    return bits >= 64 ? ~0ULL : (1ULL << bits) - 1;
}

const CodePage& PageOf(const Signal& signal, const SignalCodePages& pages)
{
    return signal.encoding == kEncodingUtf8 ? *pages.utf8 : *pages.gbk;
}

double Physical(const Signal& signal, double raw)
{
    return raw * signal.scale + signal.offset;
}

void CheckLimits(DecodedSignal* decoded)
{
    const Signal& signal = *decoded->signal;
    decoded->belowMin = signal.hasMin && decoded->physical < signal.min;
    decoded->aboveMax = signal.hasMax && decoded->physical > signal.max;
}

// An integer field's bits as its raw value, sign-extended from its width.
int64_t RawOfBits(const Signal& field, uint64_t bits)
{
    if (IsSignedType(field.type) && field.bits < 64 && (bits >> (field.bits - 1) & 1) != 0)
        return static_cast<int64_t>(bits | ~Mask(field.bits));
    return static_cast<int64_t>(bits);
}

void DecodeInteger(int64_t raw, DecodedSignal* decoded)
{
    const Signal& signal = *decoded->signal;
    if (signal.type == kSignalBool)
        raw = raw != 0 ? 1 : 0;
    decoded->raw = raw;
    const double number = signal.type == kSignalU64 ? static_cast<double>(static_cast<uint64_t>(raw)) : static_cast<double>(raw);
    decoded->physical = signal.type == kSignalBool ? number : Physical(signal, number);
    decoded->enumName = signal.EnumName(raw);
    CheckLimits(decoded);
}

void DecodeField(const Signal& field, const std::string& bytes, const SignalCodePages& pages, DecodedSignal* decoded)
{
    if (field.type == kSignalStr) {
        decoded->isText = true;
        if (field.byte > bytes.size() || (field.length != 0 && bytes.size() - field.byte < field.length)) {
            decoded->missing = true;
            return;
        }
        std::string text = bytes.substr(field.byte, field.length == 0 ? std::string::npos : field.length);
        text.resize(strnlen(text.c_str(), text.size()));
        decoded->text = PayloadText(text, PageOf(field, pages));
        return;
    }
    uint64_t bits = 0;
    if (!ReadFieldBits(field, bytes, &bits)) {
        decoded->missing = true;
        return;
    }
    if (field.type == kSignalF32 || field.type == kSignalF64) {
        decoded->isFloat = true;
        if (field.type == kSignalF32) {
            uint32_t word = static_cast<uint32_t>(bits);
            float real;
            memcpy(&real, &word, sizeof real);
            decoded->rawFloat = real;
        } else {
            memcpy(&decoded->rawFloat, &bits, sizeof decoded->rawFloat);
        }
        decoded->physical = Physical(field, decoded->rawFloat);
        CheckLimits(decoded);
        return;
    }
    DecodeInteger(RawOfBits(field, bits), decoded);
}

void WriteFieldBits(const Signal& field, uint64_t value, std::string* bytes)
{
    const unsigned span = field.SpanBytes();
    const uint64_t mask = Mask(field.bits) << field.bit;
    value = (value & Mask(field.bits)) << field.bit;
    for (unsigned i = 0; i < span; ++i) {
        unsigned shift = 8 * (field.endian == kEndianBig ? span - 1 - i : i);
        unsigned char keep = static_cast<unsigned char>(~(mask >> shift));
        unsigned char set = static_cast<unsigned char>(value >> shift);
        char& byte = (*bytes)[field.byte + i];
        byte = static_cast<char>((static_cast<unsigned char>(byte) & keep) | set);
    }
}

std::string EnumNames(const Signal& signal)
{
    std::string names;
    for (const SignalEnumEntry& entry : signal.enums)
        names += (names.empty() ? "" : ", ") + entry.name;
    return names;
}

std::string WithUnit(double value, const Signal& signal)
{
    std::string text = FormatText("%.15g", value);
    return signal.unit.empty() ? text : text + " " + signal.unit;
}

bool IsAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool Refuse(std::string* error, const Signal& signal, const std::string& why)
{
    *error = signal.name + ": " + why;
    return false;
}

// The whole raw value nearest q = (physical - offset) / scale, judged in
// physical units so that 52.8 / 0.025 = 2111.9999... is 2112, and a half
// that floating error puts just below .5 still rounds away from zero. That
// error grows with the values (100000.0005 at scale 0.001 misses its half by
// 1e-11), so a tie is judged relative to them as well, never wider than a
// quarter step.
int64_t NearestRaw(const Signal& signal, double physical, double q)
{
    const double below = floor(q);
    const double errorBelow = fabs(physical - Physical(signal, below));
    const double errorAbove = fabs(Physical(signal, below + 1) - physical);
    const double tie = std::min(0.25 * fabs(signal.scale), 1e-9 * fabs(signal.scale) +
                                                               8 * DBL_EPSILON * (fabs(physical) + fabs(signal.offset)));
    double nearest;
    if (fabs(errorBelow - errorAbove) <= tie)
        nearest = q >= 0 ? below + 1 : below;
    else
        nearest = errorBelow < errorAbove ? below : below + 1;
    return static_cast<int64_t>(nearest);
}

// "u16 in 12 bits: 0 to 4095": the raw values a field holds.
std::string RangeText(const Signal& signal)
{
    if (signal.type == kSignalU64)
        return FormatText(N_("%s in %u bits: %llu to %llu"), SignalTypeName(signal.type), signal.bits, 0ULL,
                          static_cast<unsigned long long>(Mask(signal.bits)));
    int64_t lowest, highest;
    signal.RawLimits(&lowest, &highest);
    return FormatText(N_("%s in %u bits: %lld to %lld"), SignalTypeName(signal.type), signal.bits,
                      static_cast<long long>(lowest), static_cast<long long>(highest));
}

bool CheckPhysicalLimits(const Signal& signal, double physical, std::string* error)
{
    if (signal.hasMin && physical < signal.min)
        return Refuse(error, signal, FormatText(N_("%s is below its min %s"), WithUnit(physical, signal).c_str(),
                                                WithUnit(signal.min, signal).c_str()));
    if (signal.hasMax && physical > signal.max)
        return Refuse(error, signal, FormatText(N_("%s is above its max %s"), WithUnit(physical, signal).c_str(),
                                                WithUnit(signal.max, signal).c_str()));
    return true;
}

// An unscaled 64-bit field's value read exactly ("18446744073709551615",
// "-5 rpm"), where a double would round it; false for text that is not a
// whole number in its own unit (the double's reading says why).
bool EncodeWhole(const Signal& signal, const std::string& text, SignalRaw* raw, std::string* error, bool* done)
{
    *done = false;
    const size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const size_t end = sign + DecimalLength(text, sign);
    uint64_t magnitude = 0;
    for (size_t i = sign; i < end; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (digit > 9 || magnitude > (UINT64_MAX - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    const size_t start = text.find_first_not_of(" \t", end);
    if (end == sign || (end < text.size() && (start == std::string::npos || text.substr(start) != signal.unit)))
        return false;
    *done = true;
    const bool negative = text[0] == '-' && magnitude != 0;
    const uint64_t half = 1ULL << (signal.bits - 1);
    const bool fits = signal.type == kSignalU64 ? !negative && magnitude <= Mask(signal.bits)
                                                : magnitude <= (negative ? half : half - 1);
    if (!fits)
        return Refuse(error, signal, FormatText(N_("%s does not fit %s"), text.c_str(), RangeText(signal).c_str()));
    const double physical = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    if (!CheckPhysicalLimits(signal, physical, error))
        return false;
    raw->isFloat = false;
    raw->integer = static_cast<int64_t>(negative ? ~magnitude + 1 : magnitude);
    return true;
}

// "100", "-2.5e3", "100rpm", "100 rpm": a sign, the longest start of the
// rest that is a decimal number, then the end of text or blanks and a unit
// (*unit, empty for none). One pass over the text.
DecimalRead ReadNumberAndUnit(const std::string& text, double* value, std::string* unit)
{
    const size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const size_t end = sign + DecimalLength(text, sign);
    const size_t start = text.find_first_not_of(" \t", end);
    if (end == sign || (end < text.size() && start == std::string::npos))
        return kDecimalNotANumber;
    double magnitude;
    const DecimalRead read = ReadDecimalArgument(text.substr(sign, end - sign), &magnitude);
    if (read != kDecimalNumber)
        return read;
    *value = text[0] == '-' ? -magnitude : magnitude;
    *unit = end < text.size() ? text.substr(start) : std::string();
    return kDecimalNumber;
}

// The selector set so that the payload holds every multiplexed field given:
// as assigned, else as it is when it chooses them all, else the first value
// that does.
bool SelectFields(const SignalMessage& message, const std::vector<const Signal*>& fields, std::string* bytes,
                  std::string* error)
{
    if (message.muxIndex < 0)
        return true;
    const Signal& selector = message.signals[static_cast<size_t>(message.muxIndex)];
    const bool assigned = std::find(fields.begin(), fields.end(), &selector) != fields.end();
    int64_t now = 0;
    const bool known = ReadSelector(message, *bytes, &now);
    const Signal* first = nullptr;
    std::vector<int64_t> common;
    for (const Signal* field : fields) {
        if (field->muxValues.empty())
            continue;
        if (assigned && !field->SelectedBy(now)) {
            *error = field->name + ": " + FormatText(N_("it is not in a payload whose %s is %lld"),
                                                     selector.fieldName.c_str(), static_cast<long long>(now));
            return false;
        }
        if (first == nullptr) {
            first = field;
            common = field->muxValues;
            continue;
        }
        std::vector<int64_t> both;
        std::set_intersection(common.begin(), common.end(), field->muxValues.begin(), field->muxValues.end(),
                              std::back_inserter(both));
        if (both.empty()) {
            *error = field->name + ": " + FormatText(N_("no value of %s puts it in one payload with %s"),
                                                     selector.fieldName.c_str(), first->name.c_str());
            return false;
        }
        common.swap(both);
    }
    if (first == nullptr || assigned || (known && std::binary_search(common.begin(), common.end(), now)))
        return true;
    SignalRaw value;
    value.integer = common.front();
    WriteFieldRaw(selector, value, bytes);
    return true;
}

} // namespace

bool ReadFieldBits(const Signal& field, const std::string& bytes, uint64_t* bits)
{
    const unsigned span = field.SpanBytes();
    if (field.byte > bytes.size() || bytes.size() - field.byte < span)
        return false;
    uint64_t word = 0;
    for (unsigned i = 0; i < span; ++i) {
        uint64_t byte = static_cast<unsigned char>(bytes[field.byte + i]);
        word |= byte << 8 * (field.endian == kEndianBig ? span - 1 - i : i);
    }
    *bits = (word >> field.bit) & Mask(field.bits);
    return true;
}

void DecodeMessage(const SignalMessage& message, int32_t value, const std::string& bytes,
                   const SignalCodePages& pages, std::vector<DecodedSignal>* out)
{
    out->resize(message.signals.size());
    int64_t selector = 0;
    const bool selected = message.muxIndex >= 0 && ReadSelector(message, bytes, &selector);
    for (size_t i = 0; i < message.signals.size(); ++i) {
        const Signal& signal = message.signals[i];
        DecodedSignal* decoded = &(*out)[i];
        decoded->Clear(&signal);
        if (!signal.muxValues.empty() && !(selected && (signal.muxValues.size() == 1 ? signal.muxValues[0] == selector
                                                                                     : signal.SelectedBy(selector)))) {
            decoded->missing = decoded->unselected = true;   // the common case of one value, without a search
        } else if (message.kind == kValueMessage) {
            DecodeInteger(signal.type == kSignalU32 ? static_cast<int64_t>(static_cast<uint32_t>(value)) : value, decoded);
        } else if (message.kind == kStringPayload) {
            decoded->isText = true;
            decoded->text = PayloadText(bytes, PageOf(signal, pages));
        } else {
            DecodeField(signal, bytes, pages, decoded);
        }
    }
}

bool ReadSelector(const SignalMessage& message, const std::string& bytes, int64_t* raw)
{
    uint64_t bits;
    if (message.muxIndex < 0)
        return false;
    const Signal& selector = message.signals[static_cast<size_t>(message.muxIndex)];
    if (!ReadFieldBits(selector, bytes, &bits))
        return false;
    *raw = selector.type == kSignalBool ? (bits != 0 ? 1 : 0) : RawOfBits(selector, bits);
    return true;
}

void SelectField(const SignalMessage& message, const Signal& field, std::string* bytes)
{
    int64_t raw;
    if (field.muxValues.empty() || message.muxIndex < 0 || (ReadSelector(message, *bytes, &raw) && field.SelectedBy(raw)))
        return;
    const Signal& selector = message.signals[static_cast<size_t>(message.muxIndex)];
    if (bytes->size() < selector.byte + selector.SpanBytes())
        bytes->resize(selector.byte + selector.SpanBytes(), '\0');
    SignalRaw value;
    value.integer = field.muxValues.front();
    WriteFieldRaw(selector, value, bytes);
}

bool EncodePhysical(const Signal& signal, double physical, SignalRaw* raw, std::string* error)
{
    if (signal.type == kSignalStr)
        return Refuse(error, signal, N_("a text signal takes text, not a number"));
    if (!isfinite(physical))
        return Refuse(error, signal, N_("the value must be a finite number"));
    if (!CheckPhysicalLimits(signal, physical, error))
        return false;
    const double q = (physical - signal.offset) / signal.scale;
    if (IsFloatType(signal.type)) {
        if (signal.type == kSignalF32 && fabs(q) > FLT_MAX)
            return Refuse(error, signal, FormatText(N_("raw value %.15g does not fit f32"), q));
        raw->isFloat = true;
        raw->real = signal.type == kSignalF32 ? static_cast<double>(static_cast<float>(q)) : q;
        return true;
    }
    int64_t lowest, highest;
    signal.RawLimits(&lowest, &highest);
    const std::string range = RangeText(signal);
    if (!(fabs(q) < 4e18))
        return Refuse(error, signal,
                      FormatText(N_("%s does not fit %s"), WithUnit(physical, signal).c_str(), range.c_str()));
    const int64_t nearest = NearestRaw(signal, physical, q);
    if (nearest < lowest || nearest > highest)
        return Refuse(error, signal, FormatText(N_("%s is raw %lld, which does not fit %s"),
                                                WithUnit(physical, signal).c_str(), static_cast<long long>(nearest),
                                                range.c_str()));
    raw->isFloat = false;
    raw->integer = nearest;
    return true;
}

bool EncodeSignalText(const Signal& signal, const std::string& text, SignalRaw* raw, std::string* error)
{
    int64_t named;
    if (signal.EnumRaw(text, &named)) {
        raw->isFloat = false;
        raw->integer = named;
        return true;
    }
    if (signal.type == kSignalBool && (text == "true" || text == "false")) {
        raw->isFloat = false;
        raw->integer = text == "true" ? 1 : 0;
        return true;
    }
    if (signal.type == kSignalStr)
        return Refuse(error, signal, N_("a text signal takes text, not a number"));
    // Not a name: a text too long for any number is refused before it is read.
    if (text.size() > kMaxSignalValueBytes)
        return Refuse(error, signal, FormatText(N_("the value is %zu bytes, longer than the %d a value may have"),
                                                text.size(), static_cast<int>(kMaxSignalValueBytes)));
    bool whole = false;
    if ((signal.type == kSignalU64 || signal.type == kSignalI64) && signal.scale == 1 && signal.offset == 0) {
        const bool encoded = EncodeWhole(signal, text, raw, error, &whole);
        if (whole)
            return encoded;
    }
    double physical;
    std::string unit;
    DecimalRead read = ReadNumberAndUnit(text, &physical, &unit);
    if (read == kDecimalNumber && signal.type == kSignalBool && !unit.empty())
        read = kDecimalNotANumber;
    if (read == kDecimalTooLarge || read == kDecimalTooSmall)
        return Refuse(error, signal,
                      FormatText(read == kDecimalTooLarge ? N_("%s is out of range: a number is at most about 1.8e308")
                                                          : N_("%s is out of range: too near 0 to tell from it"),
                                 QuoteInput(text).c_str()));
    // The value in the signal's own unit, as it is shown.
    if (read == kDecimalNumber && (unit.empty() || (!signal.unit.empty() && unit == signal.unit)))
        return EncodePhysical(signal, physical, raw, error);
    if (read == kDecimalNumber)
        return Refuse(error, signal,
                      signal.unit.empty()
                          ? FormatText(N_("%s: it has no unit, give the number alone"), QuoteInput(unit).c_str())
                          : FormatText(N_("%s is not its unit: give the number in %s, with or without the unit"),
                                       QuoteInput(unit).c_str(), signal.unit.c_str()));
    const std::string quoted = QuoteInput(text);
    std::string why = FormatText(N_("%s is not a number"), quoted.c_str());
    if (!signal.enums.empty()) {
        why = FormatText(N_("%s is not a number or one of its names (%s)"), quoted.c_str(), EnumNames(signal).c_str());
        std::vector<std::string> names;
        for (const SignalEnumEntry& entry : signal.enums)
            names.push_back(entry.name);
        const std::string meant = ClosestWord(text, names);
        if (!meant.empty())
            why += ": " + FormatText(N_("did you mean '%s'?"), meant.c_str());
    } else if (signal.type == kSignalBool) {
        why = FormatText(N_("%s is not a number, true or false"), quoted.c_str());
    }
    return Refuse(error, signal, why);
}

int32_t ValueWord(const SignalRaw& raw)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(raw.integer)));
}

void WriteFieldRaw(const Signal& field, const SignalRaw& raw, std::string* bytes)
{
    uint64_t bits = static_cast<uint64_t>(raw.integer);
    if (field.type == kSignalF32) {
        float real = static_cast<float>(raw.real);
        uint32_t word;
        memcpy(&word, &real, sizeof word);
        bits = word;
    } else if (field.type == kSignalF64) {
        memcpy(&bits, &raw.real, sizeof bits);
    }
    WriteFieldBits(field, bits, bytes);
}

bool WriteFieldText(const Signal& field, const std::string& text, TextEncoder gbk, std::string* bytes,
                    std::string* error)
{
    if (field.type != kSignalStr) {
        SignalRaw raw;
        if (!EncodeSignalText(field, text, &raw, error))
            return false;
        if (bytes->size() < field.byte + field.SpanBytes())
            bytes->resize(field.byte + field.SpanBytes(), '\0');
        WriteFieldRaw(field, raw, bytes);
        return true;
    }
    std::string value = text;
    if (field.encoding == kEncodingGbk && gbk != nullptr && !gbk(text, &value))
        return Refuse(error, field, FormatText(N_("%s has a character GBK lacks"), QuoteInput(text).c_str()));
    if (field.encoding == kEncodingGbk && gbk == nullptr && !IsAscii(text))
        return Refuse(error, field, N_("only ASCII text can be written to a gbk field here"));
    if (field.length != 0 && value.size() > field.length)
        return Refuse(error, field, FormatText(N_("the text is %zu bytes, longer than the field's %u"), value.size(),
                                               field.length));
    if (field.length == 0 && field.byte + value.size() > kMaxPayloadBytes)
        return Refuse(error, field, N_("the payload would be longer than 64 KiB"));
    // Without a length the text is the rest of the payload.
    const size_t room = field.length != 0 ? field.length : value.size();
    if (field.length == 0 || bytes->size() < field.byte + room)
        bytes->resize(field.byte + room, '\0');
    value.resize(room, '\0');
    bytes->replace(field.byte, room, value);
    return true;
}

bool BuildArrayPayload(const SignalMessage& message, const std::vector<std::string>& assignments,
                       const std::string& base, std::string* payload, std::string* error, TextEncoder gbk)
{
    std::vector<std::string> fieldNames;
    for (const Signal& field : message.signals)
        fieldNames.push_back(field.fieldName);
    std::vector<const Signal*> fields;
    std::vector<std::string> values;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            *error = message.name + ": " + FormatText(N_("expected FIELD=VALUE, got %s"), QuoteInput(assignment).c_str());
            return false;
        }
        const std::string name = assignment.substr(0, equals);
        const Signal* field = message.FindField(name);
        if (field == nullptr) {
            const std::string meant = ClosestWord(name, fieldNames);
            *error = message.name + ": " +
                     (meant.empty() ? FormatText(N_("no field '%s'"), name.c_str())
                                    : FormatText(N_("no field '%s' (did you mean '%s'?)"), name.c_str(), meant.c_str()));
            return false;
        }
        for (const Signal* earlier : fields) {
            if (earlier == field) {
                *error = field->name + ": " + N_("given twice");
                return false;
            }
        }
        fields.push_back(field);
        values.push_back(assignment.substr(equals + 1));
    }
    std::string built = base;
    if (base.empty() && !InitialPayload(message, gbk, &built, error))
        return false;
    size_t size = built.size();
    for (const Signal& field : message.signals)
        size = std::max<size_t>(size, field.byte + field.SpanBytes());
    if (size > kMaxPayloadBytes) {
        *error = message.name + ": " + N_("the payload would be longer than 64 KiB");
        return false;
    }
    built.resize(size, '\0');
    bool checksumGiven = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!WriteFieldText(*fields[i], values[i], gbk, &built, error))
            return false;
        checksumGiven = checksumGiven || fields[i]->checksum != nullptr;
    }
    if (!SelectFields(message, fields, &built, error))
        return false;
    if (!checksumGiven)
        WriteChecksum(message, &built);
    *payload = built;
    return true;
}
