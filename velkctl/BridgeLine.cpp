#include "velkctl/BridgeLine.h"

#include <inttypes.h>

#include <vector>

#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "common/JsonObject.h"
#include "formats/RecordLine.h"

namespace {

const size_t kMaxNameLength = 64;
const uint64_t kMaxSeq = 1ULL << 53;   // exact in any JSON reader's double

// A JSON integer without fraction or exponent, within [low, high].
bool Integer(const JsonMember& member, int64_t low, uint64_t high, int64_t* result)
{
    if (member.type != kJsonNumber)
        return false;
    const std::string& text = member.text;
    bool negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    for (size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || magnitude > (UINT64_MAX - 9) / 10)
            return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (text.size() == (negative ? 1u : 0u))
        return false;
    if (negative) {
        if (magnitude == 0 || low >= 0 || magnitude - 1 > static_cast<uint64_t>(-(low + 1)))
            return false;
        *result = -static_cast<int64_t>(magnitude - 1) - 1;
        return true;
    }
    if (magnitude > high || static_cast<int64_t>(magnitude) < low)
        return false;
    *result = static_cast<int64_t>(magnitude);
    return true;
}

std::string WrongType(const char* key, const char* what)
{
    return FormatText(N_("\"%s\" must be %s"), key, what);
}

} // namespace

bool IsBridgeName(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    for (char c : name) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == '.' || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}

std::string FormatBridgeLine(const std::string& jsonObject, const std::string& origin, const std::string& run,
                             uint64_t seq)
{
    std::string line = jsonObject.substr(0, jsonObject.size() - 1);   // up to its closing brace
    line += FormatText(",\"origin\":\"%s\",\"run\":\"%s\",\"seq\":%" PRIu64 "}", origin.c_str(), run.c_str(), seq);
    return line;
}

bool ParseBridgeLine(const char* text, size_t length, BridgeMessage* message, std::string* error)
{
    std::vector<JsonMember> members;
    return ParseJsonObject(text, length, &members, error) && ReadBridgeMembers(members, message, error);
}

bool ReadBridgeMembers(const std::vector<JsonMember>& members, BridgeMessage* message, std::string* error)
{
    const JsonMember* origin = NULL;
    const JsonMember* run = NULL;
    const JsonMember* seq = NULL;
    const JsonMember* code = NULL;
    const JsonMember* kind = NULL;
    const JsonMember* value = NULL;
    const JsonMember* bytes = NULL;
    const JsonMember* payloadLength = NULL;
    const JsonMember* expired = NULL;
    const struct { const char* key; const JsonMember** slot; } kKnown[] = {
        { "origin", &origin }, { "run", &run }, { "seq", &seq }, { "code", &code }, { "kind", &kind },
        { "value", &value }, { "bytes", &bytes }, { "length", &payloadLength }, { "expired", &expired },
    };
    for (const JsonMember& member : members)
        for (const auto& known : kKnown)
            if (member.key == known.key)
                *known.slot = &member;

    if (origin == NULL || origin->type != kJsonString || !IsBridgeName(origin->text)) {
        *error = origin == NULL ? N_("no \"origin\"") : WrongType("origin", N_("a name of 1 to 64 of A-Z a-z 0-9 _ . -"));
        return false;
    }
    message->origin = origin->text;
    if ((run == NULL) != (seq == NULL)) {
        *error = N_("\"run\" and \"seq\" come together or not at all");
        return false;
    }
    message->run.clear();
    message->seq = 0;
    if (run != NULL) {
        int64_t number = 0;
        if (run->type != kJsonString || !IsBridgeName(run->text)) {
            *error = WrongType("run", N_("a name of 1 to 64 of A-Z a-z 0-9 _ . -"));
            return false;
        }
        if (!Integer(*seq, 1, kMaxSeq, &number)) {
            *error = WrongType("seq", N_("an integer from 1 to 2^53"));
            return false;
        }
        message->run = run->text;
        message->seq = static_cast<uint64_t>(number);
    }

    if (code == NULL || code->type != kJsonString || !ParseHexCode(code->text, &message->code)) {
        *error = code == NULL ? N_("no \"code\"") : WrongType("code", N_("a string of 8 hex digits"));
        return false;
    }
    if (kind == NULL || kind->type != kJsonString) {
        *error = kind == NULL ? N_("no \"kind\"") : WrongType("kind", N_("a string"));
        return false;
    }
    message->kind = ClassifyCode(message->code);
    if (kind->text != MessageKindName(message->kind)) {
        bool known = kind->text == "value" || kind->text == "string" || kind->text == "array";
        *error = known ? FormatText(N_("kind \"%s\" does not fit code %08x, a %s code"), kind->text.c_str(),
                                    static_cast<unsigned>(message->code), MessageKindName(message->kind))
                       : N_("unknown kind: expected \"value\", \"string\" or \"array\"");
        return false;
    }
    if (expired != NULL && expired->type != kJsonTrue && expired->type != kJsonFalse) {
        *error = WrongType("expired", N_("true or false"));
        return false;
    }
    message->expired = expired != NULL && expired->type == kJsonTrue;

    message->value = 0;
    message->bytes.clear();
    if (message->kind == kValueMessage) {
        int64_t number = 0;
        if (value == NULL || bytes != NULL) {
            *error = N_("a value message has \"value\" and no \"bytes\"");
            return false;
        }
        if (!Integer(*value, INT32_MIN, UINT32_MAX, &number)) {
            *error = WrongType("value", N_("an integer from -2147483648 to 4294967295"));
            return false;
        }
        message->value = static_cast<int32_t>(static_cast<uint32_t>(number));
        return true;
    }
    if (value != NULL || (bytes == NULL && !message->expired)) {
        *error = N_("a payload message has \"bytes\" and no \"value\"");
        return false;
    }
    if (bytes != NULL) {
        if (bytes->type != kJsonString) {
            *error = WrongType("bytes", N_("a string of hex digit pairs"));
            return false;
        }
        if (!ParseHexBytes(bytes->text, &message->bytes, error))
            return false;
    }
    int64_t stated = 0;
    if (payloadLength != NULL &&
        (!Integer(*payloadLength, 0, kMaxRecordedPayload, &stated) || static_cast<size_t>(stated) != message->bytes.size())) {
        *error = FormatText(N_("\"length\" is not the %zu bytes given"), message->bytes.size());
        return false;
    }
    return true;
}
