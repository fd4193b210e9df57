// The escape table shared by Send Str (typed escapes -> characters) and the
// incoming string line (characters -> escapes): \n \r \t \a \b, in that order.
#pragma once
#include <string>

// Replaces each two-character escape by its character, one pass per escape in
// table order over the whole text.
std::string UnescapeText(const std::string& typed);

// Replaces each of the five control characters by its two-character escape,
// one pass per character in table order. No other character is touched.
std::string EscapeControlChars(const std::string& text);
