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

namespace {

// *unread: the file could not be read, and errors[0] says why.
int Load(const std::string& file, SignalDatabase* database, std::vector<std::string>* errors, bool* unread)
{
    errors->clear();
    *unread = false;
    if (file.empty())
        return kExitOk;
    std::string text, error;
    int read = ReadInputFileTo(file, kMaxSignalFileBytes, N_("the most a signal file may hold"), &text, &error);
    if (read != kExitOk) {
        errors->push_back(Utf8FromSystem(error));
        *unread = true;
        return read;
    }
    // The name as the system's code page writes it, in messages that are UTF-8.
    return LoadSignalFile(text, Utf8FromSystem(InputFileName(file)), database, errors) ? kExitOk : kExitUsage;
}

} // namespace

int LoadSignalsFile(const std::string& file, SignalDatabase* database)
{
    std::vector<std::string> errors;
    bool unread = false;
    const int status = Load(file, database, &errors, &unread);
    for (const std::string& error : errors)
        PrintMessage("%s%s\n", unread ? "velkctl: " : "", SystemFromUtf8(error).c_str());
    return status;
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
