#include "signals/DatabaseResolver.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "common/Catalogue.h"
#include "common/ClosestWord.h"
#include "common/FormatText.h"

SignalRef DatabaseResolver::Find(const std::string& name, std::string* error) const
{
    SignalRef found = database_.FindSignal(name);
    if (found.signal == nullptr && error != nullptr) {
        const SignalMessage* message = database_.FindMessage(name);
        if (message != nullptr) {
            // An array message's name: its fields are what is named.
            std::string fields;
            for (const Signal& signal : message->signals)
                fields += (fields.empty() ? "" : ", ") + signal.name;
            *error = FormatText(N_("'%s' is a message: name one of its signals (%s)"), name.c_str(), fields.c_str());
            return found;
        }
        std::vector<std::string> names;
        for (const SignalMessage& each : database_.Messages())
            for (const Signal& signal : each.signals)
                names.push_back(signal.name);
        const std::string meant = ClosestWord(name, names);
        *error = FormatText(N_("no signal '%s'"), name.c_str()) +
                 (meant.empty() ? "" : "; " + FormatText(N_("did you mean '%s'?"), meant.c_str()));
    }
    return found;
}

bool DatabaseResolver::ResolveSignal(const std::string& name, uint32_t* code, std::string* error) const
{
    SignalRef found = Find(name, error);
    if (found.signal == nullptr)
        return false;
    *code = found.message->code;
    return true;
}

bool DatabaseResolver::ResolveEnum(const std::string& signal, const std::string& enumName, double* value,
                                   std::string* error) const
{
    SignalRef found = Find(signal, error);
    if (found.signal == nullptr)
        return false;
    int64_t raw = 0;
    if (!found.signal->EnumRaw(enumName, &raw)) {
        std::vector<std::string> names;
        for (const SignalEnumEntry& entry : found.signal->enums)
            names.push_back(entry.name);
        const std::string meant = ClosestWord(enumName, names);
        *error = FormatText(N_("%s has no value named '%s'"), signal.c_str(), enumName.c_str()) +
                 (meant.empty() ? "" : "; " + FormatText(N_("did you mean '%s'?"), meant.c_str()));
        return false;
    }
    *value = static_cast<double>(raw) * found.signal->scale + found.signal->offset;
    return true;
}

const DecodedSignal* DatabaseResolver::DecodedSignalOf(const std::string& signal, const RecordedMessage& message) const
{
    SignalRef found = Find(signal, nullptr);
    if (found.signal == nullptr || found.message->code != message.code)
        return nullptr;
    for (const DecodedSignal& each : Decoded(message))
        if (each.signal == found.signal)
            return each.missing ? nullptr : &each;
    return nullptr;
}

bool DatabaseResolver::ExtractSignal(const std::string& signal, const RecordedMessage& message, double* value) const
{
    const DecodedSignal* found = DecodedSignalOf(signal, message);
    if (found == nullptr || found->isText)
        return false;
    *value = found->physical;
    return true;
}

bool DatabaseResolver::IsTextSignal(const std::string& signal) const
{
    SignalRef found = Find(signal, nullptr);
    return found.signal != nullptr && (found.signal->type == kSignalStr || found.message->kind == kStringPayload);
}

bool DatabaseResolver::ExtractText(const std::string& signal, const RecordedMessage& message, std::string* text) const
{
    const DecodedSignal* found = DecodedSignalOf(signal, message);
    if (found == nullptr || !found->isText)
        return false;
    *text = found->text;
    return true;
}

bool DatabaseResolver::EncodeSignal(const std::string& signal, double value, RecordedMessage* message,
                                    std::string* error) const
{
    SignalRef found = Find(signal, error);
    if (found.signal == nullptr)
        return false;
    message->code = found.message->code;
    message->kind = found.message->kind;
    message->value = 0;
    message->bytes.clear();
    if (found.message->kind == kValueMessage) {
        SignalRaw raw;
        if (!EncodePhysical(*found.signal, value, &raw, error))
            return false;
        message->value = ValueWord(raw);
        return true;
    }
    if (found.message->kind != kArrayPayload || found.signal->type == kSignalStr) {
        *error = FormatText(N_("%s is text: post it with its text, not a number"), signal.c_str());
        return false;
    }
    char number[40];
    snprintf(number, sizeof number, "%.17g", value);
    std::vector<std::string> assignments(1, found.signal->fieldName + "=" + number);
    return BuildArrayPayload(*found.message, assignments, std::string(), &message->bytes, error);
}

const std::vector<DecodedSignal>& DatabaseResolver::Decoded(const RecordedMessage& message) const
{
    if (haveDecoded_ && decodedMessage_.code == message.code && decodedMessage_.value == message.value &&
        decodedMessage_.bytes == message.bytes)
        return decoded_;
    decoded_.clear();
    decodedMessage_ = message;
    haveDecoded_ = true;
    if (const SignalMessage* described = database_.FindCode(message.code))
        DecodeMessage(*described, message.value, message.bytes, pages_, &decoded_);
    return decoded_;
}

bool DatabaseResolver::ComparisonCanChange(const Predicate& predicate, std::string* why) const
{
    return ComparisonWithinRange(predicate, database_, why);
}

bool ComparisonWithinRange(const Predicate& predicate, const SignalDatabase& database, std::string* why)
{
    const SignalRef found = database.FindSignal(predicate.signal);
    if (predicate.signal.empty() || found.signal == nullptr || predicate.textSignal)
        return true;
    const Signal& signal = *found.signal;
    if (signal.type == kSignalStr || IsFloatType(signal.type))
        return true;
    int64_t lowest, highest;
    signal.RawLimits(&lowest, &highest);
    // A u64's highest raw value is beyond RawLimits' int64_t.
    const double top = signal.type == kSignalU64 ? 18446744073709551615.0 : static_cast<double>(highest);
    double low = static_cast<double>(lowest) * signal.scale + signal.offset;
    double high = top * signal.scale + signal.offset;
    if (low > high)
        std::swap(low, high);
    const double value = predicate.operand;
    bool never = false, always = false;
    switch (predicate.op) {
    case kPredicateEq: never = value < low || value > high; break;
    case kPredicateNe: always = value < low || value > high; break;
    case kPredicateLt: never = value <= low; break;
    case kPredicateLe: never = value < low; break;
    case kPredicateGt: never = value >= high; break;
    case kPredicateGe: never = value > high; break;
    default: break;
    }
    if (!never && !always)
        return true;
    const std::string comparison = predicate.signal + " " + PredicateOpName(predicate.op) + FormatText(" %.15g", value);
    *why = FormatText(never ? N_("%s takes %.15g to %.15g: %s never holds") : N_("%s takes %.15g to %.15g: %s always holds"),
                      signal.name.c_str(), low, high, comparison.c_str());
    return false;
}
