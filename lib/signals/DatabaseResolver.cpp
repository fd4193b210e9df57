#include "signals/DatabaseResolver.h"

#include <stdio.h>

#include <vector>

#include "common/ClosestWord.h"

SignalRef DatabaseResolver::Find(const std::string& name, std::string* error) const
{
    SignalRef found = database_.FindSignal(name);
    if (found.signal == nullptr && error != nullptr) {
        std::vector<std::string> names;
        for (const SignalMessage& message : database_.Messages())
            for (const Signal& signal : message.signals)
                names.push_back(signal.name);
        const std::string meant = ClosestWord(name, names);
        *error = "no signal '" + name + "'" + (meant.empty() ? "" : "; did you mean '" + meant + "'?");
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
        *error = signal + " has no value named '" + enumName + "'" +
                 (meant.empty() ? "" : "; did you mean '" + meant + "'?");
        return false;
    }
    *value = static_cast<double>(raw) * found.signal->scale + found.signal->offset;
    return true;
}

bool DatabaseResolver::ExtractSignal(const std::string& signal, const RecordedMessage& message, double* value) const
{
    SignalRef found = Find(signal, nullptr);
    if (found.signal == nullptr || found.message->code != message.code)
        return false;
    for (const DecodedSignal& each : Decoded(message)) {
        if (each.signal != found.signal)
            continue;
        if (each.missing || each.isText)
            return false;
        *value = each.physical;
        return true;
    }
    return false;
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
        *error = signal + " is text: post it with its text, not a number";
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
