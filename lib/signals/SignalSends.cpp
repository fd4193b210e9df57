#include "signals/SignalSends.h"

#include "common/ClosestWord.h"
#include "common/Escapes.h"
#include "protocol/PayloadLimits.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"

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
    const char* what = kind == kValueMessage ? N_("no value signal '%s' in the signal file")
                       : kind == kStringPayload ? N_("no string message '%s' in the signal file")
                                                : N_("no array message '%s' in the signal file");
    const std::string notFound = FormatText(what, name.c_str());
    return meant.empty() ? notFound : FormatText(N_("%s (did you mean '%s'?)"), notFound.c_str(), meant.c_str());
}

// "motor.speed is a value message: use post"
std::string UseTheSend(const std::string& name, MessageKind kind)
{
    return FormatText(kind == kArrayPayload ? N_("%s is an array message: use send-arr")
                      : kind == kStringPayload ? N_("%s is a string message: use send-str")
                                               : N_("%s is a value message: use post"),
                      name.c_str());
}

// "an array message"
const char* KindOf(MessageKind kind)
{
    return kind == kArrayPayload ? N_("an array message") : kind == kStringPayload ? N_("a string message")
                                                                                   : N_("a value message");
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
        *error = message != nullptr ? UseTheSend(name, message->kind) : NotFound(database, name, kValueMessage, true);
        return false;
    }
    if (found.message->kind != kValueMessage) {
        *error = FormatText(N_("%s is a signal of %s, %s: use %s"), name.c_str(), KindOf(found.message->kind),
                            found.message->name.c_str(), SendFor(found.message->kind));
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
            *error = name + ": " + N_("only ASCII text can be written to a gbk message here");
            return false;
        }
        if (gbk != nullptr && !gbk(text, &bytes)) {
            *error = name + ": " + FormatText(N_("%s has a character GBK lacks"), QuoteInput(text).c_str());
            return false;
        }
    }
    if (bytes.size() > kMaxPayloadBytes) {
        *error = name + ": " + N_("the text would be longer than 64 KiB");
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
        *error = UseTheSend(name, message->kind);
        return nullptr;
    }
    return message;
}
