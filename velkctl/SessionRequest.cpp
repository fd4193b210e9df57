#include "velkctl/SessionRequest.h"
#include "velkctl/SimulationRequest.h"

#include <string.h>

#include <vector>

#include "common/Escapes.h"
#include "protocol/MessageCode.h"
#include "common/FormatText.h"
#include "formats/CodeArgument.h"
#include "formats/Duration.h"
#include "common/JsonObject.h"
#include "common/WordList.h"
#include "formats/NumberArgument.h"
#include "formats/RecordLine.h"
#include "formats/Schedule.h"

namespace {

// In enum order; the fields each op takes beside "id" and "op".
struct OpInfo { const char* name; const char* fields; };
const OpInfo kOps[] = {
    { "post", "code signal value text bytes" },
    { "expect", "match within" },
    { "collect", "code signal over max" },
    { "rate", "code signal over" },
    { "var-get", "index" },
    { "var-set", "index value" },
    { "clients", "" },
    { "counters", "" },
    { "subscribe", "code signal" },
    { "unsubscribe", "sub" },
    { "recent", "max" },
    { "replay", "file speed" },
    { "quit", "" },
};
const size_t kOpCount = sizeof kOps / sizeof kOps[0];

class RequestReader {
public:
    RequestReader(const SignalResolver* signals, SessionRequest* request) : signals_(signals), request_(request) {}

    bool Read(const std::string& line)
    {
        if (line.size() > kMaxRequestBytes)
            return Fail(FormatText("a request of %zu bytes is too long (at most %zu)", line.size(),
                                   static_cast<size_t>(kMaxRequestBytes)));
        if (!ParseJsonObject(line.data(), line.size(), &members_, &error_))
            return false;
        if (!Id() || !Op())
            return false;
        const OpInfo& info = kOps[request_->op];
        for (const JsonMember& member : members_) {
            if (member.key != "id" && member.key != "op" && !ContainsWord(SplitWords(info.fields), member.key))
                return Fail(std::string(info.name) + " takes no " + QuoteInput(member.key) + " (" +
                            (*info.fields != '\0' ? std::string("it takes ") + info.fields : "it takes no fields") +
                            ")");
        }
        switch (request_->op) {
        case kSessionPost: return Post();
        case kSessionExpect: return Expect();
        case kSessionCollect: return Target(true, true) && Duration("over", true) && Max(kDefaultCollectMax, kMaxCollectMax);
        case kSessionRecent: return Max(kDefaultRecentMax, kMaxRecentMax);
        case kSessionRate: return Target(true, true) && Duration("over", true);
        case kSessionVarGet: return Index();
        case kSessionVarSet: return Index() && Value(&request_->value);
        case kSessionSubscribe: return Target(true, true);
        case kSessionUnsubscribe: return Whole("sub", 1, kMaxSessionId, true, &request_->sub);
        case kSessionReplay: return Replay();
        case kSessionClients:
        case kSessionCounters:
        case kSessionQuit: return true;
        }
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    bool Id()
    {
        const JsonMember* id = Find("id");
        if (id == nullptr)
            return Fail("no \"id\": every request has one, {\"id\":1,\"op\":\"counters\"}");
        uint64_t value = 0;
        if (!Whole("id", 0, kMaxSessionId, true, &value))
            return false;
        request_->hasId = true;
        request_->id = value;
        return true;
    }

    bool Op()
    {
        std::string name;
        if (!String("op", true, &name))
            return false;
        for (size_t i = 0; i < kOpCount; ++i) {
            if (name == kOps[i].name) {
                request_->op = static_cast<SessionOp>(i);
                return true;
            }
        }
        std::string all;
        for (const OpInfo& info : kOps)
            all += std::string(all.empty() ? "" : " ") + info.name;
        // The session also runs the simulation's requests (velkctl/SimulationRequest.h).
        return Fail("unknown op " + QuoteInput(name) + " (expected one of " + all + " " + SimulationOpNames() + ")");
    }

    bool Post()
    {
        if (!Target(false, true))
            return false;
        const char* given[] = { "value", "text", "bytes" };
        int count = 0;
        for (const char* key : given)
            count += Find(key) != nullptr;
        if (count != 1)
            return Fail(count == 0 ? "post needs \"value\", \"text\" or \"bytes\""
                                   : "post takes one of \"value\", \"text\" and \"bytes\", not several");
        const uint32_t code = request_->pattern.code;
        if (!request_->signal.empty() && ClassifyCode(code) == kStringPayload) {
            if (Find("text") == nullptr)
                return Fail(request_->signal + " is a string message: post it by \"text\"");
            return Text();
        }
        if (!request_->signal.empty()) {
            if (Find("value") == nullptr)
                return Fail("a signal is posted by \"value\" (a number or a name of its enum)");
            const JsonMember* member = Find("value");
            if (member->type != kJsonNumber && member->type != kJsonString)
                return Fail("\"value\" must be a number or a name of the signal's enum");
            std::string why;
            if (!ParseSignalValue(member->text, request_->signal, *signals_, &request_->signalValue, &why))
                return Fail("\"value\": " + why);
            request_->postKind = kPostValue;
            return true;
        }
        if (Find("value") != nullptr) {
            if (IsPayloadShapedValue(code))
                return Fail(FormatText("code %08x carries a payload: post it with \"text\" or \"bytes\"",
                                       static_cast<unsigned>(code)));
            request_->postKind = kPostValue;
            return Value(&request_->value);
        }
        if (Find("text") != nullptr) {
            if (ClassifyCode(code) != kStringPayload)
                return Fail(FormatText("code %08x is no string code: \"text\" goes to a STR code (30000200 and a "
                                       "channel)", static_cast<unsigned>(code)));
            return Text();
        }
        if (ClassifyCode(code) == kValueMessage)
            return Fail(FormatText("code %08x is a value code: \"bytes\" go to a STR or ARR code",
                                   static_cast<unsigned>(code)));
        request_->postKind = kPostBytes;
        std::string hex, why;
        if (!String("bytes", true, &hex))
            return false;
        if (!ParseHexBytes(hex, &request_->payload, &why))
            return Fail("\"bytes\": " + why);
        return true;
    }

    bool Replay()
    {
        if (!String("file", true, &request_->file))
            return false;
        if (request_->file.empty() || request_->file == "-")
            return Fail("\"file\" names a recording (its file, or a series by its first part, a glob or its "
                        "folder); standard input holds the requests");
        const JsonMember* speed = Find("speed");
        if (speed != nullptr && (speed->type != kJsonNumber || !ParseReplaySpeed(speed->text, &request_->speed)))
            return Fail(FormatText("\"speed\" must be 0 (as fast as the bus takes them) or a number from %g to %.0f",
                                   kMinReplaySpeed, kMaxReplaySpeed));
        return true;
    }

    bool Text()
    {
        request_->postKind = kPostText;
        if (!String("text", true, &request_->payload))
            return false;
        if (request_->payload.size() > kMaxRecordedPayload)
            return Fail(FormatText("\"text\" of %zu bytes is too long (at most %d)", request_->payload.size(),
                                   static_cast<int>(kMaxRecordedPayload)));
        return true;
    }

    bool Expect()
    {
        std::string text, why;
        if (!String("match", true, &text))
            return false;
        if (!ParsePredicate(text, signals_, &request_->match, &why))
            return Fail("\"match\" " + QuoteInput(text) + ": " + why);
        return Duration("within", true);
    }

    // "code" or "signal", one of them.
    bool Target(bool maskAllowed, bool required)
    {
        const JsonMember* code = Find("code");
        const JsonMember* signal = Find("signal");
        if (code != nullptr && signal != nullptr)
            return Fail("give \"code\" or \"signal\", not both");
        if (code == nullptr && signal == nullptr)
            return !required || Fail(std::string(kOps[request_->op].name) + " needs \"code\" or \"signal\"");
        std::string text, why;
        if (code != nullptr) {
            if (!String("code", true, &text))
                return false;
            if (!maskAllowed && text.find('/') != std::string::npos)
                return Fail("post takes one code, without a mask");
            if (!ParseCodePattern(text, &request_->pattern, &why))
                return Fail("\"code\": " + why);
            return true;
        }
        if (!String("signal", true, &request_->signal))
            return false;
        if (signals_ == nullptr)
            return Fail("\"signal\" needs a signal file (velkctl session --signals FILE)");
        request_->pattern.mask = 0xFFFFFFFF;
        if (!signals_->ResolveSignal(request_->signal, &request_->pattern.code, &why))
            return Fail("\"signal\": " + why);
        return true;
    }

    // A number of seconds, or a string in velkctl's duration grammar ("100ms").
    bool Duration(const char* key, bool required)
    {
        const JsonMember* member = Find(key);
        if (member == nullptr)
            return !required || Fail(std::string(kOps[request_->op].name) + " needs \"" + key + "\"");
        std::string why;
        if (member->type != kJsonNumber && member->type != kJsonString)
            return Fail(std::string("\"") + key + "\" must be seconds or a duration like \"100ms\"");
        if (!ParseDuration(member->text, &request_->micros, &why))
            return Fail(std::string("\"") + key + "\" " + QuoteInput(member->text) + ": " + why);
        if (request_->micros == 0)
            return Fail(std::string("\"") + key + "\" must be more than 0");
        return true;
    }

    bool Max(uint64_t byDefault, uint64_t most)
    {
        uint64_t max = byDefault;
        if (!Whole("max", 1, most, false, &max))
            return false;
        request_->max = static_cast<size_t>(max);
        return true;
    }

    bool Index()
    {
        uint64_t index = 0;
        if (!Whole("index", 0, kSessionVariables - 1, true, &index))
            return false;
        request_->index = static_cast<unsigned>(index);
        return true;
    }

    // A data word: -2147483648 to 4294967295, the high half as its 32 bits.
    bool Value(int32_t* value)
    {
        const JsonMember* member = Find("value");
        int64_t parsed = 0;
        if (member == nullptr)
            return Fail(std::string(kOps[request_->op].name) + " needs \"value\"");
        if (member->type != kJsonNumber || !ParseNumberArgument(member->text.c_str(), INT32_MIN, UINT32_MAX, &parsed))
            return Fail("\"value\" must be a whole number from -2147483648 to 4294967295");
        *value = static_cast<int32_t>(static_cast<uint32_t>(parsed));
        return true;
    }

    bool Whole(const char* key, uint64_t minimum, uint64_t maximum, bool required, uint64_t* value)
    {
        const JsonMember* member = Find(key);
        if (member == nullptr)
            return !required || Fail(std::string(kOps[request_->op].name) + " needs \"" + key + "\"");
        int64_t parsed = 0;
        if (member->type != kJsonNumber ||
            !ParseNumberArgument(member->text.c_str(), static_cast<int64_t>(minimum), static_cast<int64_t>(maximum),
                                 &parsed))
            return Fail(FormatText("\"%s\" must be a whole number from %llu to %llu", key,
                                   static_cast<unsigned long long>(minimum), static_cast<unsigned long long>(maximum)));
        *value = static_cast<uint64_t>(parsed);
        return true;
    }

    bool String(const char* key, bool required, std::string* value)
    {
        const JsonMember* member = Find(key);
        if (member == nullptr)
            return !required || Fail(std::string("no \"") + key + "\"");
        if (member->type != kJsonString)
            return Fail(std::string("\"") + key + "\" must be a string");
        *value = member->text;
        return true;
    }

    const JsonMember* Find(const char* key) const { return FindJsonMember(members_, key); }

    bool Fail(const std::string& what)
    {
        error_ = what;
        return false;
    }

    const SignalResolver* signals_;
    SessionRequest* request_;
    std::vector<JsonMember> members_;
    std::string error_;
};

} // namespace

const char* SessionOpName(SessionOp op)
{
    return kOps[op].name;
}

bool ParseSessionRequest(const std::string& line, uint64_t lineNumber, const SignalResolver* signals,
                         SessionRequest* request, std::string* error)
{
    *request = SessionRequest();
    RequestReader reader(signals, request);
    if (reader.Read(line))
        return true;
    *error = FormatText("line %llu: ", static_cast<unsigned long long>(lineNumber)) + reader.Error();
    return false;
}
