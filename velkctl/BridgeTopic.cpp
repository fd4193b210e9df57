#include "velkctl/BridgeTopic.h"

#include <vector>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "common/JsonObject.h"

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

InputLineVerdict ReadInputLine(const std::string& line, const std::string& topicPrefix, BridgeMessage* message,
                               std::string* error)
{
    if (topicPrefix.empty())
        return ParseBridgeLine(line.data(), line.size(), message, error) ? kInputMessage : kInputBad;
    std::string topic, payload;
    if (!ReadTopicLine(line.data(), line.size(), &topic, &payload, error)) {
        // The reason last: it may be a message of its own ("not JSON: ...").
        *error = std::string(N_("its topic cannot be read (expected the lines of mosquitto_sub -F %j)")) + ": " + *error;
        return kInputOffTopic;
    }
    // A topic that is no origin's is refused whatever its payload says.
    if (topic.compare(0, topicPrefix.size(), topicPrefix) != 0 || !IsBridgeName(topic.substr(topicPrefix.size()))) {
        *error = FormatText(N_("topic %s is not %s and an origin"), QuoteInput(topic).c_str(), topicPrefix.c_str());
        return kInputOffTopic;
    }
    if (!ParseBridgeLine(payload.data(), payload.size(), message, error))
        return kInputBad;
    if (!TopicCarriesOrigin(topic, topicPrefix, message->origin, error)) {
        *error = FormatText(N_("origin %s refused"), message->origin.c_str()) + ": " + *error;
        return kInputOffTopic;
    }
    return kInputMessage;
}
