// The log-line formats, shared by the console and velkctl. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// Lines of the three send commands.
std::string FormatSentValue(uint32_t code, uint32_t value);                       // "%lx      %lx"
std::string FormatSentString(uint32_t code, const std::string& typedText);        // "%lx(%3d) %s"
std::string FormatSentArray(uint32_t code, const unsigned char* bytes, int count); // "%lx(%3d)" + " %02X"...

// Fetches a payload for a received data word: returns its address (may be
// null) and writes its length. Mirrors the bus library's vGetp.
typedef const void* (*PayloadFetcher)(void* context, intptr_t dataWord, int32_t* length);

// One line for one received message: classification, payload fetch (only for
// payload kinds, only when fetch is not null) and format, escapes included.
// delta is the milliseconds since the previous message. A payload message with
// no fetcher logs its head with length 0; a null array address logs no bytes;
// a null string address shows an empty text.
std::string FormatIncomingLine(uint32_t delta, uint32_t code, intptr_t dataWord,
                               PayloadFetcher fetch, void* context);

// The same line without its delta: all that follows "%05u ".
std::string FormatIncomingBody(uint32_t code, intptr_t dataWord, PayloadFetcher fetch, void* context);
