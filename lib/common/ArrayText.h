// The array field: hexadecimal bytes separated by single spaces. Pure logic.
#pragma once

enum { kMaxArrayBytes = 20 };

// Parses text into bytes (low 8 bits of each token's hex prefix). The count is
// the number of spaces plus one, capped at kMaxArrayBytes; an empty token
// gives a 0 byte. An empty (or null) text gives 0 bytes.
int ParseArrayText(const char* text, unsigned char bytes[kMaxArrayBytes]);
