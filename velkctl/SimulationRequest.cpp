#include "velkctl/SimulationRequest.h"

#include <string.h>

#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/JsonObject.h"
#include "common/WordList.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"
#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionRequest.h"

namespace {

// In enum order; the fields each op takes beside "id" and "op".
struct OpInfo { const char* name; const char* fields; };
const OpInfo kOps[] = {
    { "simulate", "only except" },
    { "set", "signal value" },
    { "start", "message period" },
    { "stop", "message" },
    { "period", "message period" },
    { "send", "message values" },
    { "describe", "message" },
};

class Reader {
public:
    explicit Reader(SimulationRequest* request) : request_(request) {}

    SimulationParse Read(const std::string& line, bool idRequired)
    {
        if (line.size() > kMaxRequestBytes) {
            error_ = FormatText("a request of %zu bytes is too long (at most %d)", line.size(),
                                static_cast<int>(kMaxRequestBytes));
            return kSimulationNotOne;
        }
        if (!ParseJsonObject(line.data(), line.size(), &members_, &error_))
            return kSimulationNotOne;
        const JsonMember* op = Find("op");
        size_t index = 0;
        while (op != nullptr && op->type == kJsonString && index < sizeof kOps / sizeof kOps[0] &&
               op->text != kOps[index].name)
            ++index;
        if (op == nullptr || op->type != kJsonString || index == sizeof kOps / sizeof kOps[0]) {
            error_ = op == nullptr ? "no \"op\""
                                   : "unknown op " + QuoteInput(op->text) + " (expected one of " + SimulationOpNames() + ")";
            return kSimulationNotOne;
        }
        request_->op = static_cast<SimulationOp>(index);
        return Id(idRequired) && Fields() ? kSimulationRead : kSimulationRefused;
    }

    const std::string& Error() const { return error_; }

private:
    bool Id(bool required)
    {
        const JsonMember* id = Find("id");
        if (id == nullptr)
            return !required || Fail("no \"id\": every request has one, {\"id\":1,\"op\":\"describe\",...}");
        int64_t value = 0;
        if (id->type != kJsonNumber ||
            !ParseNumberArgument(id->text.c_str(), 0, static_cast<int64_t>(kMaxSessionId), &value))
            return Fail(FormatText("\"id\" must be a whole number from 0 to %llu",
                                   static_cast<unsigned long long>(kMaxSessionId)));
        request_->hasId = true;
        request_->id = static_cast<uint64_t>(value);
        return true;
    }

    bool Fields()
    {
        const OpInfo& info = kOps[request_->op];
        for (const JsonMember& member : members_) {
            if (member.key != "id" && member.key != "op" && !ContainsWord(SplitWords(info.fields), member.key))
                return Fail(std::string(info.name) + " takes no " + QuoteInput(member.key) + " (it takes " +
                            info.fields + ")");
        }
        switch (request_->op) {
        case kSimulate:
            return Names("only", &request_->only) && Names("except", &request_->except) &&
                   (request_->only.empty() || request_->except.empty() || Fail("give \"only\" or \"except\", not both"));
        case kSimulationSet:
            return String("signal", true, &request_->signal) && Value(Find("value"), "value", &request_->value);
        case kSimulationStart:
            return String("message", false, &request_->message) && Period(false);
        case kSimulationStop:
            return String("message", false, &request_->message);
        case kSimulationPeriod:
            return String("message", true, &request_->message) && Period(true);
        case kSimulationSend:
            return String("message", true, &request_->message) && Values();
        case kSimulationDescribe:
            return String("message", true, &request_->message);
        }
        return true;
    }

    // A value as set takes it: a number as written, a string, true or false.
    bool Value(const JsonMember* member, const std::string& what, std::string* value)
    {
        if (member == nullptr)
            return Fail(std::string(kOps[request_->op].name) + " needs \"" + what + "\"");
        switch (member->type) {
        case kJsonNumber:
        case kJsonString: *value = member->text; return true;
        case kJsonTrue: *value = "true"; return true;
        case kJsonFalse: *value = "false"; return true;
        default: return Fail("\"" + what + "\" must be a number, a string, true or false");
        }
    }

    bool Values()
    {
        const JsonMember* member = Find("values");
        if (member == nullptr)
            return true;
        std::vector<JsonMember> fields;
        std::string why;
        if (member->type != kJsonNested || member->text.empty() || member->text[0] != '{')
            return Fail("\"values\" must be an object of field names and values, {\"mode\":\"auto\"}");
        // Checked whole with the line; only a key given twice is found when its members are read.
        if (!ParseJsonObject(member->text.data(), member->text.size(), &fields, &why))
            return Fail("\"values\": " + why);
        for (const JsonMember& field : fields) {
            std::string value;
            if (!Value(&field, "values\": \"" + field.key, &value))
                return false;
            request_->values.push_back(std::make_pair(field.key, value));
        }
        return true;
    }

    bool Period(bool required)
    {
        const JsonMember* member = Find("period");
        if (member == nullptr)
            return !required || Fail(std::string(kOps[request_->op].name) + " needs \"period\"");
        std::string why;
        if (member->type != kJsonNumber && member->type != kJsonString)
            return Fail("\"period\" must be seconds or a duration like \"100ms\"");
        if (!ParseDuration(member->text, &request_->periodMicros, &why))
            return Fail("\"period\" " + QuoteInput(member->text) + ": " + why);
        return request_->periodMicros > 0 || Fail("\"period\" must be more than 0");
    }

    bool Names(const char* key, std::vector<std::string>* names)
    {
        std::string text;
        if (!String(key, false, &text))
            return false;
        *names = SplitWords(text);
        return true;
    }

    bool String(const char* key, bool required, std::string* value)
    {
        const JsonMember* member = Find(key);
        if (member == nullptr)
            return !required || Fail(std::string(kOps[request_->op].name) + " needs \"" + key + "\"");
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

    SimulationRequest* request_;
    std::vector<JsonMember> members_;
    std::string error_;
};

} // namespace

std::string SimulationOpNames()
{
    std::string all;
    for (const OpInfo& info : kOps)
        all += std::string(all.empty() ? "" : " ") + info.name;
    return all;
}

SimulationParse ParseSimulationRequest(const std::string& line, uint64_t lineNumber, bool idRequired,
                                       SimulationRequest* request, std::string* error)
{
    *request = SimulationRequest();
    Reader reader(request);
    const SimulationParse parsed = reader.Read(line, idRequired);
    if (parsed != kSimulationRead)
        *error = FormatText("line %llu: ", static_cast<unsigned long long>(lineNumber)) + reader.Error();
    return parsed;
}

std::string FormatSimulationOk(const SimulationRequest& request, const std::string& members)
{
    return request.hasId ? FormatOkAnswer(request.id, members) : "{\"id\":null,\"ok\":true" + members + "}";
}

std::string FormatSimulationError(const SimulationRequest& request, const std::string& error)
{
    SessionRequest shell;   // what the session's error answer needs of it: the id
    shell.hasId = request.hasId;
    shell.id = request.id;
    return FormatErrorAnswer(shell, error);
}
