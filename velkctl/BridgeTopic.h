// velkctl bridge --topic-prefix: lines as `mosquitto_sub -v` prints them,
// "TOPIC PAYLOAD", where the topic vouches for the origin. With a broker
// ACL that lets each rig write only its own topic, a line claiming another
// rig's origin is then told apart from that rig's own. Pure logic.
#pragma once
#include <stddef.h>
#include <string>

// A prefix the option takes: ends with '/', no MQTT wildcard, space or
// control byte (mosquitto_sub -v would print none of them in a topic of it).
bool IsTopicPrefix(const std::string& prefix);

// Splits at the first space: *topic before it, the payload from *payloadAt.
// False when the line has no space (mosquitto_sub without -v).
bool SplitTopicLine(const char* text, size_t length, std::string* topic, size_t* payloadAt);

// Whether topic may carry a line of origin: it is the prefix and one more
// level, and that level is the origin. More levels are refused too, since
// a broker pattern like velk/%c lets a client with "/" in its id write below
// another rig's name. False with why in *error.
bool TopicCarriesOrigin(const std::string& topic, const std::string& prefix, const std::string& origin,
                        std::string* error);
