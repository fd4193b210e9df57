// The word a mistyped command or option most likely meant. Pure logic.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

// Edits between two words, ignoring case: insertions, deletions,
// substitutions and swaps of two neighbouring letters ("psot" is one from
// "post").
size_t EditDistance(const std::string& a, const std::string& b);

// The candidate nearest to word when it is near enough to be meant (a
// third of the word's letters, at least one, changed), or the only
// candidate word is the start of, or the only dotted name word ends
// ("status" for "pump.status"); empty when none is.
std::string ClosestWord(const std::string& word, const std::vector<std::string>& candidates);
