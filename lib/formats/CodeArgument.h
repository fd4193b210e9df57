// Message codes on velkctl's command line, and the words for their bits.
// Pure logic.
//
// A CODE is always hex, as every output prints it: 20001001, 0x20001001 and
// 0X20001001 are the same code. A bus tool never reads a message code as
// decimal. (Channels, values, masks and counts stay decimal or 0x-hex.)
#pragma once
#include <stdint.h>
#include <string>

#include "protocol/MessageCode.h"

// 1 to 8 hex digits, with or without 0x or 0X; nothing else. False (and
// *code untouched) otherwise, with what is wrong in *error, naming what
// ("code") and the text.
bool ParseCodeArgument(const std::string& text, const char* what, uint32_t* code, std::string* error);

// Whether a CODE (or channel) argument that is none reads as a signal's or
// message's name: it starts with a letter or _ and is no hex code.
bool LooksLikeSignalName(const std::string& text);

// The warning for a code that lacks a direction bit (28-31) or a type bit
// (the nine of the subscription boxes), naming what it lacks; empty when
// it has both. Such a code is usually swapped or mistyped arguments.
std::string MissingCodeFieldsWarning(uint32_t code);

// The type bit of a check-box name, any case ("str", "STR"); 0 for none.
uint32_t TypeBitOfName(const std::string& name);

// The code's type bits by their names, "+" between ("DEP+ADC"); empty for none.
std::string TypeNamesOf(uint32_t code);

// The code's direction bits by the console's DIR words, "+" between
// ("Read Value+Write Value"); empty for none.
std::string DirectionNamesOf(uint32_t code);
