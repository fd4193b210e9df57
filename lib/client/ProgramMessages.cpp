#include "client/ProgramMessages.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <windows.h>

#include "common/FormatText.h"
#include "windows/SystemCodePage.h"
#include "windows/WideText.h"

Language ProgramLanguage()
{
    static const Language language = LanguageFor(getenv("VELK_LANG"), GetACP());
    return language;
}

std::string Localized(const std::string& english, const char* between)
{
    return InLanguage(english, ProgramLanguage(), between, SystemFromUtf8);
}

std::string LocalizedUtf8(const std::string& english, const char* between)
{
    return InLanguage(english, ProgramLanguage(), between);
}

std::wstring LocalizedReason(const std::string& english)
{
    return WideFromUtf8(LocalizedUtf8(english, " / "));
}

void PrintMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string english = FormatTextV(format, args);
    va_end(args);
    if (ProgramLanguage() != kChineseFirst) {
        fputs(english.c_str(), stderr);
        fflush(stderr);   // before what standard output says next, as it was meant
        return;
    }
    // Line by line: each line's Chinese, then the line.
    std::string shown;
    size_t start = 0;
    while (start < english.size()) {
        size_t end = english.find('\n', start);
        const bool ended = end != std::string::npos;
        const std::string line = english.substr(start, ended ? end - start : std::string::npos);
        const std::string chinese = Chinese(line, SystemFromUtf8);
        if (chinese != line)
            shown += chinese + "\n";
        shown += line + (ended ? "\n" : "");
        start = ended ? end + 1 : english.size();
    }
    fputs(shown.c_str(), stderr);
    fflush(stderr);
}
