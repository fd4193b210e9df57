// velkctl bridge --topic-prefix: lines as `mosquitto_sub -F %j` prints them,
// one JSON object holding the MQTT topic and the payload as JSON strings,
// so a topic with spaces, quotes or braces in it is read exactly. The topic
// vouches for the origin: with a broker ACL that lets each rig write only
// its own topic, a line claiming another rig's origin is told apart from
// that rig's own. Pure logic.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

#include "velkctl/BridgeLine.h"

// A prefix the option takes: ends with '/', no MQTT wildcard, space or
// control byte.
bool IsTopicPrefix(const std::string& prefix);

// One line of mosquitto_sub -F %j: *topic and the payload's text in
// *payload (a null payload, an empty MQTT message, as ""). False with why
// when the line is no such object: its topic cannot be read exactly.
bool ReadTopicLine(const char* text, size_t length, std::string* topic, std::string* payload, std::string* error);

// Whether topic may carry a line of origin: it is the prefix and one more
// level, and that level is the origin. More levels are refused too, since
// a broker pattern like velk/%c lets a client with "/" in its id write below
// another rig's name. False with why in *error.
bool TopicCarriesOrigin(const std::string& topic, const std::string& prefix, const std::string& origin,
                        std::string* error);

enum InputLineVerdict {
    kInputMessage,     // message holds the line's message
    kInputBad,         // the message is malformed
    kInputOffTopic,    // with a prefix: the topic cannot be read, or is not the origin's
};

// One message of an input line, or why there is none.
struct BridgeInput {
    InputLineVerdict verdict;
    BridgeMessage message;
    std::string error;
};

// One line of standard input as the bridge reads it: without a prefix the
// line is the bridge line; with one, the payload of a -F %j line whose
// topic is the prefix and the line's origin (a topic that is no origin's,
// like one holding a space, is refused before its payload is read).
// *items gets one item per message, in order: one for a plain line, one
// per element of a batch line (velkctl/BridgeBatch.h), each judged on its
// own, so a bad element costs only itself; one bad item when the line or
// its batch cannot be read at all.
// The topic is checked before the caller looks at the seq: a stranger's
// far-ahead seq must not make the rig's own lines look old.
void ReadInputLine(const std::string& line, const std::string& topicPrefix, std::vector<BridgeInput>* items);
