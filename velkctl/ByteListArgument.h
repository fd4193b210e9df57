// The bytes of velkctl send-arr, strictly: scripts get an error, never a
// guess. Pure logic. (The console's array field keeps its lenient parser.)
#pragma once
#include <string>

#include "common/ArrayText.h"

// Tokens of 1 or 2 hex digits, each one byte, separated by blanks (spaces or
// tabs; blanks before the first and after the last are allowed); 1 to
// kMaxArrayBytes of them. Returns the count of bytes, or -1 with a message
// naming the bad token in *error (and bytes unspecified).
int ParseByteListArgument(const std::string& text, unsigned char bytes[kMaxArrayBytes], std::string* error);
