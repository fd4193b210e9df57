#include "client/SignalsOption.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "client/ExitStatus.h"
#include "client/InputFile.h"
#include "signals/SignalFile.h"
#include "windows/SystemCodePage.h"
#include "client/ProgramMessages.h"
#include "common/Catalogue.h"

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

SignalCodePages WindowsSignalCodePages()
{
    SignalCodePages pages = { &GbkCodePage(), &Utf8CodePage() };
    return pages;
}
