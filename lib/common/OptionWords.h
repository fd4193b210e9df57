// The command lines velkscope and velkpanel read by hand (velkctl's is
// CLI11's): "--name value", "--name=value", or a word of its own. Pure logic.
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

struct OptionWord {
    std::string name;           // "--name", or the whole word
    std::string value;          // what followed '=' in "--name=value"
    bool inlineValue = false;
};

OptionWord SplitOptionWord(const std::string& argument);

// An option's value: given after '=', else the next argument (*i moves
// on to it); false with "NAME needs a value" when there is none.
bool TakeOptionValue(const std::vector<std::string>& args, size_t* i, OptionWord* word, std::string* error);
