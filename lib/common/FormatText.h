// printf-style formatting into a std::string of whatever size the result
// needs. Pure logic, shared by the string class, the log lines and the bus
// library's information texts.
#pragma once
#include <stdarg.h>
#include <string>

std::string FormatTextV(const char* format, va_list args);
std::string FormatText(const char* format, ...);

// "1 message", "2 messages": a count and its noun, plural with an s.
std::string CountOf(unsigned long long count, const char* noun);

// value in decimal, at least digits wide with leading zeros; and in hex
// (lower case), exactly digits wide. For text written a row at a time
// (exports, recordings), where printf's cost per call adds up.
void AppendDecimal(std::string* out, unsigned long long value, int digits = 1);
void AppendHex(std::string* out, unsigned long value, int digits);

// A number as text that reads back exactly: the shorter of %.15g and %.17g
// that does (the files we write: TOML, DBC).
std::string ExactNumber(double value);
