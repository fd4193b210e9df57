// The whole of a file velkctl reads (send-str --file, replay): a file, or
// standard input for "-", in binary.
#pragma once
#include <stddef.h>
#include <string>

// Reads at most maxBytes. False, with a message on stderr, when the file
// cannot be opened or read or holds more; the message then gives
// tooLargeReason ("the most one message carries") as the reason for the limit.
bool ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes);
