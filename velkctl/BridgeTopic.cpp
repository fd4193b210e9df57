#include "velkctl/BridgeTopic.h"

#include <vector>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/JsonObject.h"
#include "velkctl/BridgeBatch.h"

bool IsTopicPrefix(const std::string& prefix)
{
    if (prefix.empty() || prefix.back() != '/')
        return false;
    for (char c : prefix) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == '+' || c == '#')
            return false;
    }
    return true;
}

bool ReadTopicLine(const char* text, size_t length, std::string* topic, std::string* payload, std::string* error)
{
    std::vector<JsonMember> members;
    if (!ParseJsonObject(text, length, &members, error))
        return false;
    const JsonMember* topicMember = NULL;
    const JsonMember* payloadMember = NULL;
    for (const JsonMember& member : members) {
        if (member.key == "topic")
            topicMember = &member;
        else if (member.key == "payload")
            payloadMember = &member;
    }
    if (topicMember == NULL || topicMember->type != kJsonString) {
        *error = N_("no \"topic\" string");
        return false;
    }
    if (payloadMember == NULL || (payloadMember->type != kJsonString && payloadMember->type != kJsonNull)) {
        *error = N_("no \"payload\" string");
        return false;
    }
    *topic = topicMember->text;
    *payload = payloadMember->text;
    return true;
}

bool TopicCarriesOrigin(const std::string& topic, const std::string& prefix, const std::string& origin,
                        std::string* error)
{
    if (topic.compare(0, prefix.size(), prefix) != 0) {
        *error = FormatText(N_("topic %s is not under %s"), QuoteInput(topic).c_str(), prefix.c_str());
        return false;
    }
    if (topic.compare(prefix.size(), std::string::npos, origin) != 0) {
        *error = FormatText(N_("topic %s is not %s, the topic of its origin"), QuoteInput(topic).c_str(),
                            (prefix + origin).c_str());
        return false;
    }
    return true;
}

namespace {

void AddItem(InputLineVerdict verdict, const std::string& error, std::vector<BridgeInput>* items)
{
    items->push_back(BridgeInput{ verdict, BridgeMessage(), error });
}

// A payload's messages: a bridge line's one, or a batch's, each read alone.
void ReadPayload(const std::string& payload, std::vector<BridgeInput>* items)
{
    std::vector<JsonMember> members;
    std::string error;
    if (!ParseJsonObject(payload.data(), payload.size(), &members, &error)) {
        AddItem(kInputBad, error, items);
        return;
    }
    std::vector<std::string> lines;
    if (!BatchElements(members, &lines, &error)) {
        AddItem(kInputMessage, "", items);
        if (!ReadBridgeMembers(members, &items->back().message, &items->back().error))
            items->back().verdict = kInputBad;
        return;
    }
    if (lines.empty())
        AddItem(kInputBad, error, items);
    for (size_t i = 0; i < lines.size(); ++i) {
        AddItem(kInputMessage, "", items);
        BridgeInput& item = items->back();
        if (!ParseBridgeLine(lines[i].data(), lines[i].size(), &item.message, &item.error)) {
            item.verdict = kInputBad;
            item.error = FormatText(N_("batch message %zu: %s"), i + 1, item.error.c_str());
        }
    }
}

} // namespace

void ReadInputLine(const std::string& line, const std::string& topicPrefix, std::vector<BridgeInput>* items)
{
    items->clear();
    if (topicPrefix.empty()) {
        ReadPayload(line, items);
        return;
    }
    std::string topic, payload, error;
    if (!ReadTopicLine(line.data(), line.size(), &topic, &payload, &error)) {
        // The reason last: it may be a message of its own ("not JSON: ...").
        AddItem(kInputOffTopic,
                std::string(N_("its topic cannot be read (expected the lines of mosquitto_sub -F %j)")) + ": " + error,
                items);
        return;
    }
    // A topic that is no origin's is refused whatever its payload says.
    if (topic.compare(0, topicPrefix.size(), topicPrefix) != 0 || !IsBridgeName(topic.substr(topicPrefix.size()))) {
        AddItem(kInputOffTopic, FormatText(N_("topic %s is not %s and an origin"), QuoteInput(topic).c_str(),
                                           topicPrefix.c_str()),
                items);
        return;
    }
    ReadPayload(payload, items);
    for (BridgeInput& item : *items) {
        if (item.verdict == kInputMessage && !TopicCarriesOrigin(topic, topicPrefix, item.message.origin, &error)) {
            item.verdict = kInputOffTopic;
            item.error = FormatText(N_("origin %s refused"), item.message.origin.c_str()) + ": " + error;
        }
    }
}
