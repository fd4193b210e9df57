// The signal file loader as the unit tests call it: a text named f.toml,
// its errors returned (none when it loaded), decoded through the host's
// code pages.
#pragma once
#include <string>
#include <vector>

#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"

const SignalCodePages kPages = { &kGbk, &kUtf8 };

inline std::vector<std::string> Load(const std::string& text, SignalDatabase* database)
{
    std::vector<std::string> errors;
    LoadSignalFile(text, "f.toml", database, &errors);
    return errors;
}
