// The signal file velkscope reads, from --signals, VELK_SIGNALS or File >
// Open signals...: its mistakes are for a message box, not a console.
#pragma once
#include <string>

#include "signals/SignalDatabase.h"
#include "windows/WideText.h"   // WideFromUtf8, for the signal file's names and units

// Loads path into *database. False with every mistake, a line each
// ("FILE:LINE:COLUMN: ..."), or why the file cannot be read, in *errors;
// *database is untouched then.
bool ReadSignalFile(const std::wstring& path, SignalDatabase* database, std::wstring* errors);
