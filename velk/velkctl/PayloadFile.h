// The bytes of send-str --file: a file, or standard input for "-".
#pragma once
#include <stddef.h>
#include <string>

// Reads the whole file in binary. False, with a message on stderr, when it
// cannot be read or holds more than maxBytes.
bool ReadPayloadFile(const std::string& path, size_t maxBytes, std::string* bytes);
