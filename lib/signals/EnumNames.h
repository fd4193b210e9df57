#pragma once

#include <stdint.h>

#include <string>

struct Signal;

// Why name cannot stand for raw in signal's enum, or nullptr when it can.
// A name is free text: any printable text, blanks inside included. Refused:
// empty or blank-only text, a blank at either end (invisible in every view,
// so a send could not be told from the trimmed name), a control character,
// and a name that reads as a number other than raw's physical value (a send
// of it would be ambiguous). The text is marked for the catalogue and takes
// the name as its one %s.
const char* EnumNameFault(const Signal& signal, int64_t raw, const std::string& name);

// Whether name is shown bare on a monitor line (signal=NAME): no blank,
// control character, '=' or '"', and no digit, sign or dot first, so it is
// taken for neither a number nor two words. Other names are shown quoted.
bool StandsAlone(const std::string& name);

// The name as a monitor line shows it: bare, or in double quotes.
std::string ShownEnumName(const std::string& name);
