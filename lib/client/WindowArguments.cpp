#include "client/WindowArguments.h"

#include <windows.h>
#include <shellapi.h>

#include "windows/WideText.h"

std::vector<std::string> CommandLineArguments()
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(Utf8FromWide(argv[i]));
    LocalFree(argv);
    return args;
}
