#include "client/BusNameArgument.h"

#include <windows.h>
#include <shellapi.h>

#include "velk/VelkLibrary.h"
#include "windows/WideText.h"

namespace {

// As the system converts the command line for argv: lossily.
std::string AsArgv(const std::wstring& word)
{
    return NarrowFromWide(word, CP_ACP);
}

} // namespace

void SetBusName(const std::string& parsed)
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring option = L"--bus", joined = L"--bus=";
    std::wstring typed;
    bool found = false;
    for (int i = 1; words != NULL && i < count; ++i) {
        std::wstring word = words[i], value;
        if (word == option && i + 1 < count)
            value = words[++i];
        else if (word.compare(0, joined.size(), joined) == 0)
            value = word.substr(joined.size());
        else
            continue;
        if (AsArgv(value) == parsed || Utf8FromWide(value) == parsed) {
            typed = value;
            found = true;
        }
    }
    if (words != NULL)
        LocalFree(words);
    if (found)
        SetEnvironmentVariableW(VELK_BUS_NAME_VARIABLE_W, typed.c_str());
    else
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, parsed.c_str());
}
