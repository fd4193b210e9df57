#include "velk/TraceChannels.h"

#include <string.h>

namespace {

const struct {
    const char* name;
    uint32_t channel;
} kChannels[] = {
    { "post", kTracePost },     { "register", kTraceRegister }, { "unregister", kTraceUnregister },
    { "getvar", kTraceGetVar }, { "setvar", kTraceSetVar },     { "getp", kTraceGetp },
    { "info", kTraceInfo },     { "status", kTraceStatus },     { "all", kTraceAll },
    { "1", kTraceAll },
};

bool IsSeparator(char c)
{
    return c == ',' || c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(const char* word, size_t length, const char* name)
{
    if (strlen(name) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (Lower(word[i]) != name[i])
            return false;
    }
    return true;
}

} // namespace

uint32_t ParseTraceChannels(const char* text)
{
    uint32_t channels = 0;
    if (text == nullptr)
        return 0;
    while (*text != '\0') {
        while (IsSeparator(*text))
            ++text;
        const char* word = text;
        while (*text != '\0' && !IsSeparator(*text))
            ++text;
        size_t length = static_cast<size_t>(text - word);
        for (const auto& known : kChannels) {
            if (length > 0 && SameWord(word, length, known.name))
                channels |= known.channel;
        }
    }
    return channels;
}
