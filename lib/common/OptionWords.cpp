#include "common/OptionWords.h"

#include "common/Catalogue.h"
#include "common/FormatText.h"

OptionWord SplitOptionWord(const std::string& argument)
{
    OptionWord word;
    word.name = argument;
    const size_t equals = argument.find('=');
    if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
        word.value = argument.substr(equals + 1);
        word.name.erase(equals);
        word.inlineValue = true;
    }
    return word;
}

bool TakeOptionValue(const std::vector<std::string>& args, size_t* i, OptionWord* word, std::string* error)
{
    if (word->inlineValue)
        return true;
    if (*i + 1 >= args.size()) {
        *error = FormatText(N_("%s needs a value"), word->name.c_str());
        return false;
    }
    word->value = args[++*i];
    return true;
}
