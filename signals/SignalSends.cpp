#include "signals/SignalSends.h"

#include "common/ClosestWord.h"

namespace {

// "no value signal 'motr.speed' (did you mean 'motor.speed'?)", among the
// messages of kind.
std::string NotFound(const SignalDatabase& database, const std::string& name, MessageKind kind, bool bySignal)
{
    std::vector<std::string> names;
    for (const SignalMessage& message : database.Messages()) {
        if (message.kind != kind)
            continue;
        if (bySignal) {
            for (const Signal& signal : message.signals)
                names.push_back(signal.name);
        } else {
            names.push_back(message.name);
        }
    }
    const std::string meant = ClosestWord(name, names);
    return std::string(kind == kValueMessage ? "no value signal '" : "no array message '") + name + "' in the signal file" +
           (meant.empty() ? "" : " (did you mean '" + meant + "'?)");
}

// "an array message"
std::string KindOf(MessageKind kind)
{
    return std::string(kind == kArrayPayload ? "an " : "a ") + MessageKindName(kind) + " message";
}

const char* SendFor(MessageKind kind)
{
    return kind == kValueMessage ? "post" : kind == kStringPayload ? "send-str" : "send-arr";
}

} // namespace

bool EncodeNamedValue(const SignalDatabase& database, const std::string& name, const std::string& value,
                      uint32_t* code, int32_t* word, std::string* error)
{
    SignalRef found = database.FindSignal(name);
    if (found.signal == nullptr) {
        const SignalMessage* message = database.FindMessage(name);
        *error = message != nullptr ? name + " is " + KindOf(message->kind) + ": use " + SendFor(message->kind)
                                    : NotFound(database, name, kValueMessage, true);
        return false;
    }
    if (found.message->kind != kValueMessage) {
        *error = name + " is a signal of " + KindOf(found.message->kind) + ", " + found.message->name + ": use " +
                 SendFor(found.message->kind);
        return false;
    }
    SignalRaw raw;
    if (!EncodeSignalText(*found.signal, value, &raw, error))
        return false;
    *code = found.message->code;
    *word = ValueWord(raw);
    return true;
}

bool EncodeNamedArray(const SignalDatabase& database, const std::string& name,
                      const std::vector<std::string>& assignments, const std::string& base, TextEncoder gbk,
                      uint32_t* code, std::string* payload, std::string* error)
{
    const SignalMessage* message = database.FindMessage(name);
    if (message == nullptr) {
        *error = NotFound(database, name, kArrayPayload, false);
        return false;
    }
    if (message->kind != kArrayPayload) {
        *error = name + " is " + KindOf(message->kind) + ": use " + SendFor(message->kind);
        return false;
    }
    if (!BuildArrayPayload(*message, assignments, base, payload, error, gbk))
        return false;
    *code = message->code;
    return true;
}
