// The whole of a file velkctl reads (send-str --file, replay): a file, or
// standard input for "-", in binary.
#pragma once
#include <stddef.h>
#include <string>

// Reads at most maxBytes. Returns kExitOk, or after a message on stderr
// kExitIo when the file cannot be opened or read, kExitUsage when it holds
// more; that message gives tooLargeReason ("the most one message carries")
// as the reason for the limit.
int ReadInputFile(const std::string& path, size_t maxBytes, const char* tooLargeReason, std::string* bytes);
