#include "client/SignalsOption.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include <windows.h>

#include "client/ExitStatus.h"
#include "client/InputFile.h"
#include "signals/SignalFile.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"
#include "windows/WideText.h"

std::string SignalsFileToLoad(const std::string& given)
{
    if (!given.empty())
        return given;
    const char* named = getenv("VELK_SIGNALS");
    return named ? std::string(named) : std::string();
}

int LoadSignalsFile(const std::string& file, SignalDatabase* database)
{
    if (file.empty())
        return kExitOk;
    std::string text;
    int read = ReadInputFile(file, kMaxSignalFileBytes, N_("the most a signal file may hold"), &text);
    if (read != kExitOk)
        return read;
    std::vector<std::string> errors;
    if (LoadSignalFile(text, InputFileName(file), database, &errors))
        return kExitOk;
    for (const std::string& error : errors)
        PrintMessage("%s\n", SystemFromUtf8(error).c_str());
    return kExitUsage;
}

std::wstring SignalsFileToLoad(const std::wstring& given)
{
    if (!given.empty())
        return given;
    wchar_t named[32768];
    const DWORD length = GetEnvironmentVariableW(L"VELK_SIGNALS", named, 32768);
    return length > 0 && length < 32768 ? std::wstring(named, length) : std::wstring();
}

int ReadSignalsFile(const std::wstring& path, SignalDatabase* database, std::vector<std::string>* errors)
{
    errors->clear();
    std::string text, why;
    int read = ReadWholeFile(path, kMaxSignalFileBytes, &text, &why);
    if (read != kExitOk) {
        errors->push_back(why);
        return read;
    }
    return LoadSignalFile(text, Utf8FromWide(path), database, errors) ? kExitOk : kExitUsage;
}

SignalCodePages WindowsSignalCodePages()
{
    SignalCodePages pages = { &GbkCodePage(), &Utf8CodePage() };
    return pages;
}
