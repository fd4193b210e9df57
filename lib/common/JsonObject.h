// A strict reader of one JSON object on one line (RFC 8259, UTF-8), for
// lines that come from the network. Only the top level is kept: strings
// decoded, numbers as written, nested values checked and kept as their text
// (to be read again by whoever wants them). Pure logic.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

enum JsonType { kJsonString, kJsonNumber, kJsonTrue, kJsonFalse, kJsonNull, kJsonNested };

struct JsonMember {
    std::string key;
    JsonType type;
    std::string text;       // a string decoded to UTF-8, a number's literal, a nested value's JSON as written; empty for the others
};

// Arrays and objects nest at most this deep inside the top-level object.
enum { kMaxJsonDepth = 16 };

// The members in order; false with what is wrong and where (byte column,
// from 1) in *error: not one object, trailing text, bad escapes, control
// characters, invalid UTF-8, too deep, a repeated key.
bool ParseJsonObject(const char* text, size_t length, std::vector<JsonMember>* members, std::string* error);

// The member named key; null when there is none.
const JsonMember* FindJsonMember(const std::vector<JsonMember>& members, const char* key);
