#include "velkctl/BridgeTopic.h"

#include <vector>

#include "common/Escapes.h"
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
        *error = "no \"topic\" string";
        return false;
    }
    if (payloadMember == NULL || (payloadMember->type != kJsonString && payloadMember->type != kJsonNull)) {
        *error = "no \"payload\" string";
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
        *error = "topic " + QuoteInput(topic) + " is not under " + prefix;
        return false;
    }
    if (topic.compare(prefix.size(), std::string::npos, origin) != 0) {
        *error = "topic " + QuoteInput(topic) + " is not " + prefix + origin + ", the topic of its origin";
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
        *error = "its topic cannot be read (" + *error + "): expected the lines of mosquitto_sub -F %j";
        return kInputOffTopic;
    }
    // A topic that is no origin's is refused whatever its payload says.
    if (topic.compare(0, topicPrefix.size(), topicPrefix) != 0 || !IsBridgeName(topic.substr(topicPrefix.size()))) {
        *error = "topic " + QuoteInput(topic) + " is not " + topicPrefix + " and an origin";
        return kInputOffTopic;
    }
    if (!ParseBridgeLine(payload.data(), payload.size(), message, error))
        return kInputBad;
    if (!TopicCarriesOrigin(topic, topicPrefix, message->origin, error)) {
        *error = "origin " + message->origin + " refused: " + *error;
        return kInputOffTopic;
    }
    return kInputMessage;
}
