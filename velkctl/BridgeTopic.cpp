#include "velkctl/BridgeTopic.h"

#include <string.h>

#include "common/Escapes.h"

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

bool SplitTopicLine(const char* text, size_t length, std::string* topic, size_t* payloadAt)
{
    const void* space = memchr(text, ' ', length);
    if (space == NULL)
        return false;
    size_t at = static_cast<size_t>(static_cast<const char*>(space) - text);
    topic->assign(text, at);
    *payloadAt = at + 1;
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
