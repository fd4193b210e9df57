#include "signals/SignalSends.h"

#include "common/ClosestWord.h"
#include "protocol/PayloadLimits.h"

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
    const char* what = kind == kValueMessage ? "no value signal '" : kind == kStringPayload ? "no string message '"
                                                                                            : "no array message '";
    return what + name + "' in the signal file" + (meant.empty() ? "" : " (did you mean '" + meant + "'?)");
}

// "an array message"
std::string KindOf(MessageKind kind)
{
    return std::string(kind == kArrayPayload ? "an " : "a ") + MessageKindName(kind) + " message";
}

bool IsAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
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
    const SignalMessage* message = FindMessageToSend(database, name, kArrayPayload, error);
    if (message == nullptr)
        return false;
    if (!BuildArrayPayload(*message, assignments, base, payload, error, gbk))
        return false;
    *code = message->code;
    return true;
}

bool EncodeNamedText(const SignalDatabase& database, const std::string& name, const std::string& text,
                     TextEncoder gbk, uint32_t* code, std::string* payload, std::string* error)
{
    const SignalMessage* message = FindMessageToSend(database, name, kStringPayload, error);
    if (message == nullptr)
        return false;
    std::string bytes = text;
    if (message->signals.front().encoding != kEncodingUtf8) {
        if (gbk == nullptr && !IsAscii(text)) {
            *error = name + ": only ASCII text can be written to a gbk message here";
            return false;
        }
        if (gbk != nullptr && !gbk(text, &bytes)) {
            *error = name + ": '" + text + "' has a character GBK lacks";
            return false;
        }
    }
    if (bytes.size() > kMaxPayloadBytes) {
        *error = name + ": the text would be longer than 64 KiB";
        return false;
    }
    *code = message->code;
    *payload = bytes;
    return true;
}

const SignalMessage* FindMessageToSend(const SignalDatabase& database, const std::string& name, MessageKind kind,
                                       std::string* error)
{
    const SignalMessage* message = database.FindMessage(name);
    if (message == nullptr) {
        *error = NotFound(database, name, kind, false);
        return nullptr;
    }
    if (message->kind != kind) {
        *error = name + " is " + KindOf(message->kind) + ": use " + SendFor(message->kind);
        return nullptr;
    }
    return message;
}
