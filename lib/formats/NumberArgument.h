// Numbers on velkctl's command line. Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// "0x" or "0X" and hex digits, or decimal digits with an optional sign; the
// whole text must be the number, within [minimum, maximum]. False leaves
// *value alone.
bool ParseNumberArgument(const char* text, int64_t minimum, int64_t maximum, int64_t* value);

// The same for an option named what: on failure *error says which text was
// bad and what was expected, or that the number is out of the range
// ("channel 300 is out of range 0-255").
bool ParseNumberOption(const std::string& text, const char* what, int64_t minimum, int64_t maximum, int64_t* value,
                       std::string* error);

// A plain decimal number: digits with an optional fraction and exponent
// ("2", "0.5", ".5", "2.5e-3"); no sign, blanks, hex, infinity or NaN. False
// (and *value untouched) when the text is none, or when its value lies
// beyond a double's range: too large, or too small to tell from 0 though a
// digit in it is not 0 ("1e-400" is refused, never taken for 0).
bool ParseDecimalArgument(const std::string& text, double* value);

// The same, saying why a text in the grammar is refused: too large for a
// double, or too small to tell from 0.
enum DecimalRead { kDecimalNumber, kDecimalNotANumber, kDecimalTooLarge, kDecimalTooSmall };
DecimalRead ReadDecimalArgument(const std::string& text, double* value);

// How many bytes from text[from] on are the longest start in that grammar
// ("2.5e3" of "2.5e3rpm", "2" of "2.e"); 0 when none is. One pass, so that
// a long text costs no more than its length.
size_t DecimalLength(const std::string& text, size_t from);
